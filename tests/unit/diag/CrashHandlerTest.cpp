#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using TestSupport::TempFolder;

namespace {

struct CrashCase
{
    const char* kind;
    const char* signalLine;
    const char* extra; // a further text the report must hold
};

// The names of the report's frames that lie in the program, by addr2line on the program file and
// the program's load address from the module list.
QString SymbolisedFrames(const QByteArray& report, const QString& program)
{
    unsigned long long base = 0;
    unsigned long long end = 0;
    QStringList offsets;
    const QStringList lines = QString::fromUtf8(report).split('\n');
    for (const QString& line : lines) {
        if (!line.endsWith(program)) {
            continue;
        }
        const QString range = line.section(' ', 0, 0);
        const unsigned long long start = range.section('-', 0, 0).toULongLong(nullptr, 16);
        base = base == 0 ? start : std::min(base, start);
        end = std::max(end, range.section('-', 1, 1).toULongLong(nullptr, 16));
    }
    for (const QString& line : lines) {
        const QRegularExpressionMatch frame = QRegularExpression("^  #\\d+ 0x([0-9a-f]+)$").match(line);
        const unsigned long long address = frame.hasMatch() ? frame.captured(1).toULongLong(nullptr, 16) : 0;
        if (address > base && address <= end) {
            // A return address: the call is the byte before it.
            offsets << QString::number(address - base - 1, 16);
        }
    }
    QProcess addr2line;
    addr2line.start("addr2line", QStringList{"-f", "-C", "-e", program} + offsets);
    addr2line.waitForFinished(30000);
    return QString::fromUtf8(addr2line.readAllStandardOutput());
}

class CrashHandler : public testing::TestWithParam<CrashCase>
{
};

TEST_P(CrashHandler, LeavesAReportAndStartsTheProgramAgain)
{
    const CrashCase& row = GetParam();
    TempFolder app;
    const QString program = app.File("Examora");
    ASSERT_TRUE(QFile::copy(TestSupport::HelperPath(), program));

    QProcess crashing;
    crashing.start(program, {"crash", row.kind});
    ASSERT_TRUE(crashing.waitForFinished(30000));
    EXPECT_EQ(crashing.exitStatus(), QProcess::CrashExit)
        << "the signal's default action must end the process";

    const QStringList reports = QDir(app.File("dump")).entryList({"*.dmp"}, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\d{8}_\\d{6}\\.dmp$").match(reports[0]).hasMatch())
        << reports[0].toStdString();
    const QByteArray report = app.Read("dump/" + reports[0]);
    EXPECT_TRUE(report.startsWith("Examora crash report\n"));
    EXPECT_TRUE(report.contains(row.signalLine)) << report.left(600).toStdString();
    EXPECT_TRUE(report.contains(row.extra)) << report.left(600).toStdString();
    EXPECT_TRUE(report.contains("\nframes:\n  #0 0x"));
    // The crashing function is among the frames: the report has addresses, which the module list
    // turns into names afterwards, as a developer would.
    EXPECT_TRUE(SymbolisedFrames(report, program).contains("CrashOnPurpose"))
        << report.left(1500).toStdString();
    EXPECT_TRUE(report.contains("\nmodules:\n"));
    EXPECT_TRUE(report.contains(program.toUtf8())) << "the module list names the program";

    ASSERT_TRUE(TestSupport::WaitFor([&] { return app.Exists("restarted.txt"); }));
    ASSERT_TRUE(TestSupport::WaitFor([&] { return app.Read("restarted.txt").endsWith('\n'); }));
    EXPECT_EQ(app.Read("restarted.txt"), "/AppCrash " + app.File("dump/" + reports[0]).toUtf8() + "\n");
    // The new process starts with no signal blocked: its own crashes are reported too.
    EXPECT_EQ(app.Read("restarted-mask.txt"), "0000000000000000\n");
}

// The crashes that matter most: the report is written and the program starts again, where the
// process used to hang (a crash inside the allocator) or die without either (two threads at once,
// a stack overflow off the main thread).
TEST(CrashHandlerHard, EveryCrashLeavesAReportAndARestart)
{
    const struct
    {
        const char* kind;
        int trials;
        const char* signalLine;
    } rows[] = {
        // The allocator finds the damage and aborts, or trips over it first: either way a crash.
        {"in-malloc", 3, "signal: "},
        {"two-threads", 10, "signal: 11 (SIGSEGV)"},
        {"thread-overflow", 3, "signal: 11 (SIGSEGV)"},
    };
    for (const auto& row : rows) {
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer's allocator takes the place of the C library's: there is no lock to hold.
        if (std::string(row.kind) == "in-malloc") {
            continue;
        }
#endif
        for (int trial = 0; trial < row.trials; ++trial) {
            SCOPED_TRACE(std::string(row.kind) + " trial " + std::to_string(trial));
            TempFolder app;
            const QString program = app.File("Examora");
            ASSERT_TRUE(QFile::copy(TestSupport::HelperPath(), program));
            QProcess crashing;
            crashing.start(program, {"crash", row.kind});
            if (!crashing.waitForFinished(20000)) {
                crashing.kill();
                crashing.waitForFinished();
                FAIL() << "the crashed process hangs";
            }
            EXPECT_EQ(crashing.exitStatus(), QProcess::CrashExit);
            const QStringList reports = QDir(app.File("dump")).entryList({"*.dmp"}, QDir::Files);
            ASSERT_EQ(reports.size(), 1);
            EXPECT_TRUE(app.Read("dump/" + reports[0]).contains(row.signalLine));
            EXPECT_TRUE(TestSupport::WaitFor([&] { return app.Read("restarted.txt").endsWith('\n'); }));
        }
    }
}

// A program that crashes at every start is restarted twice, not for ever: the third crash within a
// minute is reported and ends there. Crashes of the same second keep a report each.
TEST(CrashHandlerHard, AThirdCrashWithinAMinuteIsReportedButNotRestarted)
{
    TempFolder app;
    const QString program = app.File("Examora");
    ASSERT_TRUE(QFile::copy(TestSupport::HelperPath(), program));
    const TestSupport::ScopedEnv again("EXAMORA_HELPER_CRASH_AGAIN", QStringLiteral("1"));
    QProcess crashing;
    crashing.start(program, {"crash", "segv"});
    ASSERT_TRUE(crashing.waitForFinished(30000));

    const auto reports = [&] { return QDir(app.File("dump")).entryList({"*.dmp"}, QDir::Files, QDir::Time); };
    ASSERT_TRUE(TestSupport::WaitFor([&] { return reports().size() == 3; }, std::chrono::seconds(20)))
        << reports().join(' ').toStdString();
    // Nothing starts after the third: the restart marks stay at two, and no fourth report comes.
    QThread::sleep(2);
    EXPECT_EQ(reports().size(), 3);
    EXPECT_EQ(app.Read("restarted.txt").count('\n'), 2) << app.Read("restarted.txt").toStdString();
    int stopped = 0;
    for (const QString& name : reports()) {
        const QByteArray report = app.Read("dump/" + name);
        EXPECT_TRUE(report.startsWith("Examora crash report\n")) << name.toStdString();
        stopped += report.contains("restart: no, the third crash within a minute") ? 1 : 0;
    }
    EXPECT_EQ(stopped, 1);

    // A crash a minute after the others restarts again.
    app.Write("dump/crash-history", QByteArray::number(QDateTime::currentSecsSinceEpoch() - 61) + "\n" +
                                        QByteArray::number(QDateTime::currentSecsSinceEpoch() - 61) + "\n");
    const TestSupport::ScopedEnv once("EXAMORA_HELPER_CRASH_AGAIN", std::nullopt);
    crashing.start(program, {"crash", "segv"});
    ASSERT_TRUE(crashing.waitForFinished(30000));
    EXPECT_TRUE(TestSupport::WaitFor([&] { return app.Read("restarted.txt").count('\n') == 3; }));
}

TEST(CrashHandlerHard, ReportNamesUseTheLocalTimeOfTheCrashAcrossDaylightSaving)
{
    // Central European time: an hour more in summer than in winter.
    const TestSupport::ScopedEnv zone("TZ", QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3"));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const qint64 later : {qint64{0}, qint64{91} * 86400, qint64{182} * 86400, qint64{273} * 86400}) {
        QProcess helper;
        helper.start(TestSupport::HelperPath(), {"report-name", QString::number(now + later)});
        ASSERT_TRUE(helper.waitForFinished(20000));
        const QStringList names = QString::fromLatin1(helper.readAllStandardOutput()).trimmed().split(' ');
        ASSERT_EQ(names.size(), 2);
        EXPECT_EQ(names[0], names[1]) << later / 86400 << " days after the handler was installed";
    }
}

TEST(LogAtExit, ThreadsThatStillWriteWhileTheProcessEndsFindTheLogAlive)
{
    TempFolder folder;
    for (int trial = 0; trial < 5; ++trial) {
        QProcess helper;
        helper.start(TestSupport::HelperPath(), {"log-at-exit", folder.File("exit.log")});
        ASSERT_TRUE(helper.waitForFinished(20000));
        EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(helper.exitCode(), 0) << helper.readAllStandardError().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CrashHandler,
    testing::Values(CrashCase{"segv", "signal: 11 (SIGSEGV)", "fault address: 0x0000000000000000"},
                    CrashCase{"abort", "signal: 6 (SIGABRT)", "registers:"},
                    CrashCase{"terminate", "signal: 6 (SIGABRT)",
                              "reason: uncaught exception: thrown on purpose"},
                    CrashCase{"fpe", "signal: 8 (SIGFPE)", "registers:"}),
    [](const testing::TestParamInfo<CrashCase>& row) { return std::string(row.param.kind); });

} // namespace
