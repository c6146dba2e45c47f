// SPDX-License-Identifier: GPL-3.0-or-later
// Converting memos for sharing: a 10-minute 22050 Hz memo to Opus and to FLAC with the program's
// converter, beside sox (FLAC) and opusenc (Opus, 24 kbit/s) on the same file in the same run,
// taking turns (ours, peer, ours, peer ...; medians compared). Goal: the converter takes at most
// 1.5 times as long as its peer; a peer that is not installed is a goal not measured, and the
// exit status is non-zero when a goal is missed. Then the size of one minute of speech-like audio
// at each recording quality, as WAV, Opus and FLAC.
//
// The memo is synthetic speech: a voiced tone with harmonics whose pitch glides between 100 and
// 240 Hz, shaped into syllables of about a fifth of a second, with pauses between phrases and a
// little breath noise, so that both codecs see the pauses and variations a real memo has.
#include "BenchGoals.h"
#include "BenchSupport.h"
#include "platform/audio/AudioConverter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kGoal = 1.5;
constexpr int kRuns = 3;

bool writeSpeechLike(const QString& path, int rate, double seconds)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    const auto frames = size_t(seconds * rate);
    std::vector<short> samples(frames);
    double phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double pitch = 170.0 + 70.0 * std::sin(2.0 * std::numbers::pi * 0.3 * t) +
                             20.0 * std::sin(2.0 * std::numbers::pi * 2.1 * t);
        phase += 2.0 * std::numbers::pi * pitch / rate;
        double voiced = 0.0;
        for (int h = 1; h <= 12; ++h)
            if (h * pitch < rate / 2.0)
                voiced += std::sin(h * phase) / h;
        // Syllables at about 5 per second; a pause of 0.6 s after every 4 s phrase.
        const double syllable = std::pow(std::max(0.0, std::sin(std::numbers::pi * 5.0 * t)), 2);
        const bool pause = std::fmod(t, 4.6) > 4.0;
        const double level = pause ? 0.0 : 0.25 * syllable;
        const double v = level * voiced + 0.003 * noise(random);
        samples[i] = short(std::clamp(v, -1.0, 1.0) * 32767.0);
    }
    const bool ok = sf_writef_short(f, samples.data(), sf_count_t(frames)) == sf_count_t(frames);
    return sf_close(f) == 0 && ok;
}

// The median times of kRuns runs each of `ours` and `peer`, taking turns, in seconds; negative
// when a run fails.
template <typename Ours, typename Peer> std::pair<double, double> timedInTurns(Ours ours, Peer peer)
{
    std::vector<double> oursTimes, peerTimes;
    bool ok = true;
    const auto timed = [&ok](auto& work, std::vector<double>& into) {
        QElapsedTimer timer;
        timer.start();
        ok = work() && ok;
        into.push_back(timer.nsecsElapsed() / 1e9);
    };
    interleaved(
        kRuns, [&] { timed(ours, oursTimes); }, [&] { timed(peer, peerTimes); });
    if (!ok)
        return {-1.0, -1.0};
    return {median(oursTimes), median(peerTimes)};
}

bool runPeer(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    BenchGoals goals;
    const QString sox = peerProgram(QStringLiteral("sox"));
    const QString opusenc = peerProgram(QStringLiteral("opusenc"));
    QTemporaryDir dir;
    const QString memo = dir.filePath(QStringLiteral("memo.wav"));
    if (!writeSpeechLike(memo, 22050, 600.0)) {
        goals.unmeasured("conversions", "cannot write the memo");
        return goals.exitCode();
    }

    using Format = AudioConverter::Format;
    const auto ours = [&](Format format) {
        return [&, format] {
            return AudioConverter::convertFile(
                       memo,
                       dir.filePath(QStringLiteral("ours.") + AudioConverter::extensionFor(format)),
                       format)
                .ok();
        };
    };
    const auto size = [&](const char* name) { return QFileInfo(dir.filePath(name)).size(); };
    std::printf("10-minute 22050 Hz memo (%lld bytes), median of %d runs each, taking turns:\n",
                QFileInfo(memo).size(), kRuns);
    if (sox.isEmpty()) {
        goals.unmeasured("FLAC: time / sox's", "sox is not installed");
    } else {
        const auto [oursFlac, soxFlac] = timedInTurns(ours(Format::Flac), [&] {
            return runPeer(sox, {memo, dir.filePath("sox.flac")});
        });
        if (oursFlac < 0)
            goals.unmeasured("FLAC: time / sox's", "a conversion failed");
        else
            goals.atMost("FLAC: time / sox's", oursFlac / soxFlac, kGoal, "x",
                         format("ours %.3f s, sox %.3f s (%lld vs %lld bytes)", oursFlac, soxFlac,
                                size("ours.flac"), size("sox.flac")));
    }
    if (opusenc.isEmpty()) {
        goals.unmeasured("Opus: time / opusenc's", "opusenc is not installed");
    } else {
        const auto [oursOpus, peerOpus] = timedInTurns(ours(Format::Opus), [&] {
            return runPeer(opusenc,
                           {"--quiet", "--bitrate", "24", memo, dir.filePath("peer.opus")});
        });
        if (oursOpus < 0)
            goals.unmeasured("Opus: time / opusenc's", "a conversion failed");
        else
            goals.atMost("Opus: time / opusenc's", oursOpus / peerOpus, kGoal, "x",
                         format("ours %.3f s, opusenc --bitrate 24 %.3f s (%lld vs %lld bytes)",
                                oursOpus, peerOpus, size("ours.opus"), size("peer.opus")));
    }

    std::printf("One minute of speech-like audio:\n");
    for (const int rate : {11025, 22050, 44100}) {
        const QString wav = dir.filePath(QStringLiteral("minute%1.wav").arg(rate));
        if (!writeSpeechLike(wav, rate, 60.0))
            return goals.exitCode();
        qint64 sizes[2] = {};
        for (const Format format : {Format::Opus, Format::Flac}) {
            const QString out = wav + QLatin1Char('.') + AudioConverter::extensionFor(format);
            if (!AudioConverter::convertFile(wav, out, format).ok()) {
                goals.unmeasured("sizes of one minute", "a conversion failed");
                return goals.exitCode();
            }
            sizes[format == Format::Flac] = QFileInfo(out).size();
        }
        std::printf("  %5d Hz  WAV %8lld  Opus %7lld  FLAC %8lld bytes\n", rate,
                    QFileInfo(wav).size(), sizes[0], sizes[1]);
    }

    return goals.exitCode();
}
