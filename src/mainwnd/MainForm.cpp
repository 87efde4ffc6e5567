#include "mainwnd/MainForm.h"

#include "account/CurrentTicket.h"
#include "account/ForgetPwdForm.h"
#include "account/LoginForm.h"
#include "account/RegisterForm.h"
#include "audio/AudioPlayer.h"
#include "diag/Log.h"
#include "dialogs/AboutWnd.h"
#include "dialogs/MessageBoxTip.h"
#include "dialogs/ShowMessageForm.h"
#include "dialogs/SystemSetForm.h"
#include "environment/Deployment.h"
#include "environment/Environment.h"
#include "im/NimTypes.h"
#include "im/SDKInstance.h"
#include "mainwnd/PageBridge.h"
#include "mainwnd/TrayBackend.h"
#include "mainwnd/TrayIcon.h"
#include "mainwnd/WkeWebkitUI.h"
#include "messages/PageRequest.h"
#include "messages/WindowMessages.h"
#include "service/OrvaManager.h"
#include "service/ServerNotice.h"
#include "settings/ConfigService.h"
#include "ui/ButtonUI.h"
#include "ui/MenuCommand.h"
#include "ui/MenuWnd.h"
#include "ui/ResizeBorder.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

// The main window's own message: work handed over from the IM library's threads, in the order the
// library reported it.
constexpr UINT WM_MAIN_IM_EVENT = WM_USER + 150;

struct ImEvent
{
    std::function<void(CMainForm&)> run;
};

// How long a request for a window whose loop is still unwinding waits before it asks again.
constexpr int kChildRetryMs = 20;

const QString kUserAgent = QStringLiteral(
    "Mozilla/5.0 (iPhone; CPU iPhone OS 11_0 like Mac OS X) AppleWebKit/604.1.38 (KHTML, like Gecko) "
    "Version/11.0 Mobile/15A372 Safari/604.1");
const QString kWinHideKey = QStringLiteral("OrvaWinHide");
const QString kConfirmCaption = QStringLiteral("确定");
constexpr int kLogoutChangeUser = 1;
constexpr int kLogoutExit = 3;
constexpr int kKickedElsewhere = 1;

CMainForm* g_current = nullptr;

void BringForward(QWidget* widget)
{
    if (widget == nullptr) {
        return;
    }
    if (widget->isMinimized()) {
        widget->showNormal();
    }
    widget->show();
    widget->raise();
    widget->activateWindow();
}

} // namespace

CMainForm::CMainForm() = default;

CMainForm::~CMainForm()
{
    if (g_current == this) {
        g_current = nullptr;
    }
    // The tray outlives the window: its mouse must not reach a window that is gone.
    TrayIcon::Get().ForgetDelegate(this);
}

CMainForm* CMainForm::Current()
{
    return g_current;
}

void CMainForm::InitWindow()
{
    g_current = this;
    m_home = FindControl<CButtonUI>(QStringLiteral("main_btn_home"));
    m_refresh = FindControl<CButtonUI>(QStringLiteral("main_btn_refresh"));
    m_set = FindControl<CButtonUI>(QStringLiteral("main_btn_set"));
    m_min = FindControl<CButtonUI>(QStringLiteral("main_btn_min"));
    m_max = FindControl<CButtonUI>(QStringLiteral("main_btn_max"));
    m_restore = FindControl<CButtonUI>(QStringLiteral("main_btn_restore"));
    m_close = FindControl<CButtonUI>(QStringLiteral("main_btn_close"));
    m_browser = FindControl<CWkeWebkitUI>(QStringLiteral("mainBrowser"));

    GetWidget()->setMinimumSize(kMinWidth, kMinHeight);
    new ResizeBorder(GetWidget());

    if (m_browser != nullptr) {
        m_browser->SetNotifyWindow(GetHWND());
        m_browser->SetUserAgent(kUserAgent);
        const QString base = QString::fromStdString(GetEnvironmentSettings().homePageUrl);
        m_browser->SetBaseUrl(base);
        m_browser->Navigate(base + QStringLiteral("Simulation/Subjects/31"));
        KillTimer(TIMER_ID_WEBVIEW);
        SetTimer(TIMER_ID_WEBVIEW, kWebViewPeriodMs, [](const WindowHandle& window, UINT id) {
            if (id == TIMER_ID_WEBVIEW) {
                PostUserMessage<WM_USER_WEBVIEW_REPAINT>(window);
            }
        });
    }

    TrayIcon& tray = TrayIcon::Get();
    tray.CreateTrayWindow(this);
    tray.SetIconAndTip(QIcon(CPaintManagerUI::GetResourcePath() + QStringLiteral("Examora.png")),
                       QStringLiteral("Examora"));
    SetIcon(101);
    RegisterImHandlers();
}

