#include "account/LoginForm.h"

#include "account/AccountEditFactory.h"
#include "account/AccountRequest.h"
#include "account/CurrentTicket.h"
#include "account/LognComboxWnd.h"
#include "account/OrvaEditPasswd.h"
#include "account/OrvaEditUserName.h"
#include "diag/Log.h"
#include "diag/LogMask.h"
#include "environment/Environment.h"
#include "im/SDKInstance.h"
#include "messages/WindowMessages.h"
#include "service/HttpReply.h"
#include "service/OrvaManager.h"
#include "service/ReplyReader.h"
#include "settings/ConfigService.h"
#include "ui/ButtonUI.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"

namespace {

constexpr const char* kLoginKind = "login";
constexpr const char* kUserConfigKind = "GetUserConfigByTicket";

CLoginForm* g_currentLoginForm = nullptr;

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

QString Utf16(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CLoginForm::CLoginForm()
{
    g_currentLoginForm = this;
}

CLoginForm::~CLoginForm()
{
    if (g_currentLoginForm == this) {
        g_currentLoginForm = nullptr;
    }
}

CLoginForm* CLoginForm::CurrentLoginForm()
{
    return g_currentLoginForm;
}

CControlUI* CLoginForm::CreateControl(const QString& className)
{
    return CreateAccountEdit(className, GetPaintManager());
}

void CLoginForm::InitWindow()
{
    m_userName = FindControl<COrvaEditUserName>(QStringLiteral("login_edit_user_name"));
    m_password = FindControl<COrvaEditPasswd>(QStringLiteral("login_edit_pwd"));
    m_login = FindControl<CButtonUI>(QStringLiteral("login_btn_login"));
    m_accountTip = FindControl<CLabelUI>(QStringLiteral("login_lab_tip_err_account"));
    m_generalTip = FindControl<CLabelUI>(QStringLiteral("login_lab_tip_err_msg"));
    m_remember = FindControl<COptionUI>(QStringLiteral("login_opn_chk_rember"));
    m_autoLogin = FindControl<COptionUI>(QStringLiteral("login_opn_chk_autologin"));
    m_tips = FieldTips{{m_accountTip, m_userName}, {m_generalTip, m_password}};
    if (m_userName == nullptr || m_password == nullptr || m_remember == nullptr || m_autoLogin == nullptr) {
        return;
    }
    m_userName->SetOwnerWindow(GetHWND());
    CConfigService& config = CConfigService::Instance();
    const QList<SavedUser> users = config.LoadUsers();
    if (users.isEmpty()) {
        return;
    }
    m_userName->ShowComboButton(true);
    const SavedUser& last = users.front();
    m_userName->SetText(last.userName);
    if (!last.isRememberPwd) {
        return;
    }
    m_password->SetText(last.userPwd);
    m_remember->Selected(true, false);
    if (!last.isAutoLogin) {
        return;
    }
    m_autoLogin->Selected(true, false);
    if (config.IsRelogin()) {
        // The user has just asked to switch accounts: fill in, but do not sign in.
        config.SetRelogin(QStringLiteral("0"));
        return;
    }
    m_credentials = {Utf8(last.userTicket), Utf8(last.account), Utf8(last.appkey), Utf8(last.token)};
    EnableLogin(false);
    PostLogin(Utf8(last.userName), Utf8(last.userPwd));
}

void CLoginForm::Notify(TNotifyUI& msg)
{
    if (msg.pSender == nullptr) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("login_btn_close")) {
            Close(1);
        } else if (name == QLatin1String("login_btn_regedit")) {
            PostUserMessage<WM_USER_SHOW_REGISTER>(m_owner);
            Close(1);
        } else if (name == QLatin1String("login_btn_forget_pwd")) {
            PostUserMessage<WM_USER_SHOW_RESET_PWD>(m_owner);
            Close(1);
        } else if (name == QLatin1String("login_btn_login")) {
            OnLoginClick();
        }
    } else if (msg.sType == QLatin1String("textchanged") && m_userName != nullptr && m_password != nullptr &&
               (name == m_userName->GetEditName() || name == m_password->GetEditName())) {
        EnableLogin(!m_userName->GetText().isEmpty() && !m_password->GetText().isEmpty());
    }
}

LRESULT CLoginForm::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled)
{
    // Neither key signs in, closes the window or reaches a control.
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        bHandled = true;
    }
    return 0;
}

