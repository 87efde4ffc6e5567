#include "ImRecorder.h"
#include "LocalServiceProcess.h"
#include "TestSupport.h"
#include "environment/Environment.h"
#include "im/SDKInstance.h"
#include "service/HttpTransport.h"
#include "service/OrvaManager.h"
#include "service/ReplyReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <future>
#include <mutex>

using namespace std::chrono_literals;
using TestSupport::TempFolder;
using TestSupport::WaitFor;

namespace {

constexpr const char* kDemoMobile = "13800000000";
constexpr const char* kDemoPassword = "examora123";

struct Answer
{
    bool ok = false;
    int status = 0;
    std::string body;
};

// One request through the client's transport, waited for.
Answer Call(const std::string& address, const std::string& body = {}, bool post = false,
            int timeoutMs = 10000, const std::vector<std::pair<std::string, std::string>>& headers = {})
{
    auto promise = std::make_shared<std::promise<Answer>>();
    auto future = promise->get_future();
    HttpRequest request(address, body.data(), body.size(),
                        [promise](bool ok, int status, const std::string& reply) {
                            promise->set_value({ok, status, reply});
                        });
    for (const auto& [name, value] : headers) {
        request.AddHeader(name, value);
    }
    request.SetTimeout(timeoutMs);
    if (post) {
        request.SetMethodAsPost();
    }
    request.Post();
    if (future.wait_for(30s) != std::future_status::ready) {
        return {false, -1, "no completion"};
    }
    return future.get();
}

QJsonObject Json(const std::string& text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// A registration tracking record as the client builds it: the signed record, Base64, wrapped.
std::string TrackBody(const std::string& action, std::int64_t mobile, bool tamper = false)
{
    QJsonObject record{{"skuCode", 31},
                       {"appType", 999},
                       {"platform", 997},
                       {"channel", "nomal"},
                       {"scene", "other"},
                       {"position", "r_fztkzc_otherregister"},
                       {"action", QString::fromStdString(action)},
                       {"deviceId", "OrvaExamora_0a1b2c3d4e5f"},
                       {"serialNumber", "OrvaExamora_uuid"},
                       {"userId", "-1"},
                       {"idfaOrImei", "-1"},
                       {"debug", false},
                       {"mobile", static_cast<qint64>(mobile)},
                       {"wx", "-1"},
                       {"cplanner", "-1"}};
    const std::string query =
        "mobile=" + std::to_string(mobile) +
        "&wx=-1&cplanner=-1&skuCode=31&appType=999&platform=997&channel=nomal&scene=other"
        "&position=r_fztkzc_otherregister&action=" +
        action +
        "&deviceId=OrvaExamora_0a1b2c3d4e5f&serialNumber=OrvaExamora_uuid&userId=-1"
        "&idfaOrImei=-1&debug=false";
    record["signature"] = QString::fromStdString(COrvaManager::MakeSignature(query + (tamper ? "x" : "")));
    const QByteArray encoded = QJsonDocument(record).toJson(QJsonDocument::Compact).toBase64();
    return QJsonDocument(QJsonObject{{"track", QString::fromLatin1(encoded)}})
        .toJson(QJsonDocument::Compact)
        .toStdString();
}

// One service process, one transport and one IM library for the whole binary, as in the client.
class LocalServiceTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempFolder;
        s_installer = s_folder->File("ExamoraUpdate.run");
        QByteArray installer = "#!/bin/sh\necho installing Examora\nexit 0\n";
        installer += QByteArray(40000, '#') + "\n";
        s_folder->Write("ExamoraUpdate.run", installer);
        s_service = new LocalServiceProcess;
        ASSERT_TRUE(
            s_service->Start(s_folder->File("service.db"), {"--update-version", "9.1.0.0", "--update-file",
                                                            s_installer, "--sms-interval", "30"}))
            << s_service->Output().toStdString();
        ASSERT_TRUE(InitHttpTransport());
        const QJsonObject config{
            {"app_key", QString::fromStdString(CompiledInEnvironmentSettings().imAppKey)},
            {"server_address", s_service->ImUrl()},
            {"global_config", QJsonObject{{"ping_interval_ms", 300}, {"relogin_first_delay_ms", 100}}}};
        ASSERT_TRUE(
            nim::SDKInstance::Get().Init(EXAMORA_APP_DIR "/", "Examora",
                                         QJsonDocument(config).toJson(QJsonDocument::Compact).toStdString()));
    }
    static void TearDownTestSuite()
    {
        ShutdownHttpTransport();
        delete s_service;
        delete s_folder;
    }

