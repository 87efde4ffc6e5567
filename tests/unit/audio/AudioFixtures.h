#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Inputs made for the audio tests and readers for what the player played.
namespace AudioFixtures {

// Interleaved 16-bit samples.
using Samples = std::vector<int16_t>;

// A RIFF/WAVE file of 16-bit PCM.
[[nodiscard]] QByteArray Wav(int rate, int channels, const Samples& interleaved);

// A stereo sequence in which no frame repeats and no sample is zero: left counts up from 1, right
// is the negated left. Any lost, doubled or reordered frame shows when it is compared.
[[nodiscard]] Samples StereoRamp(int frames);

// Runs the ffmpeg program with the arguments (quiet, overwriting); true when it succeeded.
[[nodiscard]] bool RunFfmpeg(const QStringList& arguments);

// A mono 440 Hz tone of the given length encoded as MP3 at the given rate.
[[nodiscard]] bool WriteToneMp3(const QString& path, int rate, double seconds);

// The interleaved stereo samples in a raw PCM file (what SDL's disk driver wrote).
[[nodiscard]] Samples ReadPcm(const QString& path);

// The stereo frames of pcm that are not both zero, in order: the played sound without the silence
// the device played before, between and after it.
[[nodiscard]] Samples WithoutSilence(const Samples& pcm);

// The stereo frames of pcm from the first to the last that is not silent: the played sound with
// whatever silence the device had to play in its middle because the next PCM came too late.
[[nodiscard]] Samples SoundSpan(const Samples& pcm);

// The frequency of one channel of interleaved stereo, from its rising zero crossings.
[[nodiscard]] double Frequency(const Samples& stereo, int channel, int rate);

} // namespace AudioFixtures
