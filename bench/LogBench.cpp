// How fast the log writes: typical lines through the real statements, formatter and appender,
// beside raw write calls of exactly the same bytes (the floor, since the log keeps one write per
// line), and the cost of a statement below the configured level. Rounds alternate between the
// two on fresh files, so neither gains from the order or the size of the file.
//
//   bench_log [lines per round] [rounds]        (defaults: 400,000 and 5)
#include "diag/Log.h"
#include "diag/LogFileAppender.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

int g_evaluated = 0;

std::string Costly()
{
    ++g_evaluated;
    return std::string(200, 'c');
}

// The kinds of lines the client writes most: a request reply, an address opened, a short event.
void WriteTypicalLines(long lines)
{
    const std::string reply = R"({"status":200,"message":"ok","ticket":"TGT-1-abc"})";
    const std::string url = "http://127.0.0.1:8080/pc/pc-lg";
    for (long i = 0; i < lines; ++i) {
        switch (i % 3) {
        case 0:
            LOG_DEBUG << "ret:[" << 1 << "] response_code:[" << 200 << "] reply:[" << reply << "] url:["
                      << url << "] body:[m=13800138000&source=tpc&signature=" << i << "]";
            break;
        case 1:
            LOG_VERB << "Open URL_TRIM:[https://tiku.orva.example/Simulation/Subjects/31?n=" << i << "]";
            break;
        default:
            LOG_INFO << "paper loaded:[" << i << "]";
            break;
        }
    }
}

// The file's lines with their line ends, without the start mark and banner.
std::vector<std::string> LinesOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray content = file.readAll();
    std::vector<std::string> lines;
    qsizetype start = content.indexOf("\r\n\r\n", 10) + 4; // after BOM and banner
    while (start < content.size()) {
        const qsizetype end = content.indexOf('\n', start) + 1;
        lines.emplace_back(content.constData() + start, static_cast<std::size_t>(end - start));
        start = end;
    }
    return lines;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    const long lines = argc > 1 ? std::atol(argv[1]) : 400000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir folder;
    std::vector<double> logRates;
    std::vector<double> rawRates;
    std::size_t bytes = 0;

    for (int round = 0; round < rounds; ++round) {
        const QString logPath = folder.path() + "/Servdesk.log";
        const QString rawPath = folder.path() + "/raw.log";
        QFile::remove(logPath);
        QFile::remove(rawPath);

        // The log as the client runs it: every line admitted, one file, no roll within a round.
        Log::Install(std::make_shared<LogFileAppender>(logPath.toStdString(), std::int64_t{1} << 40, 1), 6);
        LOG_INFO << "round " << round; // opens the file
        const auto logStart = Clock::now();
        WriteTypicalLines(lines);
        logRates.push_back(static_cast<double>(lines) / Seconds(Clock::now() - logStart));

        const std::vector<std::string> written = LinesOf(logPath);
        const int fd = ::open(rawPath.toLocal8Bit().constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        const auto rawStart = Clock::now();
        for (std::size_t i = 1; i < written.size(); ++i) {
            if (::write(fd, written[i].data(), written[i].size()) < 0) {
                std::perror("write");
                return 1;
            }
        }
        rawRates.push_back(static_cast<double>(written.size() - 1) / Seconds(Clock::now() - rawStart));
        ::close(fd);
        bytes = 0;
        for (const auto& line : written) {
            bytes += line.size();
        }
        bytes /= written.size();
    }

    // Below the level: the statement must cost the comparison only, and not evaluate its operands.
    Log::Install(std::make_shared<LogFileAppender>((folder.path() + "/quiet.log").toStdString(), 1 << 20, 1),
                 3);
    const long filteredCount = 50000000;
    const auto filteredStart = Clock::now();
    for (long i = 0; i < filteredCount; ++i) {
        LOG_DEBUG << "never built " << Costly() << i;
    }
    const double filteredSeconds = Seconds(Clock::now() - filteredStart);

    const double logRate = Median(logRates);
    const double rawRate = Median(rawRates);
    std::printf("rounds x lines:        %d x %ld, mean line %zu bytes, median round shown\n", rounds, lines,
                bytes);
    std::printf("log statements:        %.0f lines/s (%.0f ns/line)\n", logRate, 1e9 / logRate);
    std::printf("raw write floor:       %.0f lines/s (%.0f ns/line)\n", rawRate, 1e9 / rawRate);
    std::printf("log / floor:           %.1f %%\n", 100.0 * logRate / rawRate);
    std::printf("filtered statement:    %.2f ns, operands evaluated %d times\n",
                1e9 * filteredSeconds / static_cast<double>(filteredCount), g_evaluated);
    std::printf("goals: >= 1,000,000 lines/s: %s; >= 40 %% of floor: %s; filtered builds nothing: %s\n",
                logRate >= 1e6 ? "met" : "missed", logRate >= 0.4 * rawRate ? "met" : "missed",
                g_evaluated == 0 ? "met" : "missed");
    return g_evaluated == 0 ? 0 : 1;
}
