#include "dialogs/MessageBoxTip.h"

#include "ui/ButtonUI.h"
#include "ui/LabelUI.h"

namespace {

CMessageBoxTip* g_lastTip = nullptr;

} // namespace

UINT CMessageBoxTip::Show(const WindowHandle& parent, const QString& content, const QString& yesCaption)
{
    delete g_lastTip;
    g_lastTip = new CMessageBoxTip;
    CMessageBoxTip* box = g_lastTip;
    box->Create(parent, QString(), WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW);
    if (box->m_content != nullptr) {
        box->m_content->SetShowHtml(true);
        box->m_content->SetText(content);
    }
    if (box->m_yes != nullptr) {
        box->m_yes->SetText(yesCaption);
    }
    box->CenterWindow();
    return box->ShowModal();
}

CMessageBoxTip* CMessageBoxTip::Current()
{
    return g_lastTip;
}

void CMessageBoxTip::InitWindow()
{
    m_content = FindControl<CLabelUI>(QStringLiteral("msg_box_content"));
    m_yes = FindControl<CButtonUI>(QStringLiteral("msg_box_btn_yes"));
    m_no = FindControl<CButtonUI>(QStringLiteral("msg_box_btn_no"));
}

void CMessageBoxTip::Notify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) {
        return;
    }
    if (msg.pSender->GetName() == QLatin1String("msg_box_btn_no")) {
        Close(0);
    } else if (msg.pSender->GetName() == QLatin1String("msg_box_btn_yes")) {
        Close(1);
    }
}
