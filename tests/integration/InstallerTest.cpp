// The installer this tree builds (ExamoraUpdate.run), run for real into folders of the test: a
// fresh install, an upgrade that keeps the user's files, an install killed half-way, the removal.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using TestSupport::TempFolder;

namespace {

class InstallerTest : public testing::Test
{
protected:
    // Runs the installer with arguments for its own step; its exit code, or -1 when it did not end.
    int Install(const QStringList& arguments)
    {
        QProcess installer;
        installer.setProcessEnvironment(Environment());
        installer.start(QStringLiteral(EXAMORA_INSTALLER), QStringList{"--"} + arguments);
        if (!installer.waitForFinished(60000)) {
            installer.kill();
            installer.waitForFinished();
            return -1;
        }
        return installer.exitStatus() == QProcess::NormalExit ? installer.exitCode() : -1;
    }

    [[nodiscard]] QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_home.File("data"));
        environment.insert("TMPDIR", m_home.Path());
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(name);
        }
        return environment;
    }

    [[nodiscard]] QString Target() const { return m_home.File("apps/Examora"); }

    // The installed client starts (it says it has no display here, and ends with 0).
    void ExpectRunnable()
    {
        QProcess client;
        client.setProcessEnvironment(Environment());
        client.start(Target() + "/Examora", {});
        ASSERT_TRUE(client.waitForFinished(30000));
        EXPECT_EQ(client.exitCode(), 0);
        EXPECT_TRUE(client.readAllStandardError().contains("no display"));
        EXPECT_TRUE(QFile::exists(Target() + "/skin/MainForm.xml"));
        EXPECT_TRUE(QFile::exists(Target() + "/libnim.so"));
    }

    // The installed versions, one when the installation is whole.
    [[nodiscard]] QStringList Versions() const
    {
        return QDir(Target() + ".d").entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    TempFolder m_home;
};

TEST_F(InstallerTest, InstallsAMenuEntryAndKeepsTheUsersFilesAcrossAnUpgrade)
{
    ASSERT_EQ(Install({Target(), "--no-start"}), 0);
    ExpectRunnable();
    EXPECT_TRUE(QFileInfo(Target()).isSymLink());
    const QByteArray entry = m_home.Read("data/applications/examora.desktop");
    EXPECT_TRUE(entry.contains("Exec=\"" + Target().toUtf8() + "/Examora\"\n")) << entry.toStdString();
    EXPECT_TRUE(m_home.Exists("data/icons/hicolor/256x256/apps/examora.png"));

    // What the user has: remembered accounts, log settings, logs and crash reports.
    m_home.Write("apps/Examora/orva.ini", "[Main]\nCurrentUser=User_0\n");
    m_home.Write("apps/Examora/OrvaLogConf.ini", "[global]\ndefault_loglevel=3\n");
    QDir().mkpath(Target() + "/Log");
    QDir().mkpath(Target() + "/dump");
    m_home.Write("apps/Examora/Log/earlier.log", "a log");
    m_home.Write("apps/Examora/dump/20261211_010101.dmp", "a report");

    ASSERT_EQ(Install({Target(), "--no-start"}), 0);
    ASSERT_EQ(Install({Target(), "--no-start"}), 0);
    ExpectRunnable();
    EXPECT_EQ(Versions().size(), 1) << Versions().join(' ').toStdString();
    EXPECT_EQ(m_home.Read("apps/Examora/orva.ini"), "[Main]\nCurrentUser=User_0\n");
    EXPECT_EQ(m_home.Read("apps/Examora/OrvaLogConf.ini"), "[global]\ndefault_loglevel=3\n");
    EXPECT_EQ(m_home.Read("apps/Examora/Log/earlier.log"), "a log");
    EXPECT_EQ(m_home.Read("apps/Examora/dump/20261211_010101.dmp"), "a report");

    ASSERT_EQ(Install({"--uninstall", Target()}), 0);
    EXPECT_FALSE(QFileInfo::exists(Target()));
    EXPECT_FALSE(QFileInfo::exists(Target() + ".d"));
    EXPECT_FALSE(m_home.Exists("data/applications/examora.desktop"));
}

TEST_F(InstallerTest, AnInstallKilledHalfWayLeavesTheOldVersionRunnable)
{
    ASSERT_EQ(Install({Target(), "--no-start"}), 0);
    m_home.Write("apps/Examora/orva.ini", "kept");
    for (const int delayMs : {30, 80, 150, 250, 400, 600}) {
        SCOPED_TRACE(delayMs);
        // The installer with everything it starts in a process group of its own, killed at once.
        QProcess installer;
        installer.setProcessEnvironment(Environment());
        installer.start("setsid", {QStringLiteral(EXAMORA_INSTALLER), "--", Target(), "--no-start"});
        ASSERT_TRUE(installer.waitForStarted());
        installer.waitForFinished(delayMs);
        ::kill(-static_cast<pid_t>(installer.processId()), SIGKILL);
        installer.waitForFinished();
        ExpectRunnable();
        EXPECT_EQ(m_home.Read("apps/Examora/orva.ini"), "kept");
    }
    // The next install cleans up after the killed ones.
    ASSERT_EQ(Install({Target(), "--no-start"}), 0);
    ExpectRunnable();
    EXPECT_EQ(Versions().size(), 1) << Versions().join(' ').toStdString();
    EXPECT_EQ(m_home.Read("apps/Examora/orva.ini"), "kept");
}

TEST_F(InstallerTest, AFolderLaidOutByCmakeInstallBecomesTheFirstVersion)
{
    QDir().mkpath(Target());
    for (const char* file : {"Examora", "libnim.so"}) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(EXAMORA_APP_DIR "/") + file, Target() + "/" + file));
    }
    m_home.Write("apps/Examora/orva.ini", "from before");
    ASSERT_EQ(Install({Target(), "--no-start"}), 0);
    ExpectRunnable();
    EXPECT_TRUE(QFileInfo(Target()).isSymLink());
    EXPECT_EQ(m_home.Read("apps/Examora/orva.ini"), "from before");
    EXPECT_EQ(Versions().size(), 1);
}

} // namespace
