#include "im/NimTypes.h"

#include <json/json.h>

#include <memory>

namespace nim {

namespace {

Json::Value Parse(const char* text)
{
    Json::Value value;
    if (text == nullptr) {
        return value;
    }
    const std::string json(text);
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(json.data(), json.data() + json.size(), &value, nullptr)) {
        return Json::Value();
    }
    return value;
}

int IntOf(const Json::Value& object, const char* key, int fallback)
{
    return object.isObject() && object[key].isInt() ? object[key].asInt() : fallback;
}

bool BoolOf(const Json::Value& object, const char* key)
{
    return object.isObject() && object[key].isBool() && object[key].asBool();
}

std::string TextOf(const Json::Value& object, const char* key)
{
    return object.isObject() && object[key].isString() ? object[key].asString() : std::string();
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
