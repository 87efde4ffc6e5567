#include "GuiTestSupport.h"

#include "ui/ControlUI.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <utility>

namespace GuiTestSupport {

QString TestLayout(const QString& name)
{
    return QStringLiteral(EXAMORA_TEST_LAYOUTS "/") + name;
}

void ScheduleWhileModal(std::function<void()> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

void Click(CControlUI* control)
{
    QTest::mouseClick(control->GetWidget(), Qt::LeftButton);
}

void ExpectNothingSqueezed(QWidget* window)
{
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const CControlUI* control = CControlUI::FromWidget(widget);
        if (control == nullptr || !widget->isVisibleTo(window) || widget->width() == 0) {
            continue;
        }
        const QString name = control->GetName().isEmpty() ? control->GetClass() : control->GetName();
        // Inside every parent, or a parent cuts it off where it runs over.
        for (QWidget* parent = widget->parentWidget(); parent != nullptr && parent != window->parentWidget();
             parent = parent->parentWidget()) {
            const QRect where(widget->mapTo(parent, QPoint(0, 0)), widget->size());
            EXPECT_TRUE(parent->rect().contains(where))
                << name.toStdString() << " runs over the edge of its parent by "
                << (where.right() - parent->rect().right()) << " px";
        }
        for (const auto& [attribute, size] : {std::pair{QStringLiteral("width"), widget->width()},
                                              std::pair{QStringLiteral("height"), widget->height()}}) {
            bool fixed = false;
            const int wanted = control->GetAttribute(attribute).toInt(&fixed);
            EXPECT_TRUE(!fixed || size >= wanted)
                << name.toStdString() << " is squeezed: " << attribute.toStdString() << " " << size << " < "
                << wanted;
        }
    }
}

QString SaveToGallery(QWidget* window, const QString& name)
{
    QDir().mkpath(QStringLiteral(EXAMORA_GALLERY_DIR));
    // A run at another scale (QT_SCALE_FACTOR=2) keeps its pictures apart: name@2x.png.
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
    const QString suffix = scale.isEmpty() || scale == QLatin1String("1")
                               ? QString()
                               : QLatin1Char('@') + scale + QLatin1Char('x');
    const QString path = QStringLiteral(EXAMORA_GALLERY_DIR "/") + name + suffix + QStringLiteral(".png");
    // After the picture: grabbing lays out what was not laid out yet.
    window->grab().save(path);
    ExpectNothingSqueezed(window);
    return path;
}

void RecordingWindow::Notify(TNotifyUI& msg)
{
    notifications.push_back(msg.sType + QLatin1Char(':') +
                            (msg.pSender != nullptr ? msg.pSender->GetName() : QString()));
    if (onNotify) {
        onNotify(msg);
    }
    WindowImplBase::Notify(msg);
}

LRESULT RecordingWindow::HandleMessage(WindowMessage& message)
{
    messages.push_back(message.message);
    if (onMessage) {
        onMessage(message);
    }
    return WindowImplBase::HandleMessage(message);
}

} // namespace GuiTestSupport
