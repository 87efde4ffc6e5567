#include "ui/ContainerUI.h"

#include "ui/PaintManagerUI.h"

#include <QWidget>

#include <algorithm>

CContainerUI::CContainerUI()
    : CContainerUI(BoxLayout::Direction::Overlay)
{
}

CContainerUI::CContainerUI(BoxLayout::Direction direction)
    : CContainerUI(new QWidget, nullptr, direction)
{
    GetWidget()->setAttribute(Qt::WA_StyledBackground);
}

CContainerUI::CContainerUI(QWidget* widget, QWidget* host, BoxLayout::Direction direction)
    : CControlUI(widget)
    , m_host(host != nullptr ? host : widget)
    , m_layout(new BoxLayout(direction))
{
    m_host->setLayout(m_layout);
}

CContainerUI::~CContainerUI()
{
    for (CControlUI* item : m_items) {
        delete item;
    }
}

bool CContainerUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (control == nullptr || index < 0 || index > GetCount()) {
        return false;
    }
    m_items.insert(m_items.begin() + index, control);
    QWidget* widget = control->GetWidget();
    widget->setParent(m_host);
    m_layout->addWidget(widget);
    // Keep the layout's order the same as the controls'.
    for (int i = index + 1; i < GetCount(); ++i) {
        m_layout->removeWidget(m_items[static_cast<std::size_t>(i)]->GetWidget());
        m_layout->addWidget(m_items[static_cast<std::size_t>(i)]->GetWidget());
    }
    // A new parent hides a widget; show it again unless the control is meant to be hidden.
    widget->setVisible(control->IsVisible());
    control->SetManager(GetManager(), this);
    return true;
}

bool CContainerUI::Remove(CControlUI* control)
{
    const auto found = std::find(m_items.begin(), m_items.end(), control);
    if (found == m_items.end()) {
        return false;
    }
    m_items.erase(found);
    QWidget* widget = control->GetWidget();
    control->SetManager(nullptr, nullptr);
    delete control;
    if (widget != nullptr) {
        m_layout->removeWidget(widget);
        delete widget;
    }
    return true;
}

void CContainerUI::RemoveAll()
{
    while (!m_items.empty()) {
        Remove(m_items.back());
    }
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    return index >= 0 && index < GetCount() ? m_items[static_cast<std::size_t>(index)] : nullptr;
}

int CContainerUI::GetItemIndex(const CControlUI* control) const
{
    const auto found = std::find(m_items.begin(), m_items.end(), control);
    return found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
}

void CContainerUI::SetAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("inset")) {
        const QStringList parts = value.split(QLatin1Char(','));
        auto part = [&](int index) { return index < parts.size() ? parts[index].trimmed().toInt() : 0; };
        m_layout->setContentsMargins(part(0), part(1), part(2), part(3));
    } else if (name == QLatin1String("childpadding")) {
        m_layout->setSpacing(value.toInt());
    }
    CControlUI::SetAttribute(name, value);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent)
{
    CControlUI::SetManager(manager, parent);
    for (CControlUI* item : m_items) {
        item->SetManager(manager, this);
    }
}
