// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder screen end to end: its own buttons, tapped on the offscreen platform, record a
// tone from the PulseAudio loopback microphone and play the take back into the null sink; the
// jog wheel, dragged with the mouse, scrubs through it. Then the sound server goes away and
// comes back under a take and a playback, and is missing when the program starts.
#include "RecorderTestSupport.h"

#include "audio/EngineTestSupport.h"
#include "dashboard/DashboardTestSupport.h"
#include "dashboard/LocatorView.h"
#include "platform/ui/ImageButton.h"
#include "support/MouseFinger.h"

#include "platform/audio/PulseAudioDevice.h"

#include <QProcess>

#include <cmath>

using namespace sonavell::test;

namespace {

class RecorderScreenOnPulseAudio : public RecorderFixture
{
protected:
    RecorderScreenOnPulseAudio()
        : RecorderFixture(true)
    {
    }
};

// Stops and starts the tests' private sound server with the script that the test fixture runs;
// whatever happens in the test, the server runs again when this goes.
class SoundServer
{
public:
    ~SoundServer()
    {
        if (m_stopped)
            start();
    }
    bool stop()
    {
        m_stopped = true;
        return run("stop");
    }
    bool start()
    {
        m_stopped = !run("start");
        return !m_stopped;
    }

private:
    static bool run(const char* command)
    {
        return QProcess::execute(
                   qEnvironmentVariable("SONAVELL_SOURCE_DIR") + "/scripts/pulse-test-service",
                   {command, qEnvironmentVariable("SONAVELL_BUILD_DIR") + "/pulse-test"}) == 0;
    }
    bool m_stopped = false;
};

bool deviceAvailable(int timeoutMs)
{
    return waitFor([] { return AudioDevice::defaultDevice()->isAvailable(); }, timeoutMs);
}

TEST_F(RecorderScreenOnPulseAudio, RecordsAToneWithItsButtonsAndPlaysItBack)
{
    showScreen();
    ASSERT_FALSE(transport()->hasPlayMode());

    SinkTone tone(dir.file("tone.wav"), 3); // what the microphone hears
    transport()->buttonA()->click();        // record
    ASSERT_TRUE(waitFor([&] { return avc->bargraphTimer() != nullptr; }, 2000));
    pumpEvents(1500);
    EXPECT_NEAR(locator(), 1.5, 0.2);
    transport()->buttonA()->click(); // stop
    ASSERT_EQ(avc->audioRecorder(), nullptr);
    ASSERT_TRUE(tone.waitForEnd());

    ASSERT_EQ(app->recArrayFilter(app->searchText()).size(), 1);
    const auto recording = current();
    ASSERT_NE(recording, nullptr);
    const std::vector<int16_t> take = readSamples(currentPath());
    EXPECT_EQ(recording->quality(), "LQ");
    EXPECT_NEAR(recording->duration(), double(take.size()) / 11025.0, 1e-6);
    EXPECT_NEAR(recording->duration(), 1.5, 0.3);
    ASSERT_GT(take.size(), 11025u);
    EXPECT_NEAR(dominantFrequency(take, 11025.0, 300, 600, 2000), 440.0, 2.0);
    EXPECT_GT(rms(take, 2000, take.size()), 0.25 * 32767 / std::sqrt(2.0));
    EXPECT_TRUE(transport()->hasPlayMode());

    // Played back into the sink, the take is heard from its monitor: the tone, for as long as
    // the take lasts.
    MonitorCapture heard(dir.file("heard.wav"));
    transport()->buttonB()->click(); // play
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_TRUE(transport()->playing());
    EXPECT_TRUE(waitFor([&] { return avc->audioPlayer() == nullptr; },
                        int(recording->duration() * 1000) + 3000));
    EXPECT_FALSE(transport()->playing());
    const std::vector<int16_t> played = heard.finish();
    const size_t first = firstLoud(played, 3000), last = lastLoud(played, 3000);
    ASSERT_LT(first, last);
    EXPECT_NEAR(double(last - first) / 44100.0, recording->duration(), 0.1);
    EXPECT_NEAR(dominantFrequency(played, 44100.0, 300, 600, first, last), 440.0, 2.0);

    // Dragging the wheel scrubs: a player in scrub mode runs on the sound server from where
    // the wheel puts the locator, is heard, and stops when the wheel is let go.
    MonitorCapture scrubbed(dir.file("scrubbed.wav"));
    avc->dbView()->locatorControl()->setValue(0.0f);
    const LocatorView* wheel = avc->dbView()->locatorView();
    MouseFinger finger(avc.get());
    finger.press(pointOnWheel(wheel, 180), 1.0);
    finger.move(pointOnWheel(wheel, 181), 1.1);
    finger.move(pointOnWheel(wheel, 190), 1.2);
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_TRUE(avc->audioPlayer()->isScrubbing());
    EXPECT_TRUE(avc->audioPlayer()->isRunning());
    EXPECT_FLOAT_EQ(locator(), 0.5f);
    pumpEvents(700);
    EXPECT_NE(avc->audioPlayer(), nullptr);
    finger.release(pointOnWheel(wheel, 190), 3.0);
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FLOAT_EQ(recording->lastPlayTime(), 0.5f);
    const std::vector<int16_t> scrub = scrubbed.finish();
    const size_t from = firstLoud(scrub, 3000), to = lastLoud(scrub, 3000);
    ASSERT_LT(from, to);
    EXPECT_NEAR(dominantFrequency(scrub, 44100.0, 300, 600, from, to), 440.0, 2.0);
}

} // namespace

