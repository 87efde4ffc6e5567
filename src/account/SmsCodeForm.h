#pragma once

#include "account/FieldTips.h"
#include "ui/WindowImplBase.h"

#include <string>

class CButtonUI;
class CLabelUI;
class COrvaEditPasswd;
struct HttpReply;

// What the registration and password reset windows share: a mobile number proven by an SMS code.
// A code request validates the number (a signed request that yields a ticket), then sends the
// code for that ticket and starts a 60-second resend countdown on a counter the window kind keeps
// for the whole process. Messages appear on hidden labels under their fields, whose borders turn
// red; Enter and Escape are swallowed. The subclass finds the controls, submits, and reacts to
// its own replies.
class CSmsCodeForm : public WindowImplBase
{
public:
    static constexpr int kCountdownSeconds = 60;

    // The window that receives the window's messages to the main window; before Create.
    void SetOwner(const WindowHandle& owner) { m_owner = owner; }

    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

protected:
    // The two requests of a code, as the window kind names and addresses them.
    struct CodeRequests
    {
        const char* validateKind;
        const char* validateCompletion;
        const char* validatePath;
        const char* sendKind;
        const char* sendCompletion;
        const char* sendPath;
    };

    CSmsCodeForm(int& remainingSeconds, CodeRequests requests);

    CControlUI* CreateControl(const QString& className) override;
    LRESULT HandleMessage(WindowMessage& message) override;
    // A reply of the window's own requests (any other tag than the two code requests).
    virtual void OnReply(const HttpReply& reply) = 0;

    // A field's children get the prefix; a plain field shows its text and has no view button.
    static void PrepareField(COrvaEditPasswd* field, const QString& prefix, bool plain);
    // The code button: disabled for an empty number, enabled for one while no countdown runs.
    void ApplyCodeButtonRule();
    // Checks the number and sends the validate request; clearTicket forgets an earlier ticket.
    void OnSmsCodeClick(bool clearTicket);
    // The label a server refusal goes to: the number's for MessageField::Account, else general.
    void ShowRefusal(int state, const QString& stateInfo, CLabelUI* general);
    [[nodiscard]] static std::string Utf8(const QString& text);

    WindowHandle m_owner;
    COrvaEditPasswd* m_number = nullptr;
    COrvaEditPasswd* m_code = nullptr;
    CButtonUI* m_codeButton = nullptr;
    CLabelUI* m_numberTip = nullptr;
    CLabelUI* m_codeTip = nullptr;
    // Each message label with the field whose border it turns red.
    FieldTips m_tips;
    std::string m_capturedNumber;
    std::string m_ticket;

private:
    void OnCodeStepReply(const HttpReply& reply, bool validated);
    void OnCountdownTick();

    int& m_remainingSeconds;
    CodeRequests m_requests;
    bool m_countdownIdle = true;
};
