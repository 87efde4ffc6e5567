#pragma once

#include <json/value.h>

#include <optional>
#include <string>
#include <string_view>

// The one road from outside JSON text (server replies, IM frames, tracking records, pages) to a
// value: it returns the value or nothing and never lets an exception out, whatever the text holds.
// The member readers below never throw either, whatever the value's shape.
namespace JsonReader {

// The parsed document; nothing for malformed, truncated or trailing text and for nesting deeper
// than kMaxDepth. Text inside strings is kept as bytes (invalid UTF-8 included).
std::optional<Json::Value> Parse(std::string_view text);

// Deeper nesting is refused: no reply nests near this, and the parser recurses per level on
// whatever thread reads (the IM and transport threads among them).
inline constexpr int kMaxDepth = 128;

// A member of an object: the fallback when the value is not an object, the member is missing or
// of another type, or a number is out of the int range.
int IntOf(const Json::Value& object, const char* key, int fallback);
bool BoolOf(const Json::Value& object, const char* key, bool fallback = false);
std::string TextOf(const Json::Value& object, const char* key, const std::string& fallback = {});
// The member itself (null when absent or when the value is not an object).
const Json::Value& MemberOf(const Json::Value& object, const char* key);

// Compact text of a value, for passing a part of a document on.
std::string Compact(const Json::Value& value);

} // namespace JsonReader
