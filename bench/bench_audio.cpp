// Audio engine figures, each beside a named peer measured in the same run:
//  1. player pipeline CPU time (read + gain + convert) against sox's speed effect on the same
//     file, and with the pitch kept against sox's tempo effect;
//  2. CPU time of recording from the loopback microphone against parecord;
//  3. memory over a one-hour take on the virtual device;
//  4. how soon a scrub's move is heard, on the virtual device and at the private PulseAudio
//     server's sink monitor, against how soon a fresh playback is heard.
// Needs sox, pulseaudio and parecord/paplay (scripts/install-deps installs them).
#include "audio/AudioPlayer.h"
#include "audio/AudioQueueStateDelegate.h"
#include "audio/AudioRecorder.h"
#include "platform/audio/AudioFile.h"
#include "platform/audio/PulseAudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "support/MonitorProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}

struct StopWatcher : AudioQueueStateDelegate
{
    int changes = 0;
    void updateUserInterfaceOnAudioQueueStateChange(AudioQueueObject*) override { ++changes; }
};

bool writeTone(const QString& path, double rate, double seconds)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::createWithURL(path, monoPCM16Format(rate), &file) != noErr)
        return false;
    std::vector<int16_t> chunk(static_cast<size_t>(rate));
    int64_t at = 0;
    for (int s = 0; s < int(seconds); ++s) {
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = int16_t(
                3000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * double(at + int64_t(i)) / rate));
        uint32_t n = uint32_t(chunk.size());
        if (file->writePackets(at, &n, chunk.data()) != noErr)
            return false;
        at += n;
    }
    return true;
}

// Plays the file on a manual-clock virtual device as fast as it goes; the CPU seconds it took.
double playThrough(const QString& path, double speed, bool preservePitch, double* frames)
{
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual, 44100);
    device->setCaptureOutput(false);
    const double before = cpuSeconds(RUSAGE_SELF);
    {
        AudioPlayer player(QUrl::fromLocalFile(path), speed, device);
        StopWatcher w;
        player.setNotificationDelegate(&w);
        player.setGainRT(10.0f);
        player.setPreservesPitch(preservePitch);
        player.playAt(0);
        while (w.changes < 2) {
            device->advance(0.1);
            QCoreApplication::processEvents();
        }
    }
    *frames = double(device->outputFramesPlayed());
    return cpuSeconds(RUSAGE_SELF) - before;
}

// sox on the same file with the given effects, to 44.1 kHz raw output; its CPU seconds, or -1.
double soxCpu(const QTemporaryDir& dir, const QString& in, const QStringList& effects)
{
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess sox;
    sox.start("sox",
              QStringList{in, "-r", "44100", "-t", "raw", dir.filePath("out.raw")} + effects);
    const bool ok = sox.waitForFinished(600000) && sox.exitStatus() == QProcess::NormalExit &&
                    sox.exitCode() == 0;
    QFile::remove(dir.filePath("out.raw"));
    return ok ? cpuSeconds(RUSAGE_CHILDREN) - before : -1.0;
}

