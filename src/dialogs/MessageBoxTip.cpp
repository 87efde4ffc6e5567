#include "dialogs/MessageBoxTip.h"

#include "ui/ButtonUI.h"
#include "ui/LabelUI.h"

#include <memory>

namespace {

// The most recent box. Its object stays until the next box replaces it, and longer while its own
// Show is still on the stack (a box shown while another waits answers the first before it goes).
std::shared_ptr<CMessageBoxTip> g_lastTip;

} // namespace

UINT CMessageBoxTip::Show(const WindowHandle& parent, const QString& content, const QString& yesCaption)
{
    // Windows live on the UI thread: a caller on another thread (the IM thread) waits for the answer.
    const auto answer = CallOnUiThread([parent, content, yesCaption] {
        return static_cast<LRESULT>(ShowHere(parent, content, yesCaption));
    });
    return static_cast<UINT>(answer.value_or(0));
}

UINT CMessageBoxTip::ShowHere(const WindowHandle& parent, const QString& content, const QString& yesCaption)
{
    if (g_lastTip != nullptr && g_lastTip->GetHWND().IsWindow()) {
        SendMessage(g_lastTip->GetHWND(), WM_CLOSE, 0);
    }
    const auto box = std::make_shared<CMessageBoxTip>();
    g_lastTip = box;
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
    return g_lastTip.get();
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
