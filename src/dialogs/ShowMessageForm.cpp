#include "dialogs/ShowMessageForm.h"

#include "messages/WindowMessages.h"
#include "ui/LabelUI.h"

namespace {

int g_remainingSeconds = CShowMessageForm::kCountdownSeconds;

QString CountdownLine(int seconds)
{
    return QStringLiteral("<c #FF0000>%1s</c>后自动关闭页面").arg(seconds);
}

} // namespace

int CShowMessageForm::RemainingSeconds()
{
    return g_remainingSeconds;
}

void CShowMessageForm::InitWindow()
{
    m_title = FindControl<CLabelUI>(QStringLiteral("show_msg_lab_title"));
    m_image = FindControl(QStringLiteral("show_msg_image"));
    m_tip = FindControl<CLabelUI>(QStringLiteral("show_msg_lab_tip"));
    m_countdown = FindControl<CLabelUI>(QStringLiteral("show_msg_lab_tip_count_down"));
    if (m_countdown != nullptr) {
        m_countdown->SetShowHtml(true);
        m_countdown->SetText(CountdownLine(kCountdownSeconds));
    }
}

void CShowMessageForm::SetNotice(const QString& title, const QString& tip, bool success)
{
    m_success = success;
    if (m_title != nullptr && m_image != nullptr && m_tip != nullptr && m_countdown != nullptr) {
        m_title->SetText(title);
        m_image->SetAttribute(QStringLiteral("bkimage"), success ? QStringLiteral("show_msg_succeed.png")
                                                                 : QStringLiteral("show_msg_failed.png"));
        m_tip->SetAttribute(QStringLiteral("textcolor"),
                            success ? QStringLiteral("#FF4285F4") : QStringLiteral("#FFFF0000"));
        m_tip->SetText(tip);
    }
    SetTimer(TIMER_ID_COUNTDOWN, kCountdownPeriodMs, &CountdownTimerProc);
}

LRESULT CShowMessageForm::HandleMessage(WindowMessage& message)
{
    if (message.message == WM_USER_COUNTDOWN_TICK) {
        --g_remainingSeconds;
        if (g_remainingSeconds <= 0) {
            KillTimer(TIMER_ID_COUNTDOWN);
            g_remainingSeconds = kCountdownSeconds;
            if (m_success) {
                PostUserMessage<WM_USER_SHOW_LOGIN>(m_owner);
            }
            Close(1);
        } else if (m_countdown != nullptr) {
            m_countdown->SetShowHtml(true);
            m_countdown->SetText(CountdownLine(g_remainingSeconds));
        }
    }
    return WindowImplBase::HandleMessage(message);
}

void CShowMessageForm::Notify(TNotifyUI& msg)
{
    if (msg.sType == QLatin1String("click") && msg.pSender != nullptr &&
        msg.pSender->GetName() == QLatin1String("show_msg_btn_close")) {
        KillTimer(TIMER_ID_COUNTDOWN);
        Close(0);
    }
}
