#include "ui/RichEditUI.h"

#include <QTextCursor>
#include <QTextEdit>

CRichEditUI::CRichEditUI()
    : CControlUI(new QTextEdit)
{
    Edit()->setReadOnly(true);
    Edit()->setFrameShape(QFrame::NoFrame);
    Edit()->setAttribute(Qt::WA_StyledBackground);
    Edit()->viewport()->setAutoFillBackground(false);
    Edit()->setFocusPolicy(Qt::NoFocus);
}

QTextEdit* CRichEditUI::Edit() const
{
    return static_cast<QTextEdit*>(GetWidget());
}

QString CRichEditUI::GetText() const
{
    return Edit() != nullptr ? Edit()->toPlainText() : QString();
}

void CRichEditUI::SetText(const QString& text)
{
    CControlUI::SetText(text);
    if (Edit() != nullptr) {
        Edit()->setPlainText(text);
        ApplyFormat();
    }
}

void CRichEditUI::SetTextFormat(const QFont& font, const QColor& colour)
{
    m_font = font;
    m_colour = colour;
    m_formatted = true;
    ApplyFormat();
}

void CRichEditUI::ApplyFormat()
{
    if (!m_formatted || Edit() == nullptr) {
        return;
    }
    QTextCharFormat format;
    format.setFont(m_font);
    format.setForeground(m_colour);
    QTextCursor cursor(Edit()->document());
    cursor.select(QTextCursor::Document);
    cursor.mergeCharFormat(format);
    Edit()->setCurrentCharFormat(format);
}
