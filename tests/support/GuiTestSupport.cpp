#include "GuiTestSupport.h"

#include "ui/ControlUI.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

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

QString SaveToGallery(QWidget* window, const QString& name)
{
    QDir().mkpath(QStringLiteral(EXAMORA_GALLERY_DIR));
    // A run at another scale (QT_SCALE_FACTOR=2) keeps its pictures apart: name@2x.png.
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
    const QString suffix = scale.isEmpty() || scale == QLatin1String("1")
                               ? QString()
                               : QLatin1Char('@') + scale + QLatin1Char('x');
    const QString path = QStringLiteral(EXAMORA_GALLERY_DIR "/") + name + suffix + QStringLiteral(".png");
    window->grab().save(path);
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