void CMainForm::RegisterImHandlers()
{
    // The library calls these on its own threads; the window's work is done on the UI thread, in
    // the order the library reported it. A handle, not the object: a late event finds no window.
    const WindowHandle window = GetHWND();
    const auto handOver = [window](std::function<void(CMainForm&)> run) {
        PostMessage(window, WM_MAIN_IM_EVENT, 0, 0, std::make_unique<ImEvent>(ImEvent{std::move(run)}));
    };
    nim::SDKInstance& im = nim::SDKInstance::Get();
    im.RegAutoReloginCb([handOver](const nim::LoginRes& result) {
        handOver([result](CMainForm& form) { form.OnReLoginCallback(result); });
    });
    im.RegKickoutCb([handOver](const nim::KickoutRes& kickout) {
        handOver([kickout](CMainForm& form) { form.OnLoginOutCallBack(kickout); });
    });
    im.RegDisconnectCb([handOver] { handOver([](CMainForm& form) { form.OnLoginBreakCallBack(); }); });
    im.RegReceiveCb([handOver](const nim::IMMessage& message) {
        handOver([message](CMainForm& form) { form.OnReceiveMsgCallback(message); });
    });
    im.RegReceiveMessagesCb([handOver](const std::vector<nim::IMMessage>& messages) {
        handOver([messages](CMainForm& form) {
            LOG_VERB << "IM receive Messages: size:[" << messages.size() << "]";
            for (const nim::IMMessage& message : messages) {
                form.OnReceiveMsgCallback(message);
            }
        });
    });
}

void CMainForm::OnReLoginCallback(const nim::LoginRes& result)
{
    LOG_VERB << "Nim 恢复通讯.";
    if (result.res_code_ == 200 && result.relogin_) {
        TrayIcon::Get().ShowBalloon(QStringLiteral("恢复通讯"));
    }
}

void CMainForm::OnLoginOutCallBack(const nim::KickoutRes& kickout)
{
    LOG_VERB << "Nim 被踢.";
    if (kickout.kick_reason_ != kKickedElsewhere || m_quitting) {
        return;
    }
    CMessageBoxTip::Show(GetHWND(), QStringLiteral("您的账号在异地登录,被迫下线!"), kConfirmCaption);
    QuitNow();
}

void CMainForm::OnLoginBreakCallBack()
{
    LOG_VERB << "Nim 您已断线.";
    TrayIcon::Get().ShowBalloon(QStringLiteral("您已断线"));
}

void CMainForm::OnReceiveMsgCallback(const nim::IMMessage& message)
{
    const std::optional<ServerNotice> notice = ReadServerNotice(message.content_);
    if (!notice) {
        return;
    }
    const std::string current = CurrentTicket();
    if (current.empty() || notice->ticket != current || m_quitting) {
        return;
    }
    CMessageBoxTip::Show(GetHWND(), QString::fromStdString(notice->text), kConfirmCaption);
    QuitNow();
}

template <typename Window, typename Prepare>
bool CMainForm::RunChild(Child<Window>& child, const QString& title, uint32_t style, uint32_t exStyle,
                         UINT retryMessage, Prepare prepare)
{
    if (child.running) {
        if (child.window != nullptr && child.window->GetHWND().IsWindow()) {
            BringForward(child.window->GetWidget());
        } else if (retryMessage != 0) {
            const WindowHandle self = GetHWND();
            QTimer::singleShot(kChildRetryMs, [self, retryMessage] { PostMessage(self, retryMessage); });
        }
        return false;
    }
    child.window = std::make_unique<Window>();
    // The windows that ask the main window for others get it as their owner.
    if constexpr (requires(Window & window) { window.SetOwner(WindowHandle()); }) {
        child.window->SetOwner(GetHWND());
    }
    child.window->Create(GetHWND(), title, style, exStyle);
    prepare(*child.window);
    child.window->CenterWindow();
    child.running = true;
    child.window->ShowModal();
    child.running = false;
    return true;
}

