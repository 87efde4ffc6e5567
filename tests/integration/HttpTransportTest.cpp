#include "service/HttpTransport.h"
#include "CapturingSink.h"
#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "diag/Log.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using TestSupport::TempFolder;
using TestSupport::WaitFor;

namespace {

// What a completion was called with, and how often.
struct Outcome
{
    std::mutex mutex;
    int calls = 0;
    bool ok = false;
    int status = -1;
    std::string reply;
    std::thread::id thread;

    HttpCompletion Completion()
    {
        return [this](bool success, int code, const std::string& text) {
            const std::lock_guard lock(mutex);
            ++calls;
            ok = success;
            status = code;
            reply = text;
            thread = std::this_thread::get_id();
        };
    }
    bool Arrived()
    {
        return WaitFor(
            [&] {
                const std::lock_guard lock(mutex);
                return calls > 0;
            },
            20s);
    }
};

class HttpTransportTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InitHttpTransport()); }
    // As the client does before it exits: the worker says goodbye while the libraries still run.
    void TearDown() override { ShutdownHttpTransport(); }
};

TEST_F(HttpTransportTest, RequestsGoOutAsAskedAndEveryAnswerComesBackWithItsStatusAndBody)
{
    LoopbackHttpServer server([](const LoopbackHttpServer::Request& request) {
        LoopbackHttpServer::Response response;
        response.status = request.target == "/missing" ? 404 : request.target == "/broken" ? 500 : 200;
        response.body = request.method + " " + request.target + " " + request.body;
        return response;
    });
    struct Case
    {
        const char* path;
        bool post;
        bool ok;
        int status;
        const char* reply;
    };
    const Case cases[] = {{"pc/pc-lg", true, true, 200, "POST /pc/pc-lg m=13800138000&sign=ab"},
                          {"uc/validate-user?d_t=T-1", false, true, 200, "GET /uc/validate-user?d_t=T-1 "},
                          {"missing", false, false, 404, "GET /missing "},
                          {"broken", true, false, 500, "POST /broken m=13800138000&sign=ab"}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        Outcome outcome;
        const std::string body = row.post ? "m=13800138000&sign=ab" : "";
        HttpRequest request(server.Url(row.path), body.data(), body.size(), outcome.Completion());
        request.AddHeader("Content-Type", "application/json");
        request.AddHeader("charset", "utf-8");
        request.SetTimeout(20000);
        if (row.post) {
            request.SetMethodAsPost();
        }
        EXPECT_GT(request.Post(), 0);
        ASSERT_TRUE(outcome.Arrived());
        EXPECT_EQ(outcome.ok, row.ok);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_EQ(outcome.reply, row.reply);
        EXPECT_NE(outcome.thread, std::this_thread::get_id()) << "completions run on the transport's thread";
    }
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 4U);
    EXPECT_EQ(seen[0].headers.at("content-type"), "application/json");
    EXPECT_EQ(seen[0].headers.at("charset"), "utf-8");
}

TEST_F(HttpTransportTest, FailuresArriveAsFailures)
{
    LoopbackHttpServer slow([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Response response;
        response.delayMs = 3000;
        return response;
    });
    Outcome late;
    HttpRequest timed(slow.Url("slow"), nullptr, 0, late.Completion());
    timed.SetTimeout(200);
    timed.Post();

    const int closedPort = [] {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return static_cast<int>(probe.serverPort());
    }();
    Outcome refused;
    HttpRequest nobody("http://127.0.0.1:" + std::to_string(closedPort) + "/", nullptr, 0,
                       refused.Completion());
    nobody.Post();

    // A server that dies half-way through its reply.
    LoopbackHttpServer dying([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Response response;
        response.body = std::string(4096, 'x');
        response.stallAfter = 100;
        response.closeAfterStall = true;
        return response;
    });
    Outcome cut;
    HttpRequest halfway(dying.Url("half"), nullptr, 0, cut.Completion());
    halfway.Post();

    // A server that falls silent half-way: the time limit ends it in the middle of the body.
    LoopbackHttpServer silent([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Response response;
        response.body = std::string(4096, 'y');
        response.stallAfter = 100;
        return response;
    });
    Outcome stalled;
    HttpRequest stalling(silent.Url("stall"), nullptr, 0, stalled.Completion());
    stalling.SetTimeout(500);
    stalling.Post();

    // None carries a status or a piece of a reply that a window could read as an answer, although
    // the cut and the stalled reply had their status line.
    for (Outcome* outcome : {&late, &refused, &cut, &stalled}) {
        ASSERT_TRUE(outcome->Arrived());
        EXPECT_FALSE(outcome->ok);
        EXPECT_EQ(outcome->status, 0);
        EXPECT_EQ(outcome->reply, "");
        EXPECT_EQ(outcome->calls, 1);
    }
}

