#include "audio/OrvaResample.h"

#include "diag/Log.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>

COrvaResample::~COrvaResample()
{
    Close();
}

bool COrvaResample::Open(const AVCodecParameters* parameters)
{
    if (parameters == nullptr) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    m_outputRate = parameters->sample_rate;
    return Configure({static_cast<AVSampleFormat>(parameters->format), parameters->ch_layout.nb_channels,
                      parameters->sample_rate});
}

bool COrvaResample::Configure(const InputFormat& input)
{
    // The input layout is the default one for its channel count; the stream's own layout field is
    // often unset or unusual, and the count is what the decoded planes follow.
    AVChannelLayout inputLayout{};
    av_channel_layout_default(&inputLayout, input.channels);
    AVChannelLayout outputLayout{};
    av_channel_layout_default(&outputLayout, 2);
    int result = swr_alloc_set_opts2(&m_swr, &outputLayout, AV_SAMPLE_FMT_S16, m_outputRate, &inputLayout,
                                     input.format, input.rate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (result >= 0) {
        result = swr_init(m_swr);
    }
    if (result < 0) {
        swr_free(&m_swr);
        const std::string text = "swr_init  failed! :" + Ffmpeg::ErrorText(result);
        std::printf("%s\n", text.c_str());
        LOG_ERROR << text;
        return false;
    }
    m_input = input;
    return true;
}

int COrvaResample::Convert(Ffmpeg::FramePtr frame, uint8_t* output, std::size_t capacity)
{
    if (frame == nullptr || output == nullptr || m_swr == nullptr) {
        return 0;
    }
    // A decoder may report another format than the stream header promised (parametric stereo in
    // AAC, say), or a stream may change mid-way: follow the frames, keep the output rate.
    const InputFormat input{static_cast<AVSampleFormat>(frame->format), frame->ch_layout.nb_channels,
                            frame->sample_rate};
    if (input != m_input && !Configure(input)) {
        return 0;
    }
    const int room = static_cast<int>(std::min<std::size_t>(capacity / kBytesPerFrame, INT32_MAX));
    uint8_t* planes[] = {output};
    const int converted =
        swr_convert(m_swr, planes, std::min(swr_get_out_samples(m_swr, frame->nb_samples), room),
                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    return converted < 1 ? converted : converted * kBytesPerFrame;
}

void COrvaResample::Close()
{
    const std::lock_guard lock(m_mutex);
    swr_free(&m_swr);
    m_input = {};
}
