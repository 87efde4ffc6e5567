#include "account/RegisterForm.h"

#include "account/AccountEditFactory.h"
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

constexpr const char* kValidateMobileKind = "ValidateMobile";
constexpr const char* kGetSmsCodeKind = "RegisterGetSmsCode";
constexpr const char* kSaveKind = "ValidateSmsCodeAndSetPwd";
constexpr const char* kErrorBorder = "#FFFF0000";
constexpr const char* kNormalBorder = "#FFCCCCCC";

int g_remainingSeconds = CRegisterForm::kCountdownSeconds;

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

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

CControlUI* CRegisterForm::CreateControl(const QString& className)
{
    return CreateAccountEdit(className, GetPaintManager());
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
    if (m_number != nullptr) {
        m_number->SetChildNamePrefix(QStringLiteral("reg_user_name"));
        m_number->SetViewButtonEnabled(false);
        m_number->SetPasswordMode(false);
    }
    for (CButtonUI* button : {m_codeButton, m_submit}) {
        if (button != nullptr) {
            button->SetEnabled(false);
        }
    }
    if (m_password != nullptr) {
        m_password->SetChildNamePrefix(QStringLiteral("reg_pwd"));
    }
    if (m_code != nullptr) {
        m_code->SetChildNamePrefix(QStringLiteral("reg_sms_code"));
        m_code->SetViewButtonEnabled(false);
        m_code->SetPasswordMode(false);
    }
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
            OnSmsCodeClick();
        } else if (name == QLatin1String("register_btn_submit")) {
            OnSubmitClick();
        }
    } else if (msg.sType == QLatin1String("textchanged") && m_number != nullptr && m_code != nullptr &&
               m_password != nullptr &&
               (name == m_password->GetEditName() || name == m_code->GetEditName() ||
                name == m_number->GetEditName())) {
        ApplyEnablingRule(true);
    } else if (msg.sType == QLatin1String("selectchanged") && name == QLatin1String("register_chk_agree")) {
        ApplyEnablingRule(false);
    }
}

void CRegisterForm::ApplyEnablingRule(bool codeButtonToo)
{
    if (m_number == nullptr || m_code == nullptr || m_password == nullptr || m_submit == nullptr ||
        m_agree == nullptr) {
        return;
    }
    if (codeButtonToo && m_codeButton != nullptr) {
        if (m_number->GetText().isEmpty()) {
            m_codeButton->SetEnabled(false);
        } else if (m_countdownIdle) {
            m_codeButton->SetEnabled(true);
        }
    }
    m_submit->SetEnabled(!m_number->GetText().isEmpty() && !m_code->GetText().isEmpty() &&
                         !m_password->GetText().isEmpty() && m_agree->IsSelected());
}

LRESULT CRegisterForm::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled)
{
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        bHandled = true;
    }
    return 0;
}

void CRegisterForm::OnSmsCodeClick()
{
    ClearTips();
    m_ticket.clear();
    m_capturedNumber =
        m_number != nullptr ? COrvaManager::TrimSpaces(Utf8(m_number->GetText())) : std::string();
    if (m_capturedNumber.empty()) {
        ShowTip(m_numberTip, QStringLiteral("请输入手机号"));
        return;
    }
    if (m_capturedNumber.size() != 11 || !COrvaManager::IsNumber(m_capturedNumber)) {
        ShowTip(m_numberTip, QStringLiteral("您填写的手机号格式错误"));
        return;
    }
    if (m_codeButton != nullptr) {
        m_codeButton->SetEnabled(false);
    }
    PostAccountRequest(GetHWND(), {kValidateMobileKind, "CRegisterForm::OnPostValidateMobileCallback",
                                   GetEnvironmentSettings().offcieDomain + "pc/register/validate-mobile",
                                   COrvaManager::SignQueryString("mobile=" + m_capturedNumber)});
}

