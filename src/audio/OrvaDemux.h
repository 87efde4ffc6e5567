#pragma once

#include "audio/FfmpegTypes.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

struct AVFormatContext;

// Opens an audio file or stream address and reads its packets. Packets come out with their pts and
// dts in milliseconds; the caller owns every packet and parameter set it is given.
class COrvaDemux
{
public:
    COrvaDemux();
    ~COrvaDemux();
    COrvaDemux(const COrvaDemux&) = delete;
    COrvaDemux& operator=(const COrvaDemux&) = delete;

    // Closes any previous input, then opens url (a UTF-8 path or stream address) and chooses its
    // best audio stream. False, with an ERROR line, when it does not open or has no audio stream.
    bool Open(const std::string& url);
    // The next packet, or null at the end of the input, on a read error or while closed.
    [[nodiscard]] Ffmpeg::PacketPtr ReadPacket();
    [[nodiscard]] bool IsAudioPacket(const AVPacket* packet) const;
    // A copy of the audio stream's codec parameters; null while closed.
    [[nodiscard]] Ffmpeg::CodecParametersPtr CopyAudioParams();
    // Seeks to a fraction (0.0 to 1.0) of the whole.
    bool SeekFraction(double position);
    void Flush();
    void Close();

    // Makes a blocked open or read give up (a stalled network stream, say). The next Open clears it.
    void Interrupt() { m_interrupted.store(true); }

    [[nodiscard]] int TotalMs() const { return m_totalMs.load(); }
    [[nodiscard]] int SampleRate() const { return m_sampleRate.load(); }
    [[nodiscard]] int Channels() const { return m_channels.load(); }
    // Set by the first failed read and kept for the life of the object.
    [[nodiscard]] bool AtEnd() const { return m_atEnd.load(); }

private:
    static int InterruptCallback(void* demux);
    void FlushLocked();

    std::atomic<int> m_totalMs{0};
    std::atomic<int> m_sampleRate{0};
    std::atomic<int> m_channels{0};
    std::atomic<bool> m_atEnd{false};
    std::atomic<bool> m_interrupted{false};
    mutable std::mutex m_mutex;
    AVFormatContext* m_format = nullptr;
    int m_seekStreamIndex = 0;
    std::atomic<int> m_audioStreamIndex{1};
};
