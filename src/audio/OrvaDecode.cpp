#include "audio/OrvaDecode.h"

#include "diag/Log.h"

COrvaDecode::~COrvaDecode()
{
    Close();
}

bool COrvaDecode::Open(Ffmpeg::CodecParametersPtr parameters)
{
    Close();
    if (parameters == nullptr) {
        return false;
    }
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) {
        LOG_ERROR << "can't find the codec id " << static_cast<int>(parameters->codec_id);
        return false;
    }
    std::unique_lock lock(m_mutex);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    int result = codec != nullptr ? avcodec_parameters_to_context(codec, parameters.get()) : AVERROR(ENOMEM);
    parameters.reset();
    if (result >= 0) {
        codec->thread_count = 8;
        result = avcodec_open2(codec, decoder, nullptr);
    }
    if (result < 0) {
        avcodec_free_context(&codec);
        lock.unlock();
        LOG_ERROR << "avcodec_open2  failed! :" << Ffmpeg::ErrorText(result);
        return false;
    }
    m_codec = codec;
    return true;
}

bool COrvaDecode::SendPacket(Ffmpeg::PacketPtr packet)
{
    if (packet == nullptr || packet->size <= 0 || packet->data == nullptr) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    return m_codec != nullptr && avcodec_send_packet(m_codec, packet.get()) == 0;
}

bool COrvaDecode::SendEndOfInput()
{
    const std::lock_guard lock(m_mutex);
    return m_codec != nullptr && avcodec_send_packet(m_codec, nullptr) == 0;
}

Ffmpeg::FramePtr COrvaDecode::ReceiveFrame()
{
    const std::lock_guard lock(m_mutex);
    if (m_codec == nullptr) {
        return nullptr;
    }
    Ffmpeg::FramePtr frame(av_frame_alloc());
    if (frame == nullptr || avcodec_receive_frame(m_codec, frame.get()) != 0) {
        return nullptr;
    }
    m_pts = frame->pts;
    return frame;
}

void COrvaDecode::Close()
{
    const std::lock_guard lock(m_mutex);
    avcodec_free_context(&m_codec);
    m_pts = 0;
}

void COrvaDecode::Flush()
{
    const std::lock_guard lock(m_mutex);
    if (m_codec != nullptr) {
        avcodec_flush_buffers(m_codec);
    }
}

int64_t COrvaDecode::Pts() const
{
    const std::lock_guard lock(m_mutex);
    return m_pts;
}