    void TearDown() override { m_im.Logout(3); }

    static std::string Url(const std::string& path) { return s_service->BaseUrl() + path; }

    static LoginReply SignIn(const std::string& mobile, const std::string& password)
    {
        const Answer answer =
            Call(Url("pc/pc-lg"), COrvaManager::SignParamList({"m=" + mobile, "p=" + password, "source=tpc"}),
                 true);
        return ReplyReader::ReadLoginReply(answer.status, answer.body);
    }
    static StateReply Step(const std::string& path, const std::string& body)
    {
        const Answer answer = Call(Url(path), body, true);
        return ReplyReader::ReadStateReply(answer.status, answer.body);
    }
    static std::string SmsCode(const std::string& mobile)
    {
        return Json(Call(Url("admin/sms?mobile=" + mobile)).body).value("code").toString().toStdString();
    }
    // Validates the number and sends a code on the flow ("register" or "reset-pwd"): the ticket.
    static std::string StartFlow(const std::string& flow, const std::string& mobile)
    {
        const StateReply validated =
            Step("pc/" + flow + "/validate-mobile", COrvaManager::SignQueryString("mobile=" + mobile));
        EXPECT_EQ(validated.outcome, ReplyOutcome::Success) << validated.stateInfo.toStdString();
        const StateReply sent = Step("pc/" + flow + "/send-m-code",
                                     COrvaManager::SignQueryString("source=tpc&ticket=" + validated.resInfo));
        EXPECT_EQ(sent.outcome, ReplyOutcome::Success) << sent.stateInfo.toStdString();
        return validated.resInfo;
    }
    static void Register(const std::string& mobile, const std::string& password)
    {
        const std::string ticket = StartFlow("register", mobile);
        const StateReply saved = Step(
            "pc/register/validate-code-save",
            COrvaManager::SignParamList({"smsCode=" + SmsCode(mobile), "pwd=" + password, "ticket=" + ticket,
                                         "params=" + TrackBody("rfinish", std::stoll(mobile))}));
        ASSERT_EQ(saved.outcome, ReplyOutcome::Success) << saved.stateInfo.toStdString();
    }

    int ImLogin(const LoginReply& signIn)
    {
        EXPECT_TRUE(m_im.StartLogin(signIn.appKey, signIn.account, signIn.token));
        return m_im.FinalLoginCode();
    }

    static inline TempFolder* s_folder = nullptr;
    static inline LocalServiceProcess* s_service = nullptr;
    static inline QString s_installer;
    ImRecorder m_im;
};

TEST_F(LocalServiceTest, SignInGivesATicketTheUserIdAndAWorkingImLogin)
{
    const LoginReply signIn = SignIn(kDemoMobile, kDemoPassword);
    ASSERT_EQ(signIn.outcome, ReplyOutcome::Success);
    EXPECT_EQ(signIn.appKey, CompiledInEnvironmentSettings().imAppKey);
    EXPECT_FALSE(signIn.ticket.empty());
    EXPECT_FALSE(signIn.token.empty());

    const Answer config = Call(Url("uc/validate-user?d_t=" + signIn.ticket));
    const UserConfigReply user = ReplyReader::ReadUserConfigReply(config.status, config.body);
    ASSERT_EQ(user.outcome, ReplyOutcome::Success);
    EXPECT_GT(user.id, 0);
    EXPECT_EQ(ImLogin(signIn), 200);

    // Refusals carry the codes the client's message table knows.
    struct Case
    {
        std::string mobile, password;
        int status;
    };
    for (const Case& row : {Case{kDemoMobile, "wrong-password", 401}, Case{"13999999999", "whatever1", 301},
                            Case{kDemoMobile, "", 400}}) {
        SCOPED_TRACE(row.mobile + "/" + row.password);
        const LoginReply refused = SignIn(row.mobile, row.password);
        EXPECT_EQ(refused.outcome, ReplyOutcome::Refused);
        EXPECT_EQ(refused.status, row.status);
    }
    const Answer stale = Call(Url("uc/validate-user?d_t=TGT-not-a-ticket"));
    EXPECT_EQ(stale.status, 401);
    EXPECT_FALSE(Json(stale.body).value("message").toString().isEmpty());
}

