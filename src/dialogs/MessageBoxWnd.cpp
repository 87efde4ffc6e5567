#include "dialogs/MessageBoxWnd.h"

#include "ui/ButtonUI.h"
#include "ui/DefaultTextStyle.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"
#include "ui/RichEditUI.h"

#include <memory>
#include <utility>

namespace {

CMessageBoxWnd* g_currentBox = nullptr;

} // namespace

QString CMessageBoxWnd::IconOf(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("MessageBox_Wnd_error.png");
    case 1:
    case 4:
        return QStringLiteral("MessageBox_Wnd_infor.png");
    case 2:
        return QStringLiteral("MessageBox_Wnd_question.png");
    case 3:
        return QStringLiteral("MessageBox_Wnd_warning.png");
    default:
        return {};
    }
}

UINT CMessageBoxWnd::Show(const WindowHandle& parent, const QString& content, int kind,
                          const QString& yesCaption, bool showDeleteBox)
{
    // Windows live on the UI thread: a caller on another thread waits for the answer.
    const auto answer = CallOnUiThread([parent, content, kind, yesCaption, showDeleteBox] {
        return static_cast<LRESULT>(ShowHere(parent, content, kind, yesCaption, showDeleteBox));
    });
    return static_cast<UINT>(answer.value_or(0));
}

UINT CMessageBoxWnd::ShowHere(const WindowHandle& parent, const QString& content, int kind,
                              const QString& yesCaption, bool showDeleteBox)
{
    // The box is released as soon as it has answered; a box it was shown over is current again.
    const auto box = std::make_unique<CMessageBoxWnd>();
    CMessageBoxWnd* const previous = std::exchange(g_currentBox, box.get());
    box->Create(parent, QString(), WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW);
    if (box->m_image != nullptr && !IconOf(kind).isEmpty()) {
        box->m_image->SetAttribute(QStringLiteral("bkimage"), IconOf(kind));
    }
    if (box->m_yes != nullptr) {
        box->m_yes->SetText(yesCaption);
    }
    if (box->m_content != nullptr) {
        box->m_content->SetText(content);
    }
    if (CControlUI* deleteBox = box->FindControl(QStringLiteral("chk_del_file"));
        showDeleteBox && deleteBox != nullptr) {
        deleteBox->SetVisible(true);
    }
    box->CenterWindow();
    const UINT result = box->ShowModal();
    g_currentBox = previous;
    return result;
}

CMessageBoxWnd* CMessageBoxWnd::Current()
{
    return g_currentBox;
}

void CMessageBoxWnd::InitWindow()
{
    const DefaultTextStyle& style = GetDefaultTextStyle();
    GetPaintManager().SetDefaultFont(style.faceName, style.size, style.bold, style.underline, style.italic);
    m_title = FindControl<CLabelUI>(QStringLiteral("msg_title"));
    m_close = FindControl(QStringLiteral("msg_btn_close"));
    m_image = FindControl(QStringLiteral("msg_image"));
    m_content = FindControl<CRichEditUI>(QStringLiteral("msg_content"));
    m_yes = FindControl<CButtonUI>(QStringLiteral("msg_btn_yes"));
    m_no = FindControl<CButtonUI>(QStringLiteral("msg_btn_no"));
    if (m_content != nullptr) {
        QFont font = GetPaintManager().GetDefaultFont();
        if (!style.faceName.isEmpty()) {
            font.setFamilies(
                {style.faceName, QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei")});
        }
        if (style.richTextSize > 0) {
            font.setPointSize(style.richTextSize);
        }
        font.setBold(style.bold);
        font.setItalic(style.italic);
        font.setUnderline(style.underline || style.link);
        m_content->SetTextFormat(font, QColor(255, 0, 0));
    }
}

void CMessageBoxWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click") || msg.pSender == nullptr) {
        return;
    }
    const QString name = msg.pSender->GetName();
    if (name == QLatin1String("btn_close") || name == QLatin1String("msg_btn_no")) {
        Close(0);
    } else if (name == QLatin1String("msg_btn_yes")) {
        const auto* deleteBox = FindControl<COptionUI>(QStringLiteral("chk_del_file"));
        Close(deleteBox != nullptr && deleteBox->IsSelected() ? 2 : 1);
    }
}
