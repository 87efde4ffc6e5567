#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

using TestSupport::TempFolder;

namespace {

struct CrashCase
{
    const char* kind;
    const char* signalLine;
    const char* extra; // a further text the report must hold
};

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
    EXPECT_TRUE(report.contains("CrashOnPurpose")) << "the crashing function is among the frames";
    EXPECT_TRUE(report.contains("\nmodules:\n"));
    EXPECT_TRUE(report.contains(program.toUtf8())) << "the module list names the program";

    ASSERT_TRUE(TestSupport::WaitFor([&] { return app.Exists("restarted.txt"); }));
    ASSERT_TRUE(TestSupport::WaitFor([&] { return app.Read("restarted.txt").endsWith('\n'); }));
    EXPECT_EQ(app.Read("restarted.txt"), "/AppCrash " + app.File("dump/" + reports[0]).toUtf8() + "\n");
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
