#include "im/NimTypes.h"

#include "platform/JsonReader.h"

namespace nim {

namespace {

using JsonReader::BoolOf;
using JsonReader::IntOf;
using JsonReader::TextOf;

Json::Value Parse(const char* json)
{
    return json != nullptr ? JsonReader::Parse(json).value_or(Json::Value()) : Json::Value();
}

IMMessage MessageOf(const Json::Value& object)
{
    return {TextOf(object, "msg_body"), TextOf(object, "client_msg_id"), TextOf(object, "from_account")};
}

} // namespace

LoginRes ParseLoginRes(const char* json)
{
    const Json::Value result = Parse(json);
    return {IntOf(result, "err_code", 0), IntOf(result, "login_step", 0), BoolOf(result, "relogin"),
            BoolOf(result, "retrying")};
}

KickoutRes ParseKickoutRes(const char* json)
{
    const Json::Value result = Parse(json);
    return {IntOf(result, "client_type", 0), IntOf(result, "reason_code", 0)};
}

IMMessage ParseMessage(const char* json)
{
    return MessageOf(Parse(json));
}

std::vector<IMMessage> ParseMessages(const char* json)
{
    std::vector<IMMessage> messages;
    const Json::Value batch = Parse(json);
    if (batch.isArray()) {
        for (const Json::Value& message : batch) {
            messages.push_back(MessageOf(message));
        }
    }
    return messages;
}

int ParseLogoutCode(const char* json)
{
    return IntOf(Parse(json), "err_code", 200);
}

} // namespace nim
