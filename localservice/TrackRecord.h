#pragma once

#include <json/value.h>

#include <optional>
#include <string>

// A tracking record as the client sends it: a JSON object {"track": Base64 of the record's
// JSON}, where the record carries a signature over its fields (the client's query-text
// signature with the request-signing secret).
namespace TrackRecord {

// The record, or nullopt with the reason in *error.
std::optional<Json::Value> Decode(const std::string& body, const std::string& secret, std::string* error);

} // namespace TrackRecord
