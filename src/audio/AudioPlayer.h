#pragma once

#include "audio/FfmpegTypes.h"
#include "audio/PcmRing.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class COrvaDemux;
class COrvaDecode;
class COrvaResample;

// Plays one audio file or stream address at a time for the exam page. A read thread fills a
// bounded packet queue from the demultiplexer; a play thread decodes and converts the packets and
// hands the PCM to the audio device's callback. Public operations belong to the UI thread.
class CAudioPlayer
{
public:
    static constexpr int kQueueBound = 5000;
    static constexpr std::size_t kPcmBufferBytes = 1048576;
    static constexpr uint16_t kDeviceSamples = 1152;

    // The process-wide player, created on first use and kept until the process ends.
    static CAudioPlayer& GetInstance();

    // Plays path (a UTF-8 file path or stream address), or with the current path and packets still
    // queued, only sets the pause state. False when the path is empty or does not open.
    bool PlayAudio(const std::string& path, bool paused);
    bool SetPause(bool paused);
    // True while a file is loaded, not paused, and not both read to its end and drained from the queue.
    [[nodiscard]] bool IsPlaying() const;
    // Ends playback and releases the file, the threads and the device.
    void Stop();

    // Packets waiting for the play thread.
    [[nodiscard]] int QueuedPackets() const;

    CAudioPlayer(const CAudioPlayer&) = delete;
    CAudioPlayer& operator=(const CAudioPlayer&) = delete;

private:
    CAudioPlayer();
    ~CAudioPlayer() = default;

    void StartThreads();
    void ReadLoop();
    void PushPackage(Ffmpeg::PacketPtr packet);
    Ffmpeg::PacketPtr PopPackage();
    void PlaySoundW();
    bool DeliverFrames(uint8_t* pcm, std::size_t fillTarget);
    bool Deliver(const uint8_t* pcm, std::size_t size, std::size_t fillTarget);
    void ReleasePipeline();
    static void MixCallback(void* player, uint8_t* stream, int length);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unique_ptr<COrvaDemux> m_demux;
    std::unique_ptr<COrvaDecode> m_decode;
    std::unique_ptr<COrvaResample> m_resample;
    std::deque<Ffmpeg::PacketPtr> m_packs;
    int m_packCount = 0;
    std::thread m_readThread;
    std::thread m_playThread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_pause{false};
    std::string m_currentPath;
    PcmRing m_ring;
    std::size_t m_bytesPerSecond = 1;
};
