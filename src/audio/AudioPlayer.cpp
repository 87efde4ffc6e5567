#include "audio/AudioPlayer.h"

#include "audio/OrvaDecode.h"
#include "audio/OrvaDemux.h"
#include "audio/OrvaResample.h"
#include "diag/CrashHandler.h"
#include "diag/Log.h"

#include <SDL.h>

#include <chrono>
#include <new>
#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr std::size_t kRingBytes = 65536;
// Device buffers' worth of PCM kept ahead of the device: enough to ride over a late wake-up of the
// play thread, little enough that a pause or a stop is heard at once.
constexpr std::size_t kBuffersAhead = 4;
// How long StartThreads waits at most for the read thread's first packets.
constexpr auto kHeadStart = milliseconds(500);

} // namespace

CAudioPlayer& CAudioPlayer::GetInstance()
{
    static CAudioPlayer* const instance = new CAudioPlayer();
    return *instance;
}

CAudioPlayer::CAudioPlayer()
    : m_ring(kRingBytes)
{
}

bool CAudioPlayer::PlayAudio(const std::string& path, bool paused)
{
    if (path.empty()) {
        LOG_ERROR << "audioPath is Empty.";
        return false;
    }
    if (path == m_currentPath) {
        const std::lock_guard lock(m_mutex);
        if (!m_packs.empty()) {
            m_pause.store(paused);
            m_changed.notify_all();
            return true;
        }
    }
    Stop();
    m_currentPath = path;
    m_pause.store(paused);

    std::unique_ptr<COrvaDemux> demux(new (std::nothrow) COrvaDemux());
    if (demux == nullptr) {
        LOG_ERROR << "new COrvaDemux  Failed ";
        return false;
    }
    demux->Flush();
    if (!demux->Open(path)) {
        LOG_ERROR << "Open Failed. audioPath:[" << path << "]";
        return false;
    }
    std::unique_ptr<COrvaResample> resample(new (std::nothrow) COrvaResample());
    if (resample == nullptr) {
        LOG_ERROR << "new COrvaResample  Failed ";
        return false;
    }
    std::unique_ptr<COrvaDecode> decode(new (std::nothrow) COrvaDecode());
    if (decode == nullptr) {
        LOG_ERROR << "new COrvaDecode  Failed ";
        return false;
    }
    // A stream that cannot be decoded or converted would only play silence: report it as not opened.
    if (!resample->Open(demux->CopyAudioParams().get()) || !decode->Open(demux->CopyAudioParams())) {
        LOG_ERROR << "Open Failed. audioPath:[" << path << "]";
        return false;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_demux = std::move(demux);
        m_resample = std::move(resample);
        m_decode = std::move(decode);
    }
    StartThreads();
    return true;
}

bool CAudioPlayer::SetPause(bool paused)
{
    {
        const std::lock_guard lock(m_mutex);
        m_pause.store(paused);
    }
    m_changed.notify_all();
    return true;
}

bool CAudioPlayer::IsPlaying() const
{
    const std::lock_guard lock(m_mutex);
    return m_demux != nullptr && !(m_demux->AtEnd() && m_packs.empty()) && !m_pause.load();
}

int CAudioPlayer::QueuedPackets() const
{
    const std::lock_guard lock(m_mutex);
    return m_packCount;
}

void CAudioPlayer::Stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop.store(true);
        if (m_demux != nullptr) {
            m_demux->Interrupt();
        }
    }
    m_changed.notify_all();
    if (m_readThread.joinable()) {
        m_readThread.join();
    }
    if (m_playThread.joinable()) {
        m_playThread.join();
    }
    ReleasePipeline();
    m_currentPath.clear();
    {
        const std::lock_guard lock(m_mutex);
        m_packs.clear();
        m_packCount = 0;
    }
    m_ring.Clear();
}

void CAudioPlayer::ReleasePipeline()
{
    const std::lock_guard lock(m_mutex);
    if (m_resample != nullptr) {
        m_resample->Close();
        m_resample.reset();
    }
    if (m_decode != nullptr) {
        m_decode->Flush();
        m_decode.reset();
    }
    if (m_demux != nullptr) {
        m_demux->Flush();
        m_demux.reset();
    }
}

// The pipeline objects are set before the threads start and released only after both have been
// joined, so the threads use them without taking the lock. The threads sleep on m_changed, which is
// notified whenever the queue, the pause flag, the stop flag or the end of the input changes.
void CAudioPlayer::StartThreads()
{
    m_stop.store(false);
    if (!m_readThread.joinable()) {
        m_readThread = std::thread(&CAudioPlayer::ReadLoop, this);
    }
    {
        // A head start for the read thread, over as soon as the queue has something to play (or the
        // input turned out to be empty), so the caller is not held when the input is at hand.
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kHeadStart,
                           [&] { return m_pause.load() || m_packCount > 0 || m_demux->AtEnd(); });
    }
    if (!m_playThread.joinable()) {
        m_playThread = std::thread(&CAudioPlayer::PlaySoundW, this);
    }
}

