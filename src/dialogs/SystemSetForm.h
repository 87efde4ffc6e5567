#pragma once

#include "ui/WindowImplBase.h"

class COptionUI;

// The modal settings window: start with the desktop session, and hide the main window instead of
// quitting when it is closed. Each switch shows the stored state and writes a change at once.
class CSystemSetForm final : public WindowImplBase
{
public:
    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("System_Set_Form.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CSystemSetForm"); }
    void InitWindow() override;

private:
    COptionUI* m_startup = nullptr;
    COptionUI* m_hideOnClose = nullptr;
};
