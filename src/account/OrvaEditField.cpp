#include "account/OrvaEditField.h"

#include "ui/EditUI.h"
#include "ui/LabelUI.h"
#include "ui/PaintManagerUI.h"

#include <algorithm>

namespace {

// Attributes forwarded to a child, with the name the child knows them by.
struct Forward
{
    const char* attribute;
    bool toLogo;
    const char* as;
};
constexpr Forward kForwards[] = {
    {"logobkimage", true, "bkimage"},
    {"logowidth", true, "width"},
    {"logobkcolor", true, "bkcolor"},
    {"maxchar", false, "maxchar"},
    {"autoselall", false, "autoselall"},
    {"tipvalue", false, "tipvalue"},
    {"textpadding", false, "textpadding"},
    {"edittooltip", false, "tooltip"},
    {"font", false, "font"},
    {"password", false, "password"},
};

} // namespace

COrvaEditField::COrvaEditField(const QString& logoName, const QString& editName)
    : m_logo(new CLabelUI)
    , m_edit(new CEditUI)
{
    m_edit->SetPadding(QMargins(6, 0, 10, 0));
    m_edit->SetAutoSelAll(true);
    AddChild(m_logo, logoName);
    AddChild(m_edit, editName);
}

COrvaEditField::~COrvaEditField()
{
    if (GetManager() != nullptr) {
        GetManager()->RemoveNotifier(this);
    }
}

CControlUI* COrvaEditField::AddChild(CControlUI* child, const QString& name)
{
    child->SetName(name);
    Add(child);
    m_children.push_back(child);
    m_names.push_back(name);
    return child;
}

void COrvaEditField::PrefixChildNames(const QString& prefix)
{
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        m_names[i] = prefix + m_names[i];
        m_children[i]->SetName(m_names[i]);
    }
}

QString COrvaEditField::GetEditName() const
{
    return m_edit != nullptr ? m_names[1] : QString();
}

QString COrvaEditField::GetText() const
{
    return m_edit->GetText();
}

void COrvaEditField::SetBorder(const char* colour)
{
    SetAttribute(QStringLiteral("bordercolor"), QString::fromLatin1(colour));
}

void COrvaEditField::SetAttribute(const QString& name, const QString& value)
{
    if (name.compare(QLatin1String("numberonly"), Qt::CaseInsensitive) == 0) {
        m_edit->SetAttribute(name, value);
    } else if (!ForwardAttribute(name, value)) {
        for (const Forward& forward : kForwards) {
            if (name == QLatin1String(forward.attribute)) {
                (forward.toLogo ? static_cast<CControlUI*>(m_logo) : m_edit)
                    ->SetAttribute(QString::fromLatin1(forward.as), value);
                break;
            }
        }
    }
    CHorizontalLayoutUI::SetAttribute(name, value);
}

void COrvaEditField::Notify(TNotifyUI& msg)
{
    if (msg.pSender == nullptr || msg.pSender->GetParent() != this) {
        return;
    }
    const QString sender = msg.pSender->GetName();
    const auto found = std::find(m_names.begin(), m_names.end(), sender);
    if (found == m_names.end()) {
        return;
    }
    const auto child = static_cast<std::size_t>(found - m_names.begin());
    // The pointer over any child lights the field; focus counts for all but the logo.
    const bool logo = child == 0;
    const bool lights =
        msg.sType == QLatin1String("mouseenter") || (msg.sType == QLatin1String("setfocus") && !logo);
    const bool dims = (msg.sType == QLatin1String("mouseleave") && !m_edit->IsFocused()) ||
                      (msg.sType == QLatin1String("killfocus") && !logo);
    if (lights || dims) {
        SetBorder(lights ? kActiveBorder : kNormalBorder);
    }
    OnChildNotify(msg, child);
}