void CAudioPlayer::ReadLoop()
{
    InstallThreadCrashStack();
    while (!m_stop.load()) {
        if (m_pause.load()) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop.load() || !m_pause.load(); });
            continue;
        }
        Ffmpeg::PacketPtr packet = m_demux->ReadPacket();
        if (packet == nullptr) {
            // The end of the input (or a read error, which ends it too): nothing more will come.
            std::unique_lock lock(m_mutex);
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_stop.load(); });
        } else if (m_demux->IsAudioPacket(packet.get())) {
            PushPackage(std::move(packet));
        }
    }
}

void CAudioPlayer::PushPackage(Ffmpeg::PacketPtr packet)
{
    if (packet == nullptr) {
        return;
    }
    std::unique_lock lock(m_mutex);
    while (m_packCount >= kQueueBound && !m_stop.load()) {
        LOG_VERB << "m_packs.size :[" << m_packCount << "]";
        m_changed.wait(lock);
    }
    if (m_stop.load()) {
        return;
    }
    m_packs.push_back(std::move(packet));
    ++m_packCount;
    lock.unlock();
    m_changed.notify_all();
}

Ffmpeg::PacketPtr CAudioPlayer::PopPackage()
{
    std::unique_lock lock(m_mutex);
    if (m_packs.empty()) {
        return nullptr;
    }
    Ffmpeg::PacketPtr packet = std::move(m_packs.front());
    m_packs.pop_front();
    --m_packCount;
    lock.unlock();
    m_changed.notify_all();
    return packet;
}

void CAudioPlayer::PlaySoundW()
{
    InstallThreadCrashStack();
    // The play thread owns SDL and the device from start to end, so a stop (which joins this
    // thread) never races an initialisation, and every new file starts on a fresh device.
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        LOG_ERROR << "Could not initialize SDL, Error:[" << SDL_GetError() << "]";
        return;
    }
    // Two channels, whatever the input has: the converter always produces stereo.
    SDL_AudioSpec wanted{};
    wanted.freq = m_demux->SampleRate();
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.silence = 0;
    wanted.samples = kDeviceSamples;
    wanted.callback = &CAudioPlayer::MixCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        LOG_ERROR << "Could not open audio, Error:[" << SDL_GetError() << "]";
        SDL_Quit();
        return;
    }
    LOG_INFO << "audio device rate:[" << obtained.freq << "] channels:[" << obtained.channels << "] samples:["
             << obtained.samples << "]";
    SDL_PauseAudioDevice(device, 0);
    std::vector<uint8_t> pcm(kPcmBufferBytes);
    const std::size_t fillTarget =
        std::min(kRingBytes, kBuffersAhead * obtained.samples * COrvaResample::kBytesPerFrame);

    m_bytesPerSecond = static_cast<std::size_t>(obtained.freq) * COrvaResample::kBytesPerFrame;

    bool drained = false;
    while (!m_stop.load()) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                return m_stop.load() ||
                       (!m_pause.load() && (!m_packs.empty() || (m_demux->AtEnd() && !drained)));
            });
        }
        if (m_stop.load()) {
            break;
        }
        if (Ffmpeg::PacketPtr packet = PopPackage()) {
            if (!m_decode->SendPacket(std::move(packet))) {
                continue;
            }
        } else {
            // The input is read and queued packets are decoded: let the decoder give up what it holds.
            drained = true;
            m_decode->SendEndOfInput();
        }
        if (!DeliverFrames(pcm.data(), fillTarget)) {
            break;
        }
    }
    SDL_CloseAudioDevice(device);
    SDL_Quit();
}

bool CAudioPlayer::DeliverFrames(uint8_t* pcm, std::size_t fillTarget)
{
    while (!m_stop.load()) {
        Ffmpeg::FramePtr frame = m_decode->ReceiveFrame();
        if (frame == nullptr) {
            return true;
        }
        const int size = m_resample->Convert(std::move(frame), pcm, kPcmBufferBytes);
        if (size > 0 && !Deliver(pcm, static_cast<std::size_t>(size), fillTarget)) {
            return false;
        }
    }
    return false;
}

bool CAudioPlayer::Deliver(const uint8_t* pcm, std::size_t size, std::size_t fillTarget)
{
    std::size_t offset = 0;
    while (offset < size) {
        if (m_stop.load()) {
            return false;
        }
        const std::size_t buffered = m_ring.Buffered();
        if (buffered >= fillTarget) {
            // Sleep until the device has played about half of what is ahead of it.
            const auto drainTime =
                std::chrono::microseconds((buffered - fillTarget / 2) * 1000000 / m_bytesPerSecond);
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, drainTime, [&] { return m_stop.load(); });
            continue;
        }
        offset += m_ring.Write(pcm + offset, std::min(size - offset, fillTarget - buffered));
    }
    return true;
}

void CAudioPlayer::MixCallback(void* player, uint8_t* stream, int length)
{
    std::memset(stream, 0, static_cast<std::size_t>(length));
    auto* self = static_cast<CAudioPlayer*>(player);
    // Paused: the device plays silence and keeps the rest for the resume.
    if (self->m_pause.load()) {
        return;
    }
    std::size_t offset = 0;
    self->m_ring.Consume(static_cast<std::size_t>(length), [&](const uint8_t* bytes, std::size_t count) {
        SDL_MixAudioFormat(stream + offset, bytes, AUDIO_S16SYS, static_cast<Uint32>(count),
                           SDL_MIX_MAXVOLUME);
        offset += count;
    });
}
