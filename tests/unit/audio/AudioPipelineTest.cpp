#include "AudioFixtures.h"
#include "CapturingSink.h"
#include "TestSupport.h"
#include "audio/OrvaDecode.h"
#include "audio/OrvaDemux.h"
#include "audio/OrvaResample.h"
#include "diag/Log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace AudioFixtures;
using ::testing::HasSubstr;
using TestSupport::TempFolder;

namespace {

class AudioPipelineTest : public ::testing::Test
{
protected:
    void SetUp() override { Log::Install(m_log, 6); }

    [[nodiscard]] std::string WriteWav(const QString& name, int rate, int channels,
                                       const Samples& samples) const
    {
        m_folder.Write(name, Wav(rate, channels, samples));
        return m_folder.File(name).toStdString();
    }

    [[nodiscard]] bool Logged(const std::string& function, const std::string& text)
    {
        for (const auto& entry : m_log->Entries()) {
            if (entry.function == function && entry.message.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // Decodes and converts the whole input, as the player's threads do between them.
    [[nodiscard]] static Samples DecodeAll(COrvaDemux& demux, std::size_t capacity = 1 << 20)
    {
        COrvaDecode decode;
        COrvaResample resample;
        EXPECT_TRUE(resample.Open(demux.CopyAudioParams().get()));
        EXPECT_TRUE(decode.Open(demux.CopyAudioParams()));
        Samples pcm;
        std::vector<uint8_t> buffer(capacity);
        auto drain = [&] {
            while (auto frame = decode.ReceiveFrame()) {
                const int size = resample.Convert(std::move(frame), buffer.data(), buffer.size());
                EXPECT_LE(size, static_cast<int>(buffer.size()));
                const auto* samples = reinterpret_cast<const int16_t*>(buffer.data());
                pcm.insert(pcm.end(), samples, samples + std::max(size, 0) / 2);
            }
        };
        while (auto packet = demux.ReadPacket()) {
            if (demux.IsAudioPacket(packet.get())) {
                EXPECT_TRUE(decode.SendPacket(std::move(packet)));
                drain();
            }
        }
        decode.SendEndOfInput();
        drain();
        return pcm;
    }

    TempFolder m_folder;
    std::shared_ptr<CapturingSink> m_log = std::make_shared<CapturingSink>();
};

TEST_F(AudioPipelineTest, PacketTimesComeOutInMilliseconds)
{
    // 16-bit mono at 8192 Hz: the WAV reader cuts packets of 4096 bytes, one every 250 ms.
    COrvaDemux demux;
    ASSERT_TRUE(demux.Open(WriteWav("tone.wav", 8192, 1, Samples(8192 * 2, 100))));
    EXPECT_EQ(demux.SampleRate(), 8192);
    EXPECT_EQ(demux.Channels(), 1);
    EXPECT_EQ(demux.TotalMs(), 2000);
    std::vector<int64_t> times;
    while (auto packet = demux.ReadPacket()) {
        times.push_back(packet->pts);
    }
    ASSERT_EQ(times.size(), 8U);
    for (std::size_t i = 0; i < times.size(); ++i) {
        EXPECT_EQ(times[i], static_cast<int64_t>(i) * 250);
    }
    EXPECT_TRUE(demux.AtEnd());
    EXPECT_EQ(demux.ReadPacket(), nullptr);
}

TEST_F(AudioPipelineTest, StereoPcmPassesUnchangedAndMonoBecomesTwoEqualChannels)
{
    const Samples ramp = StereoRamp(5000);
    COrvaDemux demux;
    ASSERT_TRUE(demux.Open(WriteWav("stereo.wav", 22050, 2, ramp)));
    EXPECT_EQ(DecodeAll(demux), ramp);

    // Opening another input replaces the first one.
    Samples mono(3000);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        mono[i] = static_cast<int16_t>(static_cast<int>(i % 200) * 100 - 10000);
    }
    ASSERT_TRUE(demux.Open(WriteWav("mono.wav", 11025, 1, mono)));
    EXPECT_EQ(demux.SampleRate(), 11025);
    EXPECT_EQ(demux.Channels(), 1);
    const Samples stereo = DecodeAll(demux);
    ASSERT_EQ(stereo.size(), mono.size() * 2) << "the sample rate is kept: one output frame per input sample";
    for (std::size_t i = 0; i < mono.size(); ++i) {
        ASSERT_EQ(stereo[2 * i], stereo[2 * i + 1]) << "frame " << i;
        // Mono spreads over both speakers at FFmpeg's default level (-3 dB per channel).
        ASSERT_NEAR(stereo[2 * i], mono[i] * 0.7071, 2.0) << "frame " << i;
    }
}

TEST_F(AudioPipelineTest, CompressedToneDecodesAtItsOwnRateAndPitch)
{
    const QString path = m_folder.File("tone.mp3");
    ASSERT_TRUE(WriteToneMp3(path, 22050, 1.0));
    COrvaDemux demux;
    ASSERT_TRUE(demux.Open(path.toStdString()));
    EXPECT_EQ(demux.SampleRate(), 22050);
    const Samples pcm = DecodeAll(demux);
    EXPECT_NEAR(static_cast<double>(pcm.size()) / 2, 22050, 22050 * 0.1);
    EXPECT_NEAR(Frequency(pcm, 0, 22050), 440.0, 2.0);
    EXPECT_NEAR(Frequency(pcm, 1, 22050), 440.0, 2.0);
}

TEST_F(AudioPipelineTest, PacketsOfAnAttachedPictureAreNotAudio)
{
    const QString tone = m_folder.File("tone.mp3");
    const QString picture = m_folder.File("cover.png");
    const QString cover = m_folder.File("cover.mp3");
    ASSERT_TRUE(WriteToneMp3(tone, 44100, 0.5));
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "color=c=blue:s=32x32", "-frames:v", "1", picture}));
    ASSERT_TRUE(RunFfmpeg({"-i", picture, "-i", tone, "-map", "0:v", "-map", "1:a", "-c:v", "mjpeg", "-c:a",
                           "copy", "-disposition:v", "attached_pic", cover}));
    COrvaDemux demux;
    ASSERT_TRUE(demux.Open(cover.toStdString()));
    int audio = 0;
    int other = 0;
    while (auto packet = demux.ReadPacket()) {
        ++(demux.IsAudioPacket(packet.get()) ? audio : other);
    }
    EXPECT_EQ(other, 1);
    EXPECT_GT(audio, 10);
    EXPECT_FALSE(demux.IsAudioPacket(nullptr));
}

