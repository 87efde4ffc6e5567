#pragma once

#include "ui/ControlUI.h"

#include <QColor>
#include <QFont>

class QTextEdit;

// A read-only rich-text box with one character format for its whole text.
class CRichEditUI : public CControlUI
{
public:
    CRichEditUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("RichEditUI"); }
    [[nodiscard]] QString GetText() const override;
    void SetText(const QString& text) override;
    // Applies font and colour to the whole text, now and after every SetText.
    void SetTextFormat(const QFont& font, const QColor& colour);
    [[nodiscard]] QColor GetTextColour() const { return m_colour; }
    // Whether the control takes the Tab key itself ("wanttab").
    [[nodiscard]] bool IsWantTab() const
    {
        return GetAttribute(QStringLiteral("wanttab")) == QLatin1String("true");
    }

private:
    void ApplyFormat();
    [[nodiscard]] QTextEdit* Edit() const;

    QFont m_font;
    QColor m_colour;
    bool m_formatted = false;
};
