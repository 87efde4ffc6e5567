#pragma once

#include <QObject>

class QWidget;

// Lets the user resize a frameless window by the band of a few pixels along its edges: the
// pointer shows the resize shape there and a press starts the window system's resize. Owned by
// the window it watches.
class ResizeBorder final : public QObject
{
public:
    static constexpr int kBandWidth = 5;

    explicit ResizeBorder(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] Qt::Edges EdgesAt(const QPoint& windowPosition) const;

    QWidget* m_window;
    bool m_shapeSet = false;
};
