// The local service under load: clients at once, each signing in, asking its user id,
// registering new numbers and resetting its password for a while (a registration and a reset are
// flows of four requests, timed whole), every request on loopback.
// Any failed request or database error fails the run; the median and 99th percentile latency of
// each kind are printed. Then the service is killed (SIGKILL) in the middle of registrations and
// started again on its database: every registration it had answered must still sign in.
//
//   bench_service_load [clients] [seconds]        (defaults: 64 and 30)
#include "LocalServiceProcess.h"
#include "platform/JsonReader.h"
#include "service/OrvaManager.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum Kind
{
    kSignIn,
    kUserId,
    kRegister,
    kReset,
    kKinds
};
constexpr std::array<const char*, kKinds> kKindNames = {"sign-in", "user id", "register", "reset"};

struct Answer
{
    long status = 0; // 0: no answer
    Json::Value body;
};

// One client's connection (kept alive between requests).
class Client
{
public:
    explicit Client(std::string base)
        : m_base(std::move(base))
        , m_curl(curl_easy_init())
    {
    }
    ~Client() { curl_easy_cleanup(m_curl); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void SetBase(std::string base) { m_base = std::move(base); }

    Answer Call(const std::string& path, const std::string* form)
    {
        std::string reply;
        curl_easy_setopt(m_curl, CURLOPT_URL, (m_base + path).c_str());
        curl_easy_setopt(m_curl, CURLOPT_TIMEOUT_MS, 10000L);
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &Client::Collect);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &reply);
        if (form != nullptr) {
            curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, form->c_str());
            curl_easy_setopt(m_curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(form->size()));
        } else {
            curl_easy_setopt(m_curl, CURLOPT_HTTPGET, 1L);
        }
        Answer answer;
        if (curl_easy_perform(m_curl) != CURLE_OK) {
            return answer;
        }
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &answer.status);
        answer.body = JsonReader::Parse(reply).value_or(Json::Value());
        return answer;
    }

private:
    static size_t Collect(char* data, size_t size, size_t count, void* user)
    {
        static_cast<std::string*>(user)->append(data, size * count);
        return size * count;
    }

    std::string m_base;
    CURL* m_curl;
};

// The latencies of each kind and the failures, shared by the clients.
struct Tally
{
    std::mutex mutex;
    std::array<std::vector<double>, kKinds> latenciesMs;
    std::vector<std::string> failures;

    void Add(Kind kind, Clock::time_point start, bool ok, const std::string& what)
    {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const std::lock_guard lock(mutex);
        latenciesMs[kind].push_back(ms);
        if (!ok && failures.size() < 20) {
            failures.push_back(std::string(kKindNames[kind]) + ": " + what);
        }
        if (!ok) {
            ++failed;
        }
    }
    long failed = 0;
};

bool StateOk(const Answer& answer)
{
    return answer.status == 200 && answer.body.isObject() && JsonReader::IntOf(answer.body, "state", -1) == 0;
}

std::string Describe(const Answer& answer)
{
    return "HTTP " + std::to_string(answer.status) + " " + JsonReader::Compact(answer.body);
}

// A number nobody has: 137, the client's number, then a running count.
std::string FreshMobile(int client, int count)
{
    char mobile[32];
    std::snprintf(mobile, sizeof mobile, "137%03d%05d", client % 1000, count % 100000);
    return mobile;
}

// The three steps of a flow ("register" or "reset-pwd"); the last step's answer.
Answer RunFlow(Client& client, const std::string& flow, const std::string& mobile,
               const std::string& password)
{
    std::string form = COrvaManager::SignQueryString("mobile=" + mobile);
    const Answer validated = client.Call("pc/" + flow + "/validate-mobile", &form);
    if (!StateOk(validated)) {
        return validated;
    }
    const std::string ticket = JsonReader::TextOf(validated.body, "resInfo");
    form = COrvaManager::SignQueryString("source=tpc&ticket=" + ticket);
    const Answer sent = client.Call("pc/" + flow + "/send-m-code", &form);
    if (!StateOk(sent)) {
        return sent;
    }
    const Answer code = client.Call("admin/sms?mobile=" + mobile, nullptr);
    const std::string sms = JsonReader::TextOf(code.body, "code");
    if (flow == "register") {
        form = COrvaManager::SignParamList({"smsCode=" + sms, "pwd=" + password, "ticket=" + ticket});
        return client.Call("pc/register/validate-code-save", &form);
    }
    form = COrvaManager::SignParamList(
        {"smsCode=" + sms, "pwd=" + password, "repwd=" + password, "ticket=" + ticket});
    return client.Call("pc/reset-pwd/save-m-pwd", &form);
}

Answer SignIn(Client& client, const std::string& mobile, const std::string& password)
{
    const std::string form = COrvaManager::SignParamList({"m=" + mobile, "p=" + password, "source=tpc"});
    return client.Call("pc/pc-lg", &form);
}

bool SignedIn(const Answer& answer)
{
    return answer.status == 200 && JsonReader::IntOf(answer.body, "status", 0) == 200;
}

