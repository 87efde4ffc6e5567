#pragma once

#include "ui/ContainerUI.h"
#include "ui/NotifyUI.h"

#include <vector>

class CEditUI;
class CLabelUI;

// What the account windows' composite fields share: a leading icon and an edit, built by the
// field itself, followed by the field's buttons; styling attributes forwarded to the child they
// concern; and a border that lights up while the pointer is over the field or it has the focus.
// Every notification of the window reaches the field; it acts only on its own children's.
class COrvaEditField : public CHorizontalLayoutUI, public INotifyUI
{
public:
    static constexpr const char* kNormalBorder = "#FFCCCCCC";
    static constexpr const char* kActiveBorder = "#FFA5CAEE";

    ~COrvaEditField() override;

    // The inner edit's current name.
    [[nodiscard]] QString GetEditName() const;
    [[nodiscard]] QString GetText() const override;
    [[nodiscard]] CEditUI* GetEdit() const { return m_edit; }

    void SetAttribute(const QString& name, const QString& value) override;
    void Notify(TNotifyUI& msg) override;

protected:
    COrvaEditField(const QString& logoName, const QString& editName);
    // Adds a button after the edit and returns it; its name is tracked like the others.
    CControlUI* AddChild(CControlUI* child, const QString& name);
    // The current name of a child, by the order it was added (0 logo, 1 edit, then the buttons).
    [[nodiscard]] QString ChildName(std::size_t index) const { return m_names[index]; }
    // Gives each child prefix + its current name.
    void PrefixChildNames(const QString& prefix);
    // A notification from one of this field's own children, after the border has been handled.
    virtual void OnChildNotify(TNotifyUI& msg, std::size_t child) = 0;
    // Attributes of the subclass; true when it took the attribute.
    virtual bool ForwardAttribute(const QString& name, const QString& value) = 0;

private:
    void SetBorder(const char* colour);

    CLabelUI* m_logo;
    CEditUI* m_edit;
    std::vector<CControlUI*> m_children;
    std::vector<QString> m_names;
};
