#pragma once

#include "ui/WindowImplBase.h"

class CControlUI;
class CLabelUI;

// The modal result notice of an account operation: a picture and a message coloured by outcome,
// and a countdown in red after which it closes by itself (code 1) and, after a success, asks the
// owner to show the login window. Closing it early (code 0) asks nothing. The seconds left are
// one count for the whole process, set back to 3 only when a countdown runs out.
class CShowMessageForm final : public WindowImplBase
{
public:
    static constexpr int kCountdownSeconds = 3;

    void SetOwner(const WindowHandle& owner) { m_owner = owner; }
    void SetNotice(const QString& title, const QString& tip, bool success);
    [[nodiscard]] static int RemainingSeconds();

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("ShowMessageForm.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CShowMessageForm"); }
    void InitWindow() override;
    LRESULT HandleMessage(WindowMessage& message) override;

private:
    WindowHandle m_owner;
    bool m_success = true;
    CLabelUI* m_title = nullptr;
    CControlUI* m_image = nullptr;
    CLabelUI* m_tip = nullptr;
    CLabelUI* m_countdown = nullptr;
};
