#include "service/ServerNotice.h"

#include "diag/Log.h"
#include "platform/JsonReader.h"
#include "service/OrvaManager.h"

std::optional<ServerNotice> ReadServerNotice(const std::string& content)
{
    const std::string decoded = COrvaManager::UrlDecode(content);
    LOG_VERB << "IM receive Message: szMsgDecode[" << decoded << "]";
    if (decoded.empty()) {
        return std::nullopt;
    }
    const std::optional<Json::Value> notice = JsonReader::Parse(decoded);
    if (!notice || !notice->isObject()) {
        return std::nullopt;
    }
    ServerNotice read;
    read.kind = JsonReader::TextOf(*notice, "res");
    if (read.kind != "logout" && read.kind != "uppwd") {
        return std::nullopt;
    }
    read.text = COrvaManager::UrlDecode(JsonReader::TextOf(*notice, "msg"));
    LOG_VERB << "IM receive Message: msgDecode[" << read.text << "]";
    read.ticket = JsonReader::TextOf(*notice, "logoutTicket");
    return read;
}
