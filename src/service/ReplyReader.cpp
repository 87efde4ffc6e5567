#include "service/ReplyReader.h"

#include "platform/JsonReader.h"

#include <charconv>
#include <limits>
#include <memory>
#include <optional>

namespace {

using JsonReader::MemberOf;

// A member read as text: missing or null gives "", a number its decimal digits; objects and
// arrays have no text.
std::optional<std::string> Text(const Json::Value& value)
{
    switch (value.type()) {
    case Json::nullValue:
        return std::string();
    case Json::stringValue:
        return value.asString();
    case Json::intValue:
        return std::to_string(value.asLargestInt());
    case Json::uintValue:
        return std::to_string(value.asLargestUInt());
    case Json::realValue:
        if (value.isIntegral()) {
            return std::to_string(value.asLargestInt());
        }
        return value.asString();
    case Json::booleanValue:
        return std::string(value.asBool() ? "true" : "false");
    default:
        return std::nullopt;
    }
}

// A whole text of an optional sign and decimal digits within the int range.
std::optional<int> Integer(const std::string& text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    int value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (begin == end || result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

// "state": missing or null is 0; a number or a numeric text is read; anything else is no state.
std::optional<int> StateCode(const Json::Value& value)
{
    if (value.isNull()) {
        return 0;
    }
    if (!value.isString() && !value.isNumeric()) {
        return std::nullopt;
    }
    const auto text = Text(value);
    return text ? Integer(*text) : std::nullopt;
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsTransportFailure(int responseCode, const std::string& reply)
{
    return responseCode != 200 || reply.empty();
}

template <typename Reply>
Reply Malformed(Reply reply)
{
    reply.outcome = ReplyOutcome::Refused;
    if constexpr (requires { reply.status; }) {
        reply.status = kMalformedReplyCode;
        reply.message = ReplyReader::MalformedReplyText();
    } else if constexpr (requires { reply.state; }) {
        reply.state = kMalformedReplyCode;
        reply.stateInfo = ReplyReader::MalformedReplyText();
    } else {
        reply.message = ReplyReader::MalformedReplyText();
    }
    return reply;
}

// The judging every reply shares: the transport, the JSON, an object at the top. Returns the
// object, or nothing with result holding the outcome that ended the judging.
template <typename Reply>
std::optional<Json::Value> OpenObject(int responseCode, const std::string& reply, Reply& result)
{
    if (IsTransportFailure(responseCode, reply)) {
        result.outcome = ReplyOutcome::TransportFailure;
        return std::nullopt;
    }
    auto root = JsonReader::Parse(reply);
    if (!root) {
        result.outcome = ReplyOutcome::ParseFailure;
        return std::nullopt;
    }
    if (!root->isObject()) {
        result = Malformed(result);
        return std::nullopt;
    }
    return root;
}

} // namespace

namespace ReplyReader {

QString MalformedReplyText()
{
    return QStringLiteral("服务器返回的数据无法识别，请稍后再试"); // the server's reply could not be read
}

LoginReply ReadLoginReply(int responseCode, const std::string& reply)
{
    LoginReply result;
    const auto root = OpenObject(responseCode, reply, result);
    if (!root) {
        return result;
    }
    const auto statusText = Text(MemberOf(*root, "status"));
    const auto status = statusText ? Integer(*statusText) : std::nullopt;
    const auto message = Text(MemberOf(*root, "message"));
    if (!status || !message) {
        return Malformed(result);
    }
    result.status = *status;
    result.message = FromUtf8(*message);
    if (result.status != 200) {
        result.outcome = ReplyOutcome::Refused;
        return result;
    }

    const auto ticket = Text(MemberOf(*root, "ticket"));
    const Json::Value& credentials = MemberOf(*root, "data");
    const auto appKey = Text(MemberOf(credentials, "appKey"));
    const auto token = Text(MemberOf(credentials, "token"));
    const auto account = Text(MemberOf(credentials, "account"));
    if (!ticket || !appKey || !token || !account) {
        return Malformed(result);
    }
    result.outcome = ReplyOutcome::Success;
    result.ticket = *ticket;
    result.appKey = *appKey;
    result.token = *token;
    result.account = *account;
    return result;
}

UserConfigReply ReadUserConfigReply(int responseCode, const std::string& reply)
{
    UserConfigReply result;
    const auto root = OpenObject(responseCode, reply, result);
    if (!root) {
        return result;
    }
    const Json::Value& id = MemberOf(*root, "id");
    if (id.isNull()) {
        result.outcome = ReplyOutcome::Success;
        return result;
    }
    if (!id.isInt64()) {
        return Malformed(result);
    }
    result.outcome = ReplyOutcome::Success;
    result.id = id.asInt64();
    return result;
}

StateReply ReadStateReply(int responseCode, const std::string& reply)
{
    StateReply result;
    const auto root = OpenObject(responseCode, reply, result);
    if (!root) {
        return result;
    }
    const auto state = StateCode(MemberOf(*root, "state"));
    const auto stateInfo = Text(MemberOf(*root, "stateInfo"));
    const auto resInfo = Text(MemberOf(*root, "resInfo"));
    if (!state || !stateInfo || !resInfo) {
        return Malformed(result);
    }
    result.state = state.value_or(0);
    result.stateInfo = FromUtf8(*stateInfo);
    result.resInfo = *resInfo;
    result.outcome = result.state == 0 ? ReplyOutcome::Success : ReplyOutcome::Refused;
    return result;
}

} // namespace ReplyReader
