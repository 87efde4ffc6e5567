#include "TrackRecord.h"

#include "SignedForm.h"

#include "platform/JsonReader.h"

#include <QByteArray>

#include <string_view>

#include <vector>

namespace {

using JsonReader::MemberOf;

// The record's fields in the order of the signed query text, and whether each is a number.
struct Field
{
    const char* name;
    bool number;
};
constexpr Field kSignedFields[] = {
    {"mobile", true},    {"wx", false},         {"cplanner", false}, {"skuCode", true},
    {"appType", true},   {"platform", true},    {"channel", false},  {"scene", false},
    {"position", false}, {"action", false},     {"deviceId", false}, {"serialNumber", false},
    {"userId", false},   {"idfaOrImei", false},
};

std::optional<Json::Value> ParseObject(std::string_view text)
{
    auto value = JsonReader::Parse(text);
    if (!value || !value->isObject()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<Json::Value> TrackRecord::Decode(const std::string& body, const std::string& secret,
                                               std::string* error)
{
    const auto envelope = ParseObject(body);
    if (!envelope || !MemberOf(*envelope, "track").isString()) {
        *error = "the body is not a JSON object with a \"track\" text";
        return std::nullopt;
    }
    const auto decoded =
        QByteArray::fromBase64Encoding(QByteArray::fromStdString(MemberOf(*envelope, "track").asString()),
                                       QByteArray::AbortOnBase64DecodingErrors);
    auto record = decoded ? ParseObject(decoded.decoded.toStdString()) : std::nullopt;
    if (!record) {
        *error = "\"track\" is not the Base64 text of a JSON object";
        return std::nullopt;
    }

    std::vector<std::string> pieces;
    for (const Field& field : kSignedFields) {
        const Json::Value& value = MemberOf(*record, field.name);
        if (field.number ? !value.isInt64() : !value.isString()) {
            *error = std::string("the record's \"") + field.name + "\" is missing or of the wrong type";
            return std::nullopt;
        }
        pieces.push_back(std::string(field.name) + "=" +
                         (field.number ? std::to_string(value.asInt64()) : value.asString()));
    }
    if (!MemberOf(*record, "debug").isBool()) {
        *error = "the record's \"debug\" is missing or not a boolean";
        return std::nullopt;
    }
    pieces.push_back(MemberOf(*record, "debug").asBool() ? "debug=true" : "debug=false");
    if (SignedForm::Signature(std::move(pieces), secret) != JsonReader::TextOf(*record, "signature")) {
        *error = "the record's signature does not match its fields";
        return std::nullopt;
    }
    return record;
}
