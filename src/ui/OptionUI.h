#pragma once

#include "ui/ButtonUI.h"

// A selectable button. The user's click raises "click" and then "selectchanged"; Selected(value,
// false) changes the flag without a notification. Options with the same "group" attribute are
// exclusive. Its images ("normalimage", "hotimage", "selectedimage", "selectedhotimage") are
// drawn as the indicator beside the text.
class COptionUI : public CButtonUI
{
public:
    COptionUI();
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("OptionUI"); }
    [[nodiscard]] bool IsSelected() const;
    void Selected(bool selected, bool triggerEvent = true);
    void SetAttribute(const QString& name, const QString& value) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;

protected:
    [[nodiscard]] QString ExtraStyle(const QString& selector) const override;
    [[nodiscard]] bool ImagesOnWidget() const override { return false; }
};

// An option outside any group: a check box.
class CCheckBoxUI : public COptionUI
{
public:
    [[nodiscard]] QString GetClass() const override { return QStringLiteral("CheckBoxUI"); }
};