void playerThroughput(const QTemporaryDir& dir)
{
    std::printf("== Player pipeline: a 10-minute WAV, gain 10, read + gain + convert to 44.1 kHz\n"
                "   (CPU seconds; the peer is sox ... vol 10 speed S on the same file)\n");
    struct Case
    {
        double rate, speed;
    };
    for (const Case& c : {Case{44100, 1.5}, Case{44100, 0.75}, Case{11025, 1.5}}) {
        const QString in = dir.filePath("in.wav");
        if (!writeTone(in, c.rate, 600)) {
            std::printf("   cannot write the test file\n");
            return;
        }
        double frames = 0;
        const double ours = playThrough(in, c.speed, false, &frames);
        const double theirs = soxCpu(dir, in, {"vol", "10", "speed", QString::number(c.speed)});
        std::printf("   %5.0f Hz at %.2f: ours %.2f s (%.1f s of audio), sox %.2f s, ratio %.2f "
                    "(goal <= 0.6)\n",
                    c.rate, c.speed, ours, frames / 44100.0, theirs,
                    theirs > 0 ? ours / theirs : -1.0);
        QFile::remove(in);
    }

    std::printf("== Pitch-true speeds (preserve_pitch): the same pipeline with the time-stretcher\n"
                "   (a 2-minute WAV; CPU seconds; the peer is sox ... vol 10 tempo S)\n");
    for (double speed : {1.5, 0.75}) {
        const QString in = dir.filePath("in.wav");
        if (!writeTone(in, 44100, 120))
            return;
        double frames = 0;
        const double ours = playThrough(in, speed, true, &frames);
        const double theirs = soxCpu(dir, in, {"vol", "10", "tempo", QString::number(speed)});
        std::printf("   44100 Hz at %.2f: ours %.2f s (%.1f s of audio), sox tempo %.2f s, ratio "
                    "%.2f\n",
                    speed, ours, frames / 44100.0, theirs, theirs > 0 ? ours / theirs : -1.0);
        QFile::remove(in);
    }
}

// The test-service script of the source tree: SONAVELL_SOURCE_DIR, the working directory, or the
// source directory recorded in the build tree's CMake cache.
QString findScript()
{
    const QString rel = QStringLiteral("/scripts/pulse-test-service");
    QStringList roots{qEnvironmentVariable("SONAVELL_SOURCE_DIR"), QDir::currentPath()};
    QFile cache(QCoreApplication::applicationDirPath() + "/../CMakeCache.txt");
    if (cache.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : cache.readAll().split('\n'))
            if (line.startsWith("CMAKE_HOME_DIRECTORY:INTERNAL="))
                roots << QString::fromUtf8(line.mid(line.indexOf('=') + 1)).trimmed();
    }
    for (const QString& root : roots)
        if (!root.isEmpty() && QFile::exists(root + rel))
            return root + rel;
    return QStringLiteral("scripts/pulse-test-service");
}

void recordingCpu(const QTemporaryDir& dir)
{
    std::printf("== Recording CPU: 20 s from the loopback microphone at 44100 Hz\n");
    const QString script = findScript();
    const QString serverDir = dir.filePath("pulse");
    if (QProcess::execute(script, {"start", serverDir}) != 0) {
        std::printf("   no PulseAudio server could be started; skipped\n");
        return;
    }
    qputenv("PULSE_SERVER", ("unix:" + serverDir + "/native").toUtf8());
    const QString tone = dir.filePath("tone.wav");
    writeTone(tone, 44100, 50);
    QProcess paplay;
    paplay.start("paplay", {"--latency-msec=20", tone});
    paplay.waitForStarted();
    QThread::msleep(300);

    QString why;
    auto device = PulseAudioDevice::connect(&why);
    if (device) {
        const double before = cpuSeconds(RUSAGE_SELF);
        {
            AudioRecorder recorder(QUrl::fromLocalFile(dir.filePath("ours.wav")), 44100, device);
            recorder.record();
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 20000) {
                QCoreApplication::processEvents();
                QThread::msleep(20);
            }
            recorder.setStopping(true);
            recorder.stop();
        }
        const double ours = cpuSeconds(RUSAGE_SELF) - before;

        const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
        QProcess parecord;
        parecord.start("timeout",
                       {"-s", "INT", "20", "parecord", "--latency-msec=20", "--device=sonavell_mic",
                        "--rate=44100", "--channels=1", "--format=s16le", "--file-format=wav",
                        dir.filePath("parecord.wav")});
        parecord.waitForFinished(40000);
        const double theirs = cpuSeconds(RUSAGE_CHILDREN) - childBefore;
        std::printf("   ours: %.3f CPU s (%.1f s recorded)\n", ours,
                    double(QFileInfo(dir.filePath("ours.wav")).size() - 44) / 88200.0);
        std::printf("   parecord: %.3f CPU s (%.1f s recorded)\n", theirs,
                    double(QFileInfo(dir.filePath("parecord.wav")).size() - 44) / 88200.0);
        if (theirs > 0)
            std::printf("   ratio ours/parecord: %.2f (goal <= 1.5)\n", ours / theirs);
    } else {
        std::printf("   cannot connect: %s\n", qPrintable(why));
    }
    paplay.kill();
    paplay.waitForFinished();
    device.reset();
    QProcess::execute(script, {"stop", serverDir});
}

