#include "diag/LogMask.h"
#include "HostileJson.h"

#include <gtest/gtest.h>

namespace {

TEST(LogMask, SecretsKeepFourCharactersAndShortOnesNone)
{
    EXPECT_EQ(LogMask::Secret("TGT-8f2c91d0"), "TGT-\xe2\x80\xa6");
    EXPECT_EQ(LogMask::Secret("1234567"), "***");
    EXPECT_EQ(LogMask::Secret(""), "***");
}

TEST(LogMask, FormValuesOfTheNamedKeysAreMasked)
{
    struct Case
    {
        const char* name;
        std::string text;
        std::string masked;
    };
    for (const Case& row : {
             Case{"sign-in body", "m=13800000000&p=s3cret%21&source=tpc&signature=abc",
                  "m=13800000000&p=***&source=tpc&signature=abc"},
             Case{"empty password", "p=&m=1", "p=***&m=1"},
             Case{"a question mark inside a password", "m=1&p=ab?cd&p=?x", "m=1&p=***&p=***"},
             Case{"address with a ticket", "http://127.0.0.1:1/uc/validate-user?d_t=TGT-8f2c91d0e",
                  "http://127.0.0.1:1/uc/validate-user?d_t=TGT-\xe2\x80\xa6"},
             Case{"nothing to mask", "a=1&&b&=2&", "a=1&&b&=2&"},
             Case{"empty", "", ""},
             Case{"key only in a value", "x=p=1", "x=p=1"},
         }) {
        EXPECT_EQ(LogMask::Form(row.text, {"p"}, {"d_t"}), row.masked) << row.name;
    }
}

TEST(LogMask, JsonMembersAreMaskedWhereverTheyStand)
{
    struct Case
    {
        const char* name;
        std::string text;
        std::string masked;
    };
    for (const Case& row : {
             Case{
                 "sign-in reply",
                 R"({"status":200,"ticket":"TGT-8f2c91d0","data":{"token" : "9d7e6f5a4b3c","account":"u1"}})",
                 R"({"status":200,"ticket":"TGT-)"
                 "\xe2\x80\xa6"
                 R"(","data":{"token" : "9d7e)"
                 "\xe2\x80\xa6"
                 R"(","account":"u1"}})"},
             Case{"escaped quotes", R"({"token":"ab\"cdefgh","x":"token"})",
                  R"({"token":"ab\")"
                  "\xe2\x80\xa6"
                  R"(","x":"token"})"},
             Case{"a value named like a key", R"({"x":"ticket","y":1})", R"({"x":"ticket","y":1})"},
             Case{"not a string", R"({"ticket":12345678901})", R"({"ticket":12345678901})"},
             Case{"truncated", R"({"ticket":"TGT-8f2c91d0)",
                  R"({"ticket":"TGT-)"
                  "\xe2\x80\xa6"},
             Case{"not json", "远程连接异常", "远程连接异常"},
         }) {
        EXPECT_EQ(LogMask::JsonMembers(row.text, {"ticket", "token"}), row.masked) << row.name;
    }
    for (const auto& row : HostileJson::Texts()) {
        (void)LogMask::JsonMembers(row.text, {"ticket", "token"});
        (void)LogMask::Form(row.text, {"p"}, {"d_t"});
    }
}

} // namespace
