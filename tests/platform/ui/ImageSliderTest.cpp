// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImageSlider.h"
#include "ControlTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using sonavell::test::solidPixmap;

namespace {

// The volume slider's shape: 262 x 20 points, a 20-point thumb, values 1 to 10.
class ImageSliderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(320, 100);
        slider = new ImageSlider(&window);
        slider->setGeometry(30, 40, 262, 20);
        slider->setThumbImage(solidPixmap({20, 20}, Qt::white));
        slider->setMinimumTrackImage(StretchableImage(solidPixmap({21, 9}, Qt::blue), 10, 0));
        slider->setMaximumTrackImage(StretchableImage(solidPixmap({21, 9}, Qt::gray), 10, 0));
        slider->setMinimumValue(1.0f);
        slider->setMaximumValue(10.0f);
        slider->setValue(1.0f);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // The x of the thumb's centre for a value.
    int xFor(float value) const { return qRound(10 + (value - 1.0f) / 9.0f * (262 - 20)); }

    QWidget window;
    ImageSlider* slider = nullptr;
};

TEST_F(ImageSliderTest, ValuesFromCodeAreClampedAndSendNothing)
{
    QSignalSpy changed(slider, &ImageSlider::valueChanged);
    slider->setValue(0.0f);
    EXPECT_EQ(slider->value(), 1.0f);
    slider->setValue(25.0f);
    EXPECT_EQ(slider->value(), 10.0f);
    slider->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(slider->value(), 1.0f) << "a position of no number shows the start";
    slider->setValue(std::numeric_limits<float>::infinity());
    EXPECT_EQ(slider->value(), 10.0f);
    slider->setValue(5.5f);
    EXPECT_EQ(slider->value(), 5.5f);

    // Narrowing the range pulls the value in; a crossed bound drags the other along.
    slider->setMaximumValue(4.0f);
    EXPECT_EQ(slider->value(), 4.0f);
    slider->setMinimumValue(6.0f);
    EXPECT_EQ(slider->maximumValue(), 6.0f);
    EXPECT_EQ(slider->value(), 6.0f);
    slider->setMaximumValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(slider->maximumValue(), 6.0f);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(ImageSliderTest, ThumbSpansTheWholeWidthAndSitsOnTheValue)
{
    EXPECT_EQ(slider->thumbRect(), QRectF(0, 0, 20, 20));
    slider->setValue(10.0f);
    EXPECT_EQ(slider->thumbRect(), QRectF(242, 0, 20, 20));
    const QImage image = sonavell::test::rendered(*slider);
    EXPECT_EQ(image.pixelColor(100, 10), QColor(Qt::blue)) << "minimum track left of the thumb";
    slider->setValue(1.0f);
    EXPECT_EQ(sonavell::test::rendered(*slider).pixelColor(100, 10), QColor(Qt::gray));

    // An empty range keeps the thumb at the start rather than dividing by zero.
    slider->setMaximumValue(1.0f);
    EXPECT_EQ(slider->thumbRect().left(), 0.0);
}

TEST_F(ImageSliderTest, DraggingTheThumbReportsEveryChangeThenTheEndOfTheTouch)
{
    QSignalSpy down(slider, &ImageSlider::touchDown);
    QSignalSpy changed(slider, &ImageSlider::valueChanged);
    QSignalSpy inside(slider, &ImageSlider::touchUpInside);
    QSignalSpy outside(slider, &ImageSlider::touchUpOutside);
    QList<float> seen;
    QObject::connect(slider, &ImageSlider::valueChanged, slider,
                     [&](ImageSlider* s) { seen << s->value(); });

    // Grabbing the thumb off its centre does not move it.
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(15, 10));
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    for (int x = 40; x <= 160; x += 40)
        QTest::mouseMove(slider, QPoint(x, 10));
    ASSERT_EQ(seen.size(), 4);
    for (int i = 1; i < seen.size(); ++i)
        EXPECT_GT(seen[i], seen[i - 1]);
    EXPECT_NEAR(slider->value(), 1.0f + (160 - 15) / 242.0f * 9.0f, 1e-4);

    // Far past the end: held at the maximum, and the touch ends outside.
    QTest::mouseMove(slider, QPoint(400, 60));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(400, 60));
    EXPECT_EQ(slider->value(), 10.0f);
    EXPECT_EQ(inside.count(), 0);
    EXPECT_EQ(outside.count(), 1);
    EXPECT_FALSE(slider->isTracking());
}

TEST_F(ImageSliderTest, TouchOnTheTrackJumpsTheThumbThere)
{
    QSignalSpy changed(slider, &ImageSlider::valueChanged);
    QSignalSpy inside(slider, &ImageSlider::touchUpInside);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(xFor(5.5f), 10));
    EXPECT_NEAR(slider->value(), 5.5f, 0.05f);
    EXPECT_EQ(changed.count(), 1);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(xFor(5.5f), 10));
    EXPECT_EQ(changed.count(), 1) << "no change, no report";
    EXPECT_EQ(inside.count(), 1);
}

TEST_F(ImageSliderTest, NonContinuousSliderReportsOnceAtTheEnd)
{
    slider->setContinuous(false);
    QSignalSpy changed(slider, &ImageSlider::valueChanged);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(slider, QPoint(60, 10));
    QTest::mouseMove(slider, QPoint(120, 10));
    EXPECT_EQ(changed.count(), 0);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(120, 10));
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(ImageSliderTest, HidingOrDisablingUnderTheFingerCancelsTheTouchOnce)
{
    QSignalSpy inside(slider, &ImageSlider::touchUpInside);
    QSignalSpy cancel(slider, &ImageSlider::touchCancel);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(10, 10));
    slider->hide();
    EXPECT_EQ(cancel.count(), 1);
    EXPECT_FALSE(slider->isTracking());
    slider->show();

    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(10, 10));
    slider->setEnabled(false);
    EXPECT_EQ(cancel.count(), 2);
    slider->setEnabled(true);

    // A change handler that hides the slider (a view swapping sliders) ends the touch once.
    QObject::connect(slider, &ImageSlider::valueChanged, slider, [](ImageSlider* s) { s->hide(); });
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(cancel.count(), 3);
    EXPECT_EQ(inside.count(), 0);
}

} // namespace
