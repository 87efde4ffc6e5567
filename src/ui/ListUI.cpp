#include "ui/ListUI.h"

#include "ui/PaintManagerUI.h"

#include <QMouseEvent>
#include <QScrollArea>

#include <functional>

namespace {

// A row's widget: reports a click on itself or on a child that does not take the click.
class ClickableRow final : public QWidget
{
public:
    std::function<void()> clicked;

protected:
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && clicked) {
            clicked();
        }
    }
};

QWidget* MakeContent(QScrollArea* area)
{
    auto* content = new QWidget;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setAttribute(Qt::WA_StyledBackground);
    content->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    return content;
}

} // namespace

CListContainerElementUI::CListContainerElementUI()
    : CContainerUI(new ClickableRow, nullptr, BoxLayout::Direction::Horizontal)
{
    GetWidget()->setAttribute(Qt::WA_StyledBackground);
    static_cast<ClickableRow*>(GetWidget())->clicked = [this] {
        if (GetManager() != nullptr) {
            GetManager()->SendNotify(this, QStringLiteral("itemclick"));
        }
    };
}

CListUI::CListUI()
    : CListUI(new QScrollArea)
{
}

CListUI::CListUI(QScrollArea* area)
    : CContainerUI(area, MakeContent(area), BoxLayout::Direction::Vertical)
    , m_content(area->widget())
{
}

bool CListUI::AddItem(CControlUI* item)
{
    const bool added = Add(item);
    FitContent();
    return added;
}

bool CListUI::RemoveItem(CControlUI* item)
{
    const bool removed = Remove(item);
    FitContent();
    return removed;
}

void CListUI::RemoveAllItems()
{
    RemoveAll();
    FitContent();
}

void CListUI::FitContent()
{
    if (m_content != nullptr) {
        m_content->setMinimumHeight(Layout()->sizeHint().height());
    }
}
