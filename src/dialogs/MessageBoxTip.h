#pragma once

#include "ui/WindowImplBase.h"

class CButtonUI;
class CLabelUI;

// The small modal question or notice box: a message that may carry colour markup, a "yes" button
// with the caller's caption (result 1) and a "no" button (result 0).
class CMessageBoxTip final : public WindowImplBase
{
public:
    // Shows the box over parent and returns the button that closed it, from any thread (the box
    // itself is on the UI thread; 0 when the UI thread refuses the call). A box still open is
    // answered with 0 first. The previous box's object goes; this one lives until the next box.
    static UINT Show(const WindowHandle& parent, const QString& content, const QString& yesCaption);
    // The most recent box, for whoever needs to reach the one on screen.
    [[nodiscard]] static CMessageBoxTip* Current();

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("MessageBoxForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CMessageBoxTip"); }
    void InitWindow() override;

private:
    static UINT ShowHere(const WindowHandle& parent, const QString& content, const QString& yesCaption);

    CLabelUI* m_content = nullptr;
    CButtonUI* m_yes = nullptr;
    CButtonUI* m_no = nullptr;
};
