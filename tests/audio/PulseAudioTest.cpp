// SPDX-License-Identifier: GPL-3.0-or-later
// Against a real PulseAudio server with a null sink whose monitor is the microphone: what the
// recorder writes and what the player plays, how soon a scrub's move reaches the sink, with the
// latencies printed.
#include "EngineTestSupport.h"
#include "audio/AudioPlayer.h"
#include "audio/AudioRecorder.h"
#include "platform/audio/AudioSession.h"
#include "platform/audio/PulseAudioDevice.h"
#include "support/MonitorProbe.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <mutex>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

std::shared_ptr<PulseAudioDevice> connectOrFail()
{
    QString why;
    auto device = PulseAudioDevice::connect(&why);
    EXPECT_NE(device, nullptr) << why.toStdString();
    return device;
}

double playAndCapture(const ScratchDir& dir, const QString& clip, double speed, float gain,
                      std::vector<int16_t>* captured, const QString& name)
{
    auto device = connectOrFail();
    if (!device)
        return -1;
    MonitorCapture capture(dir.file(name));
    AudioPlayer player(QUrl::fromLocalFile(clip), speed, device);
    StateRecorder d;
    player.setNotificationDelegate(&d);
    player.setGainRT(gain);
    player.playAt(0);
    waitFor([&] { return player.queueObject()->startupLatency() >= 0; }, 2000);
    const double latency =
        player.queueObject()->startupLatency() + player.queueObject()->deviceLatency();
    EXPECT_TRUE(waitFor([&] { return d.states.size() == 2; }, 8000));
    *captured = capture.finish();
    return latency;
}

} // namespace

TEST(PulseAudio, RecordsAToneFromTheLoopbackMicrophone)
{
    ScratchDir dir;
    SinkTone tone(dir.file("tone.wav"), 4);
    auto device = connectOrFail();
    ASSERT_NE(device, nullptr);

    const QString take = dir.file("take.wav");
    AudioRecorder recorder(QUrl::fromLocalFile(take), 11025, device);
    StateRecorder d;
    recorder.setNotificationDelegate(&d);
    QElapsedTimer clock;
    clock.start();
    recorder.record();
    pumpEvents(2000);
    recorder.setStopping(true);
    recorder.stop();
    const double takeSeconds = clock.elapsed() / 1000.0;
    const double latency = recorder.queueObject()->startupLatency();
    tone.waitForEnd();
    std::printf("record -> first audio: %.1f ms\n", latency * 1000);
    EXPECT_GE(latency, 0.0);
    EXPECT_LT(latency, 0.3);
    EXPECT_EQ(d.states, (std::vector<bool>{true, false}));

    const auto s = readSamples(take);
    EXPECT_NEAR(double(s.size()) / 11025.0, takeSeconds, 0.15);
    ASSERT_GT(s.size(), 11025u);
    EXPECT_NEAR(dominantFrequency(s, 11025, 300, 600), 440.0, 2.0);
    EXPECT_GT(rms(s, 2000, s.size()), 0.25 * 32767 / std::sqrt(2.0));
}

TEST(PulseAudio, PlaysAtOneAndAHalfTimesTheSpeedAndDoublesWithGainTwo)
{
    ScratchDir dir;
    const QString clip = dir.file("clip.wav");
    ASSERT_TRUE(writeWav(clip, 22050, sine(300, 22050, 2 * 22050, 0.25)));

    // Played plainly and at gain 2: 2 s at 1.5 times the speed and pitch, and away from its
    // edges the second as loud again as the first.
    double level[2] = {};
    for (int gain : {1, 2}) {
        SCOPED_TRACE(gain);
        std::vector<int16_t> heard;
        const double latency =
            playAndCapture(dir, clip, 1.5, float(gain), &heard, QString("gain%1.wav").arg(gain));
        std::printf("playAt -> first sound: %.1f ms\n", latency * 1000);
        EXPECT_GE(latency, 0.0);
        EXPECT_LT(latency, 0.3);
        const size_t margin = 2205, a = firstLoud(heard, 2000), b = lastLoud(heard, 2000);
        ASSERT_LT(a + 2 * margin, b);
        EXPECT_NEAR(double(b - a) / 44100, 2.0 / 1.5, 0.05);
        EXPECT_NEAR(dominantFrequency(heard, 44100, 300, 600, a, b), 450.0, 2.0);
        level[gain - 1] = rms(heard, a + margin, b - margin);
    }
    EXPECT_NEAR(level[1] / level[0], 2.0, 0.1);
}

