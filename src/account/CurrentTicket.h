#pragma once

#include <string>

// The sign-on ticket of the signed-in user (UTF-8): written by the login window on the UI thread
// when a sign-in completes, read by the IM notice handling on the IM thread.
[[nodiscard]] std::string CurrentTicket();
void SetCurrentTicket(const std::string& ticket);
