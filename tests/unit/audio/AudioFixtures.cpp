#include "AudioFixtures.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <cstring>

namespace AudioFixtures {

namespace {

void AppendLe32(QByteArray& bytes, uint32_t value)
{
    const uint32_t le = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&le), 4);
}

void AppendLe16(QByteArray& bytes, uint16_t value)
{
    const uint16_t le = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&le), 2);
}

} // namespace

QByteArray Wav(int rate, int channels, const Samples& interleaved)
{
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
    QByteArray wav("RIFF");
    AppendLe32(wav, 36 + dataBytes);
    wav.append("WAVEfmt ");
    AppendLe32(wav, 16);
    AppendLe16(wav, 1);
    AppendLe16(wav, static_cast<uint16_t>(channels));
    AppendLe32(wav, static_cast<uint32_t>(rate));
    AppendLe32(wav, static_cast<uint32_t>(rate * channels * 2));
    AppendLe16(wav, static_cast<uint16_t>(channels * 2));
    AppendLe16(wav, 16);
    wav.append("data");
    AppendLe32(wav, dataBytes);
    for (const int16_t sample : interleaved) {
        AppendLe16(wav, static_cast<uint16_t>(sample));
    }
    return wav;
}

Samples StereoRamp(int frames)
{
    Samples samples;
    samples.reserve(static_cast<std::size_t>(frames) * 2);
    for (int frame = 0; frame < frames; ++frame) {
        const auto value = static_cast<int16_t>(frame % 30000 + 1);
        samples.push_back(value);
        samples.push_back(static_cast<int16_t>(-value));
    }
    return samples;
}

bool RunFfmpeg(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool WriteToneMp3(const QString& path, int rate, double seconds)
{
    return RunFfmpeg({"-f", "lavfi", "-i",
                      QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds),
                      "-ac", "1", "-c:a", "libmp3lame", "-b:a", "64k", path});
}

Samples ReadPcm(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    Samples samples(static_cast<std::size_t>(bytes.size()) / 4 * 2);
    if (samples.empty()) {
        return samples;
    }
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

Samples WithoutSilence(const Samples& pcm)
{
    Samples sound;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
        if (pcm[i] != 0 || pcm[i + 1] != 0) {
            sound.push_back(pcm[i]);
            sound.push_back(pcm[i + 1]);
        }
    }
    return sound;
}

Samples SoundSpan(const Samples& pcm)
{
    const auto silent = [&](std::size_t frame) { return pcm[2 * frame] == 0 && pcm[2 * frame + 1] == 0; };
    std::size_t first = 0;
    std::size_t end = pcm.size() / 2;
    while (first < end && silent(first)) {
        ++first;
    }
    while (end > first && silent(end - 1)) {
        --end;
    }
    return {pcm.begin() + static_cast<std::ptrdiff_t>(2 * first),
            pcm.begin() + static_cast<std::ptrdiff_t>(2 * end)};
}

double Frequency(const Samples& stereo, int channel, int rate)
{
    int crossings = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = 2 + static_cast<std::size_t>(channel); i < stereo.size(); i += 2) {
        if (stereo[i - 2] < 0 && stereo[i] >= 0) {
            if (crossings == 0) {
                first = i / 2;
            }
            last = i / 2;
            ++crossings;
        }
    }
    if (crossings < 2) {
        return 0.0;
    }
    return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

} // namespace AudioFixtures
