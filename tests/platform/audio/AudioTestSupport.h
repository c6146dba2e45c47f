// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioFile.h"
#include "platform/audio/VirtualAudioDevice.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <cmath>
#include <numbers>
#include <vector>

namespace sonavell::test {

// Runs the manual clock in small steps, letting the output queues' hand-backs through between
// steps as a running event loop would.
inline void pump(VirtualAudioDevice& device, double seconds, double step = 0.01)
{
    const int steps = int(std::lround(seconds / step));
    for (int i = 0; i < steps; ++i) {
        device.advance(step);
        QCoreApplication::processEvents();
    }
}

inline std::vector<int16_t> readSamples(const QString& path)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::openURL(path, AudioFile::kReadPermission, &file) != noErr)
        return {};
    std::vector<int16_t> samples(size_t(file->audioDataPacketCount()));
    uint32_t n = uint32_t(samples.size());
    file->readPackets(0, &n, samples.data(), nullptr);
    samples.resize(n);
    return samples;
}

inline bool writeWav(const QString& path, double rate, const std::vector<int16_t>& samples)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::createWithURL(path, monoPCM16Format(rate), &file) != noErr)
        return false;
    uint32_t n = uint32_t(samples.size());
    return samples.empty() || file->writePackets(0, &n, samples.data()) == noErr;
}

// The first n samples of the virtual microphone's ramp generator.
inline std::vector<int16_t> ramp(size_t n)
{
    std::vector<int16_t> r(n);
    for (size_t i = 0; i < n; ++i)
        r[i] = int16_t(int(i % 65536) - 32768);
    return r;
}

inline std::vector<int16_t> sine(double freq, double rate, size_t count, double amplitude = 0.5)
{
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = int16_t(std::lround(amplitude * 32767.0 *
                                   std::sin(2.0 * std::numbers::pi * freq * double(i) / rate)));
    return s;
}

inline double goertzelPower(const std::vector<int16_t>& s, size_t from, size_t to, double freq,
                            double rate)
{
    const double w = 2.0 * std::numbers::pi * freq / rate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = double(s[i]) + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

// The frequency with the most energy between lo and hi Hz, to about 0.05 Hz.
inline double dominantFrequency(const std::vector<int16_t>& s, double rate, double lo, double hi,
                                size_t from = 0, size_t to = 0)
{
    if (to == 0 || to > s.size())
        to = s.size();
    double best = lo, bestPower = -1.0;
    for (double f = lo; f <= hi; f += 1.0) {
        const double p = goertzelPower(s, from, to, f, rate);
        if (p > bestPower) {
            bestPower = p;
            best = f;
        }
    }
    const double centre = best;
    for (double f = centre - 1.0; f <= centre + 1.0; f += 0.05) {
        const double p = goertzelPower(s, from, to, f, rate);
        if (p > bestPower) {
            bestPower = p;
            best = f;
        }
    }
    return best;
}

inline double rms(const std::vector<int16_t>& s, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(s[i]) * double(s[i]);
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

// Index of the first sample whose magnitude exceeds the threshold, or the size.
inline size_t firstLoud(const std::vector<int16_t>& s, int threshold)
{
    for (size_t i = 0; i < s.size(); ++i)
        if (std::abs(int(s[i])) > threshold)
            return i;
    return s.size();
}

inline size_t lastLoud(const std::vector<int16_t>& s, int threshold)
{
    for (size_t i = s.size(); i > 0; --i)
        if (std::abs(int(s[i - 1])) > threshold)
            return i;
    return 0;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline uint32_t le32(const QByteArray& b, int at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

inline uint16_t le16(const QByteArray& b, int at)
{
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

// Writes a sine of `freq` Hz lasting `seconds` with sox, in the sox output `format` given
// (rate, channels, bits, encoding); `volume` scales sox's full-scale sine.
inline bool soxSine(const QString& path, const QStringList& format, double seconds, double freq,
                    double volume = 1.0)
{
    QStringList args{QStringLiteral("-n")};
    args << format << path << QStringLiteral("synth") << QString::number(seconds)
         << QStringLiteral("sine") << QString::number(freq);
    if (volume != 1.0)
        args << QStringLiteral("vol") << QString::number(volume);
    return QProcess::execute(QStringLiteral("sox"), args) == 0;
}

// Runs a command and returns its standard output; empty when it fails.
inline QString run(const QString& program, const QStringList& args, int timeoutMs = 30000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace sonavell::test
