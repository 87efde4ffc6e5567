#include "SignOnApi.h"

#include "ServiceContext.h"
#include "SignedForm.h"
#include "TrackRecord.h"
#include "platform/JsonReader.h"
#include "service/OrvaManager.h"

#include <algorithm>

namespace {

using Purpose = ServiceStore::Purpose;

// How long a checked number stays good for the next steps of its flow.
constexpr std::int64_t kFlowLifetimeSeconds = std::int64_t{30} * 60;
using httplib::Request;
using httplib::Response;

const char* FlowName(Purpose purpose)
{
    return purpose == Purpose::Register ? "registration" : "password reset";
}

bool IsMobileNumber(const std::string& text)
{
    return text.size() == 11 && text[0] == '1' &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsAcceptablePassword(const std::string& password)
{
    return password.size() >= 6 && password.size() <= 20 && COrvaManager::IsAlphaNumeric(password);
}

// The envelope of the registration and reset steps.
QJsonObject State(int state, const QString& info, const std::string& result = {})
{
    return {{"state", state}, {"stateInfo", info}, {"resInfo", QString::fromStdString(result)}};
}

bool StoreTrack(ServiceContext& context, const Json::Value& record)
{
    return context.store.AddTrack(JsonReader::TextOf(record, "action"),
                                  JsonReader::MemberOf(record, "mobile").asInt64(),
                                  JsonReader::Compact(record));
}

// The signed form of the request, or nullopt after answering the refusal in the endpoint's shape.
std::optional<SignedForm> ReadForm(ServiceContext& context, const Request& request, Response& response,
                                   bool signInShape)
{
    std::string error;
    auto form = SignedForm::Parse(request.body, context.signSecret, &error);
    if (!form) {
        context.console.Print("refused " + request.path + ": " + error);
        const QString text = QStringLiteral("请求无效: ") + QString::fromStdString(error);
        ReplyJson(response, 403,
                  signInShape ? QJsonObject{{"status", 403}, {"message", text}} : State(403, text));
    }
    return form;
}

void SignIn(ServiceContext& context, const Request& request, Response& response)
{
    const auto form = ReadForm(context, request, response, true);
    if (!form) {
        return;
    }
    const std::string mobile = form->Value("m");
    const auto refuse = [&](int status, const QString& message) {
        ReplyJson(response, 200, {{"status", status}, {"message", message}});
    };
    if (mobile.empty() || form->Value("p").empty()) {
        return refuse(400, QStringLiteral("请输入账号和密码"));
    }
    const auto account = context.store.FindAccount(mobile);
    if (!account) {
        return refuse(301, QStringLiteral("账号不存在"));
    }
    if (!context.store.CheckPassword(mobile, form->Value("p"))) {
        return refuse(401, QStringLiteral("账号或密码错误"));
    }
    const auto session = context.store.StartSession(mobile);
    if (!session) {
        return ReplyJson(response, 500, {{"status", 500}, {"message", QStringLiteral("服务暂时不可用")}});
    }
    context.console.Print("signed in " + mobile + " (user " + std::to_string(account->userId) + ", IM " +
                          account->imAccount + ")");
    ReplyJson(response, 200,
              {{"status", 200},
               {"message", QStringLiteral("登录成功")},
               {"ticket", QString::fromStdString(session->ticket)},
               {"data", QJsonObject{{"appKey", QString::fromStdString(context.imAppKey)},
                                    {"token", QString::fromStdString(session->imToken)},
                                    {"account", QString::fromStdString(account->imAccount)}}}});
}

void UserConfig(ServiceContext& context, const Request& request, Response& response)
{
    const auto account = context.store.AccountOfTicket(request.get_param_value("d_t"));
    if (!account) {
        return ReplyJson(response, 401,
                         {{"status", 401}, {"message", QStringLiteral("登录已失效，请重新登录")}});
    }
    ReplyJson(
        response, 200,
        {{"id", static_cast<qint64>(account->userId)}, {"mobile", QString::fromStdString(account->mobile)}});
}

void ValidateMobile(ServiceContext& context, Purpose purpose, const Request& request, Response& response)
{
    const auto form = ReadForm(context, request, response, false);
    if (!form) {
        return;
    }
    const std::string mobile = form->Value("mobile");
    if (!IsMobileNumber(mobile)) {
        return ReplyJson(response, 200, State(201, QStringLiteral("手机号格式错误")));
    }
    const bool known = context.store.FindAccount(mobile).has_value();
    if (purpose == Purpose::Register && known) {
        return ReplyJson(response, 200, State(305, QStringLiteral("此手机号已经注册过了")));
    }
    if (purpose == Purpose::Reset && !known) {
        return ReplyJson(response, 200, State(402, QStringLiteral("账号不存在")));
    }
    const auto ticket = context.store.StartFlow(mobile, purpose, kFlowLifetimeSeconds);
    if (!ticket) {
        return ReplyJson(response, 500, State(500, QStringLiteral("服务暂时不可用")));
    }
    ReplyJson(response, 200, State(0, QStringLiteral("手机号可用"), *ticket));
}

void SendCode(ServiceContext& context, Purpose purpose, const Request& request, Response& response)
{
    const auto form = ReadForm(context, request, response, false);
    if (!form) {
        return;
    }
    const auto mobile = context.store.FlowMobile(form->Value("ticket"), purpose);
    if (!mobile) {
        return ReplyJson(response, 200, State(400, QStringLiteral("验证已过期，请重新获取验证码")));
    }
    const auto issued = context.store.IssueCode(*mobile, purpose, context.options.smsLifetimeSeconds,
                                                context.options.smsIntervalSeconds);
    if (issued.tooSoon) {
        return ReplyJson(response, 200, State(416, QStringLiteral("发送验证码频率过高")));
    }
    if (issued.code.empty()) {
        return ReplyJson(response, 500, State(500, QStringLiteral("服务暂时不可用")));
    }
    context.console.Sms(*mobile, "your Examora " + std::string(FlowName(purpose)) + " code is " +
                                     issued.code + ", valid for " +
                                     std::to_string(context.options.smsLifetimeSeconds) + " s");
    ReplyJson(response, 200, State(0, QStringLiteral("验证码已发送")));
}

// The checks the final steps share: the flow, the password and the code. On failure the reply
// is written and nullopt returned.
std::optional<std::string> CheckFinalStep(ServiceContext& context, Purpose purpose, const SignedForm& form,
                                          Response& response)
{
    auto mobile = context.store.FlowMobile(form.Value("ticket"), purpose);
    if (!mobile) {
        ReplyJson(response, 200, State(400, QStringLiteral("验证已过期，请重新获取验证码")));
        return std::nullopt;
    }
    if (!IsAcceptablePassword(form.Value("pwd"))) {
        ReplyJson(response, 200, State(400, QStringLiteral("密码须为6到20位数字或字母")));
        return std::nullopt;
    }
    switch (context.store.CheckCode(*mobile, purpose, form.Value("smsCode"))) {
    case ServiceStore::CodeCheck::Wrong:
        ReplyJson(response, 200, State(209, QStringLiteral("验证码错误")));
        return std::nullopt;
    case ServiceStore::CodeCheck::Expired:
        ReplyJson(response, 200, State(207, QStringLiteral("验证码已过期，请重新获取")));
        return std::nullopt;
    case ServiceStore::CodeCheck::Ok:
        break;
    }
    return mobile;
}

void SaveRegistration(ServiceContext& context, const Request& request, Response& response)
{
    const auto form = ReadForm(context, request, response, false);
    if (!form) {
        return;
    }
    const auto mobile = CheckFinalStep(context, Purpose::Register, *form, response);
    if (!mobile) {
        return;
    }
    if (!context.store.CreateAccount(*mobile, form->Value("pwd"))) {
        return ReplyJson(response, 200, State(305, QStringLiteral("此手机号已经注册过了")));
    }
    context.store.UseCode(*mobile, Purpose::Register);
    context.store.EndFlow(form->Value("ticket"));
    context.console.Print("registered " + *mobile);

    // The finishing tracking record rides along; a bad one is noted but never blocks a sign-up.
    std::string error;
    if (const auto record = TrackRecord::Decode(form->Value("params"), context.signSecret, &error)) {
        StoreTrack(context, *record);
    } else {
        context.console.Print("registration of " + *mobile + " carried no usable tracking record: " + error);
    }
    ReplyJson(response, 200, State(0, QStringLiteral("注册成功")));
}

void SaveNewPassword(ServiceContext& context, const Request& request, Response& response)
{
    const auto form = ReadForm(context, request, response, false);
    if (!form) {
        return;
    }
    if (form->Value("pwd") != form->Value("repwd")) {
        return ReplyJson(response, 200, State(400, QStringLiteral("两次输入的密码不一致")));
    }
    const auto mobile = CheckFinalStep(context, Purpose::Reset, *form, response);
    if (!mobile) {
        return;
    }
    const auto account = context.store.FindAccount(*mobile);
    if (!account || !context.store.SetPassword(*mobile, form->Value("pwd"))) {
        return ReplyJson(response, 200, State(402, QStringLiteral("账号不存在")));
    }
    context.store.UseCode(*mobile, Purpose::Reset);
    context.store.EndFlow(form->Value("ticket"));

    // Every session signed in with the old password ends; its live IM sessions hear why.
    const std::vector<std::string> tickets = context.store.EndSessions(*mobile);
    for (const std::string& ticket : tickets) {
        context.im->SendText(account->imAccount,
                             SignOnApi::NoticeBody("uppwd", "您的密码已修改，请使用新密码重新登录", ticket),
                             false);
    }
    context.console.Print("password of " + *mobile + " reset; " + std::to_string(tickets.size()) +
                          " session(s) ended");
    ReplyJson(response, 200, State(0, QStringLiteral("密码已重置")));
}

void Track(ServiceContext& context, const Request& request, Response& response)
{
    std::string error;
    const auto record = TrackRecord::Decode(request.body, context.signSecret, &error);
    if (!record) {
        context.console.Print("refused tracking record: " + error);
        return ReplyJson(response, 400, {{"code", 400}, {"msg", QString::fromStdString(error)}});
    }
    if (!StoreTrack(context, *record)) {
        return ReplyJson(response, 500, {{"code", 500}, {"msg", "the record could not be stored"}});
    }
    ReplyJson(response, 200, {{"code", 0}, {"msg", "ok"}});
}

} // namespace

std::string SignOnApi::NoticeBody(const std::string& kind, const std::string& message,
                                  const std::string& ticket)
{
    const QJsonObject notice{{"res", QString::fromStdString(kind)},
                             {"msg", QString::fromStdString(COrvaManager::UrlEncode(message))},
                             {"logoutTicket", QString::fromStdString(ticket)}};
    return COrvaManager::UrlEncode(QJsonDocument(notice).toJson(QJsonDocument::Compact).toStdString());
}

void SignOnApi::Register(httplib::Server& server, ServiceContext& context)
{
    const auto bind = [&context](auto handler) { return WithContext(context, handler); };
    const auto bindFlow = [&context](auto handler, Purpose purpose) {
        return [&context, handler, purpose](const Request& request, Response& response) {
            handler(context, purpose, request, response);
        };
    };
    server.Post("/pc/pc-lg", bind(SignIn));
    server.Get("/uc/validate-user", bind(UserConfig));
    server.Post("/pc/register/validate-mobile", bindFlow(ValidateMobile, Purpose::Register));
    server.Post("/pc/register/send-m-code", bindFlow(SendCode, Purpose::Register));
    server.Post("/pc/register/validate-code-save", bind(SaveRegistration));
    server.Post("/pc/reset-pwd/validate-mobile", bindFlow(ValidateMobile, Purpose::Reset));
    server.Post("/pc/reset-pwd/send-m-code", bindFlow(SendCode, Purpose::Reset));
    server.Post("/pc/reset-pwd/save-m-pwd", bind(SaveNewPassword));
    server.Post("/track/v1/register", bind(Track));
}
