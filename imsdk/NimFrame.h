#pragma once

#include <string>

// One text frame of the IM service, as the library reads it: a JSON object whose "type" says
// what it is. Whatever the service sends, reading gives a frame; anything unknown or of the
// wrong shape is Type::Unknown and is ignored.
struct NimFrame
{
    enum class Type
    {
        Unknown,
        LoginResult,  // "login_result" with "code"
        Pong,         // "pong"
        Message,      // "msg": one message object
        Messages,     // "msgs": an array of message objects
        Kickout,      // "kickout" with an integer "reason_code" and "client_type"
        LogoutResult, // "logout_result"
    };

    Type type = Type::Unknown;
    int code = 0;        // LoginResult
    std::string payload; // Message and Messages: the compact JSON handed to the receive callbacks
    int clientType = 0;  // Kickout
    int reasonCode = 0;  // Kickout
};

[[nodiscard]] NimFrame ReadNimFrame(const std::string& text);
