#pragma once

#include "account/OrvaEditField.h"
#include "ui/WindowHandle.h"

class CButtonUI;

// The login window's account field: icon, edit, and a button (hidden until the window shows it)
// that asks the owner window to open the list of remembered accounts.
class COrvaEditUserName final : public COrvaEditField
{
public:
    COrvaEditUserName();

    // Sets the text without "textchanged"; the buttons stay as they are.
    void SetText(const QString& text) override;
    void ShowComboButton(bool show);
    // The window that receives WM_USER_SHOW_USER_LIST.
    void SetOwnerWindow(const WindowHandle& window) { m_owner = window; }

protected:
    void OnChildNotify(TNotifyUI& msg, std::size_t child) override;
    bool ForwardAttribute(const QString& name, const QString& value) override;

private:
    CButtonUI* m_combo;
    WindowHandle m_owner;
};
