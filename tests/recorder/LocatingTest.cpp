// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderTestSupport.h"

#include "dashboard/DashboardTestSupport.h"
#include "dashboard/LocatorView.h"
#include "dashboard/MeterView.h"
#include "platform/ui/ImageSlider.h"
#include "support/MouseFinger.h"

#include <QLabel>
#include <QTest>

#include <algorithm>

using sonavell::test::MouseFinger;

namespace {

class LocatingTest : public RecorderFixture
{
protected:
    void SetUp() override
    {
        RecorderFixture::SetUp();
        showScreen();
        finger = MouseFinger(avc.get());
    }

    LocatorControl* locatorControl() const { return avc->dbView()->locatorControl(); }
    LocatorView* wheel() const { return avc->dbView()->locatorView(); }
    QPoint at(double degrees) const { return sonavell::test::pointOnWheel(wheel(), degrees); }
    // The locate slider's thumb centre in the screen's coordinates.
    QPointF locateThumb() const
    {
        ImageSlider* slider = transport()->customLocateSlider();
        return slider->mapTo(avc.get(), slider->thumbRect().center());
    }
    QString timeString(double seconds, int units = 0) const
    {
        return AppDelegate::makeTimeStringFromSamps(seconds * avc->recordQuality(), int16_t(units),
                                                    avc->recordQuality());
    }
    float timeMeter() const { return avc->dbView()->timeMeterView()->currentLevel(); }

    // Runs the clock until the speaker has been given a sample near the level; the time it
    // took, or -1 when it never came within the limit.
    double timeUntilHeard(int16_t level, double limit)
    {
        device->clearOutput();
        for (double t = 0.0; t < limit; t += 0.01) {
            pump(0.01);
            const auto out = device->outputSamples();
            if (std::any_of(out.begin(), out.end(),
                            [level](int16_t s) { return std::abs(s - level) < 50; }))
                return t + 0.01;
        }
        return -1.0;
    }

