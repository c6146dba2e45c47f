// SPDX-License-Identifier: GPL-3.0-or-later
// What the recorder screen shows while a take runs and once it is stopped, driven through the
// screen's own record button on the virtual device's manual clock: the position and the length
// read-outs, the red take colour of the position, and the record / append button.
#include "RecorderTestSupport.h"

#include "dashboard/DashboardTestSupport.h"

#include <QLabel>
#include <QTest>

namespace {

using sonavell::test::buttonShows;

class TakeReadoutTest : public RecorderFixture
{
protected:
    void SetUp() override
    {
        RecorderFixture::SetUp();
        showScreen();
    }

    QString timeString(double seconds) const
    {
        return AppDelegate::makeTimeStringFromSamps(seconds * avc->recordQuality(), 0,
                                                    avc->recordQuality());
    }

    // A tap on the big transport button, as the user gives it.
    void tapRecordButton()
    {
        ImageButton* button = transport()->buttonA();
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        QCoreApplication::processEvents();
    }

    // Pixels of the drawn position read-out that are plainly red (anti-aliased edges and the
    // dark read-out colour stay well below the bounds).
    int redPixels() const
    {
        const QImage drawn = avc->statusSign()->grab().toImage();
        int count = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                const QRgb p = drawn.pixel(x, y);
                count += qRed(p) > 160 && qGreen(p) < 90 && qBlue(p) < 90;
            }
        return count;
    }

    // The screen's whole take look is gone: the position is drawn in the read-out colour of
    // the labels beside it, and the transport offers append and play.
    void expectStoppedLook()
    {
        EXPECT_EQ(avc->statusSign()->palette().color(QPalette::WindowText),
                  avc->label1()->palette().color(QPalette::WindowText));
        EXPECT_EQ(redPixels(), 0);
        EXPECT_FALSE(transport()->recording());
        EXPECT_TRUE(buttonShows(transport()->buttonA(), "append.png", "append_pressed.png"));
        ASSERT_NE(transport()->buttonB(), nullptr);
        EXPECT_TRUE(transport()->buttonB()->isVisible());
    }
};

TEST_F(TakeReadoutTest, ANewTakeReadsItsLengthSoFarAndStopEndsTheRedLook)
{
    tapRecordButton();
    ASSERT_NE(avc->audioRecorder(), nullptr);
    pump(1.8);
    // The take is the whole clip: its position and its length so far are the same.
    EXPECT_EQ(avc->statusSign()->text(), timeString(1.8));
    EXPECT_EQ(avc->label1()->text(), "of");
    EXPECT_EQ(avc->label2()->text(), avc->statusSign()->text());
    EXPECT_EQ(avc->clipLength(), 0.0); // measured again once the take is in the file
    EXPECT_GT(redPixels(), 20);
    EXPECT_TRUE(buttonShows(transport()->buttonA(), "stop.png", "stop_pressed.png"));

    tapRecordButton();
    ASSERT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->statusSign()->text(), timeString(0.0));
    EXPECT_EQ(avc->label2()->text(), timeString(avc->clipLength()));
    EXPECT_NEAR(avc->clipLength(), 1.8, 0.05);
    expectStoppedLook();
}

TEST_F(TakeReadoutTest, AnAppendReadsItsPlaceInTheGrowingClipAndStopEndsTheRedLook)
{
    loadClip(2.0);
    EXPECT_EQ(avc->label2()->text(), timeString(2.0));
    tapRecordButton(); // the append button
    ASSERT_NE(avc->audioRecorder(), nullptr);
    pump(1.0);
    // Three seconds into a clip that is three seconds long by now, never "of" less.
    EXPECT_EQ(avc->statusSign()->text(), timeString(3.0));
    EXPECT_EQ(avc->label2()->text(), timeString(3.0));
    EXPECT_GT(redPixels(), 20);

    tapRecordButton();
    ASSERT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->statusSign()->text(), timeString(0.0));
    EXPECT_NEAR(avc->clipLength(), 3.0, 0.05);
    EXPECT_EQ(avc->label2()->text(), timeString(avc->clipLength()));
    expectStoppedLook();

    // Playing shows the dark read-out as before, and a second append turns it red again.
    transport()->doPlay();
    pump(0.3);
    EXPECT_EQ(redPixels(), 0);
    transport()->doPlay();
    tapRecordButton();
    pump(0.3);
    EXPECT_GT(redPixels(), 20);
    tapRecordButton();
    expectStoppedLook();
}

TEST_F(TakeReadoutTest, ATakeCalledOffDuringItsCountInLeavesNoRedBehind)
{
    timer->setUseRecordCountDown(true);
    loadClip(1.0);
    tapRecordButton();
    ASSERT_TRUE(avc->countingIn());
    EXPECT_EQ(avc->statusSign()->text(), "-3");
    EXPECT_GT(redPixels(), 10);

    // Leaving the screen calls the take off before it started.
    avc->viewWillDisappear(false);
    EXPECT_FALSE(avc->countingIn());
    EXPECT_EQ(avc->audioRecorder(), nullptr);
    EXPECT_EQ(avc->statusSign()->palette().color(QPalette::WindowText),
              avc->label1()->palette().color(QPalette::WindowText));
}

} // namespace
