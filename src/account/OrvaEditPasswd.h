#pragma once

#include "account/OrvaEditField.h"

class CButtonUI;

// The account windows' text field: icon, edit, a button that shows or masks the password, and a
// button that clears the field. The buttons appear while the field holds text. The registration
// and reset windows use it for every field, with masking and the show button off where the field
// is not a password.
class COrvaEditPasswd final : public COrvaEditField
{
public:
    COrvaEditPasswd();

    // Sets the text without "textchanged" and shows the clear button (and the view button when
    // allowed), even for an empty text.
    void SetText(const QString& text) override;
    void SetPasswordMode(bool on);
    void SetViewButtonEnabled(bool allowed);
    // Gives every child name the prefix, so several fields can live in one window.
    void SetChildNamePrefix(const QString& prefix);

protected:
    void OnChildNotify(TNotifyUI& msg, std::size_t child) override;
    bool ForwardAttribute(const QString& name, const QString& value) override;

private:
    void ToggleMasking();

    CButtonUI* m_view;
    CButtonUI* m_clear;
    bool m_shown = false;
    bool m_viewAllowed = true;
    QString m_shownImage;
    QString m_maskedImage;
};
