#include "app/SingleInstance.h"
#include "diag/CrashHandler.h"
#include "diag/Log.h"
#include "dialogs/MessageBoxTip.h"
#include "environment/Environment.h"
#include "mainwnd/ImSdkSetup.h"
#include "mainwnd/MainForm.h"
#include "mainwnd/UpdateExamora.h"
#include "mainwnd/WebEngineSetup.h"
#include "mainwnd/WkeWebkitUI.h"
#include "ui/ControlFactory.h"
#include "ui/DefaultTextStyle.h"
#include "ui/PaintManagerUI.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <curl/curl.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// Qt ends the process when it cannot reach a display; say why first, where a user and the log
// will see it.
bool HasDisplay()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return true;
    }
    LOG_ERROR << "no display to show the client on (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    std::fprintf(stderr,
                 "Examora: no display to show the client on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
    return false;
}

// The end of the process: the log is flushed and the process leaves without running static
// destructors, which the IM library's thread could still be using.
[[noreturn]] void EndProcess()
{
    Log::Flush();
    std::fflush(nullptr);
    _exit(0);
}

// The report path of a start by the crash handler ("/AppCrash" and the path), empty otherwise.
QString CrashReportOfRestart(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "/AppCrash") != 0) {
        return {};
    }
    return QString::fromLocal8Bit(argv[2]);
}

// After a restart by the crash handler the user hears once what happened and where the report is,
// over the first window, as soon as the loop runs.
void TellOfTheCrash(const QString& report)
{
    LOG_WARN << "restarted after a crash; report:[" << report << "]";
    QTimer::singleShot(0, [report] {
        const CMainForm* main = CMainForm::Current();
        static_cast<void>(CMessageBoxTip::Show(
            main != nullptr ? main->GetHWND() : WindowHandle(),
            QStringLiteral("Examora 上次意外关闭了，很抱歉。\n错误报告已保存在：\n%1").arg(report),
            QStringLiteral("确定")));
    });
}

#ifdef EXAMORA_TEST_HOOKS
// Test builds only, never a release build: EXAMORA_TEST_CRASH makes the client crash for real a
// moment after it has started, "always" at every start, "once" only when no crash restarted it.
void ArmTestCrash(bool restarted)
{
    const QByteArray when = qgetenv("EXAMORA_TEST_CRASH");
    if (when == "always" || (when == "once" && !restarted)) {
        QTimer::singleShot(1000, [] { std::raise(SIGSEGV); });
    }
}
#endif

// The client on its application object, from the libraries to the end of the message loop. The
// object goes before the process does: only then does the web engine write out what it keeps
// (cookies among them).
void RunClient(int& argc, char** argv, bool singleFileLog)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!InstallCrashHandler()) {
        LOG_WARN << "crash handler not fully installed";
    }
    curl_global_init(CURL_GLOBAL_ALL);
    static_cast<void>(InitImSdk());
    GetDefaultTextStyle() = DefaultTextStyle{};
    if (!InitWebEngine()) {
        return;
    }
    CPaintManagerUI::SetInstance(nullptr);
    CPaintManagerUI::SetResourcePath(GetExeDir() + QStringLiteral("skin"));
    CControlFactory::GetInstance()->RegistControl(QStringLiteral("CWkeWebkitUI"), &CreateWkeWebkitUI);

    // The version check decides the first window; the main thread waits for it with no window
    // shown (the check's completion runs on the transport's own thread).
    if (const std::string updateUrl = GetEnvironmentSettings().updateUrl; !updateUrl.empty()) {
        UpdateCheck::StartVersionCheck(updateUrl);
        while (UpdateCheck::versionCheckBusy) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (UpdateCheck::showMainWindow) {
        static_cast<void>(ShowMainWnd());
    } else {
        const UpdateCheck::Target target = UpdateCheck::RecordedTarget();
        ShowUpdateWnd(target.downloadUrl, target.installerPath);
    }
    if (const QString report = CrashReportOfRestart(argc, argv); !report.isEmpty()) {
        TellOfTheCrash(report);
    }
#ifdef EXAMORA_TEST_HOOKS
    ArmTestCrash(!CrashReportOfRestart(argc, argv).isEmpty());
#endif
    if (singleFileLog) {
        static_cast<void>(StartInstanceListener([] {
            if (CMainForm* current = CMainForm::Current()) {
                current->ShowFromTray();
            }
        }));
    }
    LOG_INFO << "start-up done, version " << GetFileVersionString();
    CPaintManagerUI::MessageLoop();
    LOG_INFO << "leaving";
    FinishUpdateDownload();
    delete CMainForm::Current();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ReleaseClientWebProfile();
}

} // namespace

// The start-up sequence, in the order the client has always used: log and environment, the
// single-instance rule, the crash handler, the libraries, the toolkit, the main window, the loop.
// The one argument read is that of a restart after a crash; the exit code is 0.
int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const bool singleFileLog = InitOrvaPLog();
    // A later start hands over to the running client without needing a display of its own.
    if ((singleFileLog && !CheckSingleInstance()) || !HasDisplay()) {
        EndProcess();
    }
    RunClient(argc, argv, singleFileLog);
    EndProcess();
}
