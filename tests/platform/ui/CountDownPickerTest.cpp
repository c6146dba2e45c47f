// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/CountDownPicker.h"
#include "ControlTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

namespace {

using sonavell::test::drag;

// The timer settings screen's picker: 265 x 200 points.
class CountDownPickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        picker.resize(265, 200);
        picker.setCountDownDuration(60.0);
        picker.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    }

    QPoint hoursAt(int rowsFromCentre) const { return {60, 100 + rowsFromCentre * 32}; }
    QPoint minutesAt(int rowsFromCentre) const { return {200, 100 + rowsFromCentre * 32}; }

    CountDownPicker picker;
};

TEST_F(CountDownPickerTest, DurationsFromCodeAreWholeMinutesWithinRangeAndSendNothing)
{
    QSignalSpy changed(&picker, &CountDownPicker::valueChanged);
    picker.setCountDownDuration(5400.0);
    EXPECT_EQ(picker.hours(), 1);
    EXPECT_EQ(picker.minutes(), 30);
    EXPECT_EQ(picker.countDownDuration(), 5400.0);
    picker.setCountDownDuration(119.9);
    EXPECT_EQ(picker.countDownDuration(), 60.0);
    picker.setCountDownDuration(0.0);
    EXPECT_EQ(picker.countDownDuration(), 60.0) << "never below a minute";
    picker.setCountDownDuration(-30.0);
    EXPECT_EQ(picker.countDownDuration(), 60.0);
    picker.setCountDownDuration(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(picker.countDownDuration(), 60.0);
    picker.setCountDownDuration(100000.0);
    EXPECT_EQ(picker.countDownDuration(), 23 * 3600.0 + 59 * 60.0);
    picker.setCountDownDuration(std::numeric_limits<double>::infinity());
    EXPECT_EQ(picker.countDownDuration(), 23 * 3600.0 + 59 * 60.0);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(CountDownPickerTest, DraggingADrumMovesItByWholeRowsAndReportsOnce)
{
    QSignalSpy changed(&picker, &CountDownPicker::valueChanged);
    // Dragging up brings later rows to the middle.
    drag(&picker, minutesAt(0), {0, -2 * 32});
    EXPECT_EQ(picker.minutes(), 3);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(picker.countDownDuration(), 180.0);

    drag(&picker, hoursAt(0), {0, -32 - 10});
    EXPECT_EQ(picker.hours(), 1);
    EXPECT_EQ(picker.minutes(), 3) << "the other drum stays";
    EXPECT_EQ(changed.count(), 2);

    // Past the first row: held at 0, no report when nothing changed.
    drag(&picker, hoursAt(0), {0, 5 * 32});
    EXPECT_EQ(picker.hours(), 0);
    EXPECT_EQ(changed.count(), 3);
    drag(&picker, hoursAt(0), {0, 3 * 32});
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(CountDownPickerTest, TapsAndTheWheelStepToNeighbouringRows)
{
    QSignalSpy changed(&picker, &CountDownPicker::valueChanged);
    QTest::mouseClick(&picker, Qt::LeftButton, {}, minutesAt(2));
    EXPECT_EQ(picker.minutes(), 3);
    QTest::mouseClick(&picker, Qt::LeftButton, {}, hoursAt(1));
    EXPECT_EQ(picker.hours(), 1);
    QTest::mouseClick(&picker, Qt::LeftButton, {}, hoursAt(0));
    EXPECT_EQ(picker.hours(), 1) << "the middle row is already chosen";
    EXPECT_EQ(changed.count(), 2);

    QWheelEvent down(QPointF(200, 100), picker.mapToGlobal(QPointF(200, 100)), {}, {0, -120},
                     Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&picker, &down);
    EXPECT_EQ(picker.minutes(), 4);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(CountDownPickerTest, ZeroHoursAndZeroMinutesBecomesOneMinute)
{
    picker.setCountDownDuration(3600.0);
    QSignalSpy changed(&picker, &CountDownPicker::valueChanged);
    QTest::mouseClick(&picker, Qt::LeftButton, {}, hoursAt(-1));
    EXPECT_EQ(picker.hours(), 0);
    EXPECT_EQ(picker.minutes(), 1);
    EXPECT_EQ(picker.countDownDuration(), 60.0);
    EXPECT_EQ(changed.count(), 1);

    // Turning the minutes to 0 with no hours is refused the same way, and nothing changed.
    QTest::mouseClick(&picker, Qt::LeftButton, {}, minutesAt(-1));
    EXPECT_EQ(picker.countDownDuration(), 60.0);
    EXPECT_EQ(changed.count(), 1);
}

} // namespace
