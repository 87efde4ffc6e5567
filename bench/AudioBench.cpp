// How fast the audio pipeline turns an MP3 into PCM, beside the ffmpeg program on the same file,
// and what the player costs in CPU time while it plays in real time.
//
//   bench_audio [minutes of audio, default 10] [seconds of playback, default 10]

#include "audio/AudioPlayer.h"
#include "audio/OrvaDecode.h"
#include "audio/OrvaDemux.h"
#include "audio/OrvaResample.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool RunFfmpeg(const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Demultiplexes, decodes and converts the whole file; returns the PCM bytes produced.
std::size_t DecodeThroughPipeline(const std::string& path)
{
    COrvaDemux demux;
    COrvaDecode decode;
    COrvaResample resample;
    if (!demux.Open(path) || !resample.Open(demux.CopyAudioParams().get()) ||
        !decode.Open(demux.CopyAudioParams())) {
        return 0;
    }
    std::vector<uint8_t> pcm(CAudioPlayer::kPcmBufferBytes);
    std::size_t bytes = 0;
    const auto drain = [&] {
        while (auto frame = decode.ReceiveFrame()) {
            const int size = resample.Convert(std::move(frame), pcm.data(), pcm.size());
            bytes += static_cast<std::size_t>(std::max(size, 0));
        }
    };
    while (auto packet = demux.ReadPacket()) {
        if (demux.IsAudioPacket(packet.get()) && decode.SendPacket(std::move(packet))) {
            drain();
        }
    }
    decode.SendEndOfInput();
    drain();
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const double playSeconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    QTemporaryDir folder;
    const QString mp3 = folder.filePath(QStringLiteral("listening.mp3"));
    std::printf("making %.1f minutes of 44.1 kHz stereo MP3...\n", minutes);
    if (!RunFfmpeg({"-f", "lavfi", "-i",
                    QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(minutes * 60),
                    "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", mp3})) {
        std::fprintf(stderr, "cannot run ffmpeg to make the input\n");
        return 1;
    }

    auto start = Clock::now();
    const std::size_t bytes = DecodeThroughPipeline(mp3.toStdString());
    const double pipeline = SecondsSince(start);
    start = Clock::now();
    if (bytes == 0 || !RunFfmpeg({"-i", mp3, "-f", "s16le", "-ac", "2", "-"})) {
        std::fprintf(stderr, "decoding failed\n");
        return 1;
    }
    const double reference = SecondsSince(start);
    std::printf("pipeline:  %.3f s for %.1f MB of PCM (%.0fx real time)\n", pipeline,
                static_cast<double>(bytes) / 1e6, minutes * 60 / pipeline);
    std::printf("ffmpeg -i file -f s16le -ac 2 -:  %.3f s\n", reference);
    std::printf("pipeline / ffmpeg:  %.2f\n", pipeline / reference);

    // Real-time playback into a device that discards what it is given.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    CAudioPlayer& player = CAudioPlayer::GetInstance();
    if (!player.PlayAudio(mp3.toStdString(), false)) {
        std::fprintf(stderr, "the player did not start\n");
        return 1;
    }
    // The device opens on the play thread after PlayAudio returns; measure once it is playing.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double cpuStart = CpuSeconds();
    start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(playSeconds));
    const double cpu = CpuSeconds() - cpuStart;
    const double wall = SecondsSince(start);
    player.Stop();
    std::printf("player:  %.1f ms of CPU time per second of playback (%.2f%% of one core)\n",
                cpu / wall * 1000, cpu / wall * 100);
    return 0;
}
