#include "app/SingleInstance.h"
#include "diag/CrashHandler.h"
#include "diag/Log.h"
#include "environment/Environment.h"

#include <QCoreApplication>

#include <cstdio>

// The start-up sequence: log and environment, the single-instance rule, the crash handler. The
// windows, the transport and the IM channel join it as they are built. Arguments (such as those
// of a restart after a crash) are not interpreted; the exit code is always 0.
int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);

    const bool singleFileLog = InitOrvaPLog();
    if (singleFileLog && !CheckSingleInstance()) {
        return 0;
    }
    if (!InstallCrashHandler()) {
        LOG_WARN << "crash handler not fully installed";
    }
    LOG_INFO << "start-up done; this build has no window to show yet";
    std::printf("Examora %s started and stopped: no window in this build yet. Log folder: %sLog/\n",
                GetFileVersionString().c_str(), qPrintable(GetExeDir()));
    return 0;
}
