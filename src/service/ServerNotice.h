#pragma once

#include <optional>
#include <string>

// A notice the service pushes to a signed-in client over the IM channel. The message body is
// URL-encoded JSON: {"res": the kind, "msg": URL-encoded text to show, "logoutTicket": the
// session it is meant for}. Only the kinds that end a session are read: "logout" and "uppwd".
struct ServerNotice
{
    std::string kind;
    std::string text;   // decoded, UTF-8
    std::string ticket; // the session the notice ends
};

// The notice in an IM message body, or nullopt when the body is no such notice (anything else
// the channel carries, or a body that does not decode or parse).
[[nodiscard]] std::optional<ServerNotice> ReadServerNotice(const std::string& content);
