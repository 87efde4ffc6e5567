#include "account/RegisterForm.h"

#include "account/AccountRequest.h"
#include "account/OrvaEditPasswd.h"
#include "diag/Log.h"
#include "diag/MachineId.h"
#include "environment/Deployment.h"
#include "environment/Environment.h"
#include "im/SDKInstance.h"
#include "messages/WindowMessages.h"
#include "platform/JsonReader.h"
#include "service/HttpReply.h"
#include "service/OrvaManager.h"
#include "service/ReplyReader.h"
#include "ui/ButtonUI.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>

namespace {

constexpr const char* kSaveKind = "ValidateSmsCodeAndSetPwd";

int g_remainingSeconds = CSmsCodeForm::kCountdownSeconds;

// The number read from the start of the text as a 64-bit integer (white space, a sign, digits);
// -1 when the text holds none, as for an empty number.
std::int64_t MobileOf(const std::string& number)
{
    const auto begin =
        std::find_if(number.begin(), number.end(), [](char c) { return c != ' ' && c != '\t'; });
    const char* first = number.data() + (begin - number.begin());
    if (first < number.data() + number.size() && *first == '+') {
        ++first;
    }
    std::int64_t value = -1;
    if (std::from_chars(first, number.data() + number.size(), value).ec != std::errc()) {
        return -1;
    }
    return value;
}

std::string WithoutBlanks(std::string text)
{
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == ' '; });
    return text;
}

} // namespace

CRegisterForm::CRegisterForm()
    : CSmsCodeForm(g_remainingSeconds,
                   {"ValidateMobile", "CRegisterForm::OnPostValidateMobileCallback",
                    "pc/register/validate-mobile", "RegisterGetSmsCode",
                    "CRegisterForm::OnPostRegisterGetSmsCodeCallback", "pc/register/send-m-code"})
{
    std::string address;
    GetMacAddress(address);
    m_track.deviceId = "OrvaExamora_" + address;
    m_track.serialNumber = "OrvaExamora_" + nim::SDKInstance::Get().GetUuid();
}

int CRegisterForm::RemainingSeconds()
{
    return g_remainingSeconds;
}

void CRegisterForm::InitWindow()
{
    m_number = FindControl<COrvaEditPasswd>(QStringLiteral("register_edit_user_name"));
    m_code = FindControl<COrvaEditPasswd>(QStringLiteral("register_edit_sms_code"));
    m_password = FindControl<COrvaEditPasswd>(QStringLiteral("register_edit_pwd"));
    m_codeButton = FindControl<CButtonUI>(QStringLiteral("register_btn_sms_code"));
    m_submit = FindControl<CButtonUI>(QStringLiteral("register_btn_submit"));
    m_agree = FindControl<COptionUI>(QStringLiteral("register_chk_agree"));
    m_numberTip = FindControl<CLabelUI>(QStringLiteral("register_lab_tip_err_account"));
    m_codeTip = FindControl<CLabelUI>(QStringLiteral("register_lab_tip_err_sms_code"));
    m_generalTip = FindControl<CLabelUI>(QStringLiteral("register_lab_tip_err_msg"));
    m_tips = FieldTips{{m_numberTip, m_number}, {m_codeTip, m_code}, {m_generalTip, m_password}};
    PrepareField(m_number, QStringLiteral("reg_user_name"), true);
    for (CButtonUI* button : {m_codeButton, m_submit}) {
        if (button != nullptr) {
            button->SetEnabled(false);
        }
    }
    PrepareField(m_password, QStringLiteral("reg_pwd"), false);
    PrepareField(m_code, QStringLiteral("reg_sms_code"), true);
    PostAccountRequest(GetHWND(), {nullptr,
                                   "CRegisterForm::OnPostTongJiRegisterCallback",
                                   GetEnvironmentSettings().tikuDomain + "track/v1/register",
                                   ReadyRegisterParam("register", ""),
                                   20000,
                                   true,
                                   {{"Content-Type", "application/json"}, {"charset", "utf-8"}}});
}

std::string CRegisterForm::ReadyRegisterParam(const std::string& action, const std::string& number)
{
    m_track.mobile = number.empty() ? -1 : MobileOf(number);
    m_track.action = action;
    m_track.wx = "-1";
    m_track.cplanner = "-1";
    const TrackRecord& t = m_track;
    const std::string query =
        "mobile=" + std::to_string(t.mobile) + "&wx=" + t.wx + "&cplanner=" + t.cplanner +
        "&skuCode=" + std::to_string(t.skuCode) + "&appType=" + std::to_string(t.appType) +
        "&platform=" + std::to_string(t.platform) + "&channel=" + t.channel + "&scene=" + t.scene +
        "&position=" + t.position + "&action=" + t.action + "&deviceId=" + t.deviceId +
        "&serialNumber=" + t.serialNumber + "&userId=" + t.userId + "&idfaOrImei=" + t.idfaOrImei +
        (t.debug ? "&debug=true" : "&debug=false");
    Json::Value record(Json::objectValue);
    record["skuCode"] = Json::Int64(t.skuCode);
    record["appType"] = t.appType;
    record["platform"] = t.platform;
    record["channel"] = t.channel;
    record["scene"] = t.scene;
    record["position"] = t.position;
    record["action"] = t.action;
    record["deviceId"] = t.deviceId;
    record["serialNumber"] = t.serialNumber;
    record["idfaOrImei"] = t.idfaOrImei;
    record["userId"] = t.userId;
    record["debug"] = t.debug;
    record["signature"] = COrvaManager::MakeSignature(query);
    record["mobile"] = Json::Int64(t.mobile);
    record["wx"] = t.wx;
    record["cplanner"] = t.cplanner;
    const QByteArray inner = QByteArray::fromStdString(WithoutBlanks(JsonReader::Compact(record))).toBase64();
    Json::Value envelope(Json::objectValue);
    envelope["track"] = inner.toStdString();
    std::string body = WithoutBlanks(JsonReader::Compact(envelope));
    LOG_VERB << "szBodyJsonString:[" << body << "]";
    return body;
}

