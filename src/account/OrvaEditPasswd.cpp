#include "account/OrvaEditPasswd.h"

#include "ui/ButtonUI.h"
#include "ui/EditUI.h"
#include "ui/PaintManagerUI.h"

namespace {

enum Child : std::size_t
{
    kLogo,
    kEdit,
    kView,
    kClear
};

} // namespace

COrvaEditPasswd::COrvaEditPasswd()
    : COrvaEditField(QStringLiteral("login_label_logo"), QStringLiteral("login_edit_passwd"))
    , m_view(new CButtonUI)
    , m_clear(new CButtonUI)
{
    m_view->SetFixedWidth(20);
    m_view->SetVisible(false);
    m_clear->SetFixedWidth(13);
    m_clear->SetPadding(QMargins(15, 0, 20, 0));
    m_clear->SetVisible(false);
    AddChild(m_view, QStringLiteral("login_btn_view_passwd"));
    AddChild(m_clear, QStringLiteral("login_btn_clear_passwd"));
}

void COrvaEditPasswd::SetText(const QString& text)
{
    GetEdit()->SetText(text);
    m_clear->SetVisible(true);
    if (m_viewAllowed) {
        m_view->SetVisible(true);
    }
}

void COrvaEditPasswd::SetPasswordMode(bool on)
{
    GetEdit()->SetPasswordMode(on);
}

void COrvaEditPasswd::SetViewButtonEnabled(bool allowed)
{
    m_viewAllowed = allowed;
}

void COrvaEditPasswd::SetChildNamePrefix(const QString& prefix)
{
    PrefixChildNames(prefix);
}

bool COrvaEditPasswd::ForwardAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("viewbkimagetrue")) {
        m_shownImage = value;
        if (m_shown) {
            m_view->SetAttribute(QStringLiteral("bkimage"), value);
        }
    } else if (name == QLatin1String("viewbkimagefalse")) {
        m_maskedImage = value;
        if (!m_shown) {
            m_view->SetAttribute(QStringLiteral("bkimage"), value);
        }
    } else if (name == QLatin1String("clearnormalimage")) {
        m_clear->SetAttribute(QStringLiteral("normalimage"), value);
    } else if (name == QLatin1String("clearhotimage")) {
        m_clear->SetAttribute(QStringLiteral("hotimage"), value);
    } else {
        return false;
    }
    return true;
}

void COrvaEditPasswd::OnChildNotify(TNotifyUI& msg, std::size_t child)
{
    if (msg.sType == QLatin1String("click") && child == kClear) {
        GetEdit()->SetText(QString());
        if (GetManager() != nullptr) {
            GetManager()->SendNotify(GetEdit(), QStringLiteral("textchanged"));
        }
        GetEdit()->SetFocus();
    } else if (msg.sType == QLatin1String("click") && child == kView) {
        ToggleMasking();
    } else if (msg.sType == QLatin1String("textchanged") && child == kEdit) {
        const bool hasText = !GetEdit()->GetText().isEmpty();
        m_view->SetVisible(hasText && m_viewAllowed);
        m_clear->SetVisible(hasText);
    }
}

void COrvaEditPasswd::ToggleMasking()
{
    m_shown = !m_shown;
    GetEdit()->SetPasswordMode(!m_shown);
    m_view->SetAttribute(QStringLiteral("bkimage"), m_shown ? m_shownImage : m_maskedImage);
}