TEST_F(LocalServiceTest, RegistrationTakesThreeStepsAndStoresItsTrackingRecords)
{
    const std::string mobile = "13700000001";
    struct Case
    {
        std::string mobile;
        int state;
    };
    for (const Case& row : {Case{"1370000000", 201}, Case{"23700000001", 201}, Case{kDemoMobile, 305}}) {
        SCOPED_TRACE(row.mobile);
        EXPECT_EQ(
            Step("pc/register/validate-mobile", COrvaManager::SignQueryString("mobile=" + row.mobile)).state,
            row.state);
    }
    EXPECT_EQ(
        Step("pc/register/send-m-code", COrvaManager::SignQueryString("source=tpc&ticket=FLOW-forged")).state,
        400);

    const std::string ticket = StartFlow("register", mobile);
    const std::string code = SmsCode(mobile);
    ASSERT_EQ(code.size(), 6U);
    EXPECT_TRUE(WaitFor([&] { return s_service->Output().contains(QString::fromStdString(code)); }));
    EXPECT_EQ(
        Step("pc/register/send-m-code", COrvaManager::SignQueryString("source=tpc&ticket=" + ticket)).state,
        416);

    const auto save = [&](const std::string& smsCode, const std::string& password) {
        return Step("pc/register/validate-code-save",
                    COrvaManager::SignParamList({"smsCode=" + smsCode, "pwd=" + password, "ticket=" + ticket,
                                                 "params=" + TrackBody("rfinish", std::stoll(mobile))}));
    };
    const std::string wrongCode = code == "000000" ? "111111" : "000000";
    EXPECT_EQ(save(wrongCode, "secret123").state, 209);
    EXPECT_EQ(save(code, "bad pass").state, 400);
    const StateReply saved = save(code, "secret123");
    ASSERT_EQ(saved.outcome, ReplyOutcome::Success) << saved.stateInfo.toStdString();
    EXPECT_EQ(save(code, "secret123").state, 400) << "a flow ends with its account";
    EXPECT_EQ(SignIn(mobile, "secret123").outcome, ReplyOutcome::Success);

    // The window's opening record, and the finishing one that rode along with the last step.
    const Answer tracked = Call(Url("track/v1/register"), TrackBody("register", -1), true, 10000,
                                {{"Content-Type", "application/json"}, {"charset", "utf-8"}});
    EXPECT_EQ(tracked.status, 200);
    EXPECT_EQ(Json(tracked.body).value("code").toInt(-1), 0);
    const auto records = [](const std::string& action) {
        return QJsonDocument::fromJson(
                   QByteArray::fromStdString(Call(Url("admin/tracks?action=" + action)).body))
            .array();
    };
    ASSERT_FALSE(records("register").isEmpty());
    EXPECT_EQ(records("register").last().toObject().value("mobile").toInteger(), -1);
    ASSERT_FALSE(records("rfinish").isEmpty());
    EXPECT_EQ(records("rfinish").last().toObject().value("mobile").toInteger(), std::stoll(mobile));

    for (const std::string& bad :
         {TrackBody("register", -1, true), std::string(R"({"track":"%%%"})"), std::string("not json")}) {
        SCOPED_TRACE(bad);
        const Answer refused = Call(Url("track/v1/register"), bad, true);
        EXPECT_EQ(refused.status, 400);
        EXPECT_FALSE(Json(refused.body).value("msg").toString().isEmpty());
    }
}

