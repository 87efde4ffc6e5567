// How fast the HTTP transport gets small answers from the local service: N requests with at most
// K in flight, reported as requests per second and the median and 99th percentile latency, beside
// curl's command line doing the same work (one process, --parallel, connections reused).
//
// The transport's latency runs from creating the request to its completion, queueing on the
// worker included; curl's is its own time_total per transfer, which starts when curl schedules it.
//
//   bench_transport [requests] [in flight]        (defaults: 2,000 and 32)
#include "LocalServiceProcess.h"
#include "service/HttpTransport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <semaphore>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Result
{
    double seconds = 0;
    std::vector<double> latenciesMs;
    int failures = 0;
};

void Report(const char* who, int requests, int inFlight, Result result)
{
    std::sort(result.latenciesMs.begin(), result.latenciesMs.end());
    const auto at = [&](double share) {
        if (result.latenciesMs.empty()) {
            return 0.0;
        }
        const auto index =
            static_cast<std::size_t>(share * static_cast<double>(result.latenciesMs.size() - 1));
        return result.latenciesMs[index];
    };
    std::printf(
        "%-10s %d requests, %d in flight: %8.0f req/s   median %6.2f ms   p99 %6.2f ms   failures %d\n", who,
        requests, inFlight, requests / result.seconds, at(0.5), at(0.99), result.failures);
}

Result RunTransport(const std::string& address, int requests, int inFlight)
{
    std::counting_semaphore<> slots(inFlight);
    std::mutex mutex;
    Result result;
    const auto start = Clock::now();
    for (int i = 0; i < requests; ++i) {
        slots.acquire();
        const auto sent = Clock::now();
        HttpRequest request(address, nullptr, 0, [&, sent](bool ok, int status, const std::string&) {
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
            {
                const std::lock_guard lock(mutex);
                result.latenciesMs.push_back(ms);
                result.failures += ok && status == 200 ? 0 : 1;
            }
            slots.release();
        });
        request.SetTimeout(20000);
        request.Post();
    }
    for (int i = 0; i < inFlight; ++i) {
        slots.acquire();
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

Result RunCurl(const std::string& address, int requests, int inFlight)
{
    QTemporaryDir folder;
    const QString config = folder.filePath("urls.txt");
    {
        std::string text;
        for (int i = 0; i < requests; ++i) {
            text += "url = \"" + address + "\"\noutput = \"/dev/null\"\n";
        }
        std::FILE* file = std::fopen(config.toLocal8Bit().constData(), "w");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    QProcess curl;
    const auto start = Clock::now();
    curl.start("curl",
               {"--silent", "--parallel", "--parallel-immediate", "--parallel-max", QString::number(inFlight),
                "--write-out", "%{http_code} %{time_total}\\n", "--config", config});
    curl.waitForFinished(-1);
    Result result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    static const QRegularExpression line(QStringLiteral(R"(^(\d+) ([\d.]+)$)"),
                                         QRegularExpression::MultilineOption);
    auto matches = line.globalMatch(QString::fromLocal8Bit(curl.readAllStandardOutput()));
    while (matches.hasNext()) {
        const auto match = matches.next();
        result.latenciesMs.push_back(match.captured(2).toDouble() * 1000);
        result.failures += match.captured(1) == "200" ? 0 : 1;
    }
    result.failures += requests - static_cast<int>(result.latenciesMs.size());
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int inFlight = argc > 2 ? std::atoi(argv[2]) : 32;
    if (requests <= 0 || inFlight <= 0) {
        std::fprintf(stderr, "usage: bench_transport [requests] [in flight]\n");
        return 2;
    }
    QTemporaryDir folder;
    LocalServiceProcess service;
    if (!service.Start(folder.filePath("bench.db"))) {
        std::fprintf(stderr, "the local service did not start:\n%s\n", qPrintable(service.Output()));
        return 1;
    }
    if (!InitHttpTransport()) {
        std::fprintf(stderr, "the HTTP transport did not start\n");
        return 1;
    }
    const std::string address = service.BaseUrl() + "health";
    // One round of each first, so neither pays for a cold service.
    RunTransport(address, inFlight * 2, inFlight);
    RunCurl(address, inFlight * 2, inFlight);

    const Result transport = RunTransport(address, requests, inFlight);
    const Result curl = RunCurl(address, requests, inFlight);
    ShutdownHttpTransport();
    Report("transport", requests, inFlight, transport);
    Report("curl CLI", requests, inFlight, curl);
    return transport.failures == 0 && curl.failures == 0 ? 0 : 1;
}
