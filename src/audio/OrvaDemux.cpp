#include "audio/OrvaDemux.h"

#include "audio/FfmpegLog.h"
#include "diag/Log.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace {

void InitialiseFfmpegOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        FfmpegLog::RouteOnce();
        avformat_network_init();
    });
}

// Milliseconds from a timestamp in the stream's time base; "no timestamp" stays as it is.
int64_t ToMilliseconds(int64_t timestamp, AVRational timeBase)
{
    if (timestamp == AV_NOPTS_VALUE) {
        return timestamp;
    }
    const double unit = timeBase.den == 0 ? 0.0 : static_cast<double>(timeBase.num) / timeBase.den;
    return static_cast<int64_t>(static_cast<double>(timestamp) * 1000.0 * unit);
}

} // namespace

COrvaDemux::COrvaDemux()
{
    InitialiseFfmpegOnce();
}

COrvaDemux::~COrvaDemux()
{
    Close();
}

int COrvaDemux::InterruptCallback(void* demux)
{
    return static_cast<COrvaDemux*>(demux)->m_interrupted.load() ? 1 : 0;
}

bool COrvaDemux::Open(const std::string& url)
{
    Close();
    m_interrupted.store(false);

    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "max_delay", "500", 0);
    // A network input that stops answering gives up after 15 s instead of holding the caller.
    av_dict_set(&options, "rw_timeout", "15000000", 0);

    std::unique_lock lock(m_mutex);
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr) {
        av_dict_free(&options);
        lock.unlock();
        LOG_ERROR << "open " << url << " failed! :" << Ffmpeg::ErrorText(AVERROR(ENOMEM));
        return false;
    }
    format->interrupt_callback = {&COrvaDemux::InterruptCallback, this};
    // On failure avformat_open_input frees the context itself.
    int result = avformat_open_input(&format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result == 0) {
        result = avformat_find_stream_info(format, nullptr);
    }
    if (result >= 0) {
        result = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    }
    if (result < 0) {
        avformat_close_input(&format);
        lock.unlock();
        LOG_ERROR << "open " << url << " failed! :" << Ffmpeg::ErrorText(result);
        return false;
    }
    m_format = format;
    m_totalMs.store(static_cast<int>(format->duration / 1000));
    av_dump_format(format, 0, url.c_str(), 0);
    m_audioStreamIndex.store(result);
    const AVCodecParameters* parameters = format->streams[result]->codecpar;
    m_sampleRate.store(parameters->sample_rate);
    m_channels.store(parameters->ch_layout.nb_channels);
    return true;
}

Ffmpeg::PacketPtr COrvaDemux::ReadPacket()
{
    const std::lock_guard lock(m_mutex);
    if (m_format == nullptr) {
        return nullptr;
    }
    Ffmpeg::PacketPtr packet(av_packet_alloc());
    if (packet == nullptr || av_read_frame(m_format, packet.get()) != 0) {
        m_atEnd.store(true);
        return nullptr;
    }
    const AVRational timeBase = m_format->streams[packet->stream_index]->time_base;
    packet->pts = ToMilliseconds(packet->pts, timeBase);
    packet->dts = ToMilliseconds(packet->dts, timeBase);
    return packet;
}

bool COrvaDemux::IsAudioPacket(const AVPacket* packet) const
{
    return packet != nullptr && packet->stream_index == m_audioStreamIndex.load();
}

Ffmpeg::CodecParametersPtr COrvaDemux::CopyAudioParams()
{
    const std::lock_guard lock(m_mutex);
    if (m_format == nullptr) {
        return nullptr;
    }
    Ffmpeg::CodecParametersPtr parameters(avcodec_parameters_alloc());
    if (parameters == nullptr ||
        avcodec_parameters_copy(parameters.get(), m_format->streams[m_audioStreamIndex.load()]->codecpar) <
            0) {
        return nullptr;
    }
    return parameters;
}

bool COrvaDemux::SeekFraction(double position)
{
    const std::lock_guard lock(m_mutex);
    if (m_format == nullptr || m_seekStreamIndex >= static_cast<int>(m_format->nb_streams)) {
        return false;
    }
    FlushLocked();
    const auto timestamp =
        static_cast<int64_t>(static_cast<double>(m_format->streams[m_seekStreamIndex]->duration) * position);
    return av_seek_frame(m_format, m_seekStreamIndex, timestamp, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_FRAME) >=
           0;
}

void COrvaDemux::Flush()
{
    const std::lock_guard lock(m_mutex);
    if (m_format != nullptr) {
        FlushLocked();
    }
}

void COrvaDemux::FlushLocked()
{
    if (m_format->pb != nullptr) {
        avio_flush(m_format->pb);
    }
    avformat_flush(m_format);
}

void COrvaDemux::Close()
{
    const std::lock_guard lock(m_mutex);
    if (m_format != nullptr) {
        avformat_close_input(&m_format);
    }
    m_totalMs.store(0);
}
