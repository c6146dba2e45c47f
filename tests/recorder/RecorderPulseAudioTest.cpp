// The recorder screen end to end: its own buttons, tapped on the offscreen platform, record a
// tone from the PulseAudio loopback microphone and play the take back into the null sink; the
// jog wheel, dragged with the mouse, scrubs through it.
#include "RecorderTestSupport.h"

#include "audio/EngineTestSupport.h"
#include "dashboard/DashboardTestSupport.h"
#include "dashboard/LocatorView.h"
#include "platform/ui/ImageButton.h"
#include "support/MouseFinger.h"

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
