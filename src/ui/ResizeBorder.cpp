#include "ui/ResizeBorder.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

ResizeBorder::ResizeBorder(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    // Every widget under the pointer reports to the window's filter, since children cover the band.
    qApp->installEventFilter(this);
}

Qt::Edges ResizeBorder::EdgesAt(const QPoint& position) const
{
    Qt::Edges edges;
    if (m_window->isMaximized() || m_window->isFullScreen()) {
        return edges;
    }
    if (position.x() < kBandWidth) {
        edges |= Qt::LeftEdge;
    } else if (position.x() >= m_window->width() - kBandWidth) {
        edges |= Qt::RightEdge;
    }
    if (position.y() < kBandWidth) {
        edges |= Qt::TopEdge;
    } else if (position.y() >= m_window->height() - kBandWidth) {
        edges |= Qt::BottomEdge;
    }
    return edges;
}

bool ResizeBorder::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::HoverMove) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != m_window || type == QEvent::HoverMove) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint position = m_window->mapFromGlobal(mouse->globalPosition().toPoint());
    const Qt::Edges edges = EdgesAt(position);
    if (type == QEvent::MouseButtonPress) {
        if (edges != Qt::Edges() && mouse->button() == Qt::LeftButton &&
            m_window->windowHandle() != nullptr) {
            m_window->windowHandle()->startSystemResize(edges);
            return true;
        }
        return false;
    }
    if (edges == Qt::Edges()) {
        if (m_shapeSet) {
            m_window->unsetCursor();
            m_shapeSet = false;
        }
        return false;
    }
    Qt::CursorShape shape = Qt::SizeAllCursor;
    if (edges == Qt::LeftEdge || edges == Qt::RightEdge) {
        shape = Qt::SizeHorCursor;
    } else if (edges == Qt::TopEdge || edges == Qt::BottomEdge) {
        shape = Qt::SizeVerCursor;
    } else if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge)) {
        shape = Qt::SizeFDiagCursor;
    } else {
        shape = Qt::SizeBDiagCursor;
    }
    m_window->setCursor(shape);
    m_shapeSet = true;
    return false;
}