TEST_F(LocalServiceTest, PasswordResetEndsTheOldSessionsAndTellsTheLiveOne)
{
    const std::string mobile = "13700000002";
    Register(mobile, "before123");
    const LoginReply signIn = SignIn(mobile, "before123");
    ASSERT_EQ(signIn.outcome, ReplyOutcome::Success);
    ASSERT_EQ(ImLogin(signIn), 200);

    EXPECT_EQ(Step("pc/reset-pwd/validate-mobile", COrvaManager::SignQueryString("mobile=13799999999")).state,
              402);
    const std::string ticket = StartFlow("reset-pwd", mobile);
    const auto save = [&](const std::string& password, const std::string& again) {
        return Step("pc/reset-pwd/save-m-pwd",
                    COrvaManager::SignParamList({"smsCode=" + SmsCode(mobile), "pwd=" + password,
                                                 "repwd=" + again, "ticket=" + ticket}));
    };
    EXPECT_EQ(save("after123", "After123").state, 400);
    const StateReply saved = save("after123", "after123");
    ASSERT_EQ(saved.outcome, ReplyOutcome::Success) << saved.stateInfo.toStdString();

    ASSERT_TRUE(m_im.Until([&] { return !m_im.messages.empty(); }));
    {
        const std::lock_guard lock(m_im.mutex);
        const QJsonObject decoded = Json(COrvaManager::UrlDecode(m_im.messages.front()));
        EXPECT_EQ(decoded.value("res").toString(), "uppwd");
        EXPECT_EQ(decoded.value("logoutTicket").toString().toStdString(), signIn.ticket);
        EXPECT_FALSE(COrvaManager::UrlDecode(decoded.value("msg").toString().toStdString()).empty());
    }
    EXPECT_EQ(SignIn(mobile, "before123").status, 401);
    EXPECT_EQ(SignIn(mobile, "after123").outcome, ReplyOutcome::Success);
    EXPECT_EQ(Call(Url("uc/validate-user?d_t=" + signIn.ticket)).status, 401);
}

TEST_F(LocalServiceTest, ExpiredCodesAreRefused)
{
    LocalServiceProcess quick;
    TempFolder folder;
    ASSERT_TRUE(quick.Start(folder.File("quick.db"), {"--sms-lifetime", "0"}))
        << quick.Output().toStdString();
    const std::string base = quick.BaseUrl();
    const std::string mobile = "13700000003";
    const auto step = [&](const std::string& path, const std::string& body) {
        const Answer answer = Call(base + path, body, true);
        return ReplyReader::ReadStateReply(answer.status, answer.body);
    };
    const std::string ticket =
        step("pc/register/validate-mobile", COrvaManager::SignQueryString("mobile=" + mobile)).resInfo;
    ASSERT_EQ(
        step("pc/register/send-m-code", COrvaManager::SignQueryString("source=tpc&ticket=" + ticket)).state,
        0);
    const std::string code =
        Json(Call(base + "admin/sms?mobile=" + mobile).body).value("code").toString().toStdString();
    EXPECT_EQ(step("pc/register/validate-code-save",
                   COrvaManager::SignParamList({"smsCode=" + code, "pwd=secret123", "ticket=" + ticket}))
                  .state,
              207);
}

TEST_F(LocalServiceTest, ImSessionsFollowTheServiceRules)
{
    const std::string mobile = "13700000004";
    Register(mobile, "imuser123");
    const LoginReply signIn = SignIn(mobile, "imuser123");
    ASSERT_EQ(signIn.outcome, ReplyOutcome::Success);

    LoginReply forged = signIn;
    forged.token = "0123456789abcdef0123456789abcdef";
    EXPECT_EQ(ImLogin(forged), 302);
    ASSERT_EQ(Call(Url("admin/block"), "mobile=" + mobile + "&blocked=1", true).status, 200);
    EXPECT_EQ(ImLogin(signIn), 403);
    ASSERT_EQ(Call(Url("admin/block"), "mobile=" + mobile + "&blocked=0", true).status, 200);

    // Notices queued while the account is away arrive as one batch, in order.
    for (const char* text : {"one", "two", "three"}) {
        ASSERT_EQ(Call(Url("admin/notice"), "mobile=" + mobile + "&body=" + text, true).status, 200);
    }
    ASSERT_EQ(ImLogin(signIn), 200);
    ASSERT_TRUE(m_im.Until([&] { return !m_im.batches.empty(); }));
    EXPECT_EQ(m_im.batches.front(), (std::vector<std::string>{"one", "two", "three"}));

    // A notice to a live session names the session's ticket.
    ASSERT_EQ(Call(Url("admin/notice"), "mobile=" + mobile + "&res=logout&msg=bye", true).status, 200);
    ASSERT_TRUE(m_im.Until([&] { return !m_im.messages.empty(); }));
    {
        const std::lock_guard lock(m_im.mutex);
        const QJsonObject notice = Json(COrvaManager::UrlDecode(m_im.messages.front()));
        EXPECT_EQ(notice.value("res").toString(), "logout");
        EXPECT_EQ(notice.value("logoutTicket").toString().toStdString(), signIn.ticket);
    }

    // A dropped link is reported and signed in again by the library.
    ASSERT_EQ(Call(Url("admin/drop"), "mobile=" + mobile, true).status, 200);
    ASSERT_TRUE(m_im.Until([&] { return m_im.disconnects >= 1 && !m_im.relogins.empty(); }));
    EXPECT_EQ(m_im.relogins.front().res_code_, 200);

    // A sign-in elsewhere kicks this session with reason 1.
    const LoginReply elsewhere = SignIn(mobile, "imuser123");
    QWebSocket other;
    other.open(QUrl(s_service->ImUrl()));
    ASSERT_TRUE(WaitFor([&] { return other.state() == QAbstractSocket::ConnectedState; }));
    other.sendTextMessage(QJsonDocument(QJsonObject{{"type", "login"},
                                                    {"app_key", QString::fromStdString(elsewhere.appKey)},
                                                    {"account", QString::fromStdString(elsewhere.account)},
                                                    {"token", QString::fromStdString(elsewhere.token)}})
                              .toJson(QJsonDocument::Compact));
    ASSERT_TRUE(m_im.Until([&] { return !m_im.kickouts.empty(); }));
    EXPECT_EQ(m_im.kickouts.front().kick_reason_, 1);
}

