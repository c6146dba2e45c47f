// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashboardTestSupport.h"

#include "dashboard/DashboardView.h"
#include "dashboard/LocatorView.h"
#include "dashboard/ShadowView.h"
#include "dashboard/TransportView.h"
#include "support/MouseFinger.h"
#include "support/TestEnvironment.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using sonavell::test::MouseFinger;

namespace {

// The recorder screen as the wheel sees it: the units of the read-out, the locator's
// announcements and the start and end of scrubbing, in the order they came.
class WheelDelegate : public DashboardViewDelegate,
                      public LocatorControlDelegate,
                      public LocatorViewDelegate
{
public:
    int32_t units = 0;
    QStringList calls;

    int32_t timeUnits() const override { return units; }
    void setTimeUnits(int32_t u) override
    {
        units = u;
        calls << QString("setTimeUnits(%1)").arg(u);
    }
    void locatorValueChanged(float v) override { calls << QString("value(%1)").arg(v); }
    void startLocatorTouch() override { calls << "startLocatorTouch"; }
    void endLocatorTouch() override { calls << "endLocatorTouch"; }
};

class LocatorWheelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dashboard.setDelegate(&screen);
        wheel()->setDelegate(&screen);
        locator()->setDelegate(&screen);
        locator()->setMax(100.0f);
        locator()->setValue(50.0f);
        screen.calls.clear();
        dashboard.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dashboard));
    }

    LocatorView* wheel() { return dashboard.locatorView(); }
    LocatorControl* locator() { return dashboard.locatorControl(); }

    QPoint at(double degrees, double radius = 80.0)
    {
        return sonavell::test::pointOnWheel(wheel(), degrees, radius);
    }
    float angleOf(QPoint p) { return LocatorView::angleAt(p, wheel()->center()); }

    // Waits for a flick's spins to finish.
    void waitForSpins()
    {
        EXPECT_TRUE(sonavell::test::waitFor([&] { return dashboard.swiping() == 0; }, 2000));
        sonavell::test::pumpEvents(450);
    }

    WheelDelegate screen;
    DashboardView dashboard;
    MouseFinger finger{&dashboard};
};

TEST_F(LocatorWheelTest, AnglesGrowClockwiseFromTheBottomWithTheWheelsOwnConstant)
{
    const QPointF c(100, 100);
    // Above, right, left and below; the constant 180 / 3.14159 puts left just short of 90
    // and below just past 360.
    const double k = 180.0 / 3.14159;
    struct Case
    {
        QPointF at;
        double angle;
        int notch;
    };
    for (const Case& x :
         {Case{{100, 20}, 180.0, 50}, Case{{180, 100}, M_PI / 2.0 * k + 180.0, 75},
          Case{{20, 100}, -M_PI / 2.0 * k + 180.0, 24}, Case{{100, 180}, M_PI * k + 180.0, 100}}) {
        EXPECT_FLOAT_EQ(LocatorView::angleAt(x.at, c), float(x.angle)) << x.notch;
        EXPECT_EQ(LocatorView::notchIndex(LocatorView::angleAt(x.at, c)), x.notch);
    }
    // Either side of the bottom seam.
    EXPECT_EQ(LocatorView::notchIndex(LocatorView::angleAt({99, 180}, c)), 0);
    EXPECT_EQ(LocatorView::notchIndex(LocatorView::angleAt({101, 180}, c)), 99);
}

TEST_F(LocatorWheelTest, EachMovementStepsOnceAndTheBottomSeamStepsTheOtherWay)
{
    finger.press(at(180), 1.0);
    EXPECT_TRUE(dashboard.startTrigger());
    // The first movement takes the start angle and starts scrubbing, nothing more.
    finger.move(at(181), 1.1);
    EXPECT_EQ(screen.calls, QStringList{"startLocatorTouch"});
    EXPECT_FLOAT_EQ(wheel()->startAngle(), angleOf(at(181)));
    EXPECT_FLOAT_EQ(locator()->value(), 50.0f);

    // Each later movement steps once towards its notch, however far it jumped.
    finger.move(at(190), 1.2);
    EXPECT_FLOAT_EQ(locator()->value(), 50.5f);
    EXPECT_EQ(wheel()->lastNotch(), 52);
    finger.move(at(260), 1.3);
    EXPECT_FLOAT_EQ(locator()->value(), 51.0f);
    finger.move(at(255), 1.4);
    EXPECT_FLOAT_EQ(locator()->value(), 50.5f);
    // The wheel follows the finger at a sixtieth of its angle in degrees.
    EXPECT_NEAR(wheel()->rotation(), (angleOf(at(255)) - angleOf(at(181))) / 60.0, 1e-6);

    // Clockwise through the bottom: 350 (notch 97) to 5 (notch 1) steps down once; and back
    // anticlockwise steps up once.
    finger.move(at(350), 1.5);
    EXPECT_FLOAT_EQ(locator()->value(), 51.0f);
    finger.move(at(5), 1.6);
    EXPECT_FLOAT_EQ(locator()->value(), 50.5f);
    finger.move(at(355), 1.7);
    EXPECT_FLOAT_EQ(locator()->value(), 51.0f);

    // Let go slowly: the wheel rests where it was turned to; a drag is no tap.
    screen.calls.clear();
    finger.release(at(355), 2.0);
    EXPECT_NEAR(dashboard.lastTransformRotation(), (angleOf(at(355)) - angleOf(at(181))) / 60.0,
                1e-6);
    EXPECT_EQ(screen.calls, QStringList{"endLocatorTouch"});
    EXPECT_EQ(screen.units, 0);
    EXPECT_FLOAT_EQ(locator()->increment(), 0.5f);

    // The next touch's second movement compares against the notch the last one left (98).
    finger.press(at(100), 5.0);
    finger.move(at(101), 5.1);
    finger.move(at(102), 5.2);
    EXPECT_FLOAT_EQ(locator()->value(), 50.5f);
    EXPECT_EQ(wheel()->lastNotch(), 28);
    finger.move(at(103), 5.3);
    EXPECT_FLOAT_EQ(locator()->value(), 50.5f);
    finger.release(at(103), 5.6);
}

