#include "app/SingleInstance.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using TestSupport::TempFolder;

namespace {

QString UniqueServerName()
{
    return QStringLiteral("examora-test-%1-%2").arg(getpid()).arg(std::rand());
}

// A later start runs its check on another thread while this thread's event loop serves the
// first instance's socket, as two processes would.
bool CheckFromAnotherStart(const QString& lockPath, const QString& serverName)
{
    auto result =
        std::async(std::launch::async, [&] { return SingleInstance(lockPath, serverName).Check(); });
    EXPECT_TRUE(TestSupport::WaitFor(
        [&] { return result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }));
    return result.get();
}

TEST(SingleInstance, ALaterStartBringsTheFirstForwardAndLeaves)
{
    TempFolder folder;
    const QString name = UniqueServerName();
    SingleInstance first(folder.File("Examora.lock"), name);
    ASSERT_TRUE(first.Check());
    std::atomic<int> raised{0};
    ASSERT_TRUE(first.Listen([&] { ++raised; }));

    EXPECT_FALSE(CheckFromAnotherStart(folder.File("Examora.lock"), name));
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(CheckFromAnotherStart(folder.File("Examora.lock"), name));
    EXPECT_EQ(raised, 2);
}

TEST(SingleInstance, ALaterStartGoesOnWhenTheFirstHasNoWindowYet)
{
    TempFolder folder;
    const QString name = UniqueServerName();
    SingleInstance first(folder.File("Examora.lock"), name);
    ASSERT_TRUE(first.Check());
    EXPECT_TRUE(CheckFromAnotherStart(folder.File("Examora.lock"), name));
}

TEST(SingleInstance, AnUnusableLockFileDoesNotStopTheStart)
{
    TempFolder folder;
    SingleInstance instance(folder.File("missing/Examora.lock"), UniqueServerName());
    EXPECT_TRUE(instance.Check());
}

TEST(SingleInstance, AStaleSocketOfACrashedInstanceIsReplaced)
{
    TempFolder folder;
    const QString name = UniqueServerName();
    // What a crash leaves behind: the socket file with nobody listening on it.
    QFile stale(QDir::tempPath() + QLatin1Char('/') + name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance first(folder.File("Examora.lock"), name);
    ASSERT_TRUE(first.Check());
    std::atomic<int> raised{0};
    ASSERT_TRUE(first.Listen([&] { ++raised; }));
    EXPECT_FALSE(CheckFromAnotherStart(folder.File("Examora.lock"), name));
    EXPECT_EQ(raised, 1);
}

} // namespace
