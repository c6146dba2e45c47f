// SPDX-License-Identifier: GPL-3.0-or-later
// The pitch-true play speeds' time-stretcher (PlaybackConverter with the pitch kept, at the
// memo's own rate, so no resampler runs) beside sox's tempo effect on the same memo, in the same
// run: CPU seconds per minute of memo, their ratio, and the share of one core while playing.
// The memo is a minute of speech at 44.1 kHz, spoken by espeak-ng (a tone when it is missing).
// The runs take turns (ours, sox, ours, sox ...) and the medians are compared. Goals: at most 5
// times sox's CPU, and at most 3 % of a core. Exits 1 when a goal misses or cannot be measured,
// saying which. Needs sox (and espeak-ng for speech; scripts/install-deps installs both).
#include "BenchGoals.h"
#include "BenchSupport.h"
#include "platform/audio/PlaybackConverter.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include <sys/resource.h>
#include <time.h>

namespace {

constexpr double kRate = 44100.0;
constexpr double kMemoSeconds = 60.0;
constexpr double kGoalRatio = 5.0;
constexpr double kGoalCoreShare = 0.03;
constexpr int kRuns = 3;

double threadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double childrenCpu()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A minute of mono 16-bit speech at 44.1 kHz in `path`; false when it cannot be made.
bool makeSpeech(const QTemporaryDir& dir, const QString& path)
{
    QString text;
    while (text.size() < 1200)
        text += QStringLiteral("Notes from the kitchen meeting: the order for Thursday goes out "
                               "at half past four, and the new oven arrives next week. ");
    const QString spoken = dir.filePath("spoken.wav");
    if (!run("espeak-ng", {"-w", spoken, "-s", "150", text}))
        return false;
    // The speech resampled to 44.1 kHz and cut (or padded) to one minute.
    return run("sox", {spoken, "-r", "44100", "-b", "16", "-c", "1", path, "pad", "0",
                       QString::number(kMemoSeconds), "trim", "0", QString::number(kMemoSeconds)});
}

bool makeTone(const QString& path)
{
    return run("sox", {"-n", "-r", "44100", "-b", "16", "-c", "1", path, "synth",
                       QString::number(kMemoSeconds), "sine", "220", "sine", "440", "vol", "0.3"});
}

std::vector<float> readSamples(const QString& path)
{
    // sox writes the float samples raw, so no WAV parsing is needed here.
    QTemporaryDir dir;
    const QString raw = dir.filePath("memo.f32");
    std::vector<float> samples;
    if (!run("sox", {path, "-t", "raw", "-e", "floating-point", "-b", "32", raw}))
        return samples;
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly))
        return samples;
    const QByteArray bytes = file.readAll();
    samples.resize(size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

// The stretcher's CPU seconds for the whole memo at `speed`, as playback pulls it (1024-frame
// pieces in, 512-frame device periods out); the output's length in seconds through `played`.
double stretcherCpu(const std::vector<float>& memo, double speed, double* played)
{
    auto converter = PlaybackConverter::create(kRate * speed, kRate, 1, kRate);
    if (!converter || !converter->stretches())
        return -1.0;
    size_t at = 0;
    const PlaybackConverter::Source source = [&](float* dst, size_t max) {
        const size_t n = std::min({max, size_t(1024), memo.size() - at});
        std::copy_n(memo.data() + at, n, dst);
        at += n;
        return n;
    };
    std::vector<float> period(512);
    size_t out = 0;
    const double before = threadCpu();
    while (!converter->flushed()) {
        const size_t n =
            converter->convert(period.data(), period.size(), source, at == memo.size());
        out += n;
        if (n == 0 && at < memo.size())
            return -1.0; // stalled with input left
    }
    const double cpu = threadCpu() - before;
    *played = double(out) / kRate;
    return cpu;
}

// sox's tempo effect on the memo into the null file; `speech` picks its speech settings (-s),
// which search shorter segments and cost several times its default.
double soxTempoCpu(const QString& memo, double speed, bool speech)
{
    QStringList arguments{memo, "-n", "tempo"};
    if (speech)
        arguments << "-s";
    arguments << QString::number(speed);
    const double before = childrenCpu();
    if (!run("sox", arguments))
        return -1.0;
    return childrenCpu() - before;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    BenchGoals goals;
    if (peerProgram("sox").isEmpty()) {
        goals.unmeasured("the stretcher beside sox tempo", "sox is not installed");
        return goals.exitCode();
    }
    QTemporaryDir dir;
    const QString memoPath = dir.filePath("memo.wav");
    const bool speech = !peerProgram("espeak-ng").isEmpty() && makeSpeech(dir, memoPath);
    if (!speech && !makeTone(memoPath)) {
        goals.unmeasured("the stretcher beside sox tempo", "cannot make the memo");
        return goals.exitCode();
    }
    const std::vector<float> memo = readSamples(memoPath);
    const double memoSeconds = double(memo.size()) / kRate;
    if (memoSeconds < 1.0) {
        goals.unmeasured("the stretcher beside sox tempo", "cannot read the memo");
        return goals.exitCode();
    }
    std::printf("== Pitch-true speeds: the time-stretcher alone, %.0f s of %s at 44.1 kHz\n"
                "   (CPU seconds per minute of memo, the median of %d runs each, taking turns; "
                "the peer is\n"
                "   sox memo.wav -n tempo S, its default settings; tempo -s, for speech, beside "
                "it)\n",
                memoSeconds, speech ? "espeak-ng speech" : "a two-tone signal", kRuns);
    for (double speed : {1.5, 0.75}) {
        std::vector<double> ours, theirs, theirsSpeech;
        double played = 0;
        interleaved(
            kRuns, [&] { ours.push_back(stretcherCpu(memo, speed, &played)); },
            [&] {
                theirs.push_back(soxTempoCpu(memoPath, speed, false));
                theirsSpeech.push_back(soxTempoCpu(memoPath, speed, true));
            });
        const std::string at = format("at %.2f", speed);
        const auto failed = [](const std::vector<double>& runs) {
            return *std::min_element(runs.begin(), runs.end()) < 0;
        };
        if (failed(ours) || failed(theirs) || failed(theirsSpeech)) {
            goals.unmeasured("the stretcher " + at, "a run failed");
            continue;
        }
        const double perMinute = median(ours) * 60.0 / memoSeconds;
        const double soxPerMinute = median(theirs) * 60.0 / memoSeconds;
        // While playing, the memo lasts its length divided by the speed.
        const double share = median(ours) / (memoSeconds / speed);
        goals.atMost("the stretcher " + at + ": CPU / sox tempo's", median(ours) / median(theirs),
                     kGoalRatio, "x",
                     format("stretcher %.3f s/min, sox tempo %.3f s/min; sox tempo -s %.3f "
                            "s/min, ratio %.2f; %.2f s played",
                            perMinute, soxPerMinute, median(theirsSpeech) * 60.0 / memoSeconds,
                            median(ours) / median(theirsSpeech), played));
        goals.atMost("the stretcher " + at + ": share of a core while playing", share * 100.0,
                     kGoalCoreShare * 100.0, "%");
    }
    return goals.exitCode();
}