TEST_F(LocatorWheelTest, TapsToggleTheUnitsAndADoubleTapGoesToZeroWithoutClamping)
{
    locator()->setMin(5.0f);
    dashboard.setLastTransformRotation(0.7f);

    finger.tap(at(200, 30), 1.0);
    EXPECT_EQ(screen.units, 1);
    // The unchanged value is announced again for the read-out; scrubbing never started.
    EXPECT_EQ(screen.calls, (QStringList{"setTimeUnits(1)", "value(50)", "endLocatorTouch"}));
    // A tap leaves the wheel's rest alone.
    EXPECT_FLOAT_EQ(dashboard.lastTransformRotation(), 0.7f);

    // A double tap: the first tap toggles, the second goes to 0 when it comes down and toggles
    // nothing when it ends.
    screen.calls.clear();
    finger.tap(at(200, 30), 5.0);
    finger.press(at(200, 30), 5.15);
    EXPECT_FLOAT_EQ(locator()->value(), 0.0f);
    finger.release(at(200, 30), 5.2);
    EXPECT_EQ(screen.units, 0);
    EXPECT_EQ(screen.calls, (QStringList{"setTimeUnits(0)", "value(50)", "endLocatorTouch",
                                         "value(0)", "endLocatorTouch"}));
    // Below the minimum until the next step clamps it.
    EXPECT_FLOAT_EQ(locator()->value(), 0.0f);
    locator()->incrementValue();
    EXPECT_FLOAT_EQ(locator()->value(), 5.0f);

    // The time read-out lies over the wheel: a tap at the wheel's centre is the wheel's.
    screen.calls.clear();
    finger.tap(wheel()->center().toPoint(), 9.0);
    EXPECT_EQ(screen.units, 1);
}

TEST_F(LocatorWheelTest, NothingOnTheWheelWorksDuringATake)
{
    dashboard.transportView()->setRecording(true);
    finger.tap(at(200, 30), 1.0);
    finger.tap(at(200, 30), 1.15);
    finger.press(at(180), 3.0);
    finger.move(at(181), 3.1);
    finger.move(at(250), 3.2);
    finger.release(at(250), 3.5);
    dashboard.locatorView()->setJog(true);
    finger.press(at(180), 6.0);
    finger.move(at(181), 6.1);
    finger.move(at(250), 6.2);
    EXPECT_EQ(dashboard.jogTimer(), nullptr);
    finger.release(at(250), 6.5);

    EXPECT_TRUE(screen.calls.isEmpty()) << screen.calls.join(", ").toStdString();
    EXPECT_EQ(screen.units, 0);
    EXPECT_FLOAT_EQ(locator()->value(), 50.0f);
    EXPECT_FLOAT_EQ(wheel()->rotation(), 0.0f);
}

