#pragma once

#include "ui/ControlUI.h"

class QLineEdit;

// A one-line text field. The user's edits raise "textchanged"; SetText does not. Attributes:
// "password", "maxchar", "numberonly", "autoselall" (select everything on focus), "tipvalue"
// (the grey hint of an empty field), "textpadding", "readonly".
class CEditUI : public CControlUI
{
public:
    CEditUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("EditUI"); }
    [[nodiscard]] QString GetText() const override;
    void SetText(const QString& text) override;
    void SetAttribute(const QString& name, const QString& value) override;

    void SetPasswordMode(bool password);
    [[nodiscard]] bool IsPasswordMode() const;
    void SetAutoSelAll(bool autoSelectAll);
    void SetMaxChar(int count);
    void SetNumberOnly(bool numberOnly);
    void SetTipValue(const QString& hint);
    void SetReadOnly(bool readOnly);

protected:
    // Transparent unless the layout gives a background: the field's box shows through.
    [[nodiscard]] QString ExtraStyle(const QString& selector) const override;

private:
    [[nodiscard]] QLineEdit* Edit() const;
};
