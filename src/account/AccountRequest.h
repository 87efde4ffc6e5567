#pragma once

#include "ui/WindowHandle.h"

#include <string>
#include <utility>
#include <vector>

// One request of an account window to the sign-on API. The reply comes back to the window as
// WM_USER_HTTP_REPLY with an HttpReply (tag, address and body as sent), after the DEBUG line
// "ret:[…] response_code:[…] reply:[…] url:[…] body:[…]" under the window's completion name, with
// passwords, tickets and tokens masked. A window that is gone by then receives nothing.
struct AccountRequest
{
    const char* kind;       // the tag the window dispatches on, e.g. "login"; null: the reply is only logged
    const char* completion; // the name the DEBUG line is written under, "CLoginForm::OnPostLoginCallback"
    std::string address;
    std::string body;
    int timeoutMs = 20000;
    bool post = true;
    std::vector<std::pair<std::string, std::string>> headers = {};
};

// False when the transport does not run (the window then gets the failure as a reply at once).
bool PostAccountRequest(const WindowHandle& window, AccountRequest request);