void CLoginForm::OnLoginClick()
{
    if (m_userName == nullptr || m_password == nullptr) {
        return;
    }
    m_tips.Clear();
    m_credentials = {};
    const QString number = m_userName->GetText();
    const QString password = m_password->GetText();
    // The number as typed: 11 units that read as a number (spaces go only when it is sent).
    if (number.isEmpty() || number.size() != 11 || !COrvaManager::IsNumber(Utf8(number))) {
        m_tips.Show(m_accountTip, QStringLiteral("您填写的手机号格式错误"));
        return;
    }
    if (password.isEmpty()) {
        m_tips.Show(m_generalTip, QStringLiteral("账号或密码输入错误"));
        return;
    }
    EnableLogin(false);
    m_heldUserName = Utf8(number);
    m_heldPassword = Utf8(password);
    PostLogin(m_heldUserName, m_heldPassword);
}

void CLoginForm::PostLogin(const std::string& userName, const std::string& password)
{
    EnableLogin(false);
    const std::string name = COrvaManager::TrimSpaces(userName);
    const std::string secret = COrvaManager::TrimSpaces(password);
    PostAccountRequest(GetHWND(), {kLoginKind, "CLoginForm::OnPostLoginCallback",
                                   GetEnvironmentSettings().offcieDomain + "pc/pc-lg",
                                   COrvaManager::SignParamList({"m=" + name, "p=" + secret, "source=tpc"}),
                                   20000, true});
}

void CLoginForm::PostGetUserConfig(const std::string& ticket)
{
    PostAccountRequest(GetHWND(), {kUserConfigKind, "CLoginForm::OnPostGetUserConfigCallback",
                                   GetEnvironmentSettings().offcieDomain + "uc/validate-user?d_t=" + ticket,
                                   "", 10000, false});
}

void CLoginForm::NimLogin(const std::string& appKey, const std::string& account, const std::string& token,
                          bool isRelogin)
{
    const int attempt = ++m_imAttempt;
    const WindowHandle window = GetHWND();
    const bool started = nim::SDKInstance::Get().Login(
        appKey, account, token, [window, isRelogin, attempt](const nim::LoginRes& result) {
            OnNimLoginCallback(result, window, isRelogin, attempt);
        });
    LOG_VERB << "appKey:[" << appKey << "]";
    LOG_VERB << "_account:[" << account << "]";
    LOG_VERB << "_token:[" << LogMask::Secret(token) << "]";
    LOG_VERB << "isRelogin:[" << (isRelogin ? 1 : 0) << "]";
    // A sign-in the library refused to start, or that never answers, is a failed one.
    m_imPending = true;
    if (!started) {
        PostUserMessage<WM_USER_IM_LOGIN_FAILED>(window, static_cast<WPARAM>(attempt));
        return;
    }
    SetTimer(TIMER_ID_IM_LOGIN, kImLoginTimeoutMs);
}

void CLoginForm::OnNimLoginCallback(const nim::LoginRes& result, const WindowHandle& window, bool isRelogin,
                                    int attempt)
{
    if (result.res_code_ == 200 && result.login_step_ == 3) {
        LOG_VERB << (isRelogin ? "Nim ReLogin Succeed." : "Nim Login Succeed.");
        SendUserMessage<WM_USER_IM_LOGIN_OK>(window, static_cast<WPARAM>(attempt));
    } else if (result.res_code_ == 302 || result.res_code_ == 403) {
        LOG_VERB << "Nim Login Failed.";
        PostUserMessage<WM_USER_IM_LOGIN_FAILED>(window, static_cast<WPARAM>(attempt));
    } else if (result.login_step_ == 3) {
        // Any other final result (no connection, cancelled) would leave the window waiting until
        // its time limit: it is a failure now.
        LOG_VERB << "Nim Login Failed. code:[" << result.res_code_ << "]";
        PostUserMessage<WM_USER_IM_LOGIN_FAILED>(window, static_cast<WPARAM>(attempt));
    }
}

