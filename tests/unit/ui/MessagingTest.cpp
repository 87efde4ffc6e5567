#include "GuiTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "messages/WindowMessages.h"
#include "service/HttpTransport.h"

#include <QApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

using GuiTestSupport::RecordingWindow;
using GuiTestSupport::TestLayout;
using TestSupport::WaitFor;

namespace {

constexpr UINT kPing = WM_USER + 500;

// A record that counts how many of its kind are alive, so a leak or a double free shows.
struct CountedRecord
{
    static inline std::atomic<int> live{0};
    explicit CountedRecord(int v)
        : value(v)
    {
        ++live;
    }
    ~CountedRecord() { --live; }
    CountedRecord(const CountedRecord&) = delete;
    CountedRecord& operator=(const CountedRecord&) = delete;
    int value;
};

class MessagingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CountedRecord::live = 0;
        m_window = std::make_unique<RecordingWindow>(TestLayout(QStringLiteral("Blank.xml")));
        m_window->Create({}, QStringLiteral("messages"), WS_POPUP, 0);
    }
    void TearDown() override
    {
        m_window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        EXPECT_EQ(CountedRecord::live.load(), 0) << "a message record was leaked";
    }

    std::unique_ptr<RecordingWindow> m_window;
};

TEST_F(MessagingTest, PostedMessagesArriveInOrderAndTheReceiverTakesTheRecord)
{
    std::vector<int> taken;
    m_window->onMessage = [&](WindowMessage& message) {
        if (auto record = message.record.Take<CountedRecord>()) {
            taken.push_back(record->value);
        }
    };
    const WindowHandle window = m_window->GetHWND();
    EXPECT_TRUE(PostMessage(window, kPing, 1));
    EXPECT_TRUE(PostMessage(window, kPing + 1, 0, 0, std::make_unique<CountedRecord>(7)));
    EXPECT_TRUE(PostMessage(window, kPing + 2));
    // Not taken by the receiver (another type asked for): destroyed with the message.
    EXPECT_TRUE(
        PostUserMessage<WM_MENU_COMMAND>(window, std::make_unique<MenuCommand>(MenuCommand{"menu_about"})));
    ASSERT_TRUE(WaitFor([&] { return m_window->messages.size() >= 4; }));
    EXPECT_EQ(m_window->messages, (std::vector<UINT>{kPing, kPing + 1, kPing + 2, WM_MENU_COMMAND}));
    EXPECT_EQ(taken, std::vector<int>{7});
}

TEST_F(MessagingTest, TypedRecordsGoOnlyToTheirOwnMessage)
{
    std::unique_ptr<MenuCommand> command;
    int others = 0;
    m_window->onMessage = [&](WindowMessage& message) {
        if (message.message == kPing) {
            // A record is only taken by the message it was sent with and as its own type.
            others += TakeRecord<WM_MENU_COMMAND>(message) != nullptr ? 1 : 0;
            others += message.record.Take<MenuCommand>() != nullptr ? 1 : 0;
        }
        if (auto taken = TakeRecord<WM_MENU_COMMAND>(message)) {
            command = std::move(taken);
        }
    };
    ASSERT_TRUE(SendMessage(m_window->GetHWND(), kPing, 0, 0, std::make_unique<CountedRecord>(3)));
    ASSERT_TRUE(SendUserMessage<WM_MENU_COMMAND>(m_window->GetHWND(),
                                                 std::make_unique<MenuCommand>(MenuCommand{"tray_exit"})));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->name, QStringLiteral("tray_exit"));
    EXPECT_EQ(others, 0);
}

