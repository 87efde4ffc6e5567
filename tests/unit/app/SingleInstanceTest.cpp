#include "app/SingleInstance.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <future>

using TestSupport::TempFolder;

namespace {

// A first instance on a private lock file and socket name.
class SingleInstanceTest : public testing::Test
{
protected:
    [[nodiscard]] QString Lock() const { return m_folder.File("Examora.lock"); }

    // The first instance takes the lock and, when asked, shows a window that later starts raise.
    void StartFirst(bool withWindow)
    {
        ASSERT_TRUE(m_first.Check());
        if (withWindow) {
            ASSERT_TRUE(m_first.Listen([this] { ++m_raised; }));
        }
    }

    // A later start runs its check on another thread while this thread's event loop serves the
    // first instance's socket, as two processes would.
    bool CheckFromAnotherStart()
    {
        auto result =
            std::async(std::launch::async, [this] { return SingleInstance(Lock(), m_name).Check(); });
        EXPECT_TRUE(TestSupport::WaitFor(
            [&] { return result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }));
        return result.get();
    }

    TempFolder m_folder;
    const QString m_name = QStringLiteral("examora-test-%1-%2").arg(getpid()).arg(std::rand());
    SingleInstance m_first{Lock(), m_name};
    int m_raised = 0;
};

TEST_F(SingleInstanceTest, ALaterStartBringsTheFirstForwardAndLeaves)
{
    StartFirst(true);
    EXPECT_FALSE(CheckFromAnotherStart());
    EXPECT_EQ(m_raised, 1);
    EXPECT_FALSE(CheckFromAnotherStart());
    EXPECT_EQ(m_raised, 2);
}

TEST_F(SingleInstanceTest, ALaterStartGoesOnWhenTheFirstHasNoWindowYet)
{
    StartFirst(false);
    EXPECT_TRUE(CheckFromAnotherStart());
}

TEST_F(SingleInstanceTest, AStaleSocketOfACrashedInstanceIsReplaced)
{
    // What a crash leaves behind: the socket file with nobody listening on it.
    QFile stale(QDir::tempPath() + QLatin1Char('/') + m_name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    StartFirst(true);
    EXPECT_FALSE(CheckFromAnotherStart());
    EXPECT_EQ(m_raised, 1);
}

TEST(SingleInstance, AnUnusableLockFileDoesNotStopTheStart)
{
    TempFolder folder;
    SingleInstance instance(folder.File("missing/Examora.lock"), SingleInstance::DefaultServerName());
    EXPECT_TRUE(instance.Check());
}

} // namespace
