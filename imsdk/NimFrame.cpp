#include "NimFrame.h"

#include "platform/JsonReader.h"

NimFrame ReadNimFrame(const std::string& text)
{
    using JsonReader::IntOf;
    using JsonReader::MemberOf;
    const Json::Value frame = JsonReader::Parse(text).value_or(Json::Value());
    const std::string type = JsonReader::TextOf(frame, "type");
    NimFrame read;
    if (type == "login_result") {
        read.type = NimFrame::Type::LoginResult;
        read.code = IntOf(frame, "code", 0);
    } else if (type == "pong") {
        read.type = NimFrame::Type::Pong;
    } else if (type == "msg") {
        read.type = NimFrame::Type::Message;
        const Json::Value& message = MemberOf(frame, "msg");
        read.payload = JsonReader::Compact(message.isObject() ? message : Json::objectValue);
    } else if (type == "msgs") {
        read.type = NimFrame::Type::Messages;
        const Json::Value& messages = MemberOf(frame, "msgs");
        read.payload = JsonReader::Compact(messages.isArray() ? messages : Json::arrayValue);
    } else if (type == "kickout" && MemberOf(frame, "reason_code").isInt()) {
        read.type = NimFrame::Type::Kickout;
        read.clientType = IntOf(frame, "client_type", 0);
        read.reasonCode = IntOf(frame, "reason_code", 0);
    } else if (type == "logout_result") {
        read.type = NimFrame::Type::LogoutResult;
    }
    return read;
}
