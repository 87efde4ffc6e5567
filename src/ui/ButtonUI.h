#pragma once

#include "ui/ControlUI.h"

class QAbstractButton;

// A push button: raises "click" when the user presses it.
class CButtonUI : public CControlUI
{
public:
    CButtonUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("ButtonUI"); }
    void SetText(const QString& text) override;

protected:
    explicit CButtonUI(QAbstractButton* button);
    [[nodiscard]] QAbstractButton* Button() const;
};