void CRegisterForm::Notify(TNotifyUI& msg)
{
    if (msg.pSender == nullptr) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("register_btn_close")) {
            Close(1);
        } else if (name == QLatin1String("register_btn_login")) {
            PostUserMessage<WM_USER_SHOW_LOGIN>(m_owner);
            Close(1);
        } else if (name == QLatin1String("register_btn_forget_pwd")) {
            PostUserMessage<WM_USER_SHOW_RESET_PWD>(m_owner);
            Close(1);
        } else if (name == QLatin1String("register_btn_user_agreement")) {
            COrvaManager::SafeOpenUrl(QString::fromLatin1(Deployment::kUserAgreementPage), 0);
        } else if (name == QLatin1String("register_btn_privacy_policy")) {
            COrvaManager::SafeOpenUrl(QString::fromLatin1(Deployment::kPrivacyPolicyPage), 0);
        } else if (name == QLatin1String("register_btn_sms_code")) {
            OnSmsCodeClick(true);
        } else if (name == QLatin1String("register_btn_submit")) {
            OnSubmitClick();
        }
    } else if (msg.sType == QLatin1String("textchanged") && m_number != nullptr && m_code != nullptr &&
               m_password != nullptr &&
               (name == m_password->GetEditName() || name == m_code->GetEditName() ||
                name == m_number->GetEditName())) {
        ApplyCodeButtonRule();
        ApplySubmitRule();
    } else if (msg.sType == QLatin1String("selectchanged") && name == QLatin1String("register_chk_agree")) {
        ApplySubmitRule();
    }
}

void CRegisterForm::ApplySubmitRule()
{
    if (m_number == nullptr || m_code == nullptr || m_password == nullptr || m_submit == nullptr ||
        m_agree == nullptr) {
        return;
    }
    m_submit->SetEnabled(!m_number->GetText().isEmpty() && !m_code->GetText().isEmpty() &&
                         !m_password->GetText().isEmpty() && m_agree->IsSelected());
}

void CRegisterForm::OnSubmitClick()
{
    if (m_code == nullptr || m_password == nullptr) {
        return;
    }
    m_tips.Clear();
    const QString code = m_code->GetText();
    if (code.size() != 6 || !COrvaManager::IsNumber(Utf8(code))) {
        m_tips.Show(m_codeTip, QStringLiteral("验证码为6位数字"));
        return;
    }
    const QString password = m_password->GetText();
    if (password.size() < 6) {
        m_tips.Show(m_generalTip, QStringLiteral("请填写一个6位以上的密码"));
        return;
    }
    if (password.size() > 20) {
        m_tips.Show(m_generalTip, QStringLiteral("请填写一个6位以上20位以下的密码"));
        return;
    }
    if (!COrvaManager::IsAlphaNumeric(Utf8(password))) {
        m_tips.Show(m_generalTip, QStringLiteral("密码只能由数字和字母构成"));
        return;
    }
    if (m_submit != nullptr) {
        m_submit->SetEnabled(false);
    }
    PostAccountRequest(
        GetHWND(),
        {kSaveKind, "CRegisterForm::OnPostValidateSmsCodeAndSetPwdCallback",
         GetEnvironmentSettings().offcieDomain + "pc/register/validate-code-save",
         COrvaManager::SignParamList({"smsCode=" + Utf8(code), "pwd=" + Utf8(password), "ticket=" + m_ticket,
                                      "params=" + ReadyRegisterParam("rfinish", m_capturedNumber)})});
}

void CRegisterForm::OnReply(const HttpReply& reply)
{
    if (reply.kind != kSaveKind) {
        return;
    }
    const StateReply state = ReplyReader::ReadStateReply(reply.responseCode, reply.reply);
    if (state.outcome == ReplyOutcome::Success) {
        PostUserMessage<WM_USER_REGISTER_OK>(m_owner);
        if (m_submit != nullptr) {
            m_submit->SetEnabled(true);
        }
        Close(1);
        return;
    }
    if (state.outcome == ReplyOutcome::Refused) {
        ShowRefusal(state.state, state.stateInfo, m_generalTip);
    } else {
        m_tips.Show(m_generalTip, QStringLiteral("远程连接异常"));
    }
    if (m_submit != nullptr) {
        m_submit->SetEnabled(true);
    }
}
