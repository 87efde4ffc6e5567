#pragma once

#include "settings/SavedUser.h"
#include "ui/WindowImplBase.h"

#include <vector>

class COrvaEditUserName;

// The popup list of remembered accounts under the login window's number field: a row per account
// with a button that forgets it. Choosing a row fills the login window; the popup closes after any
// click and when it loses activation, and deletes itself.
class CLognComboxWnd final : public WindowImplBase
{
public:
    static constexpr int kRowHeight = 30;

    CLognComboxWnd();
    ~CLognComboxWnd() override;

    // Creates the popup as a child of the login window and places it under the field (above it
    // when it would leave the work area at the bottom), 30 px per account + 6 high, as wide as the
    // field, and shows it.
    void ShowUnder(const WindowHandle& loginWindow, COrvaEditUserName* field);
    // The newest popup while it is open, else null.
    [[nodiscard]] static CLognComboxWnd* Current();

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("LoginUsersForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CLognComboxWnd"); }
    void InitWindow() override;
    LRESULT HandleMessage(WindowMessage& message) override;
    void OnFinalMessage() override { delete this; }

private:
    // The record of a row or its delete button (its tag, the record's index + 1); null for none.
    [[nodiscard]] const SavedUser* RecordOf(const CControlUI* control) const;

    std::vector<SavedUser> m_records;
};
