#include "mainwnd/TrayIcon.h"

#include "diag/Log.h"
#include "mainwnd/TrayBackend.h"
#include "mainwnd/TrayIconDelegate.h"

#include <QCoreApplication>
#include <QThread>

namespace {

const QString kBalloonTitle = QStringLiteral("Examora");

} // namespace

TrayIcon& TrayIcon::Get()
{
    static TrayIcon* const instance = new TrayIcon;
    return *instance;
}

TrayIcon::TrayIcon()
{
    m_watch.setInterval(kWatchPeriodMs);
    QObject::connect(&m_watch, &QTimer::timeout, &m_context, [this] { Watch(); });
}

void TrayIcon::SetBackend(std::unique_ptr<TrayBackend> backend)
{
    m_backend = std::move(backend);
}

void TrayIcon::CreateTrayWindow(TrayIconDelegate* delegate)
{
    m_delegate = delegate;
    if (m_backend == nullptr) {
        m_backend = TrayBackend::MakeSystem();
    }
    m_backend->onMouse = [this](TrayBackend::Mouse mouse) {
        if (m_delegate == nullptr) {
            return;
        }
        switch (mouse) {
        case TrayBackend::Mouse::LeftUp:
            m_delegate->OnLeftButtonUp();
            break;
        case TrayBackend::Mouse::LeftDoubleClick:
            m_delegate->OnLeftDoubleClick();
            break;
        case TrayBackend::Mouse::RightUp:
            m_delegate->OnRightButtonUp();
            break;
        case TrayBackend::Mouse::RightDoubleClick:
            m_delegate->OnRightDoubleClick();
            break;
        }
    };
    m_created = true;
    m_wasAvailable = m_backend->IsAvailable();
    m_watch.start();
}

void TrayIcon::ForgetDelegate(const TrayIconDelegate* delegate)
{
    if (m_delegate == delegate) {
        m_delegate = nullptr;
    }
}

QString TrayIcon::Cut(const QString& text, int length)
{
    if (text.size() <= length) {
        return text;
    }
    qsizetype end = length;
    if (end > 0 && text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    return text.left(end);
}

void TrayIcon::SetIconAndTip(const QIcon& icon, const QString& tip)
{
    m_icon = icon;
    m_tip = Cut(tip, kTipLength);
    ShowIcon();
}

void TrayIcon::ShowIcon()
{
    if (!m_created) {
        return;
    }
    if (!m_added) {
        m_added = true;
        if (!m_backend->Add(m_icon, m_tip) && !m_backend->Add(m_icon, m_tip)) {
            LOG_WARN << "the notification area did not take the icon";
        }
    } else {
        m_backend->Modify(m_icon, m_tip);
    }
}

void TrayIcon::ReAddIcon()
{
    if (!m_created) {
        return;
    }
    m_added = false;
    ShowIcon();
}

void TrayIcon::RemoveIcon()
{
    m_watch.stop();
    if (m_created) {
        m_backend->Remove();
    }
    m_added = false;
}

void TrayIcon::ShowBalloon(const QString& text)
{
    if (QThread::currentThread() != m_context.thread()) {
        QMetaObject::invokeMethod(
            &m_context, [this, text] { ShowBalloon(text); }, Qt::QueuedConnection);
        return;
    }
    if (!m_created) {
        return;
    }
    m_backend->ShowMessage(Cut(kBalloonTitle, kBalloonTitleLength), Cut(text, kBalloonTextLength), m_icon);
}

void TrayIcon::Watch()
{
    const bool available = m_backend->IsAvailable();
    if (available && !m_wasAvailable && m_added) {
        LOG_INFO << "the notification area is back; adding the icon again";
        ReAddIcon();
    }
    m_wasAvailable = available;
}
