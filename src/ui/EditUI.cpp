#include "ui/EditUI.h"

#include "ui/PaintManagerUI.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTimer>

namespace {

// A line edit that can select its whole text when it gains the focus, however it gains it.
class SelectingLineEdit final : public QLineEdit
{
public:
    bool selectAllOnFocus = false;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        if (selectAllOnFocus) {
            // After the mouse press that gave the focus has placed the cursor.
            QTimer::singleShot(0, this, &QLineEdit::selectAll);
        }
    }
};

} // namespace

CEditUI::CEditUI()
    : CControlUI(new SelectingLineEdit)
{
    Edit()->setAttribute(Qt::WA_StyledBackground);
    Edit()->setFrame(false);
    UpdateStyle();
    QObject::connect(Edit(), &QLineEdit::textEdited, Context(), [this] {
        if (GetManager() != nullptr) {
            GetManager()->SendNotify(this, QStringLiteral("textchanged"));
        }
    });
}

QString CEditUI::ExtraStyle(const QString& selector) const
{
    return GetAttribute(QStringLiteral("bkcolor")).isEmpty()
               ? selector + QStringLiteral(" { background: transparent }\n")
               : QString();
}

QLineEdit* CEditUI::Edit() const
{
    return static_cast<QLineEdit*>(GetWidget());
}

QString CEditUI::GetText() const
{
    return Edit() != nullptr ? Edit()->text() : QString();
}

void CEditUI::SetText(const QString& text)
{
    CControlUI::SetText(text);
    if (Edit() != nullptr) {
        Edit()->setText(text);
    }
}

void CEditUI::SetPasswordMode(bool password)
{
    Edit()->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
}

bool CEditUI::IsPasswordMode() const
{
    return Edit()->echoMode() == QLineEdit::Password;
}

void CEditUI::SetAutoSelAll(bool autoSelectAll)
{
    static_cast<SelectingLineEdit*>(Edit())->selectAllOnFocus = autoSelectAll;
}

void CEditUI::SetMaxChar(int count)
{
    Edit()->setMaxLength(count > 0 ? count : 32767);
}

void CEditUI::SetNumberOnly(bool numberOnly)
{
    Edit()->setValidator(
        numberOnly ? new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Edit())
                   : nullptr);
}

void CEditUI::SetTipValue(const QString& hint)
{
    Edit()->setPlaceholderText(hint);
}

void CEditUI::SetReadOnly(bool readOnly)
{
    Edit()->setReadOnly(readOnly);
}

void CEditUI::SetAttribute(const QString& name, const QString& value)
{
    const bool on = value == QLatin1String("true");
    if (name == QLatin1String("password")) {
        SetPasswordMode(on);
    } else if (name == QLatin1String("maxchar")) {
        SetMaxChar(value.toInt());
    } else if (name.compare(QLatin1String("numberonly"), Qt::CaseInsensitive) == 0) {
        SetNumberOnly(on);
    } else if (name == QLatin1String("autoselall")) {
        SetAutoSelAll(on);
    } else if (name == QLatin1String("tipvalue")) {
        SetTipValue(value);
    } else if (name == QLatin1String("readonly")) {
        SetReadOnly(on);
    } else if (name == QLatin1String("textpadding")) {
        const QStringList parts = value.split(QLatin1Char(','));
        auto part = [&](int index) { return index < parts.size() ? parts[index].trimmed().toInt() : 0; };
        Edit()->setTextMargins(part(0), part(1), part(2), part(3));
    }
    CControlUI::SetAttribute(name, value);
}
