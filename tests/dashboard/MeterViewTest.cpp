// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/MeterView.h"
#include "platform/ui/ControlTestSupport.h"

#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>

namespace {

using sonavell::test::rendered;

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

TEST(MeterViewTest, OnlyTheLevelLookSweepsPeakingAfterThirteenTicksAndEndingAfterTwentySeven)
{
    MeterView time(QRect(74, 116, 173, 173));
    MeterView odd(QRect(0, 0, 292, 292));
    EXPECT_TRUE(time.isTimeMeter());
    EXPECT_TRUE(odd.isTimeMeter());
    EXPECT_FALSE(time.isSweeping());

    MeterView meter(QRect(12, 48, 293, 293));
    EXPECT_FALSE(meter.isTimeMeter());
    EXPECT_EQ(meter.lit().size() / meter.lit().devicePixelRatio(), QSize(293, 293));
    EXPECT_TRUE(meter.isSweeping());
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

    // Left to its own timer, the sweep runs to the end too, leaving the meter empty.
    MeterView timed(QRect(12, 48, 293, 293));
    QTRY_VERIFY_WITH_TIMEOUT(!timed.isSweeping(), 5000);
    EXPECT_EQ(timed.litTop(), 293.0);
}

TEST(MeterViewTest, OnlyANegativeLevelEndsTheSweepAndNonFiniteLevelsShowEmpty)
{
    MeterView meter(QRect(12, 48, 293, 293));
    meter.updateMeters(0.0f);
    EXPECT_TRUE(meter.isSweeping());
    meter.updateMeters(0.5f); // a level pushed in mid-sweep is where the sweep goes on from
    meter.demoTimer();
    EXPECT_NEAR(meter.currentLevel(), 0.58f, 1e-5);

    // Not a number: empty, and the sweep must still come to its end rather than step from NaN.
    meter.updateMeters(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(meter.litTop(), 293.0);
    for (int tick = 0; tick < 40 && meter.isSweeping(); ++tick)
        meter.demoTimer();
    EXPECT_FALSE(meter.isSweeping());

    MeterView time(QRect(74, 116, 173, 173));
    time.updateMeters(0.75f);
    time.updateMeters(std::numeric_limits<float>::infinity());
    EXPECT_EQ(time.litTop(), 173.0);
}

TEST(MeterViewTest, LowerPartShowsTheLitPictureAndSettingTheLevelAloneChangesNothing)
{
    MeterView meter(QRect(74, 116, 173, 173));
    const QImage lit = flattened({meter.unlit(), meter.lit()}, 173);
    const QImage unlit = flattened({meter.unlit()}, 173);
    int column = -1; // one where the two pictures differ both high and low
    for (int x = 0; x < 173 && column < 0; ++x) {
        if (lit.pixel(x, 30) != unlit.pixel(x, 30) && lit.pixel(x, 140) != unlit.pixel(x, 140))
            column = x;
    }
    ASSERT_GE(column, 0) << "the lit and unlit pictures should differ";

    meter.updateMeters(0.5f);
    const QImage half = rendered(meter);
    EXPECT_EQ(half.pixel(column, 30), unlit.pixel(column, 30));
    EXPECT_EQ(half.pixel(column, 140), lit.pixel(column, 140));

    meter.setCurrentLevel(1.0f);
    EXPECT_EQ(rendered(meter), half);
    meter.updateMeters(meter.currentLevel());
    EXPECT_EQ(rendered(meter).pixel(column, 30), lit.pixel(column, 30));
}

} // namespace

namespace {

// Records the rectangles a widget is asked to repaint.
struct PaintRecorder : QObject
{
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

TEST(MeterViewTest, AChangeOfLevelRepaintsOnlyTheBandBetweenTheOldAndTheNewEdge)
{
    QWidget window;
    window.resize(320, 480);
    MeterView meter(QRect(12, 48, 293, 293), &window);
    meter.stopDemoTimer();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    meter.updateMeters(0.5f);
    QCoreApplication::processEvents();

    PaintRecorder recorder;
    meter.installEventFilter(&recorder);
    meter.updateMeters(0.55f); // the edge moves from row 146.5 to row 131.85
    QCoreApplication::processEvents();
    const QRect band = recorder.painted.boundingRect();
    EXPECT_LE(band.top(), 131);
    EXPECT_GE(band.bottom(), 147);
    EXPECT_LE(band.height(), 22) << "not the whole meter";

    recorder.painted = {};
    meter.updateMeters(0.55f);
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.painted.isEmpty()) << "the same level draws nothing";
}

} // namespace

namespace {

TEST(MeterViewTest, AChangeOfLevelRedrawsOnlyTheSidesOfTheRingAndNotWhatLiesInsideIt)
{
    QWidget window;
    window.resize(320, 480);
    MeterView meter(QRect(12, 48, 293, 293), &window);
    meter.stopDemoTimer();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    meter.updateMeters(0.5f);
    QCoreApplication::processEvents();

    PaintRecorder recorder;
    meter.installEventFilter(&recorder);
    meter.updateMeters(0.55f);
    QCoreApplication::processEvents();
    ASSERT_FALSE(recorder.painted.isEmpty());
    // The ring's left and right sides at those rows, not the middle of the meter, where the
    // read-outs and the wheel lie.
    EXPECT_TRUE(recorder.painted.contains(QPoint(10, 140)));
    EXPECT_TRUE(recorder.painted.contains(QPoint(282, 140)));
    EXPECT_FALSE(recorder.painted.contains(QPoint(146, 140)));

    // What the window shows is what drawing it whole shows.
    const QImage shown =
        window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, window.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST(MeterViewTest, ALevelThatLeavesTheEdgeOnTheSameRowOfPixelsDrawsNothing)
{
    QWidget window;
    window.resize(320, 480);
    MeterView meter(QRect(12, 48, 293, 293), &window);
    meter.stopDemoTimer();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    meter.updateMeters(0.5f);   // the edge at row 146.5 (halfway, always drawn)
    meter.updateMeters(0.501f); // 146.207: row 146
    QTest::qWait(20);

    PaintRecorder recorder;
    meter.installEventFilter(&recorder);
    meter.updateMeters(0.5015f); // 146.06: still row 146
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.painted.isEmpty()) << "the same pixel row draws nothing";
    EXPECT_FLOAT_EQ(meter.currentLevel(), 0.5015f);

    meter.updateMeters(0.505f); // 145.0: the next row up
    QCoreApplication::processEvents();
    EXPECT_FALSE(recorder.painted.isEmpty());
}

} // namespace
