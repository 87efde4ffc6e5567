#include "account/AccountRequest.h"

#include "diag/Log.h"
#include "diag/LogMask.h"
#include "messages/WindowMessages.h"
#include "service/HttpReply.h"
#include "service/HttpTransport.h"

#include <memory>

namespace {

// Form keys of the account requests that carry a password, and the ticket in the user-config
// address or a form. Replies carry tickets as "ticket" (sign-in) and "resInfo" (the ticket of a
// registration or reset), and the IM token as "token".
std::string MaskForm(std::string_view text)
{
    return LogMask::Form(text, {"p", "pwd", "repwd", "password"}, {"d_t", "ticket", "token"});
}

void Deliver(const WindowHandle& window, const AccountRequest& request, bool ok, int responseCode,
             const std::string& reply)
{
    if (Log::Admits(LogSeverity::Debug)) {
        Log::LogLine(LogSeverity::Debug, request.completion, __LINE__)
            << "ret:[" << (ok ? 1 : 0) << "] response_code:[" << responseCode << "] reply:["
            << LogMask::JsonMembers(reply, {"ticket", "token", "resInfo"}) << "] url:["
            << MaskForm(request.address) << "] body:[" << MaskForm(request.body) << "]";
    }
    if (request.kind == nullptr) {
        return;
    }
    auto record = std::make_unique<HttpReply>();
    record->responseCode = responseCode;
    record->reply = reply;
    record->kind = request.kind;
    record->url = request.address;
    record->body = request.body;
    SendUserMessage<WM_USER_HTTP_REPLY>(window, std::move(record));
}

} // namespace

bool PostAccountRequest(const WindowHandle& window, AccountRequest request)
{
    const std::string address = request.address;
    const std::string body = request.body;
    const int timeoutMs = request.timeoutMs;
    const bool post = request.post;
    const auto headers = request.headers;
    HttpRequest http(
        address, body.data(), body.size(),
        [window, request = std::move(request)](bool ok, int responseCode, const std::string& reply) {
            Deliver(window, request, ok, responseCode, reply);
        });
    for (const auto& [name, value] : headers) {
        http.AddHeader(name, value);
    }
    http.SetTimeout(timeoutMs);
    if (post) {
        http.SetMethodAsPost();
    }
    return http.Post() != 0;
}