void memoryOverAnHour(const QTemporaryDir& dir)
{
    std::printf("== Memory: a one-hour HQ take on the virtual device (manual clock)\n");
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    device->setInputGenerator(VirtualAudioDevice::Generator::Sine, 440, 0.3);
    const QString path = dir.filePath("hour.wav");
    AudioRecorder recorder(QUrl::fromLocalFile(path), 44100, device);
    recorder.record();
    device->advance(10.0 / 44100 * 4096); // the buffers are in use
    QThread::msleep(50);
    const long startRss = statusKb("VmRSS:"), startPeak = statusKb("VmHWM:");
    for (int i = 0; i < 3600 * 5; ++i) {
        device->advance(0.2);
        std::this_thread::yield();
        if (i % 50 == 0)
            QThread::msleep(1);
    }
    QThread::msleep(50);
    const long endRss = statusKb("VmRSS:"), endPeak = statusKb("VmHWM:");
    const uint64_t dropped = recorder.queueObject()->droppedFrames();
    recorder.setStopping(true);
    recorder.stop();
    std::printf("   at start: RSS %.1f MB, peak %.1f MB\n", startRss / 1024.0, startPeak / 1024.0);
    std::printf("   at end:   RSS %.1f MB, peak %.1f MB (file %.0f MB, %llu frames dropped)\n",
                endRss / 1024.0, endPeak / 1024.0, QFileInfo(path).size() / 1048576.0,
                static_cast<unsigned long long>(dropped));
    std::printf("   peak growth: %.2f MB (goal <= 2 MB)\n", (endPeak - startPeak) / 1024.0);
    QFile::remove(path);
}

// A clip whose first half holds +1000 in every sample and its second half -1000.
bool writeTwoLevels(const QString& path, double rate, double seconds)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::createWithURL(path, monoPCM16Format(rate), &file) != noErr)
        return false;
    const size_t half = size_t(rate * seconds / 2.0);
    std::vector<int16_t> samples(half, 1000);
    samples.resize(2 * half, -1000);
    uint32_t n = uint32_t(samples.size());
    return file->writePackets(0, &n, samples.data()) == noErr;
}