std::int64_t CMainForm::ShowLoginForm()
{
    if (!RunChild(m_login, QStringLiteral("用户登录"), 0x100, 0x60000, WM_USER_SHOW_LOGIN,
                  [](CLoginForm&) {})) {
        return 0;
    }
    return m_login.window->UserId();
}

void CMainForm::ShowRegisterForm()
{
    RunChild(m_register, QStringLiteral("注册账号"), 0x100, 0x60000, WM_USER_SHOW_REGISTER,
             [](CRegisterForm&) {});
}

void CMainForm::ShowResetPwdForm()
{
    RunChild(m_resetPwd, QStringLiteral("忘记密码"), 0x100, 0x60000, WM_USER_SHOW_RESET_PWD,
             [](CForgetPwdForm&) {});
}

void CMainForm::ShowMessageForm(UINT message)
{
    const QString title =
        message == WM_USER_REGISTER_OK ? QStringLiteral("注册成功") : QStringLiteral("重置成功");
    RunChild(m_message, title, 0x100, 0x60000, message,
             [title](CShowMessageForm& form) { form.SetNotice(title, title, true); });
}

void CMainForm::ShowSystemSettings()
{
    if (RunChild(m_settings, QStringLiteral("系统设置"), 0x2000100, 0x100, 0, [](CSystemSetForm&) {})) {
        m_settings.window.reset();
    }
}

void CMainForm::ShowAbout()
{
    if (RunChild(m_about, QStringLiteral("关于Examora"), 0x2000100, 0x100, 0,
                 [](CAboutWnd& about) { about.SetVersion(GetFileVersionString()); })) {
        m_about.window.reset();
    }
}

void CMainForm::Notify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("main_btn_refresh")) {
        if (m_browser != nullptr) {
            m_browser->Reload();
        }
        CAudioPlayer::GetInstance().Stop();
        if (m_browser != nullptr) {
            m_browser->RefreshAudioState();
        }
    } else if (name == QLatin1String("main_btn_set")) {
        PopupSettingsMenu();
    } else if (name == QLatin1String("main_btn_min")) {
        SendMessage(GetHWND(), WM_SYSCOMMAND, SC_MINIMIZE);
    } else if (name == QLatin1String("main_btn_max")) {
        SendMessage(GetHWND(), WM_SYSCOMMAND, SC_MAXIMIZE);
        m_max->SetVisible(false);
        m_restore->SetVisible(true);
    } else if (name == QLatin1String("main_btn_restore")) {
        SendMessage(GetHWND(), WM_SYSCOMMAND, SC_RESTORE);
        m_max->SetVisible(true);
        m_restore->SetVisible(false);
    } else if (name == QLatin1String("main_btn_close")) {
        RequestClose(false);
    } else if (name == QLatin1String("main_btn_home")) {
        OnHomeClick();
    } else if (name == QLatin1String("lgoin_menu_login")) {
        PostUserMessage<WM_USER_SHOW_LOGIN>(GetHWND());
    } else if (name == QLatin1String("lgoin_menu_sysset") ||
               name == QLatin1String("change_main_menu_sysset")) {
        ShowSystemSettings();
    } else if (name == QLatin1String("lgoin_main_menu_aboutus") ||
               name == QLatin1String("change_main_menu_aboutus")) {
        ShowAbout();
    } else if (name == QLatin1String("lgoin_main_menu_quit") ||
               name == QLatin1String("change_main_menu_quit")) {
        RequestClose(true);
    } else if (name == QLatin1String("change_main_menu_change")) {
        ChangeUser();
    }
}

LRESULT CMainForm::MessageHandler(UINT, WPARAM, LPARAM, bool&)
{
    // The page has every key: Escape and Enter belong to it here.
    return 0;
}

