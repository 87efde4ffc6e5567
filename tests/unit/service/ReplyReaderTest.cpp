#include "service/ReplyReader.h"
#include "HostileJson.h"

#include <gtest/gtest.h>

namespace {

using enum ReplyOutcome;

TEST(ReplyReader, SignInRepliesAreJudgedInOrder)
{
    struct Row
    {
        const char* name;
        int http;
        std::string body;
        ReplyOutcome outcome;
        int status;
        QString message;
    };
    const QString malformed = ReplyReader::MalformedReplyText();
    const Row rows[] = {
        {"404 with a body is a transport failure", 404, R"({"status":200})", TransportFailure, 0, {}},
        {"200 with an empty body is a transport failure", 200, "", TransportFailure, 0, {}},
        {"not JSON", 200, "<html>502 Bad Gateway</html>", ParseFailure, 0, {}},
        {"trailing garbage", 200, R"({"status":200} x)", ParseFailure, 0, {}},
        {"wrong password", 200, R"({"status":401,"message":"pwd"})", Refused, 401, "pwd"},
        {"status as text", 200, R"({"status":"301","message":"x"})", Refused, 301, "x"},
        {"number message as its digits", 200, R"({"status":500,"message":12})", Refused, 500, "12"},
        {"comments are allowed", 200, "// note\n{\"status\":402 /* c */}", Refused, 402, ""},
        {"not an object", 200, "[1,2]", Refused, kMalformedReplyCode, malformed},
        {"no status", 200, R"({"message":"m"})", Refused, kMalformedReplyCode, malformed},
        {"empty status", 200, R"({"status":""})", Refused, kMalformedReplyCode, malformed},
        {"status not numeric", 200, R"({"status":"200abc"})", Refused, kMalformedReplyCode, malformed},
        {"status out of range", 200, R"({"status":99999999999})", Refused, kMalformedReplyCode, malformed},
        {"status true", 200, R"({"status":true})", Refused, kMalformedReplyCode, malformed},
        {"message is an object", 200, R"({"status":401,"message":{"a":1}})", Refused, kMalformedReplyCode,
         malformed},
        {"ticket is an array", 200, R"({"status":200,"ticket":[]})", Refused, kMalformedReplyCode, malformed},
        {"deep nesting", 200, std::string(5000, '[') + std::string(5000, ']'), ParseFailure, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const LoginReply reply = ReplyReader::ReadLoginReply(row.http, row.body);
        EXPECT_EQ(reply.outcome, row.outcome);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.message, row.message);
    }
}

TEST(ReplyReader, ASuccessfulSignInCarriesTicketAndImCredentials)
{
    const auto reply = ReplyReader::ReadLoginReply(
        200,
        R"({"status":"200","message":"成功","ticket":"T-1","data":{"appKey":"k","token":"tok","account":"acc"}})");
    EXPECT_EQ(reply.outcome, Success);
    EXPECT_EQ(reply.message, QStringLiteral("成功"));
    EXPECT_EQ(reply.ticket, "T-1");
    EXPECT_EQ(reply.appKey, "k");
    EXPECT_EQ(reply.token, "tok");
    EXPECT_EQ(reply.account, "acc");

    // "data" is read only when it is an object.
    const auto noData = ReplyReader::ReadLoginReply(200, R"({"status":200,"ticket":7,"data":"x"})");
    EXPECT_EQ(noData.outcome, Success);
    EXPECT_EQ(noData.ticket, "7");
    EXPECT_EQ(noData.appKey, "");
}

TEST(ReplyReader, UserConfigReplies)
{
    struct Row
    {
        const char* name;
        int http;
        std::string body;
        ReplyOutcome outcome;
        std::int64_t id;
    };
    const Row rows[] = {
        {"id", 200, R"({"id":9007199254740993})", Success, 9007199254740993LL},
        {"missing id reads 0", 200, R"({"name":"x"})", Success, 0},
        {"transport", 500, R"({"id":1})", TransportFailure, 0},
        {"parse", 200, "{", ParseFailure, 0},
        {"id as text", 200, R"({"id":"12"})", Refused, 0},
        {"id fractional", 200, R"({"id":1.5})", Refused, 0},
        {"not an object", 200, "12", Refused, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto reply = ReplyReader::ReadUserConfigReply(row.http, row.body);
        EXPECT_EQ(reply.outcome, row.outcome);
        EXPECT_EQ(reply.id, row.id);
        EXPECT_EQ(reply.message.isEmpty(), row.outcome != Refused);
    }
}

TEST(ReplyReader, StateReplies)
{
    struct Row
    {
        const char* name;
        int http;
        std::string body;
        ReplyOutcome outcome;
        int state;
        QString stateInfo;
        std::string resInfo;
    };
    const QString malformed = ReplyReader::MalformedReplyText();
    const Row rows[] = {
        {"missing state is success", 200, R"({"resInfo":"T"})", Success, 0, "", "T"},
        {"state 0 with a number resInfo", 200, R"({"state":0,"resInfo":42})", Success, 0, "", "42"},
        {"refused", 200, R"({"state":209,"stateInfo":"错"})", Refused, 209, QStringLiteral("错"), ""},
        {"state as numeric text", 200, R"({"state":"416"})", Refused, 416, "", ""},
        {"state null counts as missing", 200, R"({"state":null})", Success, 0, "", ""},
        {"state as words", 200, R"({"state":"ok"})", Refused, kMalformedReplyCode, malformed, ""},
        {"state as an object", 200, R"({"state":{}})", Refused, kMalformedReplyCode, malformed, ""},
        {"state true", 200, R"({"state":true})", Refused, kMalformedReplyCode, malformed, ""},
        {"stateInfo an array", 200, R"({"state":1,"stateInfo":[]})", Refused, kMalformedReplyCode, malformed,
         ""},
        {"a string at the top", 200, R"("state")", Refused, kMalformedReplyCode, malformed, ""},
        {"transport", 0, "", TransportFailure, 0, "", ""},
        {"parse", 200, "state=0", ParseFailure, 0, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto reply = ReplyReader::ReadStateReply(row.http, row.body);
        EXPECT_EQ(reply.outcome, row.outcome);
        EXPECT_EQ(reply.state, row.state);
        EXPECT_EQ(reply.stateInfo, row.stateInfo);
        EXPECT_EQ(reply.resInfo, row.resInfo);
    }
}

// Hostile replies carry nothing a window could act on, and no reader fails on them.
TEST(ReplyReader, HostileRepliesAreNeverASuccess)
{
    for (const auto& row : HostileJson::Texts()) {
        SCOPED_TRACE(row.name);
        EXPECT_NE(ReplyReader::ReadLoginReply(200, row.text).outcome, Success);
        // A state reply without "state" is a success by the service's rules; none here names a step.
        const auto state = ReplyReader::ReadStateReply(200, row.text);
        EXPECT_TRUE(state.outcome != Success || state.resInfo.empty());
        // A user-config reply without an "id" is a success with no id: only the id matters.
        const auto config = ReplyReader::ReadUserConfigReply(200, row.text);
        EXPECT_TRUE(config.outcome != Success || config.id == 0) << config.id;
    }
}

} // namespace