TEST_F(MessagingTest, AGoneWindowRefusesMessagesAndFreesTheirRecords)
{
    const WindowHandle window = m_window->GetHWND();
    const WindowHandle copy = window;
    EXPECT_TRUE(copy.IsWindow());
    m_window->Close(5);
    ASSERT_TRUE(WaitFor([&] { return !window.IsWindow(); }));
    EXPECT_FALSE(copy.IsWindow());
    EXPECT_FALSE(PostMessage(copy, kPing, 0, 0, std::make_unique<CountedRecord>(1)));
    EXPECT_FALSE(SendMessage(copy, kPing, 0, 0, std::make_unique<CountedRecord>(2)));
    EXPECT_FALSE(PostMessage(WindowHandle(), kPing));
    EXPECT_EQ(CountedRecord::live.load(), 0);
}

TEST_F(MessagingTest, SendFromAWorkerWaitsForTheHandlerOnTheUiThread)
{
    QThread* handlerThread = nullptr;
    m_window->onMessage = [&](WindowMessage& message) {
        if (message.message == kPing) {
            handlerThread = QThread::currentThread();
            EXPECT_EQ(message.record.Take<CountedRecord>()->value, 9);
        }
    };
    std::atomic<bool> done{false};
    bool delivered = false;
    LRESULT result = -1;
    std::thread worker([&] {
        delivered =
            SendMessage(m_window->GetHWND(), kPing, 0, 0, std::make_unique<CountedRecord>(9), &result);
        // The receiver has handled (and freed) the record by the time the sender goes on.
        EXPECT_EQ(CountedRecord::live.load(), 0);
        done = true;
    });
    EXPECT_TRUE(WaitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(delivered);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(handlerThread, QApplication::instance()->thread());
}

TEST_F(MessagingTest, WorkersSendingToAClosingWindowNeitherHangNorLeak)
{
    constexpr int kPerThread = 1500;
    std::atomic<int> delivered{0};
    std::atomic<int> refused{0};
    std::atomic<int> finished{0};
    m_window->onMessage = [&](WindowMessage& message) {
        // Half of the records are taken by the window, half are left to the message.
        if (message.message == kPing && message.wParam % 2 == 0) {
            static_cast<void>(message.record.Take<CountedRecord>());
        }
        if (message.message == kPing && message.wParam == 700) {
            m_window->Close(0);
        }
    };
    const WindowHandle window = m_window->GetHWND();
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const bool sent = t == 0 ? SendMessage(window, kPing, static_cast<WPARAM>(i), 0,
                                                       std::make_unique<CountedRecord>(i))
                                         : PostMessage(window, kPing, static_cast<WPARAM>(i), 0,
                                                       std::make_unique<CountedRecord>(i));
                ++(sent ? delivered : refused);
            }
            ++finished;
        });
    }
    // The window closes while the workers are still at it; the object goes too.
    ASSERT_TRUE(WaitFor([&] { return !window.IsWindow(); }, std::chrono::seconds(30)));
    m_window.reset();
    EXPECT_TRUE(WaitFor([&] { return finished.load() == 3; }, std::chrono::seconds(30)));
    for (auto& worker : workers) {
        worker.join();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered + refused, 3 * kPerThread);
    EXPECT_GT(refused.load(), 0);
}

// Sleeps on the UI thread without handling events, so that what other threads queue stays queued.
void SleepWithoutEvents(std::chrono::milliseconds time)
{
    std::this_thread::sleep_for(time);
}

// A late reply reaches no closed window: what was queued behind WM_CLOSE (posted here, sent by a
// worker) is dropped with its record, and the worker is told nothing was delivered.
TEST_F(MessagingTest, MessagesQueuedBeforeTheCloseReachNoDestroyedWindow)
{
    const WindowHandle window = m_window->GetHWND();
    m_window->Close(0);
    EXPECT_TRUE(PostMessage(window, kPing, 0, 0, std::make_unique<CountedRecord>(1)));
    std::atomic<bool> sending{false};
    std::atomic<int> sent{-1};
    std::thread worker([&] {
        sending = true;
        sent = SendMessage(window, kPing + 1, 0, 0, std::make_unique<CountedRecord>(2)) ? 1 : 0;
    });
    while (!sending) {
        SleepWithoutEvents(std::chrono::milliseconds(1));
    }
    SleepWithoutEvents(std::chrono::milliseconds(100));
    ASSERT_TRUE(WaitFor([&] { return sent.load() != -1; }));
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(sent.load(), 0) << "the worker was told a destroyed window handled its message";
    const auto destroyed = std::find(m_window->messages.begin(), m_window->messages.end(), UINT{WM_DESTROY});
    ASSERT_NE(destroyed, m_window->messages.end());
    EXPECT_EQ(std::next(destroyed), m_window->messages.end())
        << "a message reached the window after WM_DESTROY";
    EXPECT_EQ(CountedRecord::live.load(), 0);
}

