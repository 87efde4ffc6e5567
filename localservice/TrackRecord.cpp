#include "TrackRecord.h"

#include "SignedForm.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <vector>

namespace {

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

std::optional<QJsonObject> ParseObject(const QByteArray& text)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

} // namespace

std::optional<QJsonObject> TrackRecord::Decode(const std::string& body, const std::string& secret,
                                               std::string* error)
{
    const auto envelope = ParseObject(QByteArray::fromStdString(body));
    if (!envelope || !envelope->value("track").isString()) {
        *error = "the body is not a JSON object with a \"track\" text";
        return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(envelope->value("track").toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    auto record = decoded ? ParseObject(*decoded) : std::nullopt;
    if (!record) {
        *error = "\"track\" is not the Base64 text of a JSON object";
        return std::nullopt;
    }

    std::vector<std::string> pieces;
    for (const Field& field : kSignedFields) {
        const QJsonValue value = record->value(QLatin1String(field.name));
        if (field.number ? !value.isDouble() : !value.isString()) {
            *error = std::string("the record's \"") + field.name + "\" is missing or of the wrong type";
            return std::nullopt;
        }
        pieces.push_back(std::string(field.name) + "=" +
                         (field.number ? std::to_string(value.toInteger()) : value.toString().toStdString()));
    }
    if (!record->value("debug").isBool()) {
        *error = "the record's \"debug\" is missing or not a boolean";
        return std::nullopt;
    }
    pieces.push_back(record->value("debug").toBool() ? "debug=true" : "debug=false");
    if (SignedForm::Signature(std::move(pieces), secret) !=
        record->value("signature").toString().toStdString()) {
        *error = "the record's signature does not match its fields";
        return std::nullopt;
    }
    return record;
}
