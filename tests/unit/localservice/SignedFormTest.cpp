#include "SignedForm.h"
#include "HostileJson.h"
#include "SignedVectors.h"
#include "TrackRecord.h"
#include "environment/Environment.h"
#include "service/OrvaManager.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const std::string& Secret()
{
    static const std::string secret = CompiledInEnvironmentSettings().signSecret;
    return secret;
}

// Bodies as the client signs them are accepted, with the values the client put in.
TEST(SignedForm, AcceptsWhatTheClientSigns)
{
    struct Case
    {
        const char* what;
        std::string body;
        std::map<std::string, std::string> values;
    };
    const std::string track = R"({"track":"eyJhIjoxfQ+/="})";
    for (const Case& row : {
             Case{"sorted pieces",
                  COrvaManager::SignParamList({"b=2", "a=x y", "a1=z"}),
                  {{"a", "x y"}, {"a1", "z"}, {"b", "2"}}},
             Case{"one piece, sent unencoded",
                  COrvaManager::SignQueryString("mobile=13800000000"),
                  {{"mobile", "13800000000"}}},
             Case{"query text",
                  COrvaManager::SignQueryString("source=tpc&ticket=FLOW-1"),
                  {{"source", "tpc"}, {"ticket", "FLOW-1"}}},
             Case{"params taken as it stands",
                  COrvaManager::SignParamList({"smsCode=123456", "params=" + track}),
                  {{"smsCode", "123456"}, {"params", track}}},
             Case{"encoded text",
                  COrvaManager::SignParamList({"name=会计 a&b=c", "p=~x+y"}),
                  {{"name", "会计 a&b=c"}, {"p", "~x+y"}}},
             Case{"empty pieces", COrvaManager::SignQueryString("a=1&&b=2"), {{"a", "1"}, {"b", "2"}}},
         }) {
        SCOPED_TRACE(row.what);
        std::string error;
        const auto form = SignedForm::Parse(row.body, Secret(), &error);
        ASSERT_TRUE(form.has_value()) << error << " body: " << row.body;
        for (const auto& [key, value] : row.values) {
            EXPECT_EQ(form->Value(key), value) << key;
        }
    }
}

TEST(SignedForm, RefusesUnsignedAndAlteredBodies)
{
    const std::string signedBody = COrvaManager::SignParamList({"m=13800000000", "p=secret1", "source=tpc"});
    std::string altered = signedBody;
    altered.replace(altered.find("secret1"), 7, "secret2");
    struct Case
    {
        const char* what;
        std::string body;
        std::string secret;
    };
    for (const Case& row :
         {Case{"no signature", "m=13800000000&p=secret1&source=tpc", Secret()},
          Case{"altered value", altered, Secret()}, Case{"extra piece", "x=1&" + signedBody, Secret()},
          Case{"two signatures", signedBody + "&signature=0", Secret()},
          Case{"other secret", signedBody, Secret() + "!"}, Case{"empty body", "", Secret()}}) {
        SCOPED_TRACE(row.what);
        std::string error;
        EXPECT_FALSE(SignedForm::Parse(row.body, row.secret, &error).has_value());
        EXPECT_FALSE(error.empty());
    }
}

// The service accepts bodies signed as worked out outside this code base, with their raw values,
// and refuses each with one byte of its signature changed.
TEST(SignedForm, AcceptsVectorsWorkedOutElsewhere)
{
    std::vector<std::string> bodies;
    for (const auto& row : SignedVectors::ParamLists()) {
        bodies.push_back(row.body);
    }
    for (const auto& row : SignedVectors::QueryTexts()) {
        bodies.push_back(row.body);
    }
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        std::string error;
        const auto form = SignedForm::Parse(body, Secret(), &error);
        ASSERT_TRUE(form) << error;
        std::string altered = body;
        altered.back() = altered.back() == '0' ? '1' : '0';
        EXPECT_FALSE(SignedForm::Parse(altered, Secret(), &error));
    }
    std::string error;
    const auto form = SignedForm::Parse(SignedVectors::ParamLists()[2].body, Secret(), &error);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->Value("name"), "\xe5\xbc\xa0\xe4\xb8\x89");
}

// Tracking records come from anyone who can reach the service: hostile text at either level (the
// envelope, or the record inside its Base64) is refused with a reason.
TEST(TrackRecord, HostileRecordsAreRefusedWithAReason)
{
    for (const auto& row : HostileJson::Texts()) {
        SCOPED_TRACE(row.name);
        const std::string inner = QByteArray::fromStdString(row.text).toBase64().toStdString();
        for (const std::string& body : {row.text, R"({"track":")" + inner + R"("})"}) {
            std::string error;
            EXPECT_FALSE(TrackRecord::Decode(body, Secret(), &error));
            EXPECT_FALSE(error.empty());
        }
    }
}

} // namespace
