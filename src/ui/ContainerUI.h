#pragma once

#include "ui/BoxLayout.h"
#include "ui/ControlUI.h"

#include <vector>

// A control that holds controls. CContainerUI lays its children over one another,
// CHorizontalLayoutUI side by side, CVerticalLayoutUI one below the other ("inset" is the inner
// margin, "childpadding" the gap between children). The container owns its child controls.
class CContainerUI : public CControlUI
{
public:
    CContainerUI();
    ~CContainerUI() override;

    [[nodiscard]] QString GetClass() const override { return QStringLiteral("ContainerUI"); }

    bool Add(CControlUI* control);
    bool AddAt(CControlUI* control, int index);
    // Removes and destroys the control and its widget.
    bool Remove(CControlUI* control);
    void RemoveAll();
    [[nodiscard]] int GetCount() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] CControlUI* GetItemAt(int index) const;
    [[nodiscard]] int GetItemIndex(const CControlUI* control) const;

    void SetAttribute(const QString& name, const QString& value) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;

protected:
    explicit CContainerUI(BoxLayout::Direction direction);
    // widget is the container's own widget; children's widgets go into host (a list puts them
    // inside its scroll area), or into widget when host is null.
    CContainerUI(QWidget* widget, QWidget* host, BoxLayout::Direction direction);
    [[nodiscard]] BoxLayout* Layout() const { return m_layout; }

private:
    QWidget* m_host;
    BoxLayout* m_layout;
    std::vector<CControlUI*> m_items;
};

class CHorizontalLayoutUI : public CContainerUI
{
public:
    CHorizontalLayoutUI()
        : CContainerUI(BoxLayout::Direction::Horizontal)
    {
    }
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("HorizontalLayoutUI"); }
};

class CVerticalLayoutUI : public CContainerUI
{
public:
    CVerticalLayoutUI()
        : CContainerUI(BoxLayout::Direction::Vertical)
    {
    }
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("VerticalLayoutUI"); }
};
