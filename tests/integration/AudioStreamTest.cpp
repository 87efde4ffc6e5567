#include "DiskAudioTest.h"
#include "LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace AudioFixtures;
using namespace std::chrono_literals;
using TestSupport::WaitFor;

namespace {

// Listening files served over HTTP, played into SDL's disk driver.
using AudioStreamTest = DiskAudioTest;

TEST_F(AudioStreamTest, StreamAddressPlaysLikeAFile)
{
    const Samples ramp = StereoRamp(12000);
    const QByteArray wav = Wav(16000, 2, ramp);
    LoopbackHttpServer server(wav.toStdString());
    ASSERT_TRUE(m_player.PlayAudio(server.Url("listening/part1.wav"), false));
    EXPECT_TRUE(m_player.IsPlaying());
    EXPECT_TRUE(WaitFor([&] { return !m_player.IsPlaying(); }, 20s));
    EXPECT_TRUE(WaitFor([&] { return Sound().size() >= ramp.size(); }, 20s));
    EXPECT_EQ(Sound(), ramp);
    EXPECT_EQ(server.Requests().size(), 1U);
}

TEST_F(AudioStreamTest, StopDoesNotWaitForAServerThatStoppedSending)
{
    // The server sends the header and about seven seconds of frames (enough for the opening to
    // look the stream over), then holds the connection without sending more: the read thread
    // ends up stuck in a read that only the stop can end.
    constexpr int kSentFrames = 7 * 8000;
    const Samples ramp = StereoRamp(80000);
    LoopbackHttpServer server(Wav(8000, 2, ramp).toStdString(), 44 + kSentFrames * 4);
    ASSERT_TRUE(m_player.PlayAudio(server.Url("listening/stalled.wav"), false));
    ASSERT_TRUE(WaitFor([&] { return !Sound().empty(); }));
    EXPECT_TRUE(m_player.IsPlaying()) << "a stalled stream has not ended";

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        m_player.Stop();
        stopped.store(true);
    });
    // Far below the read time-out of the stream: the stop cuts the read short.
    EXPECT_TRUE(WaitFor([&] { return stopped.load(); }, 5s));
    stopper.join();
    EXPECT_FALSE(m_player.IsPlaying());
    const Samples played = Sound();
    EXPECT_TRUE(std::equal(played.begin(), played.end(), ramp.begin()));
}

TEST_F(AudioStreamTest, UnreachableServerIsAnOpenFailure)
{
    const std::string address = [] {
        // A port that was just free: nothing listens there.
        LoopbackHttpServer closed(std::string{});
        return closed.Url("gone.mp3");
    }();
    EXPECT_FALSE(m_player.PlayAudio(address, false));
    EXPECT_FALSE(m_player.IsPlaying());
    EXPECT_TRUE(Logged("CAudioPlayer::PlayAudio", "Open Failed. audioPath:[" + address + "]"));
}

} // namespace
