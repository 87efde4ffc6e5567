#include "account/ForgetPwdForm.h"

#include "account/AccountRequest.h"
#include "account/OrvaEditPasswd.h"
#include "environment/Environment.h"
#include "messages/WindowMessages.h"
#include "service/HttpReply.h"
#include "service/OrvaManager.h"
#include "service/ReplyReader.h"
#include "ui/ButtonUI.h"
#include "ui/LabelUI.h"

namespace {

constexpr const char* kResetKind = "ReSetPasswd";

int g_remainingSeconds = CSmsCodeForm::kCountdownSeconds;

} // namespace

CForgetPwdForm::CForgetPwdForm()
    : CSmsCodeForm(g_remainingSeconds,
                   {"ForgetPwdValidateMobile", "CForgetPwdForm::OnPostForgetPwdValidateMobileCallback",
                    "pc/reset-pwd/validate-mobile", "ForgetPwdGetSmsCode",
                    "CForgetPwdForm::OnPostForgetPwdGetSmsCodeCallback", "pc/reset-pwd/send-m-code"})
{
}

int CForgetPwdForm::RemainingSeconds()
{
    return g_remainingSeconds;
}

void CForgetPwdForm::InitWindow()
{
    m_number = FindControl<COrvaEditPasswd>(QStringLiteral("forget_pwd_edit_user_name"));
    m_code = FindControl<COrvaEditPasswd>(QStringLiteral("forget_edit_sms_code"));
    m_password = FindControl<COrvaEditPasswd>(QStringLiteral("forget_pwd_edit_pwd"));
    m_confirm = FindControl<COrvaEditPasswd>(QStringLiteral("forget_pwd_edit_pwd_confirm"));
    m_codeButton = FindControl<CButtonUI>(QStringLiteral("forget_pwd_btn_sms_code"));
    m_reset = FindControl<CButtonUI>(QStringLiteral("forget_pwd_btn_reset"));
    m_numberTip = FindControl<CLabelUI>(QStringLiteral("forget_pwd_lab_tip_err_account"));
    m_codeTip = FindControl<CLabelUI>(QStringLiteral("forget_lab_tip_err_sms_code"));
    m_passwordTip = FindControl<CLabelUI>(QStringLiteral("forget_pwd_lab_tip_err_msg"));
    m_confirmTip = FindControl<CLabelUI>(QStringLiteral("forget_pwd_lab_tip_err_msg_confirm"));
    m_tips = FieldTips{
        {m_numberTip, m_number}, {m_codeTip, m_code}, {m_passwordTip, m_password}, {m_confirmTip, m_confirm}};
    for (CButtonUI* button : {m_codeButton, m_reset}) {
        if (button != nullptr) {
            button->SetEnabled(false);
        }
    }
    PrepareField(m_number, QStringLiteral("forget_user_name"), true);
    PrepareField(m_password, QStringLiteral("forget_pwd"), false);
    PrepareField(m_confirm, QStringLiteral("forget_pwd_confirm"), false);
    PrepareField(m_code, QStringLiteral("forget_sms_code"), true);
}

void CForgetPwdForm::Notify(TNotifyUI& msg)
{
    if (msg.pSender == nullptr) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("forget_pwd_btn_close")) {
            Close(1);
        } else if (name == QLatin1String("forget_pwd_btn_register")) {
            PostUserMessage<WM_USER_SHOW_REGISTER>(m_owner);
            Close(1);
        } else if (name == QLatin1String("forget_pwd_btn_login")) {
            PostUserMessage<WM_USER_SHOW_LOGIN>(m_owner);
            Close(1);
        } else if (name == QLatin1String("forget_pwd_btn_sms_code")) {
            // An earlier ticket stays until a validate reply brings a new one.
            OnSmsCodeClick(false);
        } else if (name == QLatin1String("forget_pwd_btn_reset")) {
            OnResetClick();
        }
        return;
    }
    if (msg.sType != QLatin1String("textchanged") || m_number == nullptr || m_code == nullptr ||
        m_password == nullptr || m_confirm == nullptr) {
        return;
    }
    if (name == m_code->GetEditName() || name == m_number->GetEditName() ||
        name == m_password->GetEditName() || name == m_confirm->GetEditName()) {
        ApplyCodeButtonRule();
        if (m_reset != nullptr) {
            m_reset->SetEnabled(!m_number->GetText().isEmpty() && !m_code->GetText().isEmpty() &&
                                !m_password->GetText().isEmpty() && !m_confirm->GetText().isEmpty());
        }
    }
}

void CForgetPwdForm::OnResetClick()
{
    if (m_code == nullptr || m_password == nullptr || m_confirm == nullptr) {
        return;
    }
    m_tips.Clear();
    m_submittedCode.clear();
    m_submittedPassword.clear();
    const QString code = m_code->GetText();
    if (code.size() != 6) {
        m_tips.Show(m_codeTip, QStringLiteral("验证码为6位数字"));
        return;
    }
    const QString password = m_password->GetText();
    if (password.size() < 6) {
        m_tips.Show(m_passwordTip, QStringLiteral("请填写一个6位以上的密码"));
        return;
    }
    if (password.size() > 20) {
        m_tips.Show(m_passwordTip, QStringLiteral("请填写一个6位以上20位以下的密码"));
        return;
    }
    if (!COrvaManager::IsAlphaNumeric(Utf8(password))) {
        m_tips.Show(m_confirmTip, QStringLiteral("密码只能由数字和字母构成"));
        return;
    }
    if (m_confirm->GetText() != password) {
        m_tips.Show(m_confirmTip, QStringLiteral("请输入相同的密码"));
        return;
    }
    m_submittedCode = Utf8(code);
    m_submittedPassword = Utf8(password);
    if (m_reset != nullptr) {
        m_reset->SetEnabled(false);
    }
    PostAccountRequest(
        GetHWND(), {kResetKind, "CForgetPwdForm::OnPostReSetPasswdCallback",
                    GetEnvironmentSettings().offcieDomain + "pc/reset-pwd/save-m-pwd",
                    COrvaManager::SignParamList({"smsCode=" + m_submittedCode, "pwd=" + m_submittedPassword,
                                                 "repwd=" + m_submittedPassword, "ticket=" + m_ticket})});
}

void CForgetPwdForm::OnReply(const HttpReply& reply)
{
    if (reply.kind != kResetKind) {
        return;
    }
    const StateReply state = ReplyReader::ReadStateReply(reply.responseCode, reply.reply);
    if (state.outcome == ReplyOutcome::Success) {
        PostUserMessage<WM_USER_RESET_PWD_OK>(m_owner);
        Close(1);
        return;
    }
    if (state.outcome == ReplyOutcome::Refused) {
        ShowRefusal(state.state, state.stateInfo, m_confirmTip);
    } else {
        m_tips.Show(m_confirmTip, QStringLiteral("远程连接异常"));
    }
    if (m_reset != nullptr) {
        m_reset->SetEnabled(true);
    }
}
