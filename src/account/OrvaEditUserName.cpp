#include "account/OrvaEditUserName.h"

#include "messages/WindowMessages.h"
#include "ui/ButtonUI.h"
#include "ui/EditUI.h"

namespace {

constexpr std::size_t kCombo = 2;

} // namespace

COrvaEditUserName::COrvaEditUserName()
    : COrvaEditField(QStringLiteral("login_username_logo"), QStringLiteral("login_edit_username"))
    , m_combo(new CButtonUI)
{
    m_combo->SetFixedWidth(13);
    m_combo->SetPadding(QMargins(15, 0, 20, 0));
    m_combo->SetVisible(false);
    AddChild(m_combo, QStringLiteral("login_btn_com"));
}

void COrvaEditUserName::SetText(const QString& text)
{
    GetEdit()->SetText(text);
}

void COrvaEditUserName::ShowComboButton(bool show)
{
    m_combo->SetVisible(show);
}

bool COrvaEditUserName::ForwardAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("combnormalimage")) {
        m_combo->SetAttribute(QStringLiteral("normalimage"), value);
    } else if (name == QLatin1String("combhotimage")) {
        m_combo->SetAttribute(QStringLiteral("hotimage"), value);
    } else {
        return false;
    }
    return true;
}

void COrvaEditUserName::OnChildNotify(TNotifyUI& msg, std::size_t child)
{
    if (msg.sType == QLatin1String("click") && child == kCombo) {
        PostUserMessage<WM_USER_SHOW_USER_LIST>(m_owner);
    }
}
