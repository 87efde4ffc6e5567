#pragma once

#include "account/SmsCodeForm.h"

#include <string>

// The modal password reset window: the mobile number proven by an SMS code, a new password and
// its confirmation. Three signed requests (validate the number for a ticket, send the code, save
// the new password); its own 60-second resend countdown. Success posts WM_USER_RESET_PWD_OK to the
// owner and closes with code 1.
class CForgetPwdForm final : public CSmsCodeForm
{
public:
    CForgetPwdForm();

    // The seconds the resend countdown has left: one count for every reset window.
    [[nodiscard]] static int RemainingSeconds();

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("ForgetPwdForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CForgetPwdForm"); }
    void InitWindow() override;
    void OnReply(const HttpReply& reply) override;

private:
    void OnResetClick();

    COrvaEditPasswd* m_password = nullptr;
    COrvaEditPasswd* m_confirm = nullptr;
    CButtonUI* m_reset = nullptr;
    CLabelUI* m_passwordTip = nullptr;
    CLabelUI* m_confirmTip = nullptr;
    std::string m_submittedCode;
    std::string m_submittedPassword;
};
