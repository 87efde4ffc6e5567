// A helper program for tests that need a process of their own: a crash on purpose, the restart
// after it, and a writer that can be killed in the middle of saving.
#include "diag/CrashHandler.h"
#include "platform/AppFolder.h"
#include "settings/ConfigService.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

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

} // namespace

int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "/AppCrash") == 0) {
        QFile marker(AppFolder::Path() + QStringLiteral("restarted.txt"));
        if (marker.open(QIODevice::WriteOnly)) {
            marker.write(QByteArray(argv[1]) + ' ' + argv[2] + '\n');
        }
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "crash") == 0) {
        if (!InstallCrashHandler()) {
            return 2;
        }
        CrashOnPurpose(argv[2]);
        return 3;
    }
    if (argc >= 3 && std::strcmp(argv[1], "save-loop") == 0) {
        return SaveLoop(QString::fromLocal8Bit(argv[2]));
    }
    std::fprintf(stderr, "usage: test_helper crash segv|abort|terminate|fpe | save-loop FOLDER\n");
    return 1;
}
