#include "ui/WindowImplBase.h"

#include "diag/Log.h"
#include "ui/ControlUI.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageEvent.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

// The native window: turns Qt's events for it into the window's messages.
class WindowImplBase::Host final : public QWidget
{
public:
    Host(WindowImplBase* owner, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags)
        , m_owner(owner)
    {
    }
    ~Host() override
    {
        if (m_owner != nullptr) {
            m_owner->OnHostGone();
        }
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    void Detach() { m_owner = nullptr; }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == MessageEvent::EventType()) {
            // A destroyed window handles nothing more, and a sender already released hears nothing:
            // the event goes unanswered, which destroys its record and tells a waiting sender that
            // nothing was delivered.
            auto* message = static_cast<MessageEvent*>(event);
            if (m_owner != nullptr && !m_owner->m_destroyed && !message->Abandoned()) {
                message->Answer(m_owner->Deliver(message->Message()));
            }
            return true;
        }
        if (event->type() == QEvent::ActivationChange && m_owner != nullptr) {
            m_owner->OnActivation(isActiveWindow());
        }
        // Whoever changed it: our buttons, a shortcut or a double click on a desktop's title bar.
        if (event->type() == QEvent::WindowStateChange && m_owner != nullptr) {
            m_owner->OnWindowState();
        }
        return QWidget::event(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        // A close request of the desktop is the window's WM_CLOSE; the window decides.
        event->ignore();
        if (m_owner != nullptr) {
            WindowMessage close{WM_CLOSE, 0, 0, {}};
            m_owner->Deliver(close);
        }
    }

private:
    WindowImplBase* m_owner;
};

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase()
{
    m_handle.Invalidate();
    m_timers.clear();
    m_PaintManager.reset();
    if (m_host != nullptr) {
        static_cast<Host*>(m_host.data())->Detach();
        // Later, as the window may be inside one of its own event handlers now.
        m_host->hide();
        m_host->deleteLater();
    }
}

WindowHandle WindowImplBase::Create(const WindowHandle& parent, const QString& title, uint32_t style,
                                    uint32_t exStyle)
{
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if ((exStyle & WS_EX_TOOLWINDOW) != 0) {
        flags |= Qt::Tool;
    }
    if ((exStyle & WS_EX_TOPMOST) != 0) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    static_cast<void>(style);
    auto* host = new Host(this, parent.Widget(), flags);
    m_host = host;
    host->setWindowTitle(title);
    host->setAttribute(Qt::WA_TranslucentBackground);
    host->setObjectName(GetWindowClassName());
    m_PaintManager = std::make_unique<CPaintManagerUI>(host);
    m_PaintManager->AddNotifier(this);
    m_PaintManager->AddMessageFilter(this);
    m_handle = WindowHandle::Make(host, this, host);

    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetLayoutFile(), m_PaintManager.get(),
                                      [this](const QString& className) { return CreateControl(className); });
    if (root == nullptr) {
        LOG_ERROR << "layout:[" << GetLayoutFile() << "] " << builder.GetError();
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Duilib"),
                        QStringLiteral("加载资源文件失败：") + GetLayoutFile());
        box.exec();
        std::exit(1);
    }
    m_PaintManager->AttachDialog(root);
    if (builder.GetWidth() > 0 && builder.GetHeight() > 0) {
        host->resize(builder.GetWidth(), builder.GetHeight());
    }
    InitWindow();
    return m_handle;
}

CControlUI* WindowImplBase::FindControl(const QString& name) const
{
    return m_PaintManager != nullptr ? m_PaintManager->FindControl(name) : nullptr;
}

CControlUI* WindowImplBase::CreateControl(const QString&)
{
    return nullptr;
}

void WindowImplBase::CenterWindow()
{
    if (m_host == nullptr) {
        return;
    }
    const QWidget* parent = m_host->parentWidget();
    QRect area;
    if (parent != nullptr && parent->isVisible()) {
        area = parent->frameGeometry();
    } else {
        const QScreen* screen =
            m_host->screen() != nullptr ? m_host->screen() : QGuiApplication::primaryScreen();
        area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    }
    QRect frame = m_host->frameGeometry();
    frame.moveCenter(area.center());
    m_host->move(frame.topLeft());
}

void WindowImplBase::ShowWindow(bool show, bool takeFocus)
{
    if (m_host == nullptr) {
        return;
    }
    if (!show) {
        m_host->hide();
        return;
    }
    m_host->setAttribute(Qt::WA_ShowWithoutActivating, !takeFocus);
    m_host->show();
    if (takeFocus) {
        m_host->raise();
        m_host->activateWindow();
    }
}

