// What reaches the client from the IM channel: the library's JSON results and the service's
// notices in a message body (URL decoding, JSON, "res", "msg", "logoutTicket").
#include "im/NimTypes.h"
#include "service/OrvaManager.h"
#include "service/ServerNotice.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string body = input.ConsumeRandomLengthString(4096);
    const std::string json = input.ConsumeRemainingBytesAsString();

    // The library hands C strings: the text up to its first NUL.
    (void)nim::ParseLoginRes(json.c_str());
    (void)nim::ParseKickoutRes(json.c_str());
    (void)nim::ParseLogoutCode(json.c_str());
    for (const auto& message : nim::ParseMessages(json.c_str())) {
        (void)ReadServerNotice(message.content_);
    }
    (void)ReadServerNotice(nim::ParseMessage(json.c_str()).content_);

    if (const auto notice = ReadServerNotice(body)) {
        if (notice->kind != "logout" && notice->kind != "uppwd") {
            std::abort();
        }
    }
    // Encoding and decoding are inverse.
    if (COrvaManager::UrlDecode(COrvaManager::UrlEncode(body)) != body) {
        std::abort();
    }
    return 0;
}