TEST_F(HttpTransportTest, RepliesLargerThanTheClientAcceptsFailCleanlyCompressedOrNot)
{
    const std::string plain(std::size_t{20} << 20, 'p');
    // 64 MiB of one letter in a few dozen KiB, sent as "deflate".
    const QByteArray compressed = qCompress(QByteArray(64 << 20, 'z'), 9).mid(4);
    LoopbackHttpServer server([&](const LoopbackHttpServer::Request& request) {
        LoopbackHttpServer::Response response;
        if (request.target == "/bomb") {
            response.headers = "Content-Encoding: deflate\r\n";
            response.body = compressed.toStdString();
        } else if (request.target == "/big") {
            response.body = plain;
        } else {
            response.body = "small";
        }
        return response;
    });
    Outcome big;
    Outcome bomb;
    Outcome small;
    HttpRequest(server.Url("big"), nullptr, 0, big.Completion()).Post();
    HttpRequest(server.Url("bomb"), nullptr, 0, bomb.Completion()).Post();
    HttpRequest(server.Url("small"), nullptr, 0, small.Completion()).Post();
    for (Outcome* outcome : {&big, &bomb}) {
        ASSERT_TRUE(outcome->Arrived());
        EXPECT_FALSE(outcome->ok);
        EXPECT_EQ(outcome->status, 0);
        EXPECT_EQ(outcome->reply.size(), 0U);
    }
    ASSERT_TRUE(small.Arrived());
    EXPECT_TRUE(small.ok);
    EXPECT_EQ(small.reply, "small");
}

TEST_F(HttpTransportTest, ACompletionThatWaitsDoesNotHoldUpOtherTransfers)
{
    LoopbackHttpServer server([](const LoopbackHttpServer::Request& request) {
        LoopbackHttpServer::Response response;
        response.body = request.target;
        response.delayMs = request.target == "/second" ? 300 : 0;
        return response;
    });
    // The first completion waits as a completion in SendMessage does while its window is busy.
    std::atomic<bool> release{false};
    Outcome first;
    HttpRequest waiting(server.Url("first"), nullptr, 0, [&](bool ok, int status, const std::string& reply) {
        first.Completion()(ok, status, reply);
        for (int i = 0; i < 1000 && !release; ++i) {
            std::this_thread::sleep_for(10ms);
        }
    });
    waiting.Post();
    ASSERT_TRUE(first.Arrived());
    // Answered in 0.3 s, within its 2 s limit, while the first completion still waits.
    Outcome second;
    HttpRequest timed(server.Url("second"), nullptr, 0, second.Completion());
    timed.SetTimeout(2000);
    timed.Post();
    std::this_thread::sleep_for(3s);
    release = true;
    ASSERT_TRUE(second.Arrived());
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(second.reply, "/second");
}

