// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading audio files back through libsndfile for tests of converted copies: the decoded
// samples and rate, and the frequency and level of a steady tone in them.

#include <QFile>
#include <QString>

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace sonavell::test {

struct DecodedAudio
{
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int format = 0;             // SF_FORMAT_* major | subtype
    std::vector<float> samples; // first channel
    double seconds() const { return rate > 0 ? double(samples.size()) / rate : 0.0; }
};

inline DecodedAudio decodeAudio(const QString& path)
{
    DecodedAudio d;
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return d;
    d.rate = info.samplerate;
    d.channels = info.channels;
    d.format = info.format;
    std::vector<float> block(4096 * size_t(info.channels));
    sf_count_t got = 0;
    while ((got = sf_readf_float(f, block.data(), 4096)) > 0)
        for (sf_count_t i = 0; i < got; ++i)
            d.samples.push_back(block[size_t(i) * info.channels]);
    d.ok = sf_error(f) == SF_ERR_NO_ERROR;
    sf_close(f);
    return d;
}

// Writes a mono 16-bit WAV file of `seconds` of a sine tone at `amplitude` (full scale 1.0).
inline bool writeToneWav(const QString& path, int rate, double seconds, double frequency = 1000.0,
                         double amplitude = 0.5)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    const auto frames = size_t(std::lround(seconds * rate));
    std::vector<short> samples(frames);
    for (size_t i = 0; i < frames; ++i)
        samples[i] = short(std::lround(
            32767.0 * amplitude * std::sin(2.0 * std::numbers::pi * frequency * double(i) / rate)));
    const bool written =
        sf_writef_short(f, samples.data(), sf_count_t(frames)) == sf_count_t(frames);
    return sf_close(f) == 0 && written;
}

// The bytes of such a WAV file, written through a scratch file beside `scratchPath`.
inline QByteArray toneWavBytes(const QString& scratchPath, int rate, double seconds,
                               double frequency = 1000.0, double amplitude = 0.5)
{
    if (!writeToneWav(scratchPath, rate, seconds, frequency, amplitude))
        return {};
    QFile file(scratchPath);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.remove();
    return bytes;
}

// The frequency of a steady tone, from the rising zero crossings of the middle half of the
// samples (away from the codec's start and end), interpolated between samples.
inline double toneFrequency(const std::vector<float>& s, int rate)
{
    const size_t from = s.size() / 4, to = s.size() * 3 / 4;
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0.0f && s[i] >= 0.0f) {
            const double at = double(i - 1) + double(-s[i - 1]) / double(s[i] - s[i - 1]);
            if (first < 0.0)
                first = at;
            else
                ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? crossings * double(rate) / (last - first) : 0.0;
}

// The RMS level of the middle half of the samples in dB relative to full scale.
inline double rmsDecibels(const std::vector<float>& s)
{
    const size_t from = s.size() / 4, to = s.size() * 3 / 4;
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return 10.0 * std::log10(sum / double(std::max<size_t>(1, to - from)) + 1e-20);
}

} // namespace sonavell::test
