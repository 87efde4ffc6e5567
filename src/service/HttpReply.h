#pragma once

#include <string>

// An HTTP answer on its way to the window that asked (the record of WM_USER_HTTP_REPLY).
struct HttpReply
{
    int responseCode = 0;
    std::string reply;
    std::string kind;
    std::string url;
    std::string body;
};
