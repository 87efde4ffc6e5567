#pragma once

#include <string>
#include <vector>

// The IM library's results, as the client reads them.
namespace nim {

struct LoginRes
{
    int res_code_ = 0;
    int login_step_ = 0;
    bool relogin_ = false;
    bool retrying_ = false;
};

struct KickoutRes
{
    int client_type_ = 0;
    int kick_reason_ = 0;
};

struct IMMessage
{
    std::string content_; // "msg_body"
    std::string client_msg_id_;
    std::string sender_accid_;
};

// Readers of the library's JSON; a text that does not parse gives the default record (the logout
// code 200, as a logout that cannot be read still ended).
LoginRes ParseLoginRes(const char* json);
KickoutRes ParseKickoutRes(const char* json);
IMMessage ParseMessage(const char* json);
std::vector<IMMessage> ParseMessages(const char* json);
int ParseLogoutCode(const char* json);

} // namespace nim
