#pragma once

#include "audio/FfmpegTypes.h"

#include <cstdint>
#include <mutex>

// Decodes the packets of one audio stream into frames.
class COrvaDecode
{
public:
    COrvaDecode() = default;
    ~COrvaDecode();
    COrvaDecode(const COrvaDecode&) = delete;
    COrvaDecode& operator=(const COrvaDecode&) = delete;

    // Closes any previous decoder and opens one for the parameters. False, with an ERROR line, when
    // no decoder exists for the codec or it does not open.
    bool Open(Ffmpeg::CodecParametersPtr parameters);
    // Hands a packet to the decoder. False for an empty packet or a closed decoder.
    bool SendPacket(Ffmpeg::PacketPtr packet);
    // Tells the decoder the input has ended, so frames it still holds come out of ReceiveFrame.
    bool SendEndOfInput();
    // The next decoded frame, or null when none is ready (the decoder may need more input).
    [[nodiscard]] Ffmpeg::FramePtr ReceiveFrame();
    void Close();
    // Drops buffered data.
    void Flush();

    // Presentation time of the last frame received, in the stream's milliseconds.
    [[nodiscard]] int64_t Pts() const;

private:
    mutable std::mutex m_mutex;
    AVCodecContext* m_codec = nullptr;
    int64_t m_pts = 0;
};
