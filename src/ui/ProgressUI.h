#pragma once

#include "ui/ControlUI.h"

class QProgressBar;

// A progress bar from "min" to "max" ("forecolor" fills the done part).
class CProgressUI : public CControlUI
{
public:
    CProgressUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("ProgressUI"); }
    void SetValue(int value);
    [[nodiscard]] int GetValue() const;
    void SetMinValue(int value);
    void SetMaxValue(int value);
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    [[nodiscard]] QString ExtraStyle(const QString& selector) const override;

private:
    [[nodiscard]] QProgressBar* Bar() const;
};
