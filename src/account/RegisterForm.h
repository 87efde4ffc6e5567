#pragma once

#include "account/SmsCodeForm.h"

#include <cstdint>
#include <string>

class COptionUI;

// The modal registration window: a mobile number, an SMS code and a password. Three signed
// requests create the account (validate the number for a ticket, send the code for that ticket,
// check the code and save the password); a 60-second countdown guards the resend button. Every
// opening reports a "register" tracking record to the analytics API, and the final request carries
// the "rfinish" record. Success posts WM_USER_REGISTER_OK to the owner and closes with code 1.
class CRegisterForm final : public CSmsCodeForm
{
public:
    CRegisterForm();

    // The seconds the resend countdown has left: one count for every registration window.
    [[nodiscard]] static int RemainingSeconds();
    // The tracking body {"track": Base64 of the signed record} for an action and a number (empty:
    // no number, mobile -1).
    std::string ReadyRegisterParam(const std::string& action, const std::string& number);

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("RegisterForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CRegisterForm"); }
    void InitWindow() override;
    void OnReply(const HttpReply& reply) override;

private:
    struct TrackRecord
    {
        std::int64_t skuCode = 31;
        int appType = 999;
        int platform = 997;
        std::string channel = "nomal";
        std::string scene = "other";
        std::string position = "r_fztkzc_otherregister";
        std::string action;
        std::string deviceId;
        std::string serialNumber;
        std::string userId = "-1";
        std::string idfaOrImei = "-1";
        bool debug = false;
        std::int64_t mobile = -1;
        std::string wx = "-1";
        std::string cplanner = "-1";
    };

    void ApplySubmitRule();
    void OnSubmitClick();

    COrvaEditPasswd* m_password = nullptr;
    CButtonUI* m_submit = nullptr;
    COptionUI* m_agree = nullptr;
    CLabelUI* m_generalTip = nullptr;
    TrackRecord m_track;
};