namespace {

TEST_F(RecorderScreenOnPulseAudio, TakesAndPlaybackSurviveTheSoundServerGoingAwayAndComingBack)
{
    showScreen();
    SoundServer server;
    AlertView::clearHistory();

    // The server goes away under a take: the take ends as the stop button ends it.
    {
        SinkTone tone(dir.file("tone1.wav"), 3);
        transport()->buttonA()->click(); // record
        ASSERT_TRUE(waitFor([&] { return avc->bargraphTimer() != nullptr; }, 2000));
        pumpEvents(1200);
        ASSERT_TRUE(server.stop());
        EXPECT_TRUE(waitFor([&] { return avc->audioRecorder() == nullptr; }, 3000));
    }
    EXPECT_FALSE(transport()->recording());
    EXPECT_EQ(avc->bargraphTimer(), nullptr);
    EXPECT_EQ(
        AlertView::history(),
        QStringList{"Sonavell: The sound device was lost. The recording was stopped and saved."});
    const auto first = current();
    const std::vector<int16_t> kept = readSamples(currentPath());
    EXPECT_GT(kept.size(), 11025u / 2);
    EXPECT_NEAR(first->duration(), double(kept.size()) / 11025.0, 1e-6);
    EXPECT_EQ(first->quality(), "LQ");
    EXPECT_TRUE(transport()->hasPlayMode());

    // While it is away, nothing records or plays, and the user is told.
    AlertView::clearHistory();
    transport()->buttonA()->click();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_FALSE(transport()->recording());
    EXPECT_EQ(AlertView::history(), QStringList{"Sonavell: No sound device is available."});

    // Back again: the next tap records, without a restart.
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(deviceAvailable(5000));
    avc->newRecording();
    ASSERT_NE(current(), first);
    {
        SinkTone tone(dir.file("tone2.wav"), 3);
        transport()->buttonA()->click();
        ASSERT_TRUE(waitFor([&] { return avc->bargraphTimer() != nullptr; }, 2000));
        pumpEvents(1500);
        transport()->buttonA()->click();
        ASSERT_EQ(avc->audioRecorder(), nullptr);
    }
    const std::vector<int16_t> second = readSamples(currentPath());
    EXPECT_NEAR(current()->duration(), 1.5, 0.3);
    EXPECT_NEAR(dominantFrequency(second, 11025.0, 300, 600, 2000), 440.0, 2.0);

    // The server goes away under a playback: it stops, the user is told, and the next tap on
    // play plays once the server is back.
    AlertView::clearHistory();
    transport()->buttonB()->click(); // play
    ASSERT_NE(avc->audioPlayer(), nullptr);
    pumpEvents(300);
    ASSERT_TRUE(server.stop());
    EXPECT_TRUE(waitFor([&] { return avc->audioPlayer() == nullptr; }, 3000));
    EXPECT_FALSE(transport()->playing());
    EXPECT_EQ(AlertView::history(),
              QStringList{"Sonavell: The sound device was lost. The playback was stopped."});
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(deviceAvailable(5000));
    transport()->buttonB()->click();
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_TRUE(avc->audioPlayer()->isRunning());
    transport()->buttonB()->click();
    EXPECT_EQ(avc->audioPlayer(), nullptr);
}

TEST_F(RecorderScreenOnPulseAudio, WithoutASoundServerAtStartTheUserIsToldUntilOneAnswers)
{
    SoundServer server;
    ASSERT_TRUE(server.stop());
    // A program started now finds no server; its device keeps trying.
    AudioDevice::setDefaultDevice(nullptr);
    EXPECT_EQ(AudioDevice::defaultDevice()->name(), "pulseaudio");
    EXPECT_FALSE(AudioDevice::defaultDevice()->isAvailable());
    showScreen();
    AlertView::clearHistory();
    transport()->buttonA()->click();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_FALSE(transport()->recording());
    EXPECT_EQ(AlertView::history(), QStringList{"Sonavell: No sound device is available."});

    ASSERT_TRUE(server.start());
    ASSERT_TRUE(deviceAvailable(5000));
    transport()->buttonA()->click();
    ASSERT_TRUE(waitFor([&] { return avc->bargraphTimer() != nullptr; }, 2000));
    pumpEvents(800);
    transport()->buttonA()->click();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_NEAR(current()->duration(), 0.8, 0.3);
}

} // namespace
