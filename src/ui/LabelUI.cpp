#include "ui/LabelUI.h"

#include "ui/UiColor.h"

#include <QLabel>

CLabelUI::CLabelUI()
    : CControlUI(new QLabel)
{
    Label()->setAttribute(Qt::WA_StyledBackground);
    Label()->setTextFormat(Qt::PlainText);
    Label()->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QLabel* CLabelUI::Label() const
{
    return static_cast<QLabel*>(GetWidget());
}

void CLabelUI::SetText(const QString& text)
{
    CControlUI::SetText(text);
    if (Label() != nullptr) {
        Label()->setTextFormat(m_showHtml ? Qt::RichText : Qt::PlainText);
        Label()->setText(m_showHtml ? UiColor::MarkupToRichText(text) : text);
    }
}

void CLabelUI::SetShowHtml(bool showHtml)
{
    m_showHtml = showHtml;
    SetText(GetText());
}

void CLabelUI::SetAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("showhtml")) {
        SetShowHtml(value == QLatin1String("true"));
    } else if (name == QLatin1String("align") || name == QLatin1String("valign")) {
        Qt::Alignment alignment = Label()->alignment();
        if (value == QLatin1String("left") || value == QLatin1String("center") ||
            value == QLatin1String("right")) {
            alignment &= ~Qt::AlignHorizontal_Mask;
            alignment |= value == QLatin1String("left")     ? Qt::AlignLeft
                         : value == QLatin1String("center") ? Qt::AlignHCenter
                                                            : Qt::AlignRight;
        } else {
            alignment &= ~Qt::AlignVertical_Mask;
            alignment |= value == QLatin1String("top")      ? Qt::AlignTop
                         : value == QLatin1String("bottom") ? Qt::AlignBottom
                                                            : Qt::AlignVCenter;
        }
        Label()->setAlignment(alignment);
    }
    CControlUI::SetAttribute(name, value);
}

CTextUI::CTextUI()
{
    Label()->setWordWrap(true);
}
