#pragma once

#include "ui/WindowImplBase.h"

class CButtonUI;
class CCheckBoxUI;
class CControlUI;
class CLabelUI;
class CRichEditUI;

// The full modal message box: a title, an icon by kind (0 error, 1 and 4 information, 2 question,
// 3 warning), the message in red in the default font, "yes" and "no", and an optional check box for
// deleting a file. Results: 0 "no" or the close button, 1 "yes", 2 "yes" with the box ticked.
class CMessageBoxWnd final : public WindowImplBase
{
public:
    // Shows the box over parent and returns the button that closed it, from any thread (the box
    // itself is on the UI thread; 0 when the UI thread refuses the call).
    static UINT Show(const WindowHandle& parent, const QString& content, int kind, const QString& yesCaption,
                     bool showDeleteBox);
    // The box on screen, null when none is.
    [[nodiscard]] static CMessageBoxWnd* Current();
    // The icon image of a kind; empty for a kind without one.
    [[nodiscard]] static QString IconOf(int kind);

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("MessageBoxWnd.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CMessageBoxWnd"); }
    void InitWindow() override;

private:
    static UINT ShowHere(const WindowHandle& parent, const QString& content, int kind,
                         const QString& yesCaption, bool showDeleteBox);

    CLabelUI* m_title = nullptr;
    CControlUI* m_close = nullptr;
    CControlUI* m_image = nullptr;
    CRichEditUI* m_content = nullptr;
    CButtonUI* m_yes = nullptr;
    CButtonUI* m_no = nullptr;
};
