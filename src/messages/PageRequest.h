#pragma once

#include <cstdint>
#include <string>

// What a page asked the main window for, carried by WM_USER_LOGIN (sign in, then open a subject's
// papers) and WM_USER_OPEN_URL (open an address in the browser). Texts are UTF-8.
struct PageRequest
{
    std::int32_t subjectId = 0;
    std::string subjectName;
    std::string pageUrl;
};
