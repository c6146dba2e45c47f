// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImageButton.h"
#include "ControlTestSupport.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using sonavell::test::rendered;
using sonavell::test::solidPixmap;

namespace {

class ImageButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(200, 200);
        button = new ImageButton(&window);
        button->setBackgroundImage(StretchableImage(solidPixmap({60, 40}, Qt::red, 2.0), 12, 0));
        button->setBackgroundImage(StretchableImage(solidPixmap({60, 40}, Qt::blue), 12, 0),
                                   ImageButton::State::Highlighted);
        button->setGeometry(QRect(QPoint(20, 30), button->sizeHint()));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget window;
    ImageButton* button = nullptr;
};

TEST_F(ImageButtonTest, IsAsLargeAsItsNormalImageInPoints)
{
    EXPECT_EQ(button->sizeHint(), QSize(60, 40));
    EXPECT_EQ(ImageButton().sizeHint(), QSize(44, 44));
}

TEST_F(ImageButtonTest, TouchEndsInsideWithTheActionOrOutsideWithout)
{
    QSignalSpy down(button, &ImageButton::touchDown);
    QSignalSpy inside(button, &ImageButton::touchUpInside);
    QSignalSpy outside(button, &ImageButton::touchUpOutside);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(inside.count(), 0);
    EXPECT_EQ(button->currentState(), ImageButton::State::Highlighted);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(31, 21));
    EXPECT_EQ(inside.count(), 1);
    EXPECT_EQ(inside.at(0).at(0).value<ImageButton*>(), button);
    EXPECT_EQ(button->currentState(), ImageButton::State::Normal);

    // A touch that leaves the button ends outside, without the action.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseMove(button, QPoint(120, 100));
    EXPECT_EQ(button->currentState(), ImageButton::State::Normal);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(120, 100));
    EXPECT_EQ(inside.count(), 1);
    EXPECT_EQ(outside.count(), 1);

    // A later tap is a fresh touch, not the tail of the old one.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(inside.count(), 2);
    EXPECT_EQ(outside.count(), 1);
}

TEST_F(ImageButtonTest, DisabledButtonIgnoresTapsAndFallsBackToTheNormalImage)
{
    QSignalSpy down(button, &ImageButton::touchDown);
    QSignalSpy inside(button, &ImageButton::touchUpInside);
    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(down.count(), 0);
    EXPECT_EQ(inside.count(), 0);
    EXPECT_EQ(button->currentState(), ImageButton::State::Disabled);
    EXPECT_EQ(rendered(*button).pixelColor(30, 20), QColor(Qt::red));

    button->setEnabled(true);
    button->setSelected(true);
    EXPECT_EQ(button->currentState(), ImageButton::State::Selected);
    EXPECT_EQ(rendered(*button).pixelColor(30, 20), QColor(Qt::red));
}

TEST_F(ImageButtonTest, ShowsThePressedImageAndTheGlowOnlyWhenAsked)
{
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(rendered(*button).pixelColor(30, 20), QColor(Qt::blue));
    EXPECT_EQ(rendered(*button).pixelColor(2, 2), QColor(Qt::blue));
    button->setShowsTouchWhenHighlighted(true);
    const QColor glowing = rendered(*button).pixelColor(30, 20);
    EXPECT_GT(glowing.red(), 150);
    EXPECT_EQ(rendered(*button).pixelColor(2, 2), QColor(Qt::blue)) << "the glow stays central";
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(rendered(*button).pixelColor(30, 20), QColor(Qt::red));
}

TEST_F(ImageButtonTest, ActionMayReplaceItsOwnButton)
{
    // The way a view rebuilds its buttons from inside their own action.
    QPointer<ImageButton> old = button;
    ImageButton* replacement = nullptr;
    QObject::connect(button, &ImageButton::touchUpInside, &window, [&](ImageButton* sender) {
        sender->hide();
        sender->deleteLater();
        replacement = new ImageButton(&window);
    });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(30, 20));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    EXPECT_NE(replacement, nullptr);
}

} // namespace