// One client of the load: its own account, then sign-in with user id, a registration and a reset
// in turn until the deadline.
void Load(const std::string& base, int id, Clock::time_point deadline, Tally& tally)
{
    Client client(base);
    const std::string own = FreshMobile(id, 0);
    const std::string password = "loadpw" + std::to_string(id);
    if (const Answer answer = RunFlow(client, "register", own, password); !StateOk(answer)) {
        tally.Add(kRegister, Clock::now(), false,
                  "the client's own account " + own + ": " + Describe(answer));
        return;
    }
    for (int round = 1; Clock::now() < deadline; ++round) {
        auto start = Clock::now();
        const Answer signIn = SignIn(client, own, password);
        tally.Add(kSignIn, start, SignedIn(signIn), Describe(signIn));
        start = Clock::now();
        const Answer user =
            client.Call("uc/validate-user?d_t=" + JsonReader::TextOf(signIn.body, "ticket"), nullptr);
        tally.Add(kUserId, start, user.status == 200 && JsonReader::IntOf(user.body, "id", 0) > 0,
                  Describe(user));
        start = Clock::now();
        const Answer registered = RunFlow(client, "register", FreshMobile(id, round), "fresh123");
        tally.Add(kRegister, start, StateOk(registered), Describe(registered));
        start = Clock::now();
        const Answer reset = RunFlow(client, "reset-pwd", own, password);
        tally.Add(kReset, start, StateOk(reset), Describe(reset));
    }
}

double Percentile(std::vector<double>& values, double share)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

// Keeps the service's console drained while the clients run: a full pipe would stall it.
void DrainUntil(LocalServiceProcess& service, const std::function<bool()>& done)
{
    while (!done()) {
        (void)service.Output();
        QCoreApplication::processEvents();
        QThread::msleep(50);
    }
    (void)service.Output();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int clients = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    curl_global_init(CURL_GLOBAL_ALL);
    QTemporaryDir folder;
    const QString database = folder.filePath(QStringLiteral("service.db"));
    LocalServiceProcess service;
    if (!service.Start(database, {"--sms-interval", "0"})) {
        std::fprintf(stderr, "the local service did not start:\n%s\n", qPrintable(service.Output()));
        return 1;
    }

    // The load.
    Tally tally;
    const auto begin = Clock::now();
    const auto deadline = begin + std::chrono::seconds(seconds);
    std::atomic<int> running = clients;
    std::vector<std::thread> threads;
    for (int id = 1; id <= clients; ++id) {
        threads.emplace_back([&, id] {
            Load(service.BaseUrl(), id, deadline, tally);
            --running;
        });
    }
    DrainUntil(service, [&] { return running == 0; });
    for (auto& thread : threads) {
        thread.join();
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    long requests = 0;
    std::printf("%d clients for %.1f s\n%-9s %8s %9s %9s\n", clients, elapsed, "", "count", "p50 ms",
                "p99 ms");
    for (int kind = 0; kind < kKinds; ++kind) {
        auto& values = tally.latenciesMs[kind];
        requests += static_cast<long>(values.size());
        std::printf("%-9s %8zu %9.2f %9.2f\n", kKindNames[kind], values.size(), Percentile(values, 0.5),
                    Percentile(values, 0.99));
    }
    std::printf("%.0f operations/s, %ld failed\n", static_cast<double>(requests) / elapsed, tally.failed);
    for (const std::string& failure : tally.failures) {
        std::printf("  failed: %s\n", failure.c_str());
    }
    const bool databaseErrors = service.Output().contains(QStringLiteral("database error"));
    if (databaseErrors) {
        std::printf("database errors:\n%s\n", qPrintable(service.Output().right(3000)));
    }

    // A kill in the middle of registrations, and the start after it.
    std::mutex answeredMutex;
    std::vector<std::pair<std::string, std::string>> answered;
    std::atomic<bool> killed = false;
    std::atomic<int> registering = 16;
    threads.clear();
    for (int id = 0; id < 16; ++id) {
        threads.emplace_back([&, id] {
            Client client(service.BaseUrl());
            for (int n = 0; !killed; ++n) {
                const std::string mobile = FreshMobile(900 + id, n);
                if (StateOk(RunFlow(client, "register", mobile, "kept123"))) {
                    const std::lock_guard lock(answeredMutex);
                    answered.emplace_back(mobile, "kept123");
                }
            }
            --registering;
        });
    }
    const auto killAt = Clock::now() + std::chrono::milliseconds(1500);
    DrainUntil(service, [&] { return Clock::now() >= killAt; });
    ::kill(static_cast<pid_t>(service.ProcessId()), SIGKILL);
    killed = true;
    for (auto& thread : threads) {
        thread.join();
    }
    service.Stop();
    LocalServiceProcess again;
    if (!again.Start(database)) {
        std::fprintf(stderr, "the service did not start again on its database:\n%s\n",
                     qPrintable(again.Output()));
        return 1;
    }
    Client check(again.BaseUrl());
    long lost = 0;
    for (const auto& [mobile, password] : answered) {
        if (!SignedIn(SignIn(check, mobile, password))) {
            ++lost;
            std::printf("  lost: %s\n", mobile.c_str());
        }
    }
    std::printf("killed during registrations: %zu answered, %ld lost after the restart\n", answered.size(),
                lost);
    curl_global_cleanup();
    return tally.failed == 0 && !databaseErrors && lost == 0 && !answered.empty() ? 0 : 1;
}
