// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AfterFirstPaint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class CountingWidget : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// The work waits for the window's first paint, however long it takes to be shown, then runs
// once: later paints do not run it again.
TEST(AfterFirstPaintTest, RunsOnceAfterTheFirstPaint)
{
    CountingWidget window;
    // A child paints too; the work waits for the window as a whole, not a particular widget.
    auto* child = new CountingWidget;
    child->setParent(&window);
    child->setGeometry(0, 0, 20, 20);
    int runs = 0;
    int paintsWhenRun = -1;
    AfterFirstPaint::run(
        &window,
        [&] {
            ++runs;
            paintsWhenRun = window.paints;
        },
        10000);
    QTest::qWait(50);
    EXPECT_EQ(runs, 0); // not shown yet
    window.resize(100, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 2000);
    EXPECT_GE(paintsWhenRun, 1);
    window.update();
    QTest::qWait(100);
    EXPECT_GE(window.paints, 2);
    EXPECT_EQ(runs, 1);
}

// Work that asks for the turn ahead runs before the other work of the same paint, even though
// that work saw the paint first (the filter installed last is asked first).
TEST(AfterFirstPaintTest, AheadRunsBeforeTheOtherWorkOfThePaint)
{
    QWidget window;
    QStringList order;
    AfterFirstPaint::run(
        &window, [&] { order << QStringLiteral("ahead"); }, -1, AfterFirstPaint::Turn::Ahead);
    AfterFirstPaint::run(
        &window, [&] { order << QStringLiteral("next"); }, -1);
    window.resize(100, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 2000);
    EXPECT_EQ(order.join(QLatin1Char(',')).toStdString(), "ahead,next");
}

// A window that is never painted gets the work after the fallback delay; a window that goes
// away first takes its work with it.
TEST(AfterFirstPaintTest, FallsBackToTheDelayAndDiesWithTheWindow)
{
    QWidget hidden;
    int hiddenRuns = 0;
    QElapsedTimer clock;
    clock.start();
    AfterFirstPaint::run(
        &hidden, [&] { ++hiddenRuns; }, 100);
    QTRY_COMPARE_WITH_TIMEOUT(hiddenRuns, 1, 2000);
    EXPECT_GE(clock.elapsed(), 100);

    int goneRuns = 0;
    auto* gone = new QWidget;
    AfterFirstPaint::run(
        gone, [&] { ++goneRuns; }, 50);
    delete gone;
    QTest::qWait(150);
    EXPECT_EQ(goneRuns, 0);
}

} // namespace
