#include "dashboard/MeterView.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>

namespace {

// The meter as it is drawn now, one pixel per point.
QImage rendered(MeterView& meter)
{
    QImage image(meter.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    meter.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// Pictures drawn over one another at the meter's size, one pixel per point.
QImage flattened(std::initializer_list<QPixmap> pictures, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (const QPixmap& picture : pictures)
        painter.drawPixmap(QRect(0, 0, size, size), picture);
    return image;
}

TEST(MeterViewTest, FrameHeightChoosesTheLookAndOnlyTheLevelMeterSweeps)
{
    MeterView level(QRect(12, 48, 293, 293));
    EXPECT_FALSE(level.isTimeMeter());
    EXPECT_EQ(level.meterSize(), 293);
    EXPECT_TRUE(level.isSweeping());
    EXPECT_EQ(level.lit().size() / level.lit().devicePixelRatio(), QSize(293, 293));

    MeterView time(QRect(74, 116, 173, 173));
    MeterView odd(QRect(0, 0, 292, 292));
    EXPECT_TRUE(time.isTimeMeter());
    EXPECT_TRUE(odd.isTimeMeter());
    EXPECT_EQ(odd.meterSize(), 173);
    EXPECT_FALSE(time.isSweeping());
    EXPECT_FLOAT_EQ(time.currentLevel(), 0.001f);
    EXPECT_FLOAT_EQ(time.increment(), 0.08f);
    EXPECT_EQ(time.lit().size() / time.lit().devicePixelRatio(), QSize(173, 173));
}

TEST(MeterViewTest, SweepRisesToFullFallsToEmptyAndStopsAfterTwentySevenTicks)
{
    MeterView meter(QRect(12, 48, 293, 293));
    for (int tick = 1; tick <= 13; ++tick)
        meter.demoTimer();
    EXPECT_NEAR(meter.currentLevel(), 1.041f, 1e-4);
    EXPECT_EQ(meter.litTop(), 0.0);
    int ticks = 13;
    while (meter.isSweeping() && ticks < 100) {
        meter.demoTimer();
        ++ticks;
    }
    EXPECT_EQ(ticks, 27);
    EXPECT_NEAR(meter.currentLevel(), -0.079f, 1e-4);
    EXPECT_EQ(meter.litTop(), 293.0);
}

TEST(MeterViewTest, SweepRunsOnItsOwnTimerToTheEnd)
{
    MeterView meter(QRect(12, 48, 293, 293));
    QTRY_VERIFY_WITH_TIMEOUT(!meter.isSweeping(), 5000);
    EXPECT_LT(meter.currentLevel(), 0.0f);
}

TEST(MeterViewTest, OnlyANegativeLevelEndsTheSweepAndLevelsFromTheScreenInterleave)
{
    MeterView meter(QRect(12, 48, 293, 293));
    meter.updateMeters(0.0f);
    EXPECT_TRUE(meter.isSweeping());
    EXPECT_EQ(meter.litTop(), 293.0);

    // A level pushed in mid-sweep is where the sweep goes on from.
    meter.updateMeters(0.5f);
    meter.demoTimer();
    EXPECT_NEAR(meter.currentLevel(), 0.58f, 1e-5);

    meter.updateMeters(-0.01f);
    EXPECT_FALSE(meter.isSweeping());
    EXPECT_EQ(meter.litTop(), 293.0);
}

TEST(MeterViewTest, LevelThatIsNotAFiniteNumberShowsEmptyAndCannotStallTheSweep)
{
    MeterView time(QRect(74, 116, 173, 173));
    time.updateMeters(0.75f);
    time.updateMeters(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(time.litTop(), 173.0);
    time.updateMeters(0.75f);
    time.updateMeters(std::numeric_limits<float>::infinity());
    EXPECT_EQ(time.litTop(), 173.0);
    EXPECT_FLOAT_EQ(time.currentLevel(), 0.0f);

    // Without the guard the sweep would step from NaN forever.
    MeterView level(QRect(12, 48, 293, 293));
    level.updateMeters(std::numeric_limits<float>::quiet_NaN());
    for (int tick = 0; tick < 40 && level.isSweeping(); ++tick)
        level.demoTimer();
    EXPECT_FALSE(level.isSweeping());
}

TEST(MeterViewTest, LowerPartShowsTheLitPictureAndSettingTheLevelAloneChangesNothing)
{
    MeterView meter(QRect(74, 116, 173, 173));
    // The lit picture lies over the unlit one where it is revealed.
    const QImage lit = flattened({meter.unlit(), meter.lit()}, 173);
    const QImage unlit = flattened({meter.unlit()}, 173);
    // A column where the two pictures differ both high and low in the meter.
    int column = -1;
    for (int x = 0; x < 173 && column < 0; ++x) {
        if (lit.pixel(x, 30) != unlit.pixel(x, 30) && lit.pixel(x, 140) != unlit.pixel(x, 140))
            column = x;
    }
    ASSERT_GE(column, 0) << "the lit and unlit pictures should differ";

    meter.updateMeters(0.5f);
    QImage shown = rendered(meter);
    EXPECT_EQ(shown.pixel(column, 30), unlit.pixel(column, 30));
    EXPECT_EQ(shown.pixel(column, 140), lit.pixel(column, 140));

    meter.setCurrentLevel(1.0f);
    EXPECT_EQ(rendered(meter), shown);
    meter.updateMeters(meter.currentLevel());
    shown = rendered(meter);
    EXPECT_EQ(shown.pixel(column, 30), lit.pixel(column, 30));
}

} // namespace
