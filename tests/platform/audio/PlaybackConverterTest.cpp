// SPDX-License-Identifier: GPL-3.0-or-later
// The playback converter on its own: how clean a converted tone is, how well audio above the
// output's Nyquist frequency is kept out, clearing for a new position, the end of the input,
// and time-stretching that keeps the pitch and a spoken sentence's length.
#include "platform/audio/PlaybackConverter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

using Signal = std::vector<double>;

Signal tone(double freq, double rate, size_t n, double amplitude = 0.5)
{
    Signal s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = amplitude * std::sin(2.0 * std::numbers::pi * freq * double(i) / rate);
    return s;
}

// A linear sweep from f0 to f1 Hz over n samples.
Signal sweep(double f0, double f1, double rate, size_t n, double amplitude = 0.5)
{
    Signal s(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        s[i] = amplitude * std::sin(phase);
        phase += 2.0 * std::numbers::pi * (f0 + (f1 - f0) * double(i) / double(n)) / rate;
    }
    return s;
}

// Converts the whole signal (mono), handing it over in pieces of `piece` frames and asking for
// output in pieces of `ask` frames, as a device would; then flushes.
Signal convertAll(PlaybackConverter& c, const Signal& in, size_t piece = 441, size_t ask = 512)
{
    size_t at = 0;
    PlaybackConverter::Source source = [&](float* dst, size_t max) {
        const size_t n = std::min({max, piece, in.size() - at});
        for (size_t i = 0; i < n; ++i)
            dst[i] = float(in[at + i]);
        at += n;
        return n;
    };
    Signal out;
    std::vector<float> block(ask);
    for (int guard = 0; guard < 1000000 && !c.flushed(); ++guard) {
        const size_t n = c.convert(block.data(), ask, source, at == in.size());
        out.insert(out.end(), block.begin(), block.begin() + long(n));
        if (n == 0 && at < in.size())
            break; // the converter stalled with input left
    }
    return out;
}

// The least-squares fit of a sine of the given frequency over [from, to): amplitude and the
// residual's power relative to the fitted tone's, in dB (THD+N).
struct Fit
{
    double amplitude;
    double thdnDb;
};
Fit fitTone(const Signal& s, double freq, double rate, size_t from, size_t to)
{
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t i = from; i < to; ++i) {
        const double w = 2.0 * std::numbers::pi * freq * double(i) / rate;
        const double si = std::sin(w), co = std::cos(w);
        ss += si * si;
        cc += co * co;
        sc += si * co;
        ys += s[i] * si;
        yc += s[i] * co;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double residual = 0, signal = 0;
    for (size_t i = from; i < to; ++i) {
        const double w = 2.0 * std::numbers::pi * freq * double(i) / rate;
        const double fitted = a * std::sin(w) + b * std::cos(w);
        residual += (s[i] - fitted) * (s[i] - fitted);
        signal += fitted * fitted;
    }
    return {std::hypot(a, b), 10.0 * std::log10(residual / signal)};
}

double power(const Signal& s, size_t from, size_t to)
{
    double p = 0;
    for (size_t i = from; i < to; ++i)
        p += s[i] * s[i];
    return p / double(to - from);
}

} // namespace

TEST(PlaybackConverter, ConvertsTonesCleanlyAndFlatAtEveryPlayRate)
{
    // The rates a memo is handed over at (its rate times 0.75, 1 or 1.5) to a 44.1 kHz device.
    for (double inRate : {8268.75, 11025.0, 16537.5, 22050.0, 33075.0, 66150.0}) {
        SCOPED_TRACE(inRate);
        // A tone in the middle of the band, and one at 0.8 of the lower Nyquist frequency, where
        // the passband must still be flat.
        for (double fraction : {0.1, 0.8}) {
            const double freq = fraction * std::min(inRate, 44100.0) / 2.0;
            auto c = PlaybackConverter::create(inRate, 44100, 1);
            ASSERT_NE(c, nullptr);
            const size_t n = size_t(inRate);
            const Signal out = convertAll(*c, tone(freq, inRate, n));
            // Everything comes out: the input's length at the new rate.
            EXPECT_NEAR(double(out.size()), double(n) * 44100.0 / inRate, 2.0);
            const Fit f = fitTone(out, freq, 44100, 4410, out.size() - 4410);
            EXPECT_NEAR(20.0 * std::log10(f.amplitude / 0.5), 0.0, 0.05) << freq << " Hz";
            EXPECT_LT(f.thdnDb, -110.0) << freq << " Hz";
        }
    }
}