TEST_F(LocalServiceTest, BothLogoutTypesEndTheSession)
{
    const LoginReply signIn = SignIn(kDemoMobile, kDemoPassword);
    for (const int type : {1, 3}) {
        SCOPED_TRACE(type);
        ASSERT_EQ(ImLogin(signIn), 200);
        EXPECT_EQ(m_im.Logout(type), 200);
    }
}

TEST_F(LocalServiceTest, FaultsAndBadRequestsGetClearAnswersAndTheServiceGoesOn)
{
    const auto arm = [](const std::string& query) {
        ASSERT_EQ(Call(Url("admin/fault"), query, true).status, 200) << query;
    };
    const std::string login = COrvaManager::SignParamList({"m=13800000000", "p=examora123", "source=tpc"});

    arm("path=/pc/pc-lg&delay_ms=1500");
    const Answer late = Call(Url("pc/pc-lg"), login, true, 300);
    EXPECT_FALSE(late.ok);
    EXPECT_EQ(late.status, 0) << "no answer came in time";

    arm("path=/pc/pc-lg&status=503");
    const Answer unavailable = Call(Url("pc/pc-lg"), login, true);
    EXPECT_EQ(unavailable.status, 503);
    EXPECT_FALSE(unavailable.body.empty());
    EXPECT_EQ(ReplyReader::ReadLoginReply(unavailable.status, unavailable.body).outcome,
              ReplyOutcome::TransportFailure);

    arm("path=/pc/pc-lg&body=malformed");
    EXPECT_EQ(ReplyReader::ReadLoginReply(200, Call(Url("pc/pc-lg"), login, true).body).outcome,
              ReplyOutcome::ParseFailure);
    arm("path=/pc/pc-lg&body=empty&count=2");
    for (int i = 0; i < 2; ++i) {
        const Answer empty = Call(Url("pc/pc-lg"), login, true);
        EXPECT_EQ(empty.status, 200);
        EXPECT_TRUE(empty.body.empty());
    }
    EXPECT_EQ(SignIn(kDemoMobile, kDemoPassword).outcome, ReplyOutcome::Success) << "faults are used up";
    EXPECT_EQ(Call(Url("admin/fault"), "path=/pc/pc-lg&status=abc", true).status, 400);

    // Requests the service refuses, each with a body that says why.
    struct Case
    {
        const char* what;
        std::string path;
        std::string body;
        int status;
    };
    std::string tampered = login;
    tampered.replace(tampered.find("examora123"), 10, "examora124");
    for (const Case& row : {Case{"unknown path", "pc/nothing-here", "", 404},
                            Case{"unsigned", "pc/pc-lg", "m=13800000000&p=examora123&source=tpc", 403},
                            Case{"tampered", "pc/pc-lg", tampered, 403},
                            Case{"unsigned step", "pc/register/validate-mobile", "mobile=13700000009", 403},
                            Case{"oversized", "pc/pc-lg", std::string(100 * 1024, 'a'), 413}}) {
        SCOPED_TRACE(row.what);
        const Answer refused = Call(Url(row.path), row.body, true);
        EXPECT_EQ(refused.status, row.status);
        EXPECT_FALSE(Json(refused.body).isEmpty()) << refused.body;
    }

    // Garbage on the socket, and a client that goes away mid-request.
    QTcpSocket garbage;
    garbage.connectToHost("127.0.0.1",
                          static_cast<quint16>(QUrl(QString::fromStdString(s_service->BaseUrl())).port()));
    ASSERT_TRUE(garbage.waitForConnected(5000));
    const char notHttp[] = "\x16\x03\x01 not http at all\r\n\r\n";
    garbage.write(notHttp, sizeof notHttp - 1);
    garbage.write("POST /pc/pc-lg HTTP/1.1\r\nContent-Length: 1000\r\n\r\nm=1");
    garbage.flush();
    garbage.waitForReadyRead(2000);
    garbage.abort();
    EXPECT_EQ(Call(Url("health")).body, "ok");
}