using sonavell::test::MonitorProbe;
using Clock = MonitorProbe::Clock;

TEST(PulseAudio, ScrubMovesReachTheSinkWithinFiftyMilliseconds)
{
    ScratchDir dir;
    const QString clip = dir.file("levels.wav");
    std::vector<int16_t> levels(4 * 44100, 1000);
    levels.resize(8 * 44100, -1000);
    ASSERT_TRUE(writeWav(clip, 44100, levels));
    // The probe records the sink's monitor itself rather than the remapped microphone.
    qputenv("PULSE_SOURCE", "sonavell_out.monitor");
    auto device = connectOrFail();
    qunsetenv("PULSE_SOURCE");
    ASSERT_NE(device, nullptr);
    MonitorProbe probe(device);
    EXPECT_TRUE(probe.running());
    pumpEvents(300);

    probe.arm(1000);
    auto t0 = Clock::now();
    AudioPlayer player(QUrl::fromLocalFile(clip), 1.0, device);
    player.setIsScrubbing(true);
    player.playAt(44100);
    const double fresh = probe.waitHeard(t0, 1000);
    std::vector<double> moves;
    for (int i = 0; i < 12; ++i) {
        pumpEvents(60 + 13 * (i % 7)); // somewhere inside a buffer's playing time
        const bool back = i % 2 == 1;
        probe.arm(back ? 1000 : -1000);
        t0 = Clock::now();
        player.scrubTo(back ? 44100 + 2205 * i : 5 * 44100 + 2205 * i);
        moves.push_back(probe.waitHeard(t0, 1000));
    }
    player.setAudioPlayerShouldStopImmediately(true);
    player.stop();
    std::sort(moves.begin(), moves.end());
    std::printf("scrub move -> heard at the monitor: %.1f-%.1f ms, median %.1f ms; fresh start "
                "%.1f ms\n",
                moves.front() * 1000, moves.back() * 1000, moves[moves.size() / 2] * 1000,
                fresh * 1000);
    EXPECT_GE(fresh, 0.0);
    EXPECT_EQ(std::count(moves.begin(), moves.end(), -1.0), 0); // every move was heard
    EXPECT_LE(moves[moves.size() / 2], 0.05);
}

namespace {
std::vector<uint32_t> g_interruptions;
void onInterruption(void*, uint32_t state)
{
    g_interruptions.push_back(state);
}
} // namespace

TEST(PulseAudio, ASuspendedSinkInterruptsTheSession)
{
    ScratchDir dir;
    auto device = connectOrFail();
    ASSERT_NE(device, nullptr);
    const QString clip = dir.file("long.wav");
    ASSERT_TRUE(writeWav(clip, 22050, sine(300, 22050, 5 * 22050, 0.25)));
    AudioSession::instance().initialize(&onInterruption, nullptr);
    AudioPlayer player(QUrl::fromLocalFile(clip), 1.0, device);
    player.playAt(0);
    pumpEvents(300);
    QProcess::execute("pactl", {"suspend-sink", "sonavell_out", "1"});
    EXPECT_TRUE(waitFor([] { return !g_interruptions.empty(); }, 3000));
    QProcess::execute("pactl", {"suspend-sink", "sonavell_out", "0"});
    EXPECT_TRUE(waitFor([] { return g_interruptions.size() >= 2; }, 3000));
    EXPECT_EQ(g_interruptions, (std::vector<uint32_t>{AudioSession::kAudioSessionBeginInterruption,
                                                      AudioSession::kAudioSessionEndInterruption}));
    player.setAudioPlayerShouldStopImmediately(true);
    player.stop();
    AudioSession::instance().initialize(nullptr, nullptr);
}

TEST(PulseAudio, IsTheDefaultDeviceWhenTheServerAnswers)
{
    EXPECT_NE(AudioDevice::defaultDevice()->name(), "virtual");
}