void CMainForm::OnHomeClick()
{
    if (m_browser == nullptr) {
        return;
    }
    if (m_browser->GetCurrentUrl().contains(QLatin1String("Client")) &&
        CMessageBoxTip::Show(GetHWND(), QStringLiteral("离开此页面，返回首页?\n系统不会保存您所做的答案"),
                             QStringLiteral("离开")) != 1) {
        return;
    }
    CAudioPlayer::GetInstance().Stop();
    m_browser->RefreshAudioState();
    m_browser->GoHome();
}

void CMainForm::ChangeUser()
{
    CConfigService::Instance().SetRelogin(QStringLiteral("1"));
    if (m_browser != nullptr) {
        m_browser->GoHome();
        m_browser->SetUserId(0);
    }
    nim::SDKInstance::Get().Logout(kLogoutChangeUser, [](int) { LOG_VERB << "change user logout"; });
    PostUserMessage<WM_USER_SHOW_LOGIN>(GetHWND());
}

void CMainForm::PopupSettingsMenu()
{
    if (m_settingsMenu != nullptr) {
        m_settingsMenu->Close(0);
        m_settingsMenu = nullptr;
    }
    if (m_set == nullptr) {
        return;
    }
    QWidget* button = m_set->GetWidget();
    const QPoint anchor = button->mapToGlobal(QPoint(button->width() / 2 - 58, button->height() - 6));
    const QString layout =
        m_userId > 0 ? QStringLiteral("MainFormMenuChange.xml") : QStringLiteral("MainFormMenuLogin.xml");
    m_settingsMenu = CMenuWnd::Show(this, layout, anchor);
    QObject::connect(m_settingsMenu->GetWidget(), &QObject::destroyed, GetWidget(),
                     [this, menu = m_settingsMenu] {
                         if (m_settingsMenu == menu) {
                             m_settingsMenu = nullptr;
                         }
                     });
}

void CMainForm::ShowTrayMenu(int x, int y)
{
    if (m_trayMenu != nullptr) {
        m_trayMenu->Close(0);
        m_trayMenu = nullptr;
    }
    const QPoint point(x, y);
    m_trayMenu = CMenuWnd::Show(this, QStringLiteral("TrayIconMenu.xml"), point);
    QWidget* widget = m_trayMenu->GetWidget();
    const QScreen* screen = QGuiApplication::screenAt(point);
    const QRect desktop =
        screen != nullptr ? screen->geometry() : QGuiApplication::primaryScreen()->virtualGeometry();
    int left = x;
    if (left + widget->width() > desktop.right() + 1) {
        left = x - widget->width();
    }
    // Above the point, as over a panel at the bottom; below it when that would leave the desktop
    // (a panel at the top).
    int top = y - widget->height();
    if (top < desktop.top()) {
        top = y;
    }
    widget->move(left, top);
    QObject::connect(widget, &QObject::destroyed, GetWidget(), [this, menu = m_trayMenu] {
        if (m_trayMenu == menu) {
            m_trayMenu = nullptr;
        }
    });
}

void CMainForm::OnLeftDoubleClick()
{
    ShowFromTray();
}

void CMainForm::OnRightButtonUp()
{
    const QPoint cursor = QCursor::pos();
    ShowTrayMenu(cursor.x(), cursor.y());
}

void CMainForm::ShowFromTray()
{
    QWidget* widget = GetWidget();
    if (widget == nullptr) {
        return;
    }
    BringForward(widget);
    if (m_restore != nullptr && m_restore->IsVisible()) {
        SendMessage(GetHWND(), WM_SYSCOMMAND, SC_MAXIMIZE);
    }
}

void CMainForm::CloseChildren()
{
    const auto close = [](auto& child) {
        if (child.window != nullptr && child.window->GetHWND().IsWindow()) {
            PostMessage(child.window->GetHWND(), WM_CLOSE);
        }
    };
    close(m_login);
    close(m_register);
    close(m_resetPwd);
    close(m_settings);
    close(m_about);
}

