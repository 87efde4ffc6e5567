#include "SignedVectors.h"
#include "environment/Environment.h"
#include "service/OrvaManager.h"

#include <gtest/gtest.h>

namespace {

std::string Digest(const std::string& joined)
{
    return COrvaManager::Md5Hex(joined + GetEnvironmentSettings().signSecret);
}

TEST(Signing, Md5HexFollowsRfc1321)
{
    EXPECT_EQ(COrvaManager::Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(COrvaManager::Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(COrvaManager::Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    // Embedded NUL and bytes above 0x7F are digested as bytes.
    EXPECT_EQ(COrvaManager::Md5Hex(std::string("\0a", 2)), "760f753576f2955b0074758acb4d5fa6");
    EXPECT_EQ(COrvaManager::Md5Hex("\xff\xff\xff"), "8597d4e7e65352a302b63e07bc01a7da");
}

TEST(Signing, BodiesMatchVectorsWorkedOutElsewhere)
{
    for (const auto& row : SignedVectors::ParamLists()) {
        EXPECT_EQ(COrvaManager::SignParamList(row.pieces), row.body) << row.name;
    }
    for (const auto& row : SignedVectors::QueryTexts()) {
        EXPECT_EQ(COrvaManager::SignQueryString(row.text), row.body) << row.name;
    }
}

TEST(Signing, SignParamListSortsWholePiecesAndEncodesValues)
{
    struct Row
    {
        const char* name;
        std::vector<std::string> pieces;
        std::string joined; // what the digest covers
        std::string bodyWithoutSignature;
    };
    const Row rows[] = {
        {"= sorts as a byte, so a1 comes before a",
         {"b=2", "a=x y", "a1=z"},
         "a1=z&a=x y&b=2",
         "a1=z&a=x+y&b=2&"},
        {"params goes unencoded",
         {"source=tpc", "params={\"m\":\"1 3\"}"},
         "params={\"m\":\"1 3\"}&source=tpc",
         "params={\"m\":\"1 3\"}&source=tpc&"},
        {"the key is cut at the first =", {"p=a=b"}, "p=a=b", "p=a%3Db&"},
        {"a piece without = is all value", {"m=1", "raw value"}, "m=1&raw value", "m=1&raw+value&"},
        {"duplicates stay", {"k=2", "k=1", "k=2"}, "k=1&k=2&k=2", "k=1&k=2&k=2&"},
        {"bytes above 0x7F sort last", {"\xC3\xA9=1", "z=2"}, "z=2&\xC3\xA9=1", "z=2&\xC3\xA9=1&"},
        {"login form",
         {"m=13800138000", "p=secret pw", "source=tpc"},
         "m=13800138000&p=secret pw&source=tpc",
         "m=13800138000&p=secret+pw&source=tpc&"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(COrvaManager::SignParamList(row.pieces),
                  row.bodyWithoutSignature + "signature=" + Digest(row.joined));
    }
    EXPECT_EQ(COrvaManager::SignParamList({}), "");
    EXPECT_EQ(COrvaManager::SignParamList({""}), "");
}

TEST(Signing, SignQueryStringAndMakeSignature)
{
    const std::string mobile = "mobile=13800138000";
    EXPECT_EQ(COrvaManager::SignQueryString(mobile), mobile + "&signature=" + Digest(mobile));
    EXPECT_EQ(COrvaManager::MakeSignature(mobile), Digest(mobile));

    // Split, sorted, every value encoded (no params exception); an empty last piece is dropped but
    // an empty piece in the middle stays.
    const std::string text = "source=tpc&params={\"a\":1}&&mobile=138 0013&";
    const std::string joined = "&mobile=138 0013&params={\"a\":1}&source=tpc";
    EXPECT_EQ(COrvaManager::SignQueryString(text),
              "&mobile=138+0013&params=%7B%22a%22%3A1%7D&source=tpc&signature=" + Digest(joined));
    EXPECT_EQ(COrvaManager::MakeSignature(text), Digest(joined));

    for (const char* empty : {"", "&"}) {
        SCOPED_TRACE(empty);
        EXPECT_EQ(COrvaManager::SignQueryString(empty), "");
        EXPECT_EQ(COrvaManager::MakeSignature(empty), "");
    }
}

TEST(Encoders, UrlEncodeDecodeAndEscape)
{
    struct Row
    {
        std::string input, encoded, escaped;
    };
    const Row rows[] = {
        {"a b&c/\xC3\xA9", "a+b%26c%2F%C3%A9", "a%20b&c/%C3%A9"},
        {"a b?c=d&e/f", "a+b%3Fc%3Dd%26e%2Ff", "a%20b%3Fc=d&e/f"},
        {"~-_.", "~-_.", "%7E-_."},
        {"#+;@%:", "%23%2B%3B%40%25%3A", "%23%2B%3B%40%:"},
        {"{|}\x7f", "%7B%7C%7D%7F", "%7B%7C%7D%7F"},
        {std::string("\0", 1), "%00", "%00"},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(COrvaManager::UrlEncode(row.input), row.encoded);
        EXPECT_EQ(COrvaManager::UrlEscape(row.input), row.escaped);
        EXPECT_EQ(COrvaManager::UrlDecode(row.encoded), row.input);
    }
    EXPECT_EQ(COrvaManager::UrlDecode("%7b%7B+%"), "{{ %");
    EXPECT_EQ(COrvaManager::UrlDecode("100%"), "100%");
    EXPECT_EQ(COrvaManager::UrlDecode("%4"), "%4");
    EXPECT_EQ(COrvaManager::UrlDecode("%zz%41"), "%zzA");
}

TEST(TextChecks, NumbersLettersAndSpaces)
{
    struct Row
    {
        std::string text;
        bool number, alphaNumeric;
    };
    const Row rows[] = {
        {"13800138000", true, true}, {" 12345 ", true, false}, {"1.5e3", true, false},
        {"-2", true, false},         {"123a", false, true},    {"", false, true},
        {"abc", false, true},        {"1 2", false, false},    {"\xE4\xB8\x80", false, false},
        {"1e999", false, true},      {"0x1A", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(COrvaManager::IsNumber(row.text), row.number);
        EXPECT_EQ(COrvaManager::IsAlphaNumeric(row.text), row.alphaNumeric);
    }
    EXPECT_EQ(COrvaManager::TrimSpaces("  138 0013 8000  "), "138 0013 8000");
    EXPECT_EQ(COrvaManager::TrimSpaces("\t x \t"), "\t x \t");
    EXPECT_EQ(COrvaManager::TrimSpaces("    "), "");
}

TEST(StateMessages, TheTableReplacesSevenTextsAndNamesTheField)
{
    struct Row
    {
        int code;
        const char* text; // nullptr: the server's text stays
        MessageField field;
    };
    const Row rows[] = {
        {-1, nullptr, MessageField::Account},
        {201, "您填写的手机号格式错误", MessageField::Account},
        {207, nullptr, MessageField::Code},
        {209, "验证码错误", MessageField::Code},
        {301, "账号不存在，请注册后重试！", MessageField::Account},
        {302, nullptr, MessageField::Code},
        {305, "此手机号已经注册过了", MessageField::Account},
        {306, nullptr, MessageField::Account},
        {400, nullptr, MessageField::Account},
        {401, "账号或密码输入错误！", MessageField::General},
        {402, "账号不存在，请注册后重试", MessageField::Account},
        {416, "发送验证码频率过高", MessageField::Code},
        {700, nullptr, MessageField::Account},
        {500, nullptr, MessageField::General},
        {0, nullptr, MessageField::General},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        QString message = QStringLiteral("server text");
        EXPECT_EQ(COrvaManager::GetStateMessage(row.code, message), row.field);
        const QString expected =
            row.text != nullptr ? QString::fromUtf8(row.text) : QStringLiteral("server text");
        EXPECT_EQ(message, expected);
        EXPECT_EQ(COrvaManager::GetStateMessage(row.code, message), row.field);
        EXPECT_EQ(message, expected);
    }
}

} // namespace