TEST(PlaybackConverter, KeepsASweepAboveTheOutputNyquistOut)
{
    // A 44.1 kHz memo at 1.5: 66150 Hz down to 44100 Hz. A sweep across the octave above the
    // output's Nyquist frequency would fold back into the audible band.
    auto c = PlaybackConverter::create(66150, 44100, 1);
    ASSERT_NE(c, nullptr);
    Signal in = sweep(22500, 33000, 66150, 66150);
    // Faded in and out, so that the only audible content would be what folds back.
    const size_t fade = 3308;
    for (size_t i = 0; i < fade; ++i) {
        const double g = 0.5 - 0.5 * std::cos(std::numbers::pi * double(i) / double(fade));
        in[i] *= g;
        in[in.size() - 1 - i] *= g;
    }
    const Signal out = convertAll(*c, in);
    const double db = 10.0 * std::log10(power(out, 0, out.size()) / power(in, 0, in.size()));
    std::printf("sweep 22.5-33 kHz at 66150 Hz -> 44100 Hz: %.1f dB\n", db);
    EXPECT_LT(db, -100.0);
}

TEST(PlaybackConverter, ClearForgetsTheOldSignalAndStretchingKeepsThePitch)
{
    // After a clear the output follows the new input (silence here) with nothing of the old.
    for (double natural : {0.0, 22050.0}) {
        SCOPED_TRACE(natural);
        auto c = PlaybackConverter::create(33075, 44100, 1, natural);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->stretches(), natural > 0);
        const Signal loud = tone(1000, 33075, 33075);
        size_t at = 0;
        PlaybackConverter::Source source = [&](float* dst, size_t max) {
            const size_t n = std::min(max, loud.size() - at);
            for (size_t i = 0; i < n; ++i)
                dst[i] = float(loud[at + i]);
            at += n;
            return n;
        };
        std::vector<float> block(4410);
        c->convert(block.data(), block.size(), source, false);
        c->clear();
        const Signal after = convertAll(*c, Signal(33075, 0.0));
        ASSERT_FALSE(after.empty());
        EXPECT_LT(power(after, 0, after.size()), 1e-10);
    }

    // A 440 Hz tone at 22050 Hz handed over at 1.5 times its rate: it lasts two thirds of its
    // length, as plain resampling makes it, but sounds at 440 Hz rather than 660 Hz.
    const size_t frames = 2 * 22050;
    auto plain = PlaybackConverter::create(33075, 44100, 2);
    auto stretched = PlaybackConverter::create(33075, 44100, 2, 22050);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(stretched, nullptr);
    const Signal mono = tone(440, 22050, frames);
    Signal stereo(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        stereo[2 * i] = stereo[2 * i + 1] = mono[i];
    // Both channels through a stereo converter; the left one examined.
    auto left = [](PlaybackConverter& c, const Signal& in) {
        size_t at = 0;
        PlaybackConverter::Source source = [&](float* dst, size_t max) {
            const size_t n = std::min(max, (in.size() - at) / 2);
            for (size_t i = 0; i < 2 * n; ++i)
                dst[i] = float(in[at + i]);
            at += 2 * n;
            return n;
        };
        Signal out;
        std::vector<float> block(1024);
        while (!c.flushed()) {
            const size_t n = c.convert(block.data(), 512, source, at == in.size());
            for (size_t i = 0; i < n; ++i)
                out.push_back(block[2 * i]);
            if (n == 0 && at < in.size())
                break;
        }
        return out;
    };
    const Signal a = left(*plain, stereo), b = left(*stretched, stereo);
    const double expected = double(frames) * 44100.0 / 33075.0;
    EXPECT_NEAR(double(a.size()), expected, 2.0);
    // The stretcher may end with a short fade; the tone itself lasts as long.
    auto loud = [](const Signal& s) {
        size_t first = s.size(), last = 0;
        for (size_t i = 0; i < s.size(); ++i)
            if (std::fabs(s[i]) > 0.25) {
                first = std::min(first, i);
                last = i;
            }
        return last > first ? double(last - first) : 0.0;
    };
    EXPECT_NEAR(loud(b), expected, 0.01 * expected);
    auto peak = [](const Signal& s) {
        double best = 0, bestPower = -1;
        for (double f = 300; f <= 800; f += 1) {
            const double p = fitTone(s, f, 44100, s.size() / 4, 3 * s.size() / 4).amplitude;
            if (p > bestPower) {
                bestPower = p;
                best = f;
            }
        }
        return best;
    };
    std::printf("plain %.1f Hz, stretched %.1f Hz\n", peak(a), peak(b));
    EXPECT_NEAR(peak(a), 660.0, 1.0);
    EXPECT_NEAR(peak(b), 440.0, 1.0);
}

