#pragma once

#include "audio/FfmpegTypes.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

struct SwrContext;

// Converts decoded frames to interleaved signed 16-bit stereo at the input's own sample rate (the
// rate the stream header gives when it is opened).
// Open, Convert and Close are called from one thread at a time; the lock covers open and close.
class COrvaResample
{
public:
    // Bytes per converted sample frame: two channels of two bytes.
    static constexpr int kBytesPerFrame = 4;

    COrvaResample() = default;
    ~COrvaResample();
    COrvaResample(const COrvaResample&) = delete;
    COrvaResample& operator=(const COrvaResample&) = delete;

    // Sets the converter up for input of these parameters; the caller keeps the parameters.
    bool Open(const AVCodecParameters* parameters);
    // Converts the frame into output (at most capacity bytes) and returns the bytes written, or the
    // converter's result when it is below 1. The frame is consumed in every case.
    int Convert(Ffmpeg::FramePtr frame, uint8_t* output, std::size_t capacity);
    void Close();

private:
    struct InputFormat
    {
        AVSampleFormat format = AV_SAMPLE_FMT_NONE;
        int channels = 0;
        int rate = 0;
        bool operator==(const InputFormat&) const = default;
    };
    bool Configure(const InputFormat& input);

    std::mutex m_mutex;
    SwrContext* m_swr = nullptr;
    InputFormat m_input;
    int m_outputRate = 0;
};
