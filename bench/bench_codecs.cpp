// Converting memos for sharing: a 10-minute 22050 Hz memo to Opus and to FLAC with the program's
// converter, beside sox (FLAC) and opusenc (Opus, 24 kbit/s) on the same file in the same run.
// Goal: the converter takes at most 1.5 times as long as its peer. Then the size of one minute
// of speech-like audio at each recording quality, as WAV, Opus and FLAC.
//
// The memo is synthetic speech: a voiced tone with harmonics whose pitch glides between 100 and
// 240 Hz, shaped into syllables of about a fifth of a second, with pauses between phrases and a
// little breath noise, so that both codecs see the pauses and variations a real memo has.
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

// The shortest of kRuns runs of `work`, in seconds; negative when a run fails.
template <typename Work> double fastest(Work work)
{
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!work())
            return -1.0;
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
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
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    const QString opusenc = QStandardPaths::findExecutable(QStringLiteral("opusenc"));
    if (sox.isEmpty() || opusenc.isEmpty()) {
        std::fprintf(stderr, "bench_codecs needs sox and opusenc (scripts/install-deps)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString memo = dir.filePath(QStringLiteral("memo.wav"));
    if (!writeSpeechLike(memo, 22050, 600.0))
        return 2;

    using Format = AudioConverter::Format;
    const auto ours = [&](Format format) {
        return fastest([&] {
            return AudioConverter::convertFile(
                       memo,
                       dir.filePath(QStringLiteral("ours.") + AudioConverter::extensionFor(format)),
                       format)
                .ok();
        });
    };
    const double oursFlac = ours(Format::Flac);
    const double soxFlac = fastest([&] { return runPeer(sox, {memo, dir.filePath("sox.flac")}); });
    const double oursOpus = ours(Format::Opus);
    const double peerOpus = fastest([&] {
        return runPeer(opusenc, {"--quiet", "--bitrate", "24", memo, dir.filePath("peer.opus")});
    });
    if (oursFlac < 0 || soxFlac < 0 || oursOpus < 0 || peerOpus < 0)
        return 2;

    const auto size = [&](const char* name) { return QFileInfo(dir.filePath(name)).size(); };
    std::printf("10-minute 22050 Hz memo (%lld bytes), fastest of %d runs:\n",
                QFileInfo(memo).size(), kRuns);
    std::printf("  FLAC  ours %7.3f s  sox     %7.3f s  ratio %.2f  (%lld vs %lld bytes)\n",
                oursFlac, soxFlac, oursFlac / soxFlac, size("ours.flac"), size("sox.flac"));
    std::printf("  Opus  ours %7.3f s  opusenc %7.3f s  ratio %.2f  (%lld vs %lld bytes)\n",
                oursOpus, peerOpus, oursOpus / peerOpus, size("ours.opus"), size("peer.opus"));

    std::printf("One minute of speech-like audio:\n");
    for (const int rate : {11025, 22050, 44100}) {
        const QString wav = dir.filePath(QStringLiteral("minute%1.wav").arg(rate));
        if (!writeSpeechLike(wav, rate, 60.0))
            return 2;
        qint64 sizes[2] = {};
        for (const Format format : {Format::Opus, Format::Flac}) {
            const QString out = wav + QLatin1Char('.') + AudioConverter::extensionFor(format);
            if (!AudioConverter::convertFile(wav, out, format).ok())
                return 2;
            sizes[format == Format::Flac] = QFileInfo(out).size();
        }
        std::printf("  %5d Hz  WAV %8lld  Opus %7lld  FLAC %8lld bytes\n", rate,
                    QFileInfo(wav).size(), sizes[0], sizes[1]);
    }

    const bool met = oursFlac <= kGoal * soxFlac && oursOpus <= kGoal * peerOpus;
    std::printf("goal (each at most %.1f x its peer): %s\n", kGoal, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
