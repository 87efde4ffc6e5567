// Start-up time, memory and idle CPU of the client beside a bare QWebEngineView program that
// loads the same home page from the local service.
//
//   bench_startup [runs=5] [idle seconds=10]     (needs a display: xvfb-run -a bench_startup)
//
// Time: from the process start to the home page loaded (subjects listed), seen over DevTools.
// Memory: the summed PSS of the process and all its descendants (Qt WebEngine's helpers), once
// loaded. CPU: user and system time of the same processes over the idle seconds on the loaded page.
#include "ClientSession.h"
#include "DevToolsClient.h"
#include "LocalServiceProcess.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>

#include <algorithm>
#include <cstdio>
#include <map>
#include <unistd.h>
#include <vector>

using TestSupport::TempFolder;
using TestSupport::WaitFor;

namespace {

struct Sample
{
    double startMs = 0;
    double pssMiB = 0;
    double idleCpuPercent = 0;
};

std::vector<qint64> ProcessTree(qint64 root)
{
    std::map<qint64, std::vector<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number) {
            continue;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray text = stat.readAll();
        // The fields after the command name, which may hold spaces: state, ppid, ...
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1) {
            children[fields[1].toLongLong()].push_back(pid);
        }
    }
    std::vector<qint64> tree{root};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (const qint64 child : children[tree[i]]) {
            tree.push_back(child);
        }
    }
    return tree;
}

double PssMiB(const std::vector<qint64>& pids)
{
    double kib = 0;
    for (const qint64 pid : pids) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            if (line.startsWith("Pss:")) {
                kib += line.mid(4).trimmed().split(' ').first().toDouble();
            }
        }
    }
    return kib / 1024;
}

double CpuSeconds(const std::vector<qint64>& pids)
{
    double ticks = 0;
    for (const qint64 pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // utime and stime are fields 14 and 15 of the whole line, 12 and 13 after the name.
        if (fields.size() > 12) {
            ticks += fields[11].toDouble() + fields[12].toDouble();
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Measures one started process whose page DevTools shows, until it is killed.
Sample Measure(QProcess& process, DevToolsClient& devTools, const QElapsedTimer& clock, const QString& home,
               int idleSeconds)
{
    Sample sample;
    const bool loaded = devTools.WaitForPage([&](const QString& url) { return url == home; }, 60000, 25);
    const auto end = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
    });
    // The subjects are listed once the page's script has fetched them.
    if (!loaded || !WaitFor([&] {
            return devTools.Evaluate(QStringLiteral("document.querySelectorAll('[data-subject]').length"))
                       .toInt() == 4;
        })) {
        std::fprintf(stderr, "the page did not load: [%s]\n", qPrintable(devTools.PageUrl()));
        return sample;
    }
    sample.startMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    WaitFor([] { return false; }, std::chrono::seconds(2));
    const std::vector<qint64> tree = ProcessTree(process.processId());
    sample.pssMiB = PssMiB(tree);
    const double before = CpuSeconds(tree);
    WaitFor([] { return false; }, std::chrono::seconds(idleSeconds));
    sample.idleCpuPercent = 100 * (CpuSeconds(ProcessTree(process.processId())) - before) / idleSeconds;
    return sample;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

QProcessEnvironment FreshHome(const TempFolder& home, int devToolsPort)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.Path());
    environment.insert("XDG_CONFIG_HOME", home.File("config"));
    environment.insert("XDG_DATA_HOME", home.File("data"));
    environment.insert("XDG_CACHE_HOME", home.File("cache"));
    environment.insert("QTWEBENGINE_REMOTE_DEBUGGING", QStringLiteral("127.0.0.1:%1").arg(devToolsPort));
    if (getuid() == 0) {
        environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    return environment;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_startup needs a display: xvfb-run -a %s\n", argv[0]);
        return 1;
    }
    TempFolder data;
    LocalServiceProcess service;
    if (!service.Start(data.File("service.db"))) {
        std::fprintf(stderr, "the local service did not start\n");
        return 1;
    }
    const QString home = QString::fromStdString(service.BaseUrl()) + QStringLiteral("Simulation/Subjects/31");

    std::vector<Sample> client;
    std::vector<Sample> bare;
    for (int run = 0; run < runs; ++run) {
        {
            ClientSession session(service.BaseUrl(), service.ImUrl());
            QElapsedTimer clock;
            clock.start();
            session.Start();
            DevToolsClient devTools(session.DevToolsPort());
            client.push_back(Measure(session.Process(), devTools, clock, home, idleSeconds));
        }
        {
            TempFolder folder;
            DevToolsClient devTools(DevToolsClient::FreePort());
            QProcess process;
            process.setProcessEnvironment(FreshHome(folder, devTools.Port()));
            QElapsedTimer clock;
            clock.start();
            process.start(QStringLiteral(EXAMORA_BARE_WEBVIEW), {home});
            bare.push_back(Measure(process, devTools, clock, home, idleSeconds));
        }
        std::printf("run %d: client %.0f ms %.1f MiB %.2f%% CPU; bare %.0f ms %.1f MiB %.2f%% CPU\n", run + 1,
                    client.back().startMs, client.back().pssMiB, client.back().idleCpuPercent,
                    bare.back().startMs, bare.back().pssMiB, bare.back().idleCpuPercent);
    }
    const auto median = [](const std::vector<Sample>& samples, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            values.push_back(sample.*field);
        }
        return Median(values);
    };
    const double clientMs = median(client, &Sample::startMs);
    const double bareMs = median(bare, &Sample::startMs);
    const double clientMiB = median(client, &Sample::pssMiB);
    const double bareMiB = median(bare, &Sample::pssMiB);
    const double clientCpu = median(client, &Sample::idleCpuPercent);
    const double bareCpu = median(bare, &Sample::idleCpuPercent);
    std::printf("\nmedians of %d runs        client      bare   ratio\n", runs);
    std::printf("start to home page   %8.0f ms %6.0f ms   %.2f (goal <= 1.30)\n", clientMs, bareMs,
                bareMs > 0 ? clientMs / bareMs : 0);
    std::printf("memory (PSS, all)    %8.1f MiB %5.1f MiB  %.2f (goal <= 1.20)\n", clientMiB, bareMiB,
                bareMiB > 0 ? clientMiB / bareMiB : 0);
    std::printf("idle CPU over %2d s   %8.2f %%  %6.2f %%   +%.2f points (goal <= 1)\n", idleSeconds,
                clientCpu, bareCpu, clientCpu - bareCpu);
    return clientMs > 0 && bareMs > 0 ? 0 : 1;
}