TEST_F(LocatorWheelTest, SpringModeStepsEveryTickByTheAngleTurnedAndSpringsBack)
{
    locator()->setMax(60.0f);
    wheel()->setJog(true);
    dashboard.setLastTransformRotation(1.0f);
    wheel()->setRotation(1.0f);

    finger.press(at(180), 1.0);
    finger.move(at(181), 1.1);
    ASSERT_NE(dashboard.jogTimer(), nullptr);
    EXPECT_TRUE(dashboard.jogTimer()->isActive());
    EXPECT_EQ(dashboard.jogTimer()->interval(), 100);
    EXPECT_FLOAT_EQ(locator()->increment(), 0.0f);
    EXPECT_FLOAT_EQ(wheel()->rotation(), 0.0f);
    EXPECT_FLOAT_EQ(dashboard.lastTransformRotation(), 0.0f);

    // A quarter turn clockwise: 2.0 per tick.
    finger.move(at(271), 1.2);
    const float step = (angleOf(at(271)) - angleOf(at(181))) / 45.0f;
    EXPECT_NEAR(step, 2.0, 0.02);
    EXPECT_FLOAT_EQ(locator()->increment(), step);
    const float before = locator()->value();
    for (int i = 1; i <= 3; ++i) {
        dashboard.jogTimerTick();
        EXPECT_FLOAT_EQ(locator()->value(), before + float(i) * step);
    }
    // Clamped at the maximum, and every tick still announces it.
    screen.calls.clear();
    for (int i = 0; i < 10; ++i)
        dashboard.jogTimerTick();
    EXPECT_FLOAT_EQ(locator()->value(), 60.0f);
    EXPECT_EQ(screen.calls.filter("value(").size(), 10);
    // The timer itself ticks while the finger rests.
    screen.calls.clear();
    sonavell::test::pumpEvents(350);
    EXPECT_GE(screen.calls.filter("value(60)").size(), 2);

    // Let go: no flick in this mode, the wheel springs back and the timer is gone.
    finger.release(at(271), 1.25);
    EXPECT_EQ(dashboard.jogTimer(), nullptr);
    EXPECT_FLOAT_EQ(wheel()->rotation(), 0.0f);
    EXPECT_FLOAT_EQ(dashboard.lastTransformRotation(), 0.0f);
    EXPECT_FLOAT_EQ(locator()->increment(), 0.5f);
    EXPECT_EQ(screen.calls.last(), "endLocatorTouch");
    sonavell::test::pumpEvents(300);
    EXPECT_EQ(dashboard.swiping(), 0);
    EXPECT_FLOAT_EQ(locator()->value(), 60.0f);
}

TEST_F(LocatorWheelTest, SpringModeTurnsThroughTheBottomCountTheShortWayRound)
{
    wheel()->setJog(true);
    // Anticlockwise from just left of the bottom to just right of it the locator goes down by
    // 20 / 45 a tick; clockwise the other way round, up by as much.
    double t = 1.0;
    for (auto [from, to, sign] : {std::tuple{10.0, 350.0, -1.0f}, {350.0, 10.0, 1.0f}}) {
        SCOPED_TRACE(from);
        finger.press(at(from), t);
        finger.move(at(from), t + 0.1);
        finger.move(at(to), t + 0.2);
        const float turned = angleOf(at(to)) - angleOf(at(from));
        ASSERT_GT(-sign * turned, 270.0f);
        const float step = (360.0f - std::abs(turned)) / 45.0f;
        EXPECT_NEAR(locator()->increment(), step, 1e-5);
        const float before = locator()->value();
        dashboard.jogTimerTick();
        EXPECT_NEAR(locator()->value(), before + sign * step, 1e-5);
        finger.release(at(to), t + 0.3);
        t += 4.0;
    }
}

TEST_F(LocatorWheelTest, AFlickSpinsTheWheelAndMovesTenInTwentySteps)
{
    const QPoint from(120, 200);
    finger.press(from, 1.0);
    finger.move(from + QPoint(15, 5), 1.05);
    finger.move(from + QPoint(30, 10), 1.1);
    finger.release(from + QPoint(30, 10), 1.15);
    EXPECT_EQ(dashboard.swiping(), 1);
    const float atRelease = locator()->value();
    screen.calls.clear();
    waitForSpins();
    EXPECT_FLOAT_EQ(locator()->value(), atRelease + 10.0f);
    EXPECT_EQ(screen.calls.filter("value(").size(), 20);
    // Two spins of 3 radians each way round for the picture; the rest is where it was.
    EXPECT_NEAR(wheel()->rotation(), 6.0, 1e-5);
    EXPECT_NEAR(wheel()->presentedRotation(), 6.0, 1e-5);
    EXPECT_NEAR(dashboard.lastTransformRotation(), 0.0, 1e-5);

    // To the left from 4: down to the minimum.
    locator()->setValue(4.0f);
    finger.press(from, 5.0);
    finger.move(from - QPoint(25, 0), 5.1);
    finger.release(from - QPoint(25, 0), 5.15);
    EXPECT_EQ(dashboard.swiping(), -1);
    waitForSpins();
    EXPECT_FLOAT_EQ(locator()->value(), 0.0f);
    EXPECT_NEAR(dashboard.lastTransformRotation(), -6.0, 1e-5);
}

