#include "TestSupport.h"
#include "platform/AppFolder.h"
#include "platform/InstanceLock.h"
#include "platform/ProcessList.h"
#include "platform/ShellOpen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

using TestSupport::ScopedEnv;
using TestSupport::TempFolder;

namespace {

TEST(ProcessList, FindsTheFirstProcessByExecutableBaseNameIgnoringCase)
{
    TempFolder proc;
    const auto fakeProcess = [&](const QString& id, const QString& target) {
        QDir().mkpath(proc.File(id));
        ASSERT_TRUE(QFile::link(target, proc.File(id + "/exe")));
    };
    fakeProcess("40", "/opt/other/Examora");
    fakeProcess("7", "/opt/examora/examora (deleted)");
    fakeProcess("3", "/usr/bin/bash");
    QDir().mkpath(proc.File("1")); // a process of another user: no readable exe
    QDir().mkpath(proc.File("self"));

    EXPECT_EQ(ProcessList::FindProcessIdByName("Examora", proc.Path()), 7);
    EXPECT_EQ(ProcessList::FindProcessIdByName("BASH", proc.Path()), 3);
    EXPECT_EQ(ProcessList::FindProcessIdByName("Exam", proc.Path()), 0);

    const QString self = QFileInfo(AppFolder::ExecutablePath()).fileName();
    EXPECT_GT(ProcessList::FindProcessIdByName(self.toUpper()), 0);
}

TEST(InstanceLock, OneHolderAtATimeAndReleasedWithItsHolder)
{
    TempFolder folder;
    const QString path = folder.File("Examora.lock");
    auto first = std::make_unique<InstanceLock>(path);
    InstanceLock second(path);
    EXPECT_EQ(first->TryAcquire(), InstanceLock::Result::Acquired);
    EXPECT_EQ(first->TryAcquire(), InstanceLock::Result::Acquired);
    EXPECT_EQ(second.TryAcquire(), InstanceLock::Result::HeldByAnother);
    first.reset();
    EXPECT_EQ(second.TryAcquire(), InstanceLock::Result::Acquired);

    InstanceLock nowhere(folder.File("missing/folder/Examora.lock"));
    EXPECT_EQ(nowhere.TryAcquire(), InstanceLock::Result::Unavailable);
}

TEST(InstanceLock, LivesInTheRuntimeFolderOrPerUserInTmp)
{
    {
        const ScopedEnv runtime("XDG_RUNTIME_DIR", QStringLiteral("/run/user/4242"));
        EXPECT_EQ(InstanceLock::DefaultPath(), "/run/user/4242/Examora.lock");
    }
    const ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(InstanceLock::DefaultPath(), QStringLiteral("/tmp/Examora-%1.lock").arg(getuid()));
}

// Fake handlers on PATH that note their argument and exit with a chosen code.
class ShellOpenTest : public testing::Test
{
protected:
    void Handler(const QString& name, int exitCode)
    {
        TestSupport::WriteScript(m_bin.File(name), QStringLiteral("printf '%s\\n' \"$1\" >> '%1'\nexit %2\n")
                                                       .arg(m_bin.File(name + ".called"))
                                                       .arg(exitCode)
                                                       .toUtf8());
    }
    QByteArray Called(const QString& name) { return m_bin.Read(name + ".called"); }

    TempFolder m_bin;
    ScopedEnv m_path{"PATH", m_bin.Path().chopped(1) + ":/usr/bin:/bin"};
};

bool Outcome(std::future<bool> future)
{
    EXPECT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    return future.get();
}

TEST_F(ShellOpenTest, TheDefaultHandlerGetsTheAddressUntouched)
{
    Handler("xdg-open", 0);
    Handler("x-www-browser", 0);
    const QString address = QStringLiteral("  https://tiku.orva.example/a b?x=1&y=\"2\";$(reboot)");
    EXPECT_TRUE(Outcome(ShellOpen::Open(address)));
    EXPECT_EQ(Called("xdg-open"), address.toUtf8() + "\n");
    EXPECT_TRUE(Called("x-www-browser").isEmpty());
}

TEST_F(ShellOpenTest, FallsBackToTheBrowsersInTurn)
{
    Handler("xdg-open", 3);
    Handler("x-www-browser", 1);
    Handler("sensible-browser", 0);
    EXPECT_TRUE(Outcome(ShellOpen::Open("https://www.orva.example/")));
    EXPECT_EQ(Called("xdg-open"), "https://www.orva.example/\n");
    EXPECT_EQ(Called("x-www-browser"), "https://www.orva.example/\n");
    EXPECT_EQ(Called("sensible-browser"), "https://www.orva.example/\n");
}

TEST_F(ShellOpenTest, ReportsFailureWhenNoHandlerExistsOrAccepts)
{
    const ScopedEnv emptyPath("PATH", m_bin.Path());
    EXPECT_FALSE(Outcome(ShellOpen::Open("https://www.orva.example/")));
    Handler("sensible-browser", 1);
    EXPECT_FALSE(Outcome(ShellOpen::Open("https://www.orva.example/")));
    EXPECT_EQ(Called("sensible-browser"), "https://www.orva.example/\n");
}

TEST_F(ShellOpenTest, OnlyAnExplicitRequestStartsALocalProgram)
{
    Handler("xdg-open", 0);
    TempFolder updatebox;
    TestSupport::WriteScript(updatebox.File("ExamoraUpdate.run"),
                             QStringLiteral("touch '%1'\n").arg(updatebox.File("installer-ran")).toUtf8());

    EXPECT_TRUE(Outcome(ShellOpen::Open(updatebox.File("ExamoraUpdate.run"))));
    EXPECT_EQ(Called("xdg-open"), updatebox.File("ExamoraUpdate.run").toUtf8() + "\n");
    EXPECT_FALSE(updatebox.Exists("installer-ran"));

    EXPECT_TRUE(Outcome(ShellOpen::Open(updatebox.File("ExamoraUpdate.run"), ShellOpen::Mode::AllowExecute)));
    EXPECT_TRUE(TestSupport::WaitFor([&] { return updatebox.Exists("installer-ran"); }));
}

} // namespace
