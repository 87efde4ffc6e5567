#include "DiskAudioTest.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

using namespace AudioFixtures;
using namespace std::chrono_literals;
using TestSupport::WaitFor;

namespace {

class AudioPlayerTest : public DiskAudioTest
{
protected:
    [[nodiscard]] std::string WriteRamp(const QString& name, int rate, int frames) const
    {
        m_folder.Write(name, Wav(rate, 2, StereoRamp(frames)));
        return m_folder.File(name).toStdString();
    }

    // Waits until the device has played the whole of expected, with nothing before, between or
    // after it but silence. (The file may still be an earlier device's for a moment.)
    [[nodiscard]] bool PlaysExactly(const Samples& expected) const
    {
        if (WaitFor([&] { return Sound() == expected; }, 20s)) {
            return true;
        }
        const Samples sound = Sound();
        std::size_t same = 0;
        while (same < std::min(sound.size(), expected.size()) && sound[same] == expected[same]) {
            ++same;
        }
        ADD_FAILURE() << "played " << sound.size() / 2 << " frames, expected " << expected.size() / 2
                      << "; the first " << same / 2 << " agree";
        return false;
    }
};

TEST_F(AudioPlayerTest, PlaysEveryFrameOnceAcrossChunkBordersAndEndsByItself)
{
    // Packets of 1024 frames against a device buffer of 1152: chunk borders fall everywhere.
    ASSERT_TRUE(m_player.PlayAudio(WriteRamp("ramp.wav", 16000, 12000), false));
    EXPECT_TRUE(m_player.IsPlaying());
    EXPECT_TRUE(WaitFor([&] { return !m_player.IsPlaying(); }, 20s)) << "the drained end answers false";
    EXPECT_TRUE(PlaysExactly(StereoRamp(12000)));
    EXPECT_EQ(SoundSpan(Played()), StereoRamp(12000)) << "silence was played between two chunks";
    EXPECT_TRUE(Logged("CAudioPlayer::PlaySoundW", "audio device rate:[16000] channels:[2] samples:[1152]"));
}

TEST_F(AudioPlayerTest, MonoToneKeepsItsRateAndPitchOnTwoEqualChannels)
{
    const QString tone = m_folder.File("tone.mp3");
    ASSERT_TRUE(WriteToneMp3(tone, 22050, 1.0));
    ASSERT_TRUE(m_player.PlayAudio(tone.toStdString(), false));
    ASSERT_TRUE(WaitFor([&] { return !m_player.IsPlaying(); }, 20s));
    ASSERT_TRUE(WaitFor([&] { return Sound().size() >= 2 * 21000; }, 20s));
    m_player.Stop();
    const Samples sound = Sound();
    for (std::size_t i = 0; i < sound.size(); i += 2) {
        ASSERT_EQ(sound[i], sound[i + 1]) << "frame " << i / 2;
    }
    EXPECT_NEAR(Frequency(sound, 0, 22050), 440.0, 2.0);
    EXPECT_TRUE(Logged("CAudioPlayer::PlaySoundW", "audio device rate:[22050] channels:[2] samples:[1152]"));
}

TEST_F(AudioPlayerTest, PauseHoldsBothThreadsAndTheSamePathResumesWhereItStopped)
{
    const std::string path = WriteRamp("ramp.wav", 16000, 24000);
    // Started paused: nothing is read and nothing is played.
    ASSERT_TRUE(m_player.PlayAudio(path, true));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(m_player.QueuedPackets(), 0);
    EXPECT_FALSE(m_player.IsPlaying());
    EXPECT_TRUE(Sound().empty());

    m_player.SetPause(false);
    ASSERT_TRUE(WaitFor([&] { return Sound().size() > 2 * 4000; }));
    m_player.SetPause(true);
    EXPECT_FALSE(m_player.IsPlaying());
    std::this_thread::sleep_for(100ms);
    const int queued = m_player.QueuedPackets();
    const std::size_t played = Sound().size();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(m_player.QueuedPackets(), queued);
    EXPECT_EQ(Sound().size(), played);

    // The same path with packets still queued resumes: no restart, nothing lost or played twice.
    ASSERT_GT(queued, 0);
    ASSERT_TRUE(m_player.PlayAudio(path, false));
    EXPECT_TRUE(m_player.IsPlaying());
    EXPECT_TRUE(PlaysExactly(StereoRamp(24000)));
}

TEST_F(AudioPlayerTest, SamePathAfterTheEndPlaysAgainFromTheStart)
{
    const std::string path = WriteRamp("ramp.wav", 16000, 6000);
    ASSERT_TRUE(m_player.PlayAudio(path, false));
    ASSERT_TRUE(WaitFor([&] { return !m_player.IsPlaying(); }, 20s));
    ASSERT_TRUE(PlaysExactly(StereoRamp(6000)));

    // A new device writes a new file: it must hold the whole ramp again.
    ASSERT_TRUE(m_player.PlayAudio(path, false));
    EXPECT_TRUE(m_player.IsPlaying());
    EXPECT_TRUE(PlaysExactly(StereoRamp(6000)));
}

TEST_F(AudioPlayerTest, NewPathStopsTheOldOne)
{
    ASSERT_TRUE(m_player.PlayAudio(WriteRamp("long.wav", 16000, 160000), false));
    ASSERT_TRUE(WaitFor([&] { return !Sound().empty(); }));

    // The other file has its channels the other way round, so not one frame of it matches the first.
    Samples other = StereoRamp(8000);
    for (auto& sample : other) {
        sample = static_cast<int16_t>(-sample);
    }
    m_folder.Write("other.wav", Wav(16000, 2, other));
    ASSERT_TRUE(m_player.PlayAudio(m_folder.File("other.wav").toStdString(), false));
    EXPECT_TRUE(PlaysExactly(other));
}

TEST_F(AudioPlayerTest, StopWhenIdleLeavesThePlayerIdle)
{
    m_player.Stop();
    m_player.Stop();
    EXPECT_FALSE(m_player.IsPlaying());
    EXPECT_EQ(m_player.QueuedPackets(), 0);
}

TEST_F(AudioPlayerTest, BadInputIsReportedAndNeverShownAsPlaying)
{
    const QString tone = m_folder.File("tone.mp3");
    ASSERT_TRUE(WriteToneMp3(tone, 44100, 1.0));
    m_folder.Write("empty.mp3", {});
    m_folder.Write("notes.mp3", "Listening section, part two: read the questions first.\n");
    const std::vector<std::string> paths = {
        m_folder.File("missing.mp3").toStdString(), m_folder.File("empty.mp3").toStdString(),
        m_folder.File("notes.mp3").toStdString(), "http://127.0.0.1:1/listening.mp3"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(m_player.PlayAudio(tone.toStdString(), false));
        EXPECT_FALSE(m_player.PlayAudio(path, false));
        EXPECT_FALSE(m_player.IsPlaying());
        EXPECT_TRUE(Logged("CAudioPlayer::PlayAudio", "Open Failed. audioPath:[" + path + "]"));
    }
    EXPECT_FALSE(m_player.PlayAudio("", false));
    EXPECT_TRUE(Logged("CAudioPlayer::PlayAudio", "audioPath is Empty."));
}

TEST_F(AudioPlayerTest, TruncatedFilePlaysWhatItHolds)
{
    const QString tone = m_folder.File("tone.mp3");
    ASSERT_TRUE(WriteToneMp3(tone, 44100, 2.0));
    QByteArray bytes = m_folder.Read("tone.mp3");
    m_folder.Write("cut.mp3", bytes.left(bytes.size() / 2 + 77));
    ASSERT_TRUE(m_player.PlayAudio(m_folder.File("cut.mp3").toStdString(), false));
    EXPECT_TRUE(WaitFor([&] { return !m_player.IsPlaying(); }, 20s));
    EXPECT_TRUE(WaitFor([&] { return Sound().size() > 2 * 30000; }));
}

TEST_F(AudioPlayerTest, SurvivesPlayPauseAndStopInAnyOrder)
{
    const std::vector<std::string> paths = {WriteRamp("a.wav", 16000, 32000),
                                            WriteRamp("b.wav", 22050, 8000)};
    std::mt19937 random(20261210);
    const auto end = std::chrono::steady_clock::now() + 4s;
    int operations = 0;
    while (std::chrono::steady_clock::now() < end) {
        switch (random() % 5) {
        case 0:
        case 1:
            m_player.PlayAudio(paths[random() % 2], random() % 4 == 0);
            break;
        case 2:
            m_player.SetPause(random() % 2 == 0);
            break;
        case 3:
            m_player.Stop();
            EXPECT_FALSE(m_player.IsPlaying());
            break;
        default:
            static_cast<void>(m_player.IsPlaying());
            break;
        }
        ++operations;
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
    }
    m_player.Stop();
    EXPECT_FALSE(m_player.IsPlaying());
    EXPECT_GT(operations, 50);
}

} // namespace