// The UI thread may wait for a worker that is itself waiting for the UI thread inside SendMessage
// (stopping the HTTP transport while a reply is on its way to a window): with sends refused for
// the wait, the worker is released and nothing is delivered later.
TEST_F(MessagingTest, StoppingTheTransportWhileACompletionSendsToAWindowDoesNotDeadlock)
{
    LoopbackHttpServer server("reply");
    ASSERT_TRUE(InitHttpTransport());
    const WindowHandle window = m_window->GetHWND();
    std::atomic<bool> sending{false};
    std::atomic<int> sent{-1};
    HttpRequest request(server.Url("x"), nullptr, 0, [&](bool, int, const std::string&) {
        sending = true;
        sent = SendMessage(window, kPing, 0, 0, std::make_unique<CountedRecord>(3)) ? 1 : 0;
    });
    ASSERT_NE(request.Post(), 0);
    while (!sending) {
        SleepWithoutEvents(std::chrono::milliseconds(1));
    }
    SleepWithoutEvents(std::chrono::milliseconds(50));

    // A deadlock would hang the test binary: end it with a clear word instead.
    std::atomic<bool> stopped{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !stopped; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!stopped) {
            std::fputs("deadlock: the transport did not stop in 30 s\n", stderr);
            std::_Exit(3);
        }
    });
    {
        const CrossThreadSendsRefused refused;
        ShutdownHttpTransport();
    }
    stopped = true;
    watchdog.join();
    EXPECT_EQ(sent.load(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(m_window->messages.begin(), m_window->messages.end(), kPing), 0);
    EXPECT_EQ(CountedRecord::live.load(), 0);

    // Sends work again once the wait is over.
    std::thread later(
        [&] { sent = SendMessage(window, kPing, 0, 0, std::make_unique<CountedRecord>(4)) ? 1 : 0; });
    EXPECT_TRUE(WaitFor([&] { return sent.load() == 1; }));
    later.join();
}

TEST_F(MessagingTest, TimersTickByIdAndTheCountdownProcedureOnlyForItsOwnId)
{
    std::vector<WPARAM> timers;
    int ticks = 0;
    m_window->onMessage = [&](WindowMessage& message) {
        if (message.message == WM_TIMER) {
            timers.push_back(message.wParam);
        }
        ticks += message.message == WM_USER_COUNTDOWN_TICK ? 1 : 0;
    };
    ASSERT_TRUE(m_window->SetTimer(7, 5));
    ASSERT_TRUE(WaitFor([&] { return timers.size() >= 2; }));
    EXPECT_EQ(timers.front(), 7U);
    EXPECT_TRUE(m_window->KillTimer(7));
    EXPECT_FALSE(m_window->KillTimer(7));

    ASSERT_TRUE(m_window->SetTimer(99, 5, &CountdownTimerProc));
    ASSERT_TRUE(m_window->SetTimer(TIMER_ID_COUNTDOWN, 5, &CountdownTimerProc));
    ASSERT_TRUE(WaitFor([&] { return ticks >= 3; }));
    m_window->KillTimer(TIMER_ID_COUNTDOWN);
    const int afterKill = ticks;
    QTest::qWait(50);
    EXPECT_EQ(ticks, afterKill) << "timer 99 must not tick the countdown";
}

} // namespace
