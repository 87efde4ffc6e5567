#include "AdminApi.h"

#include "ServiceContext.h"
#include "SignOnApi.h"
#include "platform/JsonReader.h"

#include <QString>

#include <charconv>

namespace {

using httplib::Request;
using httplib::Response;

// An integer parameter; nullopt when it is there but not a number.
std::optional<int> IntParam(const Request& request, const char* name, int fallback)
{
    if (!request.has_param(name)) {
        return fallback;
    }
    const std::string text = request.get_param_value(name);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

void BadRequest(Response& response, const QString& why)
{
    ReplyJson(response, 400, {{"error", why}});
}

void Done(Response& response)
{
    ReplyJson(response, 200, {{"ok", true}});
}

std::string HtmlEscape(const std::string& text)
{
    return QString::fromStdString(text).toHtmlEscaped().toStdString();
}

void Page(ServiceContext& context, const Request&, Response& response)
{
    std::string items;
    for (const std::string& line : context.console.RecentSms()) {
        items += "<li>" + HtmlEscape(line) + "</li>";
    }
    if (items.empty()) {
        items = "<li class=\"none\">No code has been sent yet.</li>";
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_content(
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Examora local service</title>"
        "<meta http-equiv=\"refresh\" content=\"5\">"
        "<link rel=\"stylesheet\" href=\"/Simulation/assets/site.css\"></head><body><main class=\"page\">"
        "<h1>Examora local service</h1><p>SMS codes this service would have sent, newest first "
        "(the page refreshes itself):</p><ul class=\"sms\">" +
            items + "</ul></main></body></html>",
        "text/html; charset=utf-8");
}

void Sms(ServiceContext& context, const Request& request, Response& response)
{
    const auto code = context.store.LatestCode(request.get_param_value("mobile"));
    if (!code) {
        return ReplyJson(response, 404, {{"error", "no code was sent to this number"}});
    }
    ReplyJson(response, 200, {{"code", QString::fromStdString(*code)}});
}

void Notice(ServiceContext& context, const Request& request, Response& response)
{
    const auto account = context.store.FindAccount(request.get_param_value("mobile"));
    if (!account) {
        return BadRequest(response, "no account has this number");
    }
    if (request.has_param("body")) {
        context.im->SendText(account->imAccount, request.get_param_value("body"), true);
        return Done(response);
    }
    const std::string kind = request.has_param("res") ? request.get_param_value("res") : "logout";
    std::vector<std::string> tickets{request.get_param_value("ticket")};
    if (!request.has_param("ticket")) {
        tickets = context.store.LiveTickets(account->mobile);
    }
    for (const std::string& ticket : tickets) {
        context.im->SendText(account->imAccount,
                             SignOnApi::NoticeBody(kind, request.get_param_value("msg"), ticket), true);
    }
    ReplyJson(response, 200, {{"ok", true}, {"notices", static_cast<int>(tickets.size())}});
}

void Drop(ServiceContext& context, const Request& request, Response& response)
{
    if (!request.has_param("mobile")) {
        context.im->DropAll();
        return Done(response);
    }
    const auto account = context.store.FindAccount(request.get_param_value("mobile"));
    if (!account) {
        return BadRequest(response, "no account has this number");
    }
    context.im->Drop(account->imAccount);
    Done(response);
}

// The account's next IM sign-in gets no answer at all, as from a service that has gone silent.
void Silent(ServiceContext& context, const Request& request, Response& response)
{
    const auto account = context.store.FindAccount(request.get_param_value("mobile"));
    if (!account) {
        return BadRequest(response, "no account has this number");
    }
    context.im->IgnoreNextLogin(account->imAccount);
    Done(response);
}

void Block(ServiceContext& context, const Request& request, Response& response)
{
    const auto blocked = IntParam(request, "blocked", 1);
    if (!blocked || !context.store.SetBlocked(request.get_param_value("mobile"), *blocked != 0)) {
        return BadRequest(response, "give the number of an account and blocked=0 or 1");
    }
    Done(response);
}

void Fault(ServiceContext& context, const Request& request, Response& response)
{
    const std::string path = request.get_param_value("path");
    const auto count = IntParam(request, "count", 1);
    const auto delay = IntParam(request, "delay_ms", 0);
    const auto status = IntParam(request, "status", 0);
    const std::string body = request.has_param("body") ? request.get_param_value("body") : "real";
    if (path.empty() || path[0] != '/' || !count || !delay || !status || *delay < 0 ||
        (*status != 0 && (*status < 100 || *status > 599)) ||
        (body != "real" && body != "malformed" && body != "empty")) {
        return BadRequest(response, "give path=/..., and optionally count, delay_ms, status (100-599) and "
                                    "body=real|malformed|empty");
    }
    FaultInjector::Fault fault;
    fault.count = *count;
    fault.delayMs = *delay;
    fault.status = *status;
    fault.body = body == "malformed" ? FaultInjector::Body::Malformed
                 : body == "empty"   ? FaultInjector::Body::Empty
                                     : FaultInjector::Body::Real;
    context.faults.Arm(path, fault);
    Done(response);
}

void Tracks(ServiceContext& context, const Request& request, Response& response)
{
    Json::Value records(Json::arrayValue);
    for (const std::string& record : context.store.Tracks(request.get_param_value("action"))) {
        records.append(JsonReader::Parse(record).value_or(Json::Value(Json::objectValue)));
    }
    response.set_content(JsonReader::Compact(records), "application/json; charset=utf-8");
}

} // namespace

void AdminApi::Register(httplib::Server& server, ServiceContext& context)
{
    const auto bind = [&context](auto handler) { return WithContext(context, handler); };
    server.Get("/admin", bind(Page));
    server.Get("/admin/sms", bind(Sms));
    server.Post("/admin/notice", bind(Notice));
    server.Post("/admin/drop", bind(Drop));
    server.Post("/admin/block", bind(Block));
    server.Post("/admin/silent", bind(Silent));
    server.Post("/admin/fault", bind(Fault));
    server.Get("/admin/tracks", bind(Tracks));
    server.Get("/health",
               [](const Request&, Response& response) { response.set_content("ok", "text/plain"); });
}