TEST_F(HttpTransportTest, ManyRequestsInFlightEachCompleteOnce)
{
    LoopbackHttpServer server([](const LoopbackHttpServer::Request& request) {
        LoopbackHttpServer::Response response;
        response.delayMs = 200;
        response.body = request.target;
        return response;
    });
    constexpr int kRequests = 40;
    std::mutex mutex;
    std::map<std::string, int> calls;
    std::atomic<int> done{0};
    for (int i = 0; i < kRequests; ++i) {
        HttpRequest request(server.Url("item/" + std::to_string(i)), nullptr, 0,
                            [&](bool ok, int status, const std::string& reply) {
                                const std::lock_guard lock(mutex);
                                calls[reply] += ok && status == 200 ? 1 : 100;
                                ++done;
                            });
        request.Post();
    }
    ASSERT_TRUE(WaitFor([&] { return done.load() >= kRequests; }, 30s));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(kRequests));
    for (const auto& [reply, count] : calls) {
        EXPECT_EQ(count, 1) << reply;
    }
}

TEST_F(HttpTransportTest, TlsPeersAreVerified)
{
    TempFolder folder;
    QProcess make;
    make.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-days",
                           "1", "-keyout", folder.File("key.pem"), "-out", folder.File("cert.pem")});
    ASSERT_TRUE(make.waitForFinished(60000) && make.exitCode() == 0);
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const auto port = probe.serverPort();
    probe.close();
    QProcess server;
    server.start("openssl", {"s_server", "-accept", QString::number(port), "-cert", folder.File("cert.pem"),
                             "-key", folder.File("key.pem"), "-www", "-quiet"});
    ASSERT_TRUE(server.waitForStarted());
    ASSERT_TRUE(WaitFor([&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(100);
    }));
    auto log = std::make_shared<CapturingSink>();
    Log::Install(log, 6);
    Outcome outcome;
    HttpRequest request("https://127.0.0.1:" + std::to_string(port) + "/", nullptr, 0, outcome.Completion());
    request.SetTimeout(10000);
    request.Post();
    ASSERT_TRUE(outcome.Arrived());
    EXPECT_FALSE(outcome.ok) << "a self-signed certificate is not trusted";
    bool certificate = false;
    for (const std::string& message : log->Messages()) {
        certificate = certificate || message.find("certificate") != std::string::npos;
    }
    EXPECT_TRUE(certificate) << "the failure is the certificate's";
    Log::Install(log, 0);
    server.kill();
    server.waitForFinished();
}

TEST(HttpTransportLife, ShutdownDoesNotWaitForRequestsInFlightAndTheTransportStartsAgain)
{
    ASSERT_TRUE(InitHttpTransport());
    LoopbackHttpServer silent([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Response response;
        response.delayMs = 600000;
        return response;
    });
    Outcome never;
    HttpRequest request(silent.Url("never"), nullptr, 0, never.Completion());
    request.Post();
    ASSERT_TRUE(WaitFor([&] { return !silent.Requests().empty(); }));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        ShutdownHttpTransport();
        stopped = true;
    });
    EXPECT_TRUE(WaitFor([&] { return stopped.load(); }, 5s));
    stopper.join();
    EXPECT_EQ(never.calls, 0);

    // Not running: a request fails at once, with its completion called.
    Outcome refused;
    HttpRequest early(silent.Url("early"), nullptr, 0, refused.Completion());
    EXPECT_EQ(early.Post(), 0);
    EXPECT_EQ(refused.calls, 1);
    EXPECT_FALSE(refused.ok);

    ASSERT_TRUE(InitHttpTransport());
    LoopbackHttpServer quick(std::string("pong"));
    Outcome again;
    HttpRequest ping(quick.Url("ping"), nullptr, 0, again.Completion());
    ping.Post();
    ASSERT_TRUE(again.Arrived());
    EXPECT_EQ(again.reply, "pong");
    // A request without a completion is sent and its answer dropped.
    HttpRequest(quick.Url("dropped"), nullptr, 0, {}).Post();
    EXPECT_TRUE(WaitFor([&] { return quick.Requests().size() == 2; }));
    ShutdownHttpTransport();
}

} // namespace
