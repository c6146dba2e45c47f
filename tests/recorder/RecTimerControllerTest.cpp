// SPDX-License-Identifier: GPL-3.0-or-later
// The timer recording settings screen, driven through its real switches and picker inside a
// navigation controller, and the values the recorder screen reads from it.
#include "recorder/RecTimerController.h"

#include "platform/ui/ControlTestSupport.h"
#include "platform/ui/CountDownPicker.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SwitchControl.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

class RecTimerControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        navigation.resize(320, 480);
        navigation.pushViewController(&recorderScreen, false);
        navigation.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&navigation));
    }

    void open() { navigation.pushViewController(&screen, true); }
    void close() { navigation.popViewControllerAnimated(true); }

    void tap(SwitchControl* control) { QTest::mouseClick(control, Qt::LeftButton); }

    // Drags the picker's minutes drum by whole rows (up brings later minutes to the middle).
    void turnMinutes(int rows)
    {
        CountDownPicker* picker = screen.picker();
        const QPoint from(picker->minutesColumnLeft() + 60, picker->height() / 2);
        sonavell::test::drag(picker, from, {0, -rows * CountDownPicker::kRowHeight});
    }

    NavigationController navigation;
    ViewController recorderScreen;
    RecTimerController screen;
};

TEST_F(RecTimerControllerTest, OpeningShowsTheStoredValuesInAPickerMadeOnce)
{
    screen.setRecordTime(5400.0);
    screen.setUseRecordCountDown(true);
    open();
    ASSERT_NE(screen.picker(), nullptr);
    CountDownPicker* picker = screen.picker();
    EXPECT_EQ(picker->geometry(), QRect(0, 28, 265, 200));
    EXPECT_EQ(picker->countDownDuration(), 5400.0);
    EXPECT_TRUE(screen.countDownSwitchCtl()->isOn());
    EXPECT_FALSE(screen.timerSwitchCtl()->isOn());
    EXPECT_TRUE(picker->isVisible());

    close();
    screen.setRecordTime(120.0);
    open();
    EXPECT_EQ(screen.picker(), picker) << "kept after the first appearance";
    EXPECT_EQ(picker->countDownDuration(), 120.0);

    // The picker's width follows the screen's, keeping its right margin.
    screen.resize(400, 436);
    EXPECT_EQ(screen.picker()->geometry(), QRect(0, 28, 345, 200));
}

TEST_F(RecTimerControllerTest, TheUsersChoicesAreWhatTheRecorderReadsAfterLeaving)
{
    open();
    tap(screen.timerSwitchCtl());
    tap(screen.countDownSwitchCtl());
    turnMinutes(2);
    EXPECT_TRUE(screen.useRecordTimer());
    EXPECT_TRUE(screen.useRecordCountDown());
    EXPECT_EQ(screen.recordTime(), 180.0);
    close();

    EXPECT_TRUE(screen.timerSwitchCtl()->isOn());
    EXPECT_EQ(screen.recordTime(), 180.0);
    open();
    EXPECT_EQ(screen.picker()->countDownDuration(), 180.0);
    tap(screen.timerSwitchCtl());
    EXPECT_FALSE(screen.useRecordTimer());
    EXPECT_FALSE(screen.timerSwitchCtl()->isOn());
    EXPECT_TRUE(screen.useRecordCountDown());
}

TEST_F(RecTimerControllerTest, DefaultsAndValuesSetFromCodeReachTheRecorderAsGiven)
{
    // Never opened: no count-in, no automatic stop, one minute, and no picker made yet. The
    // recorder reads the switches.
    EXPECT_FALSE(screen.useRecordCountDown());
    EXPECT_FALSE(screen.useRecordTimer());
    EXPECT_FALSE(screen.timerSwitchCtl()->isOn());
    EXPECT_FALSE(screen.countDownSwitchCtl()->isOn());
    EXPECT_EQ(screen.recordTime(), 60.0);
    EXPECT_EQ(screen.picker(), nullptr);

    // The recorder stops on the switch's state: a timer switched on from code must show there
    // without the screen ever being opened.
    screen.setUseRecordTimer(true);
    EXPECT_TRUE(screen.timerSwitchCtl()->isOn());
    screen.setUseRecordTimer(false);
    EXPECT_FALSE(screen.timerSwitchCtl()->isOn());

    // A time shorter than the picker offers stays in force when the screen is shown, until the
    // user turns the picker.
    screen.setRecordTime(30.0);
    open();
    EXPECT_EQ(screen.picker()->countDownDuration(), 60.0);
    EXPECT_EQ(screen.recordTime(), 30.0);
    turnMinutes(1);
    EXPECT_EQ(screen.recordTime(), 120.0);
}

} // namespace