TEST_F(LocatorWheelTest, SlowShortSteepOrSpringModeFlicksAreNoFlicks)
{
    struct Case
    {
        const char* what;
        QPoint by;
        double seconds;
        bool jog;
    };
    const QPoint from(120, 200);
    double t = 1.0;
    for (const Case& c :
         {Case{"0.2 s", {40, 0}, 0.2, false}, Case{"19 across", {19, 0}, 0.1, false},
          Case{"31 down", {40, 31}, 0.1, false}, Case{"spring mode", {40, 0}, 0.1, true}}) {
        SCOPED_TRACE(c.what);
        wheel()->setJog(c.jog);
        locator()->setValue(50.0f);
        finger.press(from, t);
        finger.move(from + c.by / 2, t + c.seconds / 2);
        finger.move(from + c.by, t + c.seconds * 0.9);
        finger.release(from + c.by, t + c.seconds);
        EXPECT_EQ(dashboard.swiping(), 0);
        const float atRelease = locator()->value();
        sonavell::test::pumpEvents(150);
        EXPECT_FLOAT_EQ(locator()->value(), atRelease);
        t += 5.0;
    }
}

TEST_F(LocatorWheelTest, ACancelledTouchOrOneEndingInATakeIsWoundUp)
{
    wheel()->setJog(true);
    finger.press(at(180), 1.0);
    finger.move(at(181), 1.1);
    finger.move(at(230), 1.2);
    ASSERT_NE(dashboard.jogTimer(), nullptr);
    ASSERT_NE(wheel()->rotation(), 0.0f);
    screen.calls.clear();
    wheel()->hide();
    EXPECT_EQ(screen.calls, QStringList{"endLocatorTouch"});
    EXPECT_EQ(dashboard.jogTimer(), nullptr);
    EXPECT_FLOAT_EQ(locator()->increment(), 0.5f);
    EXPECT_FLOAT_EQ(wheel()->rotation(), 0.0f);
    // The wheel stays where it is.
    EXPECT_EQ(wheel()->geometry(), QRect(46, 88, 228, 228));
    wheel()->show();

    // A take started with another finger: the end is not a tap, only the wind-up.
    finger.press(at(180, 30), 5.0);
    finger.move(at(181, 30), 5.05);
    ASSERT_NE(dashboard.jogTimer(), nullptr);
    dashboard.transportView()->setRecording(true);
    screen.calls.clear();
    finger.release(at(181, 30), 5.1);
    EXPECT_EQ(screen.calls, QStringList{"endLocatorTouch"});
    EXPECT_EQ(dashboard.jogTimer(), nullptr);
    EXPECT_FLOAT_EQ(locator()->increment(), 0.5f);
    EXPECT_EQ(screen.units, 0);
}

TEST_F(LocatorWheelTest, WheelAndShadowDrawTheirPicturesAndTheShadowLetsTouchesThrough)
{
    // At double density, as the pictures come in both densities.
    auto render = [](QWidget* w) {
        QImage image(w->size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2.0);
        image.fill(Qt::transparent);
        w->render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    auto picture = [](const char* name) {
        return BundleImage::imageNamed(name).toImage().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
    };
    EXPECT_EQ(render(wheel()), picture("Oval.png"));
    wheel()->setJog(true);
    EXPECT_EQ(render(wheel()), picture("jog.png"));

    // Half a turn about the centre turns the picture upside down.
    wheel()->setRotation(float(M_PI));
    const QImage turned = render(wheel());
    const QImage jog = picture("jog.png");
    ASSERT_EQ(jog.size(), QSize(456, 456));
    for (QPoint p : {QPoint(40, 228), QPoint(228, 60), QPoint(120, 340), QPoint(300, 200)}) {
        const QColor a = turned.pixelColor(p);
        const QColor b = jog.pixelColor(455 - p.x(), 455 - p.y());
        EXPECT_NEAR(a.red(), b.red(), 40) << p.x() << "," << p.y();
        EXPECT_NEAR(a.alpha(), b.alpha(), 40) << p.x() << "," << p.y();
    }

    // The shadow is drawn 10 points up.
    const QImage shadow = render(dashboard.shadowView());
    const QImage source = picture("Shadow.png");
    EXPECT_EQ(shadow.copy(0, 0, 456, 436), source.copy(0, 20, 456, 436));
    bool bottomClear = true;
    for (int y = 436; y < 456; ++y)
        for (int x = 0; x < 456; ++x)
            bottomClear = bottomClear && qAlpha(shadow.pixel(x, y)) == 0;
    EXPECT_TRUE(bottomClear);
    EXPECT_EQ(dashboard.shadowView()->geometry(), QRect(51, 102, 228, 228));

    // Where only the shadow lies, a touch reaches whatever is beneath it.
    EXPECT_EQ(dashboard.childAt(wheel()->center().toPoint()), wheel());
    EXPECT_NE(dashboard.childAt(QPoint(276, 320)), dashboard.shadowView());
}

} // namespace
