#include "platform/JsonReader.h"

#include <json/reader.h>
#include <json/writer.h>

#include <exception>
#include <memory>

namespace JsonReader {

namespace {

const Json::CharReaderBuilder& Builder()
{
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder settings;
        settings["collectComments"] = false;
        settings["allowComments"] = true;
        settings["failIfExtra"] = true;
        settings["rejectDupKeys"] = false;
        // jsoncpp counts the document itself as a level: kMaxDepth containers may hold a value.
        settings["stackLimit"] = kMaxDepth + 1;
        return settings;
    }();
    return builder;
}

// True when arrays and objects nest deeper than the reader's limit. jsoncpp refuses such a text by
// throwing, and an exception is costly where the unwinder asks the kernel for the signal mask at
// every frame; a hostile peer can send nothing else. Brackets inside strings and comments do not
// count.
bool NestsTooDeep(std::string_view text)
{
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                i += text[i] == '\\' ? 1 : 0;
            }
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            i = text.find_first_of("\r\n", i);
            i = i == std::string_view::npos ? text.size() : i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            i = text.find("*/", i + 2);
            i = i == std::string_view::npos ? text.size() : i + 1;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) {
                return true;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

} // namespace

std::optional<Json::Value> Parse(std::string_view text)
{
    if (NestsTooDeep(text)) {
        return std::nullopt;
    }
    Json::Value root;
    std::string errors;
    // jsoncpp reports some malformed input (nesting beyond its stack limit) by throwing, and may
    // throw std::bad_alloc on huge input: neither may leave a reader.
    try {
        const std::unique_ptr<Json::CharReader> reader(Builder().newCharReader());
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return root;
}

const Json::Value& MemberOf(const Json::Value& object, const char* key)
{
    static const Json::Value null;
    if (!object.isObject()) {
        return null;
    }
    const Json::Value* member = object.find(key, key + std::char_traits<char>::length(key));
    return member != nullptr ? *member : null;
}

int IntOf(const Json::Value& object, const char* key, int fallback)
{
    const Json::Value& member = MemberOf(object, key);
    return member.isInt() ? member.asInt() : fallback;
}

bool BoolOf(const Json::Value& object, const char* key, bool fallback)
{
    const Json::Value& member = MemberOf(object, key);
    return member.isBool() ? member.asBool() : fallback;
}

std::string TextOf(const Json::Value& object, const char* key, const std::string& fallback)
{
    const Json::Value& member = MemberOf(object, key);
    return member.isString() ? member.asString() : fallback;
}

std::string Compact(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

} // namespace JsonReader
