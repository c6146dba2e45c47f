// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TouchView.h"
#include "support/MouseFinger.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QPointingDevice>
#include <QStyleHints>
#include <QTest>
#include <QTouchEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Records the touches that reach it, from itself or passed on by a child.
class RecordingTouchView : public TouchView
{
public:
    using TouchView::TouchView;
    struct Call
    {
        QString what;
        Touch touch;
    };
    QList<Call> calls;

    void touchesBegan(const Touch& t) override { calls.append({"began", t}); }
    void touchesMoved(const Touch& t) override { calls.append({"moved", t}); }
    void touchesEnded(const Touch& t) override { calls.append({"ended", t}); }
    void touchesCancelled(const Touch& t) override { calls.append({"cancelled", t}); }

    QStringList names() const
    {
        QStringList out;
        for (const Call& c : calls)
            out << c.what;
        return out;
    }
};

class TouchViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent.resize(200, 200);
        child = new TouchView(&parent);
        child->setGeometry(50, 50, 100, 100);
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }

    RecordingTouchView parent;
    TouchView* child = nullptr;
};

TEST_F(TouchViewTest, MouseTouchesOnAChildReachTheParentAsTheChildsWithTapCounts)
{
    sonavell::test::MouseFinger finger(&parent);
    finger.press({60, 60}, 1.0);
    finger.move({62, 61}, 1.02);
    finger.move({110, 60}, 1.04);
    finger.release({110, 60}, 1.06);

    ASSERT_EQ(parent.names(), (QStringList{"began", "moved", "moved", "ended"}));
    for (const auto& call : parent.calls)
        EXPECT_EQ(call.touch.view, child);
    EXPECT_EQ(parent.calls[0].touch.locationInView(&parent), QPointF(60, 60));
    EXPECT_EQ(parent.calls[0].touch.locationInView(child), QPointF(10, 10));
    EXPECT_EQ(parent.calls[0].touch.tapCount, 1);
    // A jitter within the drag distance is still a tap; beyond it the touch is a drag.
    EXPECT_EQ(parent.calls[1].touch.tapCount, 1);
    EXPECT_EQ(parent.calls[2].touch.tapCount, 0);
    EXPECT_EQ(parent.calls[3].touch.tapCount, 0);
    EXPECT_NEAR(parent.calls[3].touch.timestamp - parent.calls[0].touch.timestamp, 0.06, 1e-9);

    // After a drag, a quick second touch starts counting afresh.
    parent.calls.clear();
    finger.tap({110, 60}, 1.1, 0.02);
    ASSERT_EQ(parent.calls.size(), 2);
    EXPECT_EQ(parent.calls[0].touch.tapCount, 1);

    // Two taps inside the double-click interval: the second counts 2 from its start, and the
    // double click that follows its press begins nothing more.
    parent.calls.clear();
    finger.tap({80, 80}, 3.0);
    finger.tap({81, 80}, 3.15);
    ASSERT_EQ(parent.names(), (QStringList{"began", "ended", "began", "ended"}));
    EXPECT_EQ(parent.calls[0].touch.tapCount, 1);
    EXPECT_EQ(parent.calls[2].touch.tapCount, 2);
    EXPECT_EQ(parent.calls[3].touch.tapCount, 2);

    // Too late, or too far away, for a double tap.
    parent.calls.clear();
    const double late = QGuiApplication::styleHints()->mouseDoubleClickInterval() / 1000.0;
    finger.tap({80, 80}, 3.2 + late);
    finger.tap({140, 140}, 3.3 + late);
    ASSERT_EQ(parent.calls.size(), 4);
    EXPECT_EQ(parent.calls[0].touch.tapCount, 1);
    EXPECT_EQ(parent.calls[2].touch.tapCount, 1);

    // Touches on the parent itself are its own.
    parent.calls.clear();
    finger.tap({10, 10}, 9.0, 0.1);
    ASSERT_EQ(parent.calls.size(), 2);
    EXPECT_EQ(parent.calls[0].touch.view, &parent);
}

TEST_F(TouchViewTest, HidingOrDisablingTheViewCancelsItsTouch)
{
    sonavell::test::MouseFinger finger(&parent);
    finger.press({60, 60}, 1.0);
    child->hide();
    ASSERT_EQ(parent.names(), (QStringList{"began", "cancelled"}));
    EXPECT_FALSE(child->currentTouch());
    // The release that follows belongs to no touch.
    finger.release({60, 60}, 1.1);
    EXPECT_EQ(parent.calls.size(), 2);

    child->show();
    parent.calls.clear();
    finger.press({60, 60}, 5.0);
    child->setEnabled(false);
    EXPECT_EQ(parent.names(), (QStringList{"began", "cancelled"}));
}

TEST_F(TouchViewTest, TouchScreenFollowsTheFirstFingerOnly)
{
    std::unique_ptr<QPointingDevice> device(QTest::createTouchDevice());
    QPointingDevice* screen = device.get();
    QTest::touchEvent(child, screen).press(0, QPoint(10, 10), child);
    QTest::touchEvent(child, screen).move(0, QPoint(40, 10), child).press(1, QPoint(80, 80), child);
    QTest::touchEvent(child, screen).stationary(0).move(1, QPoint(90, 90), child);
    QTest::touchEvent(child, screen).release(0, QPoint(40, 20), child).stationary(1);
    QTest::touchEvent(child, screen).release(1, QPoint(90, 90), child);

    ASSERT_EQ(parent.names(), (QStringList{"began", "moved", "ended"}));
    EXPECT_EQ(parent.calls[0].touch.view, child);
    EXPECT_EQ(parent.calls[1].touch.locationInView(child), QPointF(40, 10));
    EXPECT_EQ(parent.calls[2].touch.locationInView(child), QPointF(40, 20));
    EXPECT_EQ(parent.calls[2].touch.tapCount, 0);

    parent.calls.clear();
    QTest::touchEvent(child, screen).press(0, QPoint(10, 10), child);
    QTouchEvent cancel(QEvent::TouchCancel, screen);
    QCoreApplication::sendEvent(child, &cancel);
    QCoreApplication::sendEvent(child, &cancel);
    EXPECT_EQ(parent.names(), (QStringList{"began", "cancelled"}));
}

} // namespace