TEST_F(LocalServiceTest, TransportFailuresArriveAsFailures)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const Answer refused = Call("http://127.0.0.1:" + std::to_string(port) + "/pc/pc-lg", "m=1", true);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.status, 200);
}

TEST_F(LocalServiceTest, VersionCheckPointsAtAnInstallerThatDownloadsWithItsLength)
{
    const Answer version = Call(
        Url("client/version"), {}, false, 10000,
        {{"Content-Type", "application/x-www-form-urlencoded"}, {"Methord", "get"}, {"charset", "utf-8"}});
    ASSERT_EQ(version.status, 200);
    const std::size_t hash = version.body.find('#');
    ASSERT_NE(hash, std::string::npos);
    EXPECT_EQ(version.body.substr(0, hash), "9.1.0.0");
    const std::string download = version.body.substr(hash + 1);
    EXPECT_TRUE(download.ends_with("/client/download/ExamoraUpdate.run")) << download;

    QFile installer(s_installer);
    ASSERT_TRUE(installer.open(QIODevice::ReadOnly));
    const QByteArray expected = installer.readAll();
    std::string received;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, download.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* target) {
            static_cast<std::string*>(target)->append(data, size * count);
            return size * count;
        });
    ASSERT_EQ(curl_easy_perform(curl), CURLE_OK);
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_cleanup(curl);
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(QByteArray::fromStdString(received), expected);
}

TEST_F(LocalServiceTest, QuestionBankPagesUseTheBridgeAndStandAlone)
{
    struct Case
    {
        std::string path;
        std::vector<const char*> mentions;
    };
    for (const Case& row :
         {Case{"Simulation/Subjects/31", {"orvaDoLogin", "site.js"}},
          Case{"Simulation/Exampaper/31?subId=1&subName=%E4%BC%9A%E8%AE%A1&userId=42",
               {"/Simulation/Client/Exam/"}},
          Case{"Simulation/Client/Exam/101?subId=1&userId=42", {"playAudio", "isPlayAudio", "new Audio"}},
          Case{"Simulation/assets/site.js", {"openUrl", "openHomePage", "hasBridge"}}}) {
        SCOPED_TRACE(row.path);
        const Answer page = Call(Url(row.path));
        ASSERT_EQ(page.status, 200);
        for (const char* mention : row.mentions) {
            EXPECT_NE(page.body.find(mention), std::string::npos) << mention;
        }
    }
    const QJsonArray subjects =
        Json(Call(Url("Simulation/assets/bank.json")).body).value("subjects").toArray();
    ASSERT_FALSE(subjects.isEmpty());
    for (const auto& subject : subjects) {
        const int audio = subject.toObject().value("listening").toObject().value("audio").toInt();
        const Answer wav = Call(Url("Simulation/media/listening-" + std::to_string(audio) + ".wav"));
        ASSERT_EQ(wav.status, 200);
        EXPECT_TRUE(wav.body.starts_with("RIFF"));
    }
    EXPECT_EQ(Call(Url("Simulation/assets/nothing.js")).status, 404);
}

} // namespace