    MouseFinger finger{nullptr};
};

TEST_F(LocatingTest, ReadOutsMetersAndTheSliderFollowTheLocatorInBothUnits)
{
    // No clip: the meter and the slider stay at 0.
    locatorControl()->setValue(3.0f);
    EXPECT_EQ(timeMeter(), 0.0f);
    EXPECT_EQ(transport()->customLocateSlider()->value(), 0.0f);

    loadClip(10.0);
    locatorControl()->setValue(2.5f);
    EXPECT_FLOAT_EQ(transport()->customLocateSlider()->value(), 25.0f);
    EXPECT_FLOAT_EQ(timeMeter(), 0.25f);
    EXPECT_EQ(avc->statusSign()->text(), timeString(2.5));
    EXPECT_EQ(avc->label1()->text(), "of");
    EXPECT_EQ(avc->label2()->text(), timeString(10.0));
    avc->setTimeUnits(1);
    locatorControl()->setValue(2.5f);
    EXPECT_EQ(avc->statusSign()->text(), timeString(2.5, 1));
    EXPECT_NE(timeString(2.5, 1), timeString(2.5, 0));
    avc->setTimeUnits(0);

    // While the volume slider is held the read-outs show the volume, whatever the locator
    // does; let go, they show the position again.
    ImageSlider* volume = transport()->customSlider();
    const QPoint thumb = volume->mapTo(avc.get(), volume->thumbRect().center().toPoint());
    finger.press(thumb, 1.0);
    finger.move(thumb + QPoint(40, 0), 1.1);
    const QString boost = avc->statusSign()->text();
    EXPECT_TRUE(boost.endsWith("dB")) << boost.toStdString();
    locatorControl()->setValue(4.0f);
    EXPECT_EQ(avc->statusSign()->text(), boost);
    EXPECT_FLOAT_EQ(timeMeter(), 0.4f);
    finger.release(thumb + QPoint(40, 0), 1.2);
    EXPECT_EQ(avc->statusSign()->text(), timeString(4.0));
    EXPECT_EQ(avc->label1()->text(), "of");
    EXPECT_EQ(avc->label2()->text(), timeString(10.0));

    // During a take the time meter sits at 0, the slider stays and the length grows with the
    // take, which writes at the end of the clip.
    transport()->customLocateSlider()->setValue(40.0f);
    transport()->doRecord();
    pump(0.5);
    ASSERT_TRUE(transport()->recording());
    EXPECT_EQ(timeMeter(), 0.0f);
    EXPECT_FLOAT_EQ(transport()->customLocateSlider()->value(), 40.0f);
    EXPECT_EQ(avc->statusSign()->text(), timeString(locatorControl()->value()));
    EXPECT_EQ(avc->label2()->text(), avc->statusSign()->text());
    transport()->doRecord();
    settle();
}

TEST_F(LocatingTest, AWheelTouchWithNothingPlayingScrubsInSamplesAndStopsAtTheNewPlace)
{
    loadClip(8.0);
    finger.press(at(180), 1.0);
    finger.move(at(181), 1.1);
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_TRUE(avc->isScrubbing());
    EXPECT_TRUE(avc->audioPlayer()->isScrubbing());
    EXPECT_FALSE(avc->resumePlay());
    EXPECT_TRUE(transport()->playing());

    finger.move(at(190), 1.2);
    finger.move(at(200), 1.3);
    EXPECT_FLOAT_EQ(locator(), 1.0f);
    EXPECT_EQ(avc->audioPlayer()->startPos(), 11025u);
    // The cursor went back to 0 with the move; the queued buffers may already have been
    // refilled from there, at most one read each.
    EXPECT_LE(avc->audioPlayer()->startingPacketNumber(),
              int64_t(AudioPlayer::kNumberBuffers * avc->audioPlayer()->numPacketsToRead()));
    // The display timer leaves the locator to the user while scrubbing.
    pump(0.3);
    EXPECT_FLOAT_EQ(locator(), 1.0f);

    finger.release(at(200), 2.0);
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(avc->isScrubbing());
    EXPECT_FALSE(transport()->playing());
    EXPECT_FLOAT_EQ(current()->lastPlayTime(), 1.0f);
    // A second end does nothing.
    avc->endLocatorTouch();
    EXPECT_EQ(avc->audioPlayer(), nullptr);
}

TEST_F(LocatingTest, AWheelTouchDuringPlaybackScrubsAndPlaysOnFromWhereItWasLetGo)
{
    loadClip(8.0);
    transport()->doPlay();
    pump(0.5);
    ASSERT_NE(avc->audioPlayer(), nullptr);

    finger.press(at(180), 1.0);
    finger.move(at(181), 1.1);
    // Playback stopped (its place kept) and a scrub player runs from the same place.
    EXPECT_NEAR(current()->lastPlayTime(), 0.5, 0.015);
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_TRUE(avc->audioPlayer()->isScrubbing());
    EXPECT_TRUE(avc->resumePlay());
    EXPECT_TRUE(transport()->playing());

    finger.move(at(190), 1.2);
    finger.move(at(200), 1.3);
    finger.move(at(210), 1.4);
    const float scrubbedTo = locator();
    EXPECT_NEAR(scrubbedTo, 2.0, 0.015);
    EXPECT_EQ(avc->audioPlayer()->startPos(), uint64_t(double(scrubbedTo) * 11025.0));
    pump(0.3);
    EXPECT_FLOAT_EQ(locator(), scrubbedTo);

    finger.release(at(210), 2.0);
    EXPECT_FALSE(avc->isScrubbing());
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(avc->audioPlayer()->isScrubbing());
    EXPECT_TRUE(transport()->playing());
    EXPECT_FLOAT_EQ(current()->lastPlayTime(), scrubbedTo);
    pump(0.2);
    EXPECT_NEAR(locator(), scrubbedTo + 0.2, 0.015);
    transport()->doPlay();
}

TEST_F(LocatingTest, ReleasingTheLocateSliderAtFiftyPlaysOnFromFourSeconds)
{
    loadClip(8.0);
    transport()->doLVShuttle();
    ASSERT_TRUE(transport()->customLocateSlider()->isVisible());
    transport()->doPlay();
    pump(1.0);

    // Where the thumb is at 50 %.
    ImageSlider* slider = transport()->customLocateSlider();
    const float was = slider->value();
    slider->setValue(50.0f);
    const QPointF half = locateThumb();
    slider->setValue(was);

    const QPointF thumb = locateThumb();
    finger.press(thumb, 1.0);
    EXPECT_TRUE(avc->isScrubbing());
    EXPECT_TRUE(avc->resumePlay());
    finger.move(thumb + QPointF(60, 0), 1.1);
    // The drag moves the read-out and the scrub, not the locator.
    const float percent = transport()->customLocateSlider()->value();
    EXPECT_GT(percent, 10.0f);
    EXPECT_EQ(avc->statusSign()->text(), timeString(percent / 100.0 * 8.0));
    EXPECT_EQ(avc->audioPlayer()->startPos(), uint64_t(percent / 100.0f * 8.0f * 11025.0f));
    EXPECT_NEAR(locator(), 1.0, 0.015);

    finger.move(half, 1.2);
    finger.release(half, 1.3);
    ASSERT_FLOAT_EQ(slider->value(), 50.0f);
    EXPECT_FLOAT_EQ(locator(), 4.0f);
    EXPECT_FALSE(avc->isScrubbing());
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(avc->audioPlayer()->isScrubbing());
    EXPECT_EQ(avc->audioPlayer()->startPos(), 44100u);
    EXPECT_TRUE(transport()->playing());
    transport()->doPlay();
}

TEST_F(LocatingTest, WhatIsHeardFollowsTheScrubAndTheEndOfTheFileOnlyGoesQuiet)
{
    loadClip(8.0, 11025.0, 1000, -1000);
    locatorControl()->setValue(1.0f);
    avc->startLocatorTouch();
    EXPECT_GE(timeUntilHeard(1000, 0.5), 0.0);

    // A move to the second half is heard within a few tenths of a second.
    locatorControl()->setValue(6.0f);
    const double delay = timeUntilHeard(-1000, 1.0);
    EXPECT_GE(delay, 0.0);
    EXPECT_LE(delay, 0.6);

    // Scrubbed past the end: quiet, but the scrub player keeps running until the touch ends.
    locatorControl()->setValue(7.95f);
    pump(1.5);
    ASSERT_NE(avc->audioPlayer(), nullptr);
    EXPECT_TRUE(avc->audioPlayer()->isRunning());
    EXPECT_TRUE(transport()->playing());
    avc->endLocatorTouch();
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(transport()->playing());
}

TEST_F(LocatingTest, ATakeStartedDuringAScrubLeavesNoPlayerBeside)
{
    loadClip(4.0);
    avc->startLocatorTouch();
    ASSERT_NE(avc->audioPlayer(), nullptr);
    // The append button with another finger: the scrub player stops, the take follows.
    transport()->doRecord();
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    ASSERT_NE(avc->deferredRecordTimer(), nullptr);
    avc->deferredRecordAction();
    pump(0.5);
    ASSERT_NE(avc->audioRecorder(), nullptr);

    avc->endLocatorTouch();
    EXPECT_FALSE(avc->isScrubbing());
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(transport()->playing());
    EXPECT_TRUE(transport()->recording());

    // Stopping the take does not start any playback either.
    transport()->doRecord();
    pump(0.1);
    settle();
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_GT(sampleCount(currentPath()), int64_t(4.0 * 11025.0));
}

TEST_F(LocatingTest, LeavingTheScreenOrDeletingDuringAScrubPlaysNothingOn)
{
    loadClip(8.0);
    transport()->doPlay();
    pump(0.2);
    finger.press(at(180), 1.0);
    finger.move(at(181), 1.1);
    ASSERT_TRUE(avc->isScrubbing());
    ASSERT_TRUE(avc->resumePlay());
    // The screen goes away under the finger: the scrub ends and nothing plays on, also when
    // the wheel's touch is then cancelled.
    avc->viewWillDisappear(false);
    wheel()->hide();
    EXPECT_FALSE(avc->isScrubbing());
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(transport()->playing());
    wheel()->show();

    finger.press(at(180), 5.0);
    finger.move(at(181), 5.1);
    ASSERT_NE(avc->audioPlayer(), nullptr);
    avc->deleteThisRecording();
    finger.release(at(181), 5.2);
    EXPECT_EQ(avc->audioPlayer(), nullptr);
    EXPECT_FALSE(transport()->playing());
    EXPECT_FALSE(transport()->hasPlayMode());
}

TEST_F(LocatingTest, TheWheelsTogglesAndTheReadOutOverItAnswerTheFinger)
{
    loadClip(8.0);
    // The jog/shuttle toggle picks the wheel's mode and puts it back at rest.
    avc->dbView()->setLastTransformRotation(1.2f);
    wheel()->setRotation(1.2f);
    QTest::mouseClick(transport()->jsToggle(), Qt::LeftButton);
    EXPECT_TRUE(wheel()->jog());
    EXPECT_FLOAT_EQ(wheel()->rotation(), 0.0f);
    EXPECT_FLOAT_EQ(avc->dbView()->lastTransformRotation(), 0.0f);
    QTest::mouseClick(transport()->jsToggle(), Qt::LeftButton);
    EXPECT_FALSE(wheel()->jog());

    // The time read-out lies over the wheel; a tap on it is a tap on the wheel.
    locatorControl()->setValue(75.0f);
    const QPoint readOut = avc->statusSign()->geometry().center();
    finger.tap(readOut, 1.0);
    EXPECT_EQ(avc->timeUnits(), 1);
    EXPECT_EQ(avc->statusSign()->text(), timeString(75.0, 1));
}

} // namespace
