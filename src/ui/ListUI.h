#pragma once

#include "ui/ContainerUI.h"

class QScrollArea;

// One row of a list: a horizontal layout that raises "itemclick" when the user clicks it.
class CListContainerElementUI : public CContainerUI
{
public:
    CListContainerElementUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("ListContainerElementUI"); }
};

// A vertical list of rows that scrolls when they do not fit. Rows are usually built from their own
// layout file with CDialogBuilder and added with Add.
class CListUI : public CContainerUI
{
public:
    CListUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("ListUI"); }
    bool AddItem(CControlUI* item);
    bool RemoveItem(CControlUI* item);
    void RemoveAllItems();

private:
    explicit CListUI(QScrollArea* area);
    void FitContent();
    QWidget* m_content;
};
