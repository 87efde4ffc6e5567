#include "account/SmsCodeForm.h"

#include "account/AccountEditFactory.h"
#include "account/AccountRequest.h"
#include "account/OrvaEditPasswd.h"
#include "environment/Environment.h"
#include "messages/WindowMessages.h"
#include "service/HttpReply.h"
#include "service/OrvaManager.h"
#include "service/ReplyReader.h"
#include "ui/ButtonUI.h"
#include "ui/LabelUI.h"

CSmsCodeForm::CSmsCodeForm(int& remainingSeconds, CodeRequests requests)
    : m_remainingSeconds(remainingSeconds)
    , m_requests(requests)
{
}

CControlUI* CSmsCodeForm::CreateControl(const QString& className)
{
    return CreateAccountEdit(className, GetPaintManager());
}

std::string CSmsCodeForm::Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

void CSmsCodeForm::PrepareField(COrvaEditPasswd* field, const QString& prefix, bool plain)
{
    if (field == nullptr) {
        return;
    }
    field->SetChildNamePrefix(prefix);
    if (plain) {
        field->SetViewButtonEnabled(false);
        field->SetPasswordMode(false);
    }
}

LRESULT CSmsCodeForm::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled)
{
    // Neither key submits, closes the window or reaches a control.
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        bHandled = true;
    }
    return 0;
}

void CSmsCodeForm::ApplyCodeButtonRule()
{
    if (m_codeButton == nullptr || m_number == nullptr) {
        return;
    }
    if (m_number->GetText().isEmpty()) {
        m_codeButton->SetEnabled(false);
    } else if (m_countdownIdle) {
        m_codeButton->SetEnabled(true);
    }
}

void CSmsCodeForm::OnSmsCodeClick(bool clearTicket)
{
    m_tips.Clear();
    if (clearTicket) {
        m_ticket.clear();
    }
    m_capturedNumber =
        m_number != nullptr ? COrvaManager::TrimSpaces(Utf8(m_number->GetText())) : std::string();
    if (m_capturedNumber.empty()) {
        m_tips.Show(m_numberTip, QStringLiteral("请输入手机号"));
        return;
    }
    if (m_capturedNumber.size() != 11 || !COrvaManager::IsNumber(m_capturedNumber)) {
        m_tips.Show(m_numberTip, QStringLiteral("您填写的手机号格式错误"));
        return;
    }
    if (m_codeButton != nullptr) {
        m_codeButton->SetEnabled(false);
    }
    PostAccountRequest(GetHWND(), {m_requests.validateKind, m_requests.validateCompletion,
                                   GetEnvironmentSettings().offcieDomain + m_requests.validatePath,
                                   COrvaManager::SignQueryString("mobile=" + m_capturedNumber)});
}

LRESULT CSmsCodeForm::HandleMessage(WindowMessage& message)
{
    if (message.message == WM_USER_HTTP_REPLY) {
        if (const auto reply = TakeRecord<WM_USER_HTTP_REPLY>(message)) {
            if (reply->kind == m_requests.validateKind) {
                OnCodeStepReply(*reply, true);
            } else if (reply->kind == m_requests.sendKind) {
                OnCodeStepReply(*reply, false);
            } else {
                OnReply(*reply);
            }
        }
    } else if (message.message == WM_USER_COUNTDOWN_TICK) {
        OnCountdownTick();
    }
    return WindowImplBase::HandleMessage(message);
}

void CSmsCodeForm::OnCodeStepReply(const HttpReply& reply, bool validated)
{
    const StateReply state = ReplyReader::ReadStateReply(reply.responseCode, reply.reply);
    if (state.outcome != ReplyOutcome::Success) {
        if (state.outcome == ReplyOutcome::Refused) {
            ShowRefusal(state.state, state.stateInfo, m_codeTip);
        } else {
            m_tips.Show(m_codeTip, QStringLiteral("验证码发送失败，请稍后再试"));
        }
        if (m_codeButton != nullptr) {
            m_codeButton->SetEnabled(true);
        }
        return;
    }
    if (validated) {
        m_ticket = state.resInfo;
        PostAccountRequest(GetHWND(), {m_requests.sendKind, m_requests.sendCompletion,
                                       GetEnvironmentSettings().offcieDomain + m_requests.sendPath,
                                       COrvaManager::SignQueryString("source=tpc&ticket=" + m_ticket)});
        return;
    }
    m_countdownIdle = false;
    SetTimer(TIMER_ID_COUNTDOWN, kCountdownPeriodMs, &CountdownTimerProc);
}

void CSmsCodeForm::OnCountdownTick()
{
    --m_remainingSeconds;
    if (m_remainingSeconds <= 0) {
        m_countdownIdle = true;
        KillTimer(TIMER_ID_COUNTDOWN);
        m_remainingSeconds = kCountdownSeconds;
        if (m_codeButton != nullptr) {
            m_codeButton->SetEnabled(true);
            m_codeButton->SetText(QStringLiteral("重新发送"));
        }
    } else if (m_codeButton != nullptr) {
        m_codeButton->SetEnabled(false);
        m_codeButton->SetText(QString::number(m_remainingSeconds) + QLatin1Char('s'));
    }
}

void CSmsCodeForm::ShowRefusal(int state, const QString& stateInfo, CLabelUI* general)
{
    QString text = stateInfo;
    const MessageField field = COrvaManager::GetStateMessage(state, text);
    m_tips.Show(field == MessageField::Account ? m_numberTip
                : field == MessageField::Code  ? m_codeTip
                                               : general,
                text);
}