void CMainForm::RequestClose(bool force)
{
    if (!force && CConfigService::Instance().IsWinHide(kWinHideKey)) {
        // Without a notification area a hidden window could not be reached again.
        const TrayBackend* tray = TrayIcon::Get().Backend();
        if (tray == nullptr || !tray->IsAvailable()) {
            LOG_INFO << "no notification area to hide in; minimising instead";
            SendMessage(GetHWND(), WM_SYSCOMMAND, SC_MINIMIZE);
            return;
        }
        ShowWindow(false);
        return;
    }
    ShowWindow(false);
    if (m_quitting) {
        return;
    }
    m_quitting = true;
    CloseChildren();
    TrayIcon::Get().RemoveIcon();
    CAudioPlayer::GetInstance().Stop();
    // The process ends when the IM logout is done, or after a short wait when the library is
    // missing or does not answer.
    m_logoutWait = std::make_unique<QTimer>();
    m_logoutWait->setSingleShot(true);
    QObject::connect(m_logoutWait.get(), &QTimer::timeout, [] {
        LOG_WARN << "the IM logout did not answer; leaving without it";
        QCoreApplication::exit(0);
    });
    m_logoutWait->start(kLogoutWaitMs);
    nim::SDKInstance::Get().Logout(kLogoutExit, [](int) {
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
}

void CMainForm::QuitNow()
{
    m_quitting = true;
    ShowWindow(false);
    TrayIcon::Get().RemoveIcon();
    CAudioPlayer::GetInstance().Stop();
    QCoreApplication::exit(0);
}

void CMainForm::OnPageLogin(std::unique_ptr<PageRequest> request)
{
    const std::int64_t userId = ShowLoginForm();
    if (userId <= 0) {
        return;
    }
    m_userId = userId;
    if (m_browser != nullptr) {
        m_browser->SetUserId(userId);
        m_browser->LoadUrl(PageBridge::ExamPaperUrl(m_browser->GetBaseUrl(), request->subjectId,
                                                    QString::fromStdString(request->subjectName), userId));
    }
}

LRESULT CMainForm::HandleMessage(WindowMessage& message)
{
    switch (message.message) {
    case WM_CLOSE:
        RequestClose(false);
        return 0;
    case WM_MAIN_IM_EVENT:
        if (const auto event = message.record.Take<ImEvent>()) {
            event->run(*this);
        }
        return 0;
    case WM_MENU_COMMAND:
        if (const auto command = TakeRecord<WM_MENU_COMMAND>(message)) {
            if (command->name == QLatin1String("menu_try_home")) {
                ShowFromTray();
            } else if (command->name == QLatin1String("menu_try_syset")) {
                ShowFromTray();
                if (m_settings.window == nullptr) {
                    ShowSystemSettings();
                }
            } else if (command->name == QLatin1String("menu_try_out")) {
                RequestClose(true);
            }
        }
        break;
    case WM_USER_LOGIN:
        if (auto request = TakeRecord<WM_USER_LOGIN>(message)) {
            OnPageLogin(std::move(request));
        } else {
            LOG_ERROR << "WM_USER_LOGIN Failed. param is NULL";
        }
        break;
    case WM_USER_REGISTER_OK:
    case WM_USER_RESET_PWD_OK:
        ShowMessageForm(message.message);
        break;
    case WM_USER_SHOW_LOGIN:
        if (const std::int64_t userId = ShowLoginForm(); userId > 0) {
            m_userId = userId;
            if (m_browser != nullptr) {
                m_browser->SetUserId(userId);
            }
        }
        break;
    case WM_USER_SHOW_REGISTER:
        ShowRegisterForm();
        break;
    case WM_USER_SHOW_RESET_PWD:
        ShowResetPwdForm();
        break;
    case WM_USER_OPEN_HOMEPAGE:
        COrvaManager::SafeOpenUrl(QString::fromLatin1(Deployment::kHomePage), 0);
        break;
    case WM_USER_OPEN_URL:
        if (const auto request = TakeRecord<WM_USER_OPEN_URL>(message)) {
            COrvaManager::SafeOpenUrl(QString::fromStdString(request->pageUrl), 0);
        }
        break;
    default:
        // WM_USER_WEBVIEW_REPAINT among them: Qt WebEngine paints the page itself whenever it
        // changes; an invalidation from here would only make it draw the same picture again, five
        // times a second (about a tenth of a core on a software-rendered display).
        break;
    }
    return WindowImplBase::HandleMessage(message);
}

CMainForm* ShowMainWnd()
{
    auto* form = new CMainForm;
    form->Create(WindowHandle(), QStringLiteral("Examora"), 0x00000100, 0x00060000);
    form->CenterWindow();
    form->ShowWindow(true, true);
    return form;
}
