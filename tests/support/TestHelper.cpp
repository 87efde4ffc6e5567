// A helper program for tests that need a process of their own: a crash on purpose, the restart
// after it, and a writer that can be killed in the middle of saving.
#include "diag/CrashHandler.h"
#include "diag/Log.h"
#include "diag/LogFileAppender.h"
#include "platform/AppFolder.h"
#include "settings/ConfigService.h"

#include <QCoreApplication>
#include <QFile>

#include <spdlog/sinks/stdout_sinks.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

volatile int* g_nowhere = nullptr;

// Not instrumented: the sanitizers would report the null store themselves instead of faulting.
[[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) void CrashOnPurpose(const char* kind)
{
    if (std::strcmp(kind, "abort") == 0) {
        std::abort();
    }
    if (std::strcmp(kind, "terminate") == 0) {
        throw std::runtime_error("thrown on purpose");
    }
    if (std::strcmp(kind, "fpe") == 0) {
        std::raise(SIGFPE);
    }
    *g_nowhere = 42;
}

// Recursion that the optimiser cannot turn into a loop, and that ends only when the stack does.
volatile int g_depthLimit = 1 << 30;

[[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) int Overflow(int depth)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth >= g_depthLimit) {
        return frame[0];
    }
    return Overflow(depth + 1) + frame[0];
}

// Two threads crash at the same moment.
[[noreturn]] void CrashTwoThreads()
{
    std::atomic<int> ready{0};
    const auto crash = [&] {
        ++ready;
        while (ready.load() < 2) { }
        CrashOnPurpose("segv");
    };
    std::thread first(crash);
    std::thread second(crash);
    first.join();
    second.join();
    std::abort();
}

// A crash inside the allocator while it holds its lock: a corrupted free list found by malloc in a
// process with threads (a single-threaded process takes no lock).
[[gnu::noinline]] __attribute__((no_sanitize("address", "undefined"))) void CrashInMalloc()
{
    std::thread idle([] { std::this_thread::sleep_for(std::chrono::hours(1)); });
    idle.detach();
    std::vector<void*> chunks;
    for (int i = 0; i < 9; ++i) {
        chunks.push_back(std::malloc(24));
    }
    for (void* chunk : chunks) {
        std::free(chunk);
    }
    // The last ones went past the thread cache to the allocator's own list: spoil the link.
    std::memset(chunks.back(), 0x41, 16);
    volatile std::uintptr_t sink = 0;
    for (int i = 0; i < 9; ++i) {
        sink = sink + reinterpret_cast<std::uintptr_t>(std::malloc(24));
    }
}