TEST_F(AudioPipelineTest, InputsThatHoldNoAudioDoNotOpen)
{
    m_folder.Write("empty.mp3", {});
    m_folder.Write("notes.mp3", "These are the notes for the listening section, not audio.\n");
    ASSERT_TRUE(RunFfmpeg(
        {"-f", "lavfi", "-i", "color=c=red:s=16x16", "-frames:v", "1", m_folder.File("picture.png")}));
    for (const QString name : {"missing.mp3", "empty.mp3", "notes.mp3", "picture.png"}) {
        SCOPED_TRACE(name.toStdString());
        const std::string path = m_folder.File(name).toStdString();
        COrvaDemux demux;
        EXPECT_FALSE(demux.Open(path));
        EXPECT_TRUE(Logged("COrvaDemux::Open", "open " + path + " failed! :"));
        EXPECT_EQ(demux.ReadPacket(), nullptr);
        EXPECT_EQ(demux.CopyAudioParams(), nullptr);
    }
}

TEST_F(AudioPipelineTest, DecoderRefusesWhatItCannotUse)
{
    COrvaDecode decode;
    Ffmpeg::CodecParametersPtr unknown(avcodec_parameters_alloc());
    unknown->codec_id = AV_CODEC_ID_NONE;
    EXPECT_FALSE(decode.Open(std::move(unknown)));
    EXPECT_TRUE(Logged("COrvaDecode::Open", "can't find the codec id 0"));
    EXPECT_FALSE(decode.Open(nullptr));

    Ffmpeg::PacketPtr empty(av_packet_alloc());
    EXPECT_FALSE(decode.SendPacket(nullptr));
    EXPECT_FALSE(decode.SendPacket(std::move(empty)));
    EXPECT_EQ(decode.ReceiveFrame(), nullptr);
}

TEST_F(AudioPipelineTest, ConversionNeverWritesPastTheBuffer)
{
    // A frame larger than the buffer it is converted into is cut to the buffer; the rest stays in
    // the converter rather than overrunning the memory after it.
    COrvaDemux demux;
    ASSERT_TRUE(demux.Open(WriteWav("long.wav", 8000, 2, StereoRamp(4096))));
    const Samples pcm = DecodeAll(demux, 400);
    ASSERT_FALSE(pcm.empty());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), StereoRamp(4096).begin()));

    COrvaResample resample;
    EXPECT_FALSE(resample.Open(nullptr));
    uint8_t buffer[16];
    EXPECT_EQ(resample.Convert(Ffmpeg::FramePtr(av_frame_alloc()), buffer, sizeof(buffer)), 0);
}

} // namespace
