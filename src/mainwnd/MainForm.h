#pragma once

#include "mainwnd/TrayIconDelegate.h"
#include "ui/WindowImplBase.h"

#include <QPointer>

#include <cstdint>
#include <memory>

class CAboutWnd;
class CButtonUI;
class CForgetPwdForm;
class CLoginForm;
class CMenuWnd;
class CRegisterForm;
class CShowMessageForm;
class CSystemSetForm;
class CWkeWebkitUI;
class QTimer;
struct PageRequest;

namespace nim {
struct IMMessage;
struct KickoutRes;
struct LoginRes;
} // namespace nim

// The client's one long-lived window: its own title bar, the exam pages in the web view, the
// openers of every other window, the page bridge's requests, the tray icon and the IM session's
// handlers. A close hides it in the notification area (when the user chose so) or ends the client
// after the IM logout; a forced logout ends it at once.
class CMainForm final : public WindowImplBase, public TrayIconDelegate
{
public:
    static constexpr int kMinWidth = 960;
    static constexpr int kMinHeight = 600;
    // How long the quit path waits for the IM logout before it ends the process anyway.
    static constexpr int kLogoutWaitMs = 3000;

    CMainForm();
    ~CMainForm() override;

    // The opened main window of the process (for the single-instance rule); null before.
    [[nodiscard]] static CMainForm* Current();

    void Notify(TNotifyUI& msg) override;
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // The user id of the sign-in (0 when cancelled or refused).
    std::int64_t ShowLoginForm();
    void ShowRegisterForm();
    void ShowResetPwdForm();
    void ShowMessageForm(UINT message);
    void ShowSystemSettings();
    void ShowAbout();
    // Hides the window; then, unless the user keeps the client in the notification area (and
    // force is false), closes the other windows and ends the client after the IM logout.
    void RequestClose(bool force);
    void ShowFromTray();
    void ShowTrayMenu(int x, int y);
    // Ends the client at once (forced logouts).
    void QuitNow();

    void OnLeftDoubleClick() override;
    void OnRightButtonUp() override;

    [[nodiscard]] CWkeWebkitUI* WebView() const { return m_browser; }
    [[nodiscard]] std::int64_t UserId() const { return m_userId; }
    [[nodiscard]] CMenuWnd* SettingsMenu() const { return m_settingsMenu; }
    [[nodiscard]] CMenuWnd* TrayMenu() const { return m_trayMenu; }
    [[nodiscard]] CLoginForm* LoginForm() const { return m_login.window.get(); }

    // The IM session's handlers (on the UI thread; the library's threads hand them over).
    void OnReLoginCallback(const nim::LoginRes& result);
    void OnLoginOutCallBack(const nim::KickoutRes& kickout);
    void OnLoginBreakCallBack();
    void OnReceiveMsgCallback(const nim::IMMessage& message);

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("MainForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CMainForm"); }
    void InitWindow() override;
    LRESULT HandleMessage(WindowMessage& message) override;

private:
    // A kind of child window: its object, and whether its modal loop is running (then the object
    // must not be replaced, whatever happened to its native window).
    template <typename Window>
    struct Child
    {
        std::unique_ptr<Window> window;
        bool running = false;
    };

    // Opens a child window modally by the openers' shared rule. While one of that kind is still
    // running, brings it forward instead (or, once its native window is gone, asks again when its
    // loop has ended) and answers false.
    template <typename Window, typename Prepare>
    bool RunChild(Child<Window>& child, const QString& title, uint32_t style, uint32_t exStyle,
                  UINT retryMessage, Prepare prepare);
    void RegisterImHandlers();
    void OnPageLogin(std::unique_ptr<PageRequest> request);
    void OnHomeClick();
    void ChangeUser();
    void PopupSettingsMenu();
    void CloseChildren();

    CButtonUI* m_home = nullptr;
    CButtonUI* m_refresh = nullptr;
    CButtonUI* m_set = nullptr;
    CButtonUI* m_min = nullptr;
    CButtonUI* m_max = nullptr;
    CButtonUI* m_restore = nullptr;
    CButtonUI* m_close = nullptr;
    CWkeWebkitUI* m_browser = nullptr;

    Child<CLoginForm> m_login;
    Child<CRegisterForm> m_register;
    Child<CForgetPwdForm> m_resetPwd;
    Child<CShowMessageForm> m_message;
    Child<CSystemSetForm> m_settings;
    Child<CAboutWnd> m_about;

    CMenuWnd* m_settingsMenu = nullptr;
    CMenuWnd* m_trayMenu = nullptr;
    std::unique_ptr<QTimer> m_logoutWait;
    std::int64_t m_userId = 0;
    bool m_quitting = false;
};

// Creates, centres and shows the main window ("Examora"); the process's one.
CMainForm* ShowMainWnd();
