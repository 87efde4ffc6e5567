#include "platform/JsonReader.h"
#include "HostileJson.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonReader, HostileTextGivesNothingOrAValueAndNeverThrows)
{
    for (const auto& row : HostileJson::Texts()) {
        SCOPED_TRACE(row.name);
        std::optional<Json::Value> value;
        EXPECT_NO_THROW(value = JsonReader::Parse(row.text));
        if (value) {
            // Whatever came back, the member readers take it as it is.
            EXPECT_NO_THROW({
                (void)JsonReader::IntOf(*value, "status", 0);
                (void)JsonReader::TextOf(*value, "message");
                (void)JsonReader::BoolOf(*value, "relogin");
                (void)JsonReader::MemberOf(JsonReader::MemberOf(*value, "data"), "token");
                (void)JsonReader::Compact(*value);
            });
        }
    }
}

TEST(JsonReader, WhatItRefusesAndWhatItKeeps)
{
    struct Case
    {
        const char* name;
        std::string text;
        bool parses;
    };
    const std::string deepest =
        std::string(JsonReader::kMaxDepth, '[') + std::string(JsonReader::kMaxDepth, ']');
    std::string deepObject = "1";
    for (int i = 0; i <= JsonReader::kMaxDepth; ++i) {
        deepObject = "{\"a\":" + deepObject + "}";
    }
    for (const Case& row : {
             Case{"an object", R"({"a":1})", true},
             Case{"comments are allowed", "{/* c */ \"a\":1}", true},
             Case{"nesting at the limit", deepest, true},
             Case{"a value at the deepest level",
                  std::string(JsonReader::kMaxDepth, '[') + "1" + std::string(JsonReader::kMaxDepth, ']'),
                  true},
             Case{"nesting past the limit", "[" + deepest + "]", false},
             Case{"brackets in comments do not nest",
                  "[/* " + std::string(300, '[') + " */ // {{{\n" + deepest.substr(1, deepest.size() - 2) +
                      "]",
                  true},
             Case{"objects past the limit", deepObject, false},
             Case{"brackets in strings do not nest",
                  "[\"" + std::string(300, '[') + "\\\"{{\", " + deepest.substr(1, deepest.size() - 2) + "]",
                  true},
             Case{"trailing text", R"({"a":1} x)", false},
             Case{"two documents", R"({} {})", false},
             Case{"truncated", R"({"a":)", false},
         }) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JsonReader::Parse(row.text).has_value(), row.parses);
    }
}

TEST(JsonReader, MembersFallBackUnlessTheyHaveTheRightType)
{
    const auto value = JsonReader::Parse(
        R"({"int":7,"big":99999999999,"real":2.5,"text":"x","yes":true,"bytes":"\u00e9\u0000z","obj":{"k":"v"}})");
    ASSERT_TRUE(value);
    EXPECT_EQ(JsonReader::IntOf(*value, "int", -1), 7);
    EXPECT_EQ(JsonReader::IntOf(*value, "big", -1), -1);
    EXPECT_EQ(JsonReader::IntOf(*value, "real", -1), -1);
    EXPECT_EQ(JsonReader::IntOf(*value, "text", -1), -1);
    EXPECT_EQ(JsonReader::IntOf(*value, "missing", -1), -1);
    EXPECT_EQ(JsonReader::TextOf(*value, "int", "fb"), "fb");
    EXPECT_EQ(JsonReader::TextOf(*value, "bytes"), std::string("\xc3\xa9\0z", 4));
    EXPECT_TRUE(JsonReader::BoolOf(*value, "yes"));
    EXPECT_TRUE(JsonReader::BoolOf(*value, "text", true));
    EXPECT_EQ(JsonReader::TextOf(JsonReader::MemberOf(*value, "obj"), "k"), "v");
    // Readers of members never fail on a value that is not an object.
    for (const Json::Value& notObject : {Json::Value(3), Json::Value("s"), Json::Value(Json::arrayValue)}) {
        EXPECT_EQ(JsonReader::IntOf(notObject, "int", -1), -1);
        EXPECT_TRUE(JsonReader::MemberOf(notObject, "int").isNull());
    }
}

} // namespace