void CRegisterForm::OnSubmitClick()
{
    if (m_code == nullptr || m_password == nullptr) {
        return;
    }
    ClearTips();
    const QString code = m_code->GetText();
    if (code.size() != 6 || !COrvaManager::IsNumber(Utf8(code))) {
        ShowTip(m_codeTip, QStringLiteral("验证码为6位数字"));
        return;
    }
    const QString password = m_password->GetText();
    if (password.size() < 6) {
        ShowTip(m_generalTip, QStringLiteral("请填写一个6位以上的密码"));
        return;
    }
    if (password.size() > 20) {
        ShowTip(m_generalTip, QStringLiteral("请填写一个6位以上20位以下的密码"));
        return;
    }
    if (!COrvaManager::IsAlphaNumeric(Utf8(password))) {
        ShowTip(m_generalTip, QStringLiteral("密码只能由数字和字母构成"));
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

LRESULT CRegisterForm::HandleMessage(WindowMessage& message)
{
    if (message.message == WM_USER_HTTP_REPLY) {
        if (const auto reply = TakeRecord<WM_USER_HTTP_REPLY>(message)) {
            if (reply->kind == kValidateMobileKind) {
                OnStepReply(*reply, true);
            } else if (reply->kind == kGetSmsCodeKind) {
                OnStepReply(*reply, false);
            } else if (reply->kind == kSaveKind) {
                OnSubmitReply(*reply);
            }
        }
    } else if (message.message == WM_USER_COUNTDOWN_TICK) {
        OnCountdownTick();
    }
    return WindowImplBase::HandleMessage(message);
}

void CRegisterForm::OnStepReply(const HttpReply& reply, bool sendCode)
{
    const StateReply state = ReplyReader::ReadStateReply(reply.responseCode, reply.reply);
    if (state.outcome == ReplyOutcome::TransportFailure || state.outcome == ReplyOutcome::ParseFailure) {
        ShowTip(m_codeTip, QStringLiteral("验证码发送失败，请稍后再试"));
        if (m_codeButton != nullptr) {
            m_codeButton->SetEnabled(true);
        }
        return;
    }
    if (state.outcome == ReplyOutcome::Refused) {
        QString text = state.stateInfo;
        const MessageField field = COrvaManager::GetStateMessage(state.state, text);
        ShowTip(field == MessageField::Account ? m_numberTip : m_codeTip, text);
        if (m_codeButton != nullptr) {
            m_codeButton->SetEnabled(true);
        }
        return;
    }
    if (sendCode) {
        m_ticket = state.resInfo;
        PostAccountRequest(GetHWND(), {kGetSmsCodeKind, "CRegisterForm::OnPostRegisterGetSmsCodeCallback",
                                       GetEnvironmentSettings().offcieDomain + "pc/register/send-m-code",
                                       COrvaManager::SignQueryString("source=tpc&ticket=" + m_ticket)});
        return;
    }
    m_countdownIdle = false;
    SetTimer(TIMER_ID_COUNTDOWN, kCountdownPeriodMs, &CountdownTimerProc);
}

void CRegisterForm::OnSubmitReply(const HttpReply& reply)
{
    const StateReply state = ReplyReader::ReadStateReply(reply.responseCode, reply.reply);
    if (state.outcome == ReplyOutcome::TransportFailure || state.outcome == ReplyOutcome::ParseFailure) {
        ShowTip(m_generalTip, QStringLiteral("远程连接异常"));
    } else if (state.outcome == ReplyOutcome::Success) {
        PostUserMessage<WM_USER_REGISTER_OK>(m_owner);
        if (m_submit != nullptr) {
            m_submit->SetEnabled(true);
        }
        Close(1);
        return;
    } else {
        QString text = state.stateInfo;
        const MessageField field = COrvaManager::GetStateMessage(state.state, text);
        ShowTip(field == MessageField::Account ? m_numberTip
                : field == MessageField::Code  ? m_codeTip
                                               : m_generalTip,
                text);
    }
    if (m_submit != nullptr) {
        m_submit->SetEnabled(true);
    }
}

void CRegisterForm::OnCountdownTick()
{
    --g_remainingSeconds;
    if (g_remainingSeconds <= 0) {
        m_countdownIdle = true;
        KillTimer(TIMER_ID_COUNTDOWN);
        g_remainingSeconds = kCountdownSeconds;
        if (m_codeButton != nullptr) {
            m_codeButton->SetEnabled(true);
            m_codeButton->SetText(QStringLiteral("重新发送"));
        }
    } else if (m_codeButton != nullptr) {
        m_codeButton->SetEnabled(false);
        m_codeButton->SetText(QString::number(g_remainingSeconds) + QLatin1Char('s'));
    }
}

void CRegisterForm::ShowTip(CLabelUI* label, const QString& text)
{
    if (label == nullptr) {
        return;
    }
    label->SetVisible(true);
    label->SetText(text);
    COrvaEditPasswd* field = label == m_numberTip ? m_number : label == m_codeTip ? m_code : m_password;
    if (field != nullptr) {
        field->SetAttribute(QStringLiteral("bordercolor"), QString::fromLatin1(kErrorBorder));
    }
}

void CRegisterForm::ClearTips()
{
    for (CLabelUI* label : {m_numberTip, m_codeTip, m_generalTip}) {
        if (label != nullptr) {
            label->SetVisible(false);
            label->SetText(QString());
        }
    }
    for (COrvaEditPasswd* field : {m_number, m_password, m_code}) {
        if (field != nullptr) {
            field->SetAttribute(QStringLiteral("bordercolor"), QString::fromLatin1(kNormalBorder));
        }
    }
}