LRESULT CLoginForm::HandleMessage(WindowMessage& message)
{
    switch (message.message) {
    case WM_USER_HTTP_REPLY:
        if (const auto reply = TakeRecord<WM_USER_HTTP_REPLY>(message)) {
            if (reply->kind == kLoginKind) {
                OnLoginReply(*reply);
            } else if (reply->kind == kUserConfigKind) {
                OnUserConfigReply(*reply);
            }
        }
        break;
    case WM_USER_IM_LOGIN_OK:
    case WM_USER_IM_LOGIN_FAILED:
        // Only the result of the IM sign-in now waited for; a late one after the time limit is
        // dropped.
        if (m_imPending && message.wParam == static_cast<WPARAM>(m_imAttempt)) {
            m_imPending = false;
            KillTimer(TIMER_ID_IM_LOGIN);
            if (message.message == WM_USER_IM_LOGIN_OK) {
                OnImLoginOk();
            } else {
                OnImLoginFailed();
            }
        }
        break;
    case WM_USER_SHOW_USER_LIST:
        if (m_userName != nullptr && !CConfigService::Instance().LoadUsers().isEmpty()) {
            // The popup deletes itself when it closes.
            (new CLognComboxWnd)->ShowUnder(GetHWND(), m_userName);
        }
        break;
    case WM_TIMER:
        if (message.wParam == TIMER_ID_IM_LOGIN) {
            KillTimer(TIMER_ID_IM_LOGIN);
            if (m_imPending) {
                m_imPending = false;
                LOG_WARN << "the IM sign-in gave no result in " << kImLoginTimeoutMs << " ms";
                OnImLoginFailed();
            }
        }
        break;
    default:
        break;
    }
    return WindowImplBase::HandleMessage(message);
}

void CLoginForm::OnLoginReply(const HttpReply& reply)
{
    const LoginReply login = ReplyReader::ReadLoginReply(reply.responseCode, reply.reply);
    switch (login.outcome) {
    case ReplyOutcome::TransportFailure:
        m_tips.Show(m_generalTip, QStringLiteral("远程连接异常"));
        EnableLogin(true);
        return;
    case ReplyOutcome::ParseFailure:
        m_tips.Show(m_generalTip, QString());
        EnableLogin(true);
        return;
    case ReplyOutcome::Refused: {
        QString text = login.message;
        const MessageField field = COrvaManager::GetStateMessage(login.status, text);
        m_tips.Show(field == MessageField::Account ? m_accountTip : m_generalTip, text);
        EnableLogin(true);
        return;
    }
    case ReplyOutcome::Success:
        m_credentials = {login.ticket, login.account, login.appKey, login.token};
        PostGetUserConfig(login.ticket);
        return;
    }
}

void CLoginForm::OnUserConfigReply(const HttpReply& reply)
{
    const UserConfigReply config = ReplyReader::ReadUserConfigReply(reply.responseCode, reply.reply);
    if (config.outcome == ReplyOutcome::TransportFailure) {
        m_tips.Show(m_generalTip, QStringLiteral("远程连接异常"));
        EnableLogin(true);
        return;
    }
    if (config.outcome != ReplyOutcome::Success) {
        m_tips.Show(m_generalTip, QStringLiteral("登录失败"));
        EnableLogin(true);
        return;
    }
    m_userId = config.id;
    NimLogin(m_credentials.appKey, m_credentials.account, m_credentials.token, false);
}

void CLoginForm::OnImLoginOk()
{
    EnableLogin(true);
    SetCurrentTicket(m_credentials.ticket);
    CConfigService::Instance().SaveUser(Utf16(m_heldUserName), Utf16(m_heldPassword),
                                        Utf16(m_credentials.ticket), Utf16(m_credentials.appKey),
                                        Utf16(m_credentials.account), Utf16(m_credentials.token),
                                        m_remember != nullptr && m_remember->IsSelected(),
                                        m_autoLogin != nullptr && m_autoLogin->IsSelected());
    Close(1);
}

void CLoginForm::OnImLoginFailed()
{
    EnableLogin(true);
    m_tips.Show(m_generalTip, QStringLiteral("登录失败[云信登录失败]"));
}

void CLoginForm::FillAccount(const SavedUser& user)
{
    if (m_login != nullptr) {
        m_login->SetFocus();
    }
    if (user.userName.isEmpty() || m_userName == nullptr || m_password == nullptr) {
        return;
    }
    m_userName->SetText(user.userName);
    m_password->SetText(user.userPwd);
    if (m_remember != nullptr) {
        m_remember->Selected(user.isRememberPwd, false);
    }
    if (m_autoLogin != nullptr) {
        m_autoLogin->Selected(user.isAutoLogin, false);
    }
}

void CLoginForm::EnableLogin(bool enable)
{
    if (m_login != nullptr) {
        m_login->SetEnabled(enable);
    }
}
