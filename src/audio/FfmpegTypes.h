#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

#include <memory>
#include <string>

// Owning handles for the FFmpeg objects the audio pipeline passes between its stages: whoever holds
// the handle owns the object, and a handle going out of scope frees it the way FFmpeg wants.
namespace Ffmpeg {

struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameDeleter
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct CodecParametersDeleter
{
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};

using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersDeleter>;

// FFmpeg's text for an error code, through a 1024-byte buffer.
[[nodiscard]] inline std::string ErrorText(int error)
{
    char text[1024] = {};
    av_strerror(error, text, sizeof(text) - 1);
    return text;
}

} // namespace Ffmpeg
