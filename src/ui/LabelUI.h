#pragma once

#include "ui/ControlUI.h"

class QLabel;

// A line of text ("align" left, center or right; "valign" top, vcenter or bottom). With HTML
// display on ("showhtml"), the text may carry the colour markup "<c #RRGGBB>…</c>".
class CLabelUI : public CControlUI
{
public:
    CLabelUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("LabelUI"); }
    void SetText(const QString& text) override;
    void SetAttribute(const QString& name, const QString& value) override;
    void SetShowHtml(bool showHtml = true);
    [[nodiscard]] bool IsShowHtml() const { return m_showHtml; }

protected:
    [[nodiscard]] QLabel* Label() const;

private:
    bool m_showHtml = false;
};

// Text that wraps onto as many lines as it needs.
class CTextUI : public CLabelUI
{
public:
    CTextUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("TextUI"); }
};