// Runs the manual clock in 5 ms steps until the speaker is given a sample near the level;
// the simulated seconds that took, or -1 when it did not come within 2 s.
double secondsUntilHeard(VirtualAudioDevice& device, int16_t level)
{
    device.clearOutput();
    for (double t = 0.005; t < 2.0; t += 0.005) {
        device.advance(0.005);
        QCoreApplication::processEvents();
        for (int16_t s : device.outputSamples())
            if (std::abs(s - level) < 50)
                return t;
    }
    return -1.0;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1.0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

void scrubLatency(const QTemporaryDir& dir)
{
    std::printf("== Scrub: a move of the read position until its sound reaches the speaker\n"
                "   (virtual device, simulated clock; moves at 20 instants across a buffer)\n");
    for (double rate : {11025.0, 22050.0, 44100.0}) {
        const QString path = dir.filePath("levels.wav");
        if (!writeTwoLevels(path, rate, 8.0)) {
            std::printf("   cannot write the test file\n");
            return;
        }
        auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
        double start = 0.0;
        {
            AudioPlayer fresh(QUrl::fromLocalFile(path), 1.0, device);
            fresh.playAt(uint64_t(rate * 1.0));
            start = secondsUntilHeard(*device, 1000);
            fresh.setAudioPlayerShouldStopImmediately(true);
            fresh.stop();
        }
        std::vector<double> heard;
        const int moves = 20;
        for (int i = 0; i < moves; ++i) {
            AudioPlayer player(QUrl::fromLocalFile(path), 1.0, device);
            player.setIsScrubbing(true);
            player.playAt(uint64_t(rate * 1.0));
            // Somewhere inside a buffer's playing time (about 0.19 s).
            device->advance(0.3 + 0.19 * i / moves);
            QCoreApplication::processEvents();
            player.scrubTo(uint64_t(rate * 6.0));
            heard.push_back(secondsUntilHeard(*device, -1000));
            player.setAudioPlayerShouldStopImmediately(true);
            player.stop();
        }
        std::printf("   %5.0f Hz: move heard after %.0f-%.0f ms (median %.0f, goal <= 50); a fresh "
                    "playback is heard after %.0f ms\n",
                    rate, *std::min_element(heard.begin(), heard.end()) * 1000.0,
                    *std::max_element(heard.begin(), heard.end()) * 1000.0, median(heard) * 1000.0,
                    start * 1000.0);
    }
}

using sonavell::test::MonitorProbe;

void scrubLatencyPulse(const QTemporaryDir& dir)
{
    std::printf("== Scrub on the private PulseAudio: a move until its sound is at the sink's "
                "monitor\n");
    const QString script = findScript();
    const QString serverDir = dir.filePath("pulse2");
    if (QProcess::execute(script, {"start", serverDir}) != 0) {
        std::printf("   no PulseAudio server could be started; skipped\n");
        return;
    }
    qputenv("PULSE_SERVER", ("unix:" + serverDir + "/native").toUtf8());
    qputenv("PULSE_SOURCE", "sonavell_out.monitor");
    {
        QString why;
        auto device = PulseAudioDevice::connect(&why);
        const QString path = dir.filePath("levels.wav");
        if (!device || !writeTwoLevels(path, 44100, 8.0)) {
            std::printf("   cannot connect: %s\n", qPrintable(why));
        } else {
            MonitorProbe probe(device);
            QThread::msleep(300);
            std::vector<double> fresh, moves;
            for (int round = 0; round < 5; ++round) {
                probe.arm(1000);
                auto t0 = MonitorProbe::Clock::now();
                AudioPlayer player(QUrl::fromLocalFile(path), 1.0, device);
                player.setIsScrubbing(true);
                player.playAt(44100);
                fresh.push_back(probe.waitHeard(t0, 2000));
                for (int i = 0; i < 8; ++i) {
                    // Somewhere inside a buffer's playing time, as a hand on the wheel would.
                    const auto until = MonitorProbe::Clock::now() +
                                       std::chrono::milliseconds(60 + 17 * ((round * 8 + i) % 9));
                    while (MonitorProbe::Clock::now() < until) {
                        QCoreApplication::processEvents();
                        QThread::usleep(500);
                    }
                    const bool back = i % 2 == 1;
                    probe.arm(back ? 1000 : -1000);
                    t0 = MonitorProbe::Clock::now();
                    player.scrubTo(back ? 44100 + 4410 * i : 5 * 44100 + 4410 * i);
                    moves.push_back(probe.waitHeard(t0, 2000));
                }
                player.setAudioPlayerShouldStopImmediately(true);
                player.stop();
                QThread::msleep(100);
            }
            const bool missed = std::find(moves.begin(), moves.end(), -1.0) != moves.end();
            std::printf(
                "   move heard after %.1f-%.1f ms (median %.1f ms over %zu moves%s, goal <= "
                "50); a fresh playback after %.1f ms (median); ratio %.2f\n",
                *std::min_element(moves.begin(), moves.end()) * 1000.0,
                *std::max_element(moves.begin(), moves.end()) * 1000.0, median(moves) * 1000.0,
                moves.size(), missed ? ", some never heard" : "", median(fresh) * 1000.0,
                median(moves) / median(fresh));
        }
    }
    qunsetenv("PULSE_SOURCE");
    QProcess::execute(script, {"stop", serverDir});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    playerThroughput(dir);
    recordingCpu(dir);
    memoryOverAnHour(dir);
    scrubLatency(dir);
    scrubLatencyPulse(dir);
    return 0;
}
