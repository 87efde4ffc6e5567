#pragma once

#include <string>

struct ServiceContext;
namespace httplib {
class Server;
}

// The sign-on API: sign-in and the user-config request, the three steps of registration and
// of password reset, and the analytics endpoint that takes registration tracking records.
namespace SignOnApi {

void Register(httplib::Server& server, ServiceContext& context);

// The body of a server notice as the client reads it: URL-encoded JSON {"res", "msg" (itself
// URL-encoded), "logoutTicket"}.
[[nodiscard]] std::string NoticeBody(const std::string& kind, const std::string& message,
                                     const std::string& ticket);

} // namespace SignOnApi
