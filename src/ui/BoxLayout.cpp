#include "ui/BoxLayout.h"

#include "ui/ControlUI.h"

#include <QWidget>

#include <algorithm>

namespace {

struct Placement
{
    QMargins padding;
    int width = 0;
    int height = 0;
};

Placement PlacementOf(const QLayoutItem* item)
{
    const CControlUI* control = CControlUI::FromWidget(item->widget());
    if (control == nullptr || control->GetWidget() != item->widget()) {
        return {};
    }
    return {control->GetPadding(), control->GetFixedWidth(), control->GetFixedHeight()};
}

// The widget gets exactly the box: a size policy of its own (a button's fixed height) does not
// shrink it, as the layout files mean what they say.
void Place(QLayoutItem* item, const QRect& box)
{
    if (item->widget() != nullptr) {
        item->widget()->setGeometry(box);
    } else {
        item->setGeometry(box);
    }
}

bool Shown(const QLayoutItem* item)
{
    return item->widget() != nullptr && !item->widget()->isHidden();
}

} // namespace

BoxLayout::BoxLayout(Direction direction)
    : m_direction(direction)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

BoxLayout::~BoxLayout()
{
    while (!m_items.isEmpty()) {
        delete m_items.takeFirst();
    }
}

void BoxLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

QLayoutItem* BoxLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* BoxLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int BoxLayout::count() const
{
    return static_cast<int>(m_items.size());
}

void BoxLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    if (m_direction == Direction::Overlay) {
        for (QLayoutItem* item : m_items) {
            const Placement place = PlacementOf(item);
            QRect box = area.marginsRemoved(place.padding);
            if (place.width > 0) {
                box.setWidth(place.width);
            }
            if (place.height > 0) {
                box.setHeight(place.height);
            }
            Place(item, box);
        }
        return;
    }
    const bool horizontal = m_direction == Direction::Horizontal;
    const int length = horizontal ? area.width() : area.height();
    int fixed = 0;
    int flexible = 0;
    int shown = 0;
    for (const QLayoutItem* item : m_items) {
        if (!Shown(item)) {
            continue;
        }
        const Placement place = PlacementOf(item);
        const int size = horizontal ? place.width : place.height;
        fixed += size + (horizontal ? place.padding.left() + place.padding.right()
                                    : place.padding.top() + place.padding.bottom());
        flexible += size > 0 ? 0 : 1;
        ++shown;
    }
    fixed += spacing() * std::max(0, shown - 1);
    const int share = flexible > 0 ? std::max(0, length - fixed) / flexible : 0;
    int position = horizontal ? area.left() : area.top();
    for (QLayoutItem* item : m_items) {
        if (!Shown(item)) {
            continue;
        }
        const Placement place = PlacementOf(item);
        if (horizontal) {
            position += place.padding.left();
            const int width = place.width > 0 ? place.width : share;
            const int height = place.height > 0
                                   ? place.height
                                   : area.height() - place.padding.top() - place.padding.bottom();
            Place(item, QRect(position, area.top() + place.padding.top(), width, std::max(0, height)));
            position += width + place.padding.right() + spacing();
        } else {
            position += place.padding.top();
            const int height = place.height > 0 ? place.height : share;
            const int width =
                place.width > 0 ? place.width : area.width() - place.padding.left() - place.padding.right();
            Place(item, QRect(area.left() + place.padding.left(), position, std::max(0, width), height));
            position += height + place.padding.bottom() + spacing();
        }
    }
}

QSize BoxLayout::sizeHint() const
{
    int along = 0;
    int across = 0;
    const bool horizontal = m_direction == Direction::Horizontal;
    for (const QLayoutItem* item : m_items) {
        if (!Shown(item)) {
            continue;
        }
        const Placement place = PlacementOf(item);
        const int width = place.width + place.padding.left() + place.padding.right();
        const int height = place.height + place.padding.top() + place.padding.bottom();
        if (m_direction == Direction::Overlay) {
            along = std::max(along, width);
            across = std::max(across, height);
        } else {
            along += horizontal ? width : height;
            across = std::max(across, horizontal ? height : width);
        }
    }
    const QMargins margins = contentsMargins();
    const QSize size =
        horizontal || m_direction == Direction::Overlay ? QSize(along, across) : QSize(across, along);
    return size.grownBy(margins);
}

QSize BoxLayout::minimumSize() const
{
    return {0, 0};
}