namespace {

// The frequency of a steady tone from its rising zero crossings over the middle half.
double zeroCrossingFrequency(const Signal& s, double rate)
{
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = s.size() / 4 + 1; i < 3 * s.size() / 4; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double at = double(i - 1) + -s[i - 1] / (s[i] - s[i - 1]);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? double(crossings - 1) * rate / (last - first) : 0.0;
}

// A mono 16-bit WAV file's samples and rate (enough of the format for espeak-ng's output).
bool readWav(const QString& path, Signal& samples, double& rate)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF"))
        return false;
    auto u32 = [&](qsizetype at) {
        uint32_t v = 0;
        std::memcpy(&v, bytes.constData() + at, 4);
        return v;
    };
    qsizetype at = 12;
    uint16_t channels = 0, bits = 0;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        // espeak-ng writing to a file may leave the data size at its maximum.
        const qsizetype size = std::min<qsizetype>(u32(at + 4), bytes.size() - at - 8);
        if (id == "fmt ") {
            std::memcpy(&channels, bytes.constData() + at + 10, 2);
            rate = u32(at + 12);
            std::memcpy(&bits, bytes.constData() + at + 22, 2);
        } else if (id == "data") {
            if (channels != 1 || bits != 16)
                return false;
            for (qsizetype i = 0; i + 1 < size; i += 2) {
                int16_t v = 0;
                std::memcpy(&v, bytes.constData() + at + 8 + i, 2);
                samples.push_back(v / 32768.0);
            }
            return !samples.empty();
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// From the first to the last 10 ms window whose level is above a twentieth of the loudest:
// the spoken part, without the silence before and after.
double spokenLength(const Signal& s, double rate)
{
    const size_t window = size_t(rate / 100);
    std::vector<double> levels;
    for (size_t i = 0; i + window <= s.size(); i += window)
        levels.push_back(std::sqrt(power(s, i, i + window)));
    const double loudest = *std::max_element(levels.begin(), levels.end());
    size_t first = levels.size(), last = 0;
    for (size_t i = 0; i < levels.size(); ++i)
        if (levels[i] > loudest / 20) {
            first = std::min(first, i);
            last = i;
        }
    return last >= first ? double(last - first + 1) * double(window) / rate : 0.0;
}

} // namespace

// Both stretched speeds at a memo's own device rate (the stretcher alone, no resampler).
TEST(PlaybackConverter, StretchedSpeedsKeepA440HzToneAt440Hz)
{
    for (double speed : {1.5, 0.75}) {
        SCOPED_TRACE(speed);
        auto c = PlaybackConverter::create(44100 * speed, 44100, 1, 44100);
        ASSERT_NE(c, nullptr);
        const Signal out = convertAll(*c, tone(440, 44100, 3 * 44100));
        EXPECT_NEAR(double(out.size()), 3 * 44100 / speed, 2.0);
        EXPECT_NEAR(zeroCrossingFrequency(out, 44100), 440.0, 1.0);
    }
}

// A sentence spoken by espeak-ng lasts the memo's length divided by the speed, within 1 %,
// from its first to its last sound.
TEST(PlaybackConverter, AStretchedSpokenSentenceKeepsItsLengthRatio)
{
    if (QStandardPaths::findExecutable("espeak-ng").isEmpty())
        GTEST_SKIP() << "espeak-ng is not installed";
    QTemporaryDir dir;
    const QString wav = dir.filePath("sentence.wav");
    QProcess speak;
    speak.start("espeak-ng", {"-w", wav, "-s", "160",
                              "The quick brown fox jumps over the lazy dog, and the kitchen "
                              "meeting moves to Thursday at half past four."});
    ASSERT_TRUE(speak.waitForFinished(30000));
    ASSERT_EQ(speak.exitCode(), 0) << speak.readAllStandardError().toStdString();
    Signal sentence;
    double rate = 0;
    ASSERT_TRUE(readWav(wav, sentence, rate));
    const double spoken = spokenLength(sentence, rate);
    ASSERT_GT(spoken, 3.0);
    for (double speed : {1.5, 0.75}) {
        SCOPED_TRACE(speed);
        auto c = PlaybackConverter::create(rate * speed, 44100, 1, rate);
        ASSERT_NE(c, nullptr);
        const Signal out = convertAll(*c, sentence);
        EXPECT_NEAR(double(out.size()) / 44100, double(sentence.size()) / rate / speed, 0.001);
        EXPECT_NEAR(spokenLength(out, 44100) / spoken, 1.0 / speed, 0.01 / speed);
    }
}
