#pragma once

#include "account/FieldTips.h"
#include "settings/SavedUser.h"
#include "ui/WindowImplBase.h"

#include <cstdint>
#include <string>

class CButtonUI;
class CLabelUI;
class COptionUI;
class COrvaEditPasswd;
class COrvaEditUserName;
struct HttpReply;
namespace nim {
struct LoginRes;
}

// The modal sign-in window. A sign-in takes three steps, each started by the reply to the one
// before: the signed sign-in request (ticket and IM credentials), the user-config request (the
// user id), then the IM sign-in. When the IM sign-in succeeds the account is remembered, the
// ticket published (CurrentTicket) and the window closes with code 1; the caller reads UserId()
// (0 when no user-config reply was read). It also pre-fills the last account, signs in by itself
// when that account asked for it, and leads to registration and password reset.
class CLoginForm final : public WindowImplBase
{
public:
    // An IM sign-in that has given no result by then counts as refused.
    static constexpr int kImLoginTimeoutMs = 20000;

    CLoginForm();
    ~CLoginForm() override;

    // The window that receives WM_USER_SHOW_REGISTER and WM_USER_SHOW_RESET_PWD; before Create.
    void SetOwner(const WindowHandle& owner) { m_owner = owner; }
    [[nodiscard]] std::int64_t UserId() const { return m_userId; }
    // Fills the fields and boxes from a remembered account (the dropdown's choice); sends nothing.
    void FillAccount(const SavedUser& user);
    // The login window object last constructed (for the dropdown); null once it is gone.
    [[nodiscard]] static CLoginForm* CurrentLoginForm();

    void Notify(TNotifyUI& msg) override;
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("LoginForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CLoginForm"); }
    void InitWindow() override;
    LRESULT HandleMessage(WindowMessage& message) override;
    CControlUI* CreateControl(const QString& className) override;

private:
    struct SignInCredentials
    {
        std::string ticket;
        std::string account;
        std::string appKey;
        std::string token;
    };

    void OnLoginClick();
    void PostLogin(const std::string& userName, const std::string& password);
    void PostGetUserConfig(const std::string& ticket);
    void NimLogin(const std::string& appKey, const std::string& account, const std::string& token,
                  bool isRelogin);
    // On the IM thread; attempt tells the window which of its IM sign-ins answered.
    static void OnNimLoginCallback(const nim::LoginRes& result, const WindowHandle& window, bool isRelogin,
                                   int attempt);
    void OnLoginReply(const HttpReply& reply);
    void OnUserConfigReply(const HttpReply& reply);
    void OnImLoginOk();
    void OnImLoginFailed();
    void EnableLogin(bool enable);

    WindowHandle m_owner;
    COrvaEditUserName* m_userName = nullptr;
    COrvaEditPasswd* m_password = nullptr;
    CButtonUI* m_login = nullptr;
    CLabelUI* m_accountTip = nullptr;
    CLabelUI* m_generalTip = nullptr;
    COptionUI* m_remember = nullptr;
    COptionUI* m_autoLogin = nullptr;
    std::string m_heldUserName;
    std::string m_heldPassword;
    SignInCredentials m_credentials;
    FieldTips m_tips;
    std::int64_t m_userId = 0;
    // Counts IM sign-ins, so that a late result of an earlier one does not end a later one.
    int m_imAttempt = 0;
    bool m_imPending = false;
};