// Threads that write the log while the process ends.
int LogAtExit(const char* file)
{
    Log::Install(std::make_shared<LogFileAppender>(file, 1 << 20, 3), 6);
    for (int i = 0; i < 4; ++i) {
        std::thread([] {
            for (long n = 0;; ++n) {
                LOG_INFO << "line " << n;
            }
        }).detach();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return 0;
}

int SaveLoop(const QString& folder)
{
    CConfigService store(folder);
    for (long i = 0;; ++i) {
        // Every field of a save derives from its name, so a reader can tell a torn file apart.
        const QString name = QStringLiteral("user%1").arg(i % 7);
        store.SaveUser(name, name + QStringLiteral("-pwd"), name + QStringLiteral("-ticket"),
                       name + QStringLiteral("-appkey"), name + QStringLiteral("-account"),
                       name + QStringLiteral("-token"), true, i % 2 == 0);
        if (i == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}

// One of two states of a settings file, by kind: "users" (a remembered account's password),
// "delete" (an account saved or deleted), "registry" (a value), "autostart" (the entry on or off).
bool WriteState(CConfigService& store, const char* kind, bool second)
{
    const QString secret = second ? QStringLiteral("second-password") : QStringLiteral("first-password");
    if (std::strcmp(kind, "users") == 0) {
        store.SaveUser(QStringLiteral("13800000001"), secret, QStringLiteral("ticket"), QStringLiteral("key"),
                       QStringLiteral("account"), QStringLiteral("token"), true, second);
        return true;
    }
    if (std::strcmp(kind, "delete") == 0) {
        if (second) {
            store.DeleteUser(QStringLiteral("13800000002"));
        } else {
            store.SaveUser(QStringLiteral("13800000002"), secret, {}, {}, {}, {}, true, false);
        }
        return true;
    }
    if (std::strcmp(kind, "registry") == 0) {
        return store.WriteRegistryString(QStringLiteral("Settings"), QStringLiteral("WinHide"),
                                         second ? QStringLiteral("1") : QStringLiteral("0"));
    }
    if (std::strcmp(kind, "autostart") == 0) {
        return store.SetAutoStart(!second);
    }
    std::fprintf(stderr, "unknown kind %s\n", kind);
    std::exit(2);
}

// Alternates between the two states until killed; "ready" once both have been written.
int WriteLoop(const char* kind, const QString& folder)
{
    CConfigService store(folder);
    for (long i = 0;; ++i) {
        (void)WriteState(store, kind, i % 2 == 1);
        if (i == 1) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}

// Writes one state with no room for any file to grow (as on a full disk), the log on standard
// error; prints whether the store said it was written.
int WriteFull(const char* kind, const QString& folder, bool second)
{
    auto sink = std::make_shared<spdlog::sinks::stderr_sink_mt>();
    Log::Install(sink, 6);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_FSIZE, &none);
    CConfigService store(folder);
    std::puts(WriteState(store, kind, second) ? "written" : "refused");
    Log::Flush();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "/AppCrash") == 0) {
        // The signals the new process starts with blocked.
        QFile status(QStringLiteral("/proc/self/status"));
        QByteArray blocked;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("SigBlk:")) {
                    blocked = line.mid(7).trimmed();
                }
            }
        }
        QFile mask(AppFolder::Path() + QStringLiteral("restarted-mask.txt"));
        if (mask.open(QIODevice::WriteOnly)) {
            mask.write(blocked + '\n');
        }
        QFile marker(AppFolder::Path() + QStringLiteral("restarted.txt"));
        if (marker.open(QIODevice::Append)) {
            marker.write(QByteArray(argv[1]) + ' ' + argv[2] + '\n');
            marker.close();
        }
        // A program that crashes again at every start (the crash-loop test).
        if (qEnvironmentVariableIsSet("EXAMORA_HELPER_CRASH_AGAIN") && InstallCrashHandler()) {
            CrashOnPurpose("segv");
        }
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "crash") == 0) {
        if (!InstallCrashHandler()) {
            return 2;
        }
        const char* kind = argv[2];
        if (std::strcmp(kind, "two-threads") == 0) {
            CrashTwoThreads();
        }
        if (std::strcmp(kind, "in-malloc") == 0) {
            CrashInMalloc();
            return 3;
        }
        if (std::strcmp(kind, "thread-overflow") == 0) {
            std::thread([] {
                InstallThreadCrashStack();
                Overflow(0);
            }).join();
            return 3;
        }
        CrashOnPurpose(kind);
        return 3;
    }
    if (argc >= 3 && std::strcmp(argv[1], "report-name") == 0) {
        // The report's name for a moment, beside the C library's local time of it.
        if (!InstallCrashHandler()) {
            return 2;
        }
        const auto when = static_cast<std::time_t>(std::strtoll(argv[2], nullptr, 10));
        std::tm local{};
        localtime_r(&when, &local);
        char expected[32];
        std::strftime(expected, sizeof expected, "%Y%m%d_%H%M%S.dmp", &local);
        std::printf("%s %s\n", CrashReportName(when).c_str(), expected);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "log-at-exit") == 0) {
        return LogAtExit(argv[2]);
    }
    if (argc >= 4 && std::strcmp(argv[1], "write-loop") == 0) {
        return WriteLoop(argv[2], QString::fromLocal8Bit(argv[3]));
    }
    if (argc >= 5 && std::strcmp(argv[1], "write-state") == 0) {
        CConfigService store(QString::fromLocal8Bit(argv[3]));
        std::puts(WriteState(store, argv[2], std::strcmp(argv[4], "1") == 0) ? "written" : "refused");
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[1], "write-full") == 0) {
        return WriteFull(argv[2], QString::fromLocal8Bit(argv[3]), std::strcmp(argv[4], "1") == 0);
    }
    if (argc >= 3 && std::strcmp(argv[1], "save-loop") == 0) {
        return SaveLoop(QString::fromLocal8Bit(argv[2]));
    }
    std::fprintf(stderr, "usage: test_helper crash segv|abort|terminate|fpe | save-loop FOLDER\n");
    return 1;
}
