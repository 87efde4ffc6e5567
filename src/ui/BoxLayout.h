#pragma once

#include <QLayout>
#include <QList>

// Places the child controls of a container the way the layouts describe them: along one axis
// (horizontal or vertical) or all over one another (overlay). A control with a fixed width (height)
// gets it; the others share what is left equally; each keeps its own padding around it; hidden
// controls take no room.
class BoxLayout final : public QLayout
{
public:
    enum class Direction
    {
        Horizontal,
        Vertical,
        Overlay
    };

    explicit BoxLayout(Direction direction);
    ~BoxLayout() override;
    BoxLayout(const BoxLayout&) = delete;
    BoxLayout& operator=(const BoxLayout&) = delete;

    void addItem(QLayoutItem* item) override;
    [[nodiscard]] QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    [[nodiscard]] int count() const override;
    void setGeometry(const QRect& rect) override;
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSize() const override;

private:
    Direction m_direction;
    QList<QLayoutItem*> m_items;
};
