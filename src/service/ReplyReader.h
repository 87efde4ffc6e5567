#pragma once

#include <QString>

#include <cstdint>
#include <string>

// How a reply of the sign-on API is judged, in this order: the transport failed (HTTP status not
// 200, or an empty body), the body is not JSON, the server refused, or it succeeded.
enum class ReplyOutcome
{
    TransportFailure,
    ParseFailure,
    Refused,
    Success,
};

// The code of a refusal built for a reply that is JSON but not of the expected shape; the
// server-message table leaves it a general message.
inline constexpr int kMalformedReplyCode = -2;

// The sign-in reply: "status" (200 = success, as a number or numeric text), "message", a
// top-level "ticket" and the IM credentials in the "data" object.
struct LoginReply
{
    ReplyOutcome outcome = ReplyOutcome::TransportFailure;
    int status = 0;
    QString message;
    std::string ticket;
    std::string appKey;
    std::string token;
    std::string account;
};

// The user-config reply: the user's "id" (0 when missing).
struct UserConfigReply
{
    ReplyOutcome outcome = ReplyOutcome::TransportFailure;
    std::int64_t id = 0;
    QString message; // only for a reply of the wrong shape
};

// The registration and password-reset replies: "state" (0 or missing = success), "stateInfo" and
// the step's "resInfo".
struct StateReply
{
    ReplyOutcome outcome = ReplyOutcome::TransportFailure;
    int state = 0;
    QString stateInfo;
    std::string resInfo;
};

// Readers of the sign-on API's JSON replies. A reply that parses but breaks its shape (not an
// object, a status that is no number, text members holding objects) ends as a refusal with
// kMalformedReplyCode, never as a success.
namespace ReplyReader {

[[nodiscard]] LoginReply ReadLoginReply(int responseCode, const std::string& reply);
[[nodiscard]] UserConfigReply ReadUserConfigReply(int responseCode, const std::string& reply);
[[nodiscard]] StateReply ReadStateReply(int responseCode, const std::string& reply);

// The text shown for a reply of the wrong shape.
[[nodiscard]] QString MalformedReplyText();

} // namespace ReplyReader