UINT WindowImplBase::ShowModal()
{
    if (m_host == nullptr || m_destroyed) {
        return m_closeCode;
    }
    // Modality takes effect when a window is shown.
    m_host->hide();
    m_host->setWindowModality(m_host->parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    ShowWindow(true, true);
    QEventLoop loop;
    m_modalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    m_modalLoop = nullptr;
    return m_closeCode;
}

void WindowImplBase::Close(UINT code)
{
    PostMessage(m_handle, WM_CLOSE, code);
}

bool WindowImplBase::SetTimer(UINT id, UINT elapseMs, TimerProc proc)
{
    if (m_host == nullptr || m_destroyed) {
        return false;
    }
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(elapseMs));
    QObject::connect(timer.get(), &QTimer::timeout, m_host, [this, id, proc] {
        if (proc != nullptr) {
            proc(m_handle, id);
        } else {
            WindowMessage tick{WM_TIMER, id, 0, {}};
            Deliver(tick);
        }
    });
    timer->start();
    m_timers[id] = std::move(timer);
    return true;
}

bool WindowImplBase::KillTimer(UINT id)
{
    return m_timers.erase(id) > 0;
}

void WindowImplBase::SetIcon(int resourceId)
{
    // Resource 101 is the application icon, shipped in the skin folder.
    if (m_host != nullptr && resourceId == 101) {
        m_host->setWindowIcon(QIcon(CPaintManagerUI::GetResourcePath() + QStringLiteral("Examora.png")));
    }
}

LRESULT WindowImplBase::Deliver(WindowMessage& message)
{
    return HandleMessage(message);
}

LRESULT WindowImplBase::HandleMessage(WindowMessage& message)
{
    switch (message.message) {
    case WM_CLOSE:
        m_closeCode = static_cast<UINT>(message.wParam);
        DestroyNative();
        return 0;
    case WM_SYSCOMMAND: {
        if (m_host == nullptr) {
            return 0;
        }
        if (message.wParam == SC_CLOSE) {
            SendMessage(m_handle, WM_CLOSE);
            return 0;
        }
        // The title bar's buttons follow the state change itself (OnWindowState).
        if (message.wParam == SC_MINIMIZE) {
            m_host->showMinimized();
        } else if (message.wParam == SC_MAXIMIZE) {
            m_host->showMaximized();
        } else if (message.wParam == SC_RESTORE) {
            m_host->showNormal();
        }
        return 0;
    }
    default:
        return 0;
    }
}

void WindowImplBase::Notify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("closebtn")) {
        Close(1);
    } else if (name == QLatin1String("minbtn")) {
        SendMessage(m_handle, WM_SYSCOMMAND, SC_MINIMIZE);
    } else if (name == QLatin1String("maxbtn")) {
        SendMessage(m_handle, WM_SYSCOMMAND, SC_MAXIMIZE);
    } else if (name == QLatin1String("restorebtn")) {
        SendMessage(m_handle, WM_SYSCOMMAND, SC_RESTORE);
    }
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled)
{
    if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        bHandled = true;
    }
    return 0;
}

void WindowImplBase::OnActivation(bool active)
{
    WindowMessage activate{WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0, {}};
    Deliver(activate);
}

void WindowImplBase::OnWindowState()
{
    if (m_host == nullptr || m_destroyed) {
        return;
    }
    const bool maximized = m_host->isMaximized();
    if (CControlUI* maximize = FindControl(QStringLiteral("maxbtn"))) {
        maximize->SetVisible(!maximized);
    }
    if (CControlUI* restore = FindControl(QStringLiteral("restorebtn"))) {
        restore->SetVisible(maximized);
    }
}

void WindowImplBase::DestroyNative()
{
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    m_timers.clear();
    m_handle.Invalidate();
    if (m_host != nullptr) {
        m_host->hide();
        // What was queued before the handle went reaches no window: records freed, senders told.
        QCoreApplication::removePostedEvents(m_host, MessageEvent::EventType());
    }
    if (m_modalLoop != nullptr) {
        m_modalLoop->quit();
    }
    WindowMessage destroy{WM_DESTROY, 0, 0, {}};
    HandleMessage(destroy);
    // May delete this window object.
    OnFinalMessage();
}

void WindowImplBase::OnHostGone()
{
    // The native window went with its parent before the window closed.
    m_host = nullptr;
    if (!m_destroyed) {
        m_destroyed = true;
        m_timers.clear();
        m_handle.Invalidate();
        if (m_modalLoop != nullptr) {
            m_modalLoop->quit();
        }
    }
}
