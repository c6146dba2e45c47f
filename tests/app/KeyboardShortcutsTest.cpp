// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyboardShortcuts.h"
#include "recorder/RecorderTestSupport.h"

#include "platform/ui/AlertLayer.h"
#include "platform/ui/ViewController.h"

namespace {

// The keys on the recorder screen, in its navigation's window, with the virtual device's clock.
class KeyboardShortcutsTest : public RecorderFixture
{
protected:
    void SetUp() override
    {
        RecorderFixture::SetUp();
        // The first run's tip is answered; keys wait while it is up.
        ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
        AlertView::visibleAlerts().front()->dismissWithClickedButtonIndex(0);
        keys = new KeyboardShortcuts(*app, navigation.get());
        navigation->resize(320, 480);
        navigation->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(navigation.get()));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(navigation.get(), Qt::Key(key), modifiers);
        QCoreApplication::processEvents();
    }

    KeyboardShortcuts* keys = nullptr;
};

TEST_F(KeyboardShortcutsTest, TheKeysDriveTheTransport)
{
    ASSERT_FALSE(transport()->hasPlayMode());
    press(Qt::Key_Space);
    EXPECT_FALSE(transport()->playing()) << "nothing to play before the first take";

    press(Qt::Key_R);
    pump(0.5); // past the deferred start
    ASSERT_TRUE(transport()->recording());
    press(Qt::Key_Right);
    EXPECT_TRUE(transport()->recording()) << "the wheel's keys do nothing during a take";
    pump(3.0);
    press(Qt::Key_R);
    pump(0.2);
    settle();
    ASSERT_FALSE(transport()->recording());
    ASSERT_TRUE(transport()->hasPlayMode());
    const double length = avc->clipLength();
    EXPECT_GT(length, 2.0);

    press(Qt::Key_Home);
    EXPECT_FLOAT_EQ(locator(), 0.0f);
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    EXPECT_FLOAT_EQ(locator(), 1.0f) << "two notches of half a second";
    press(Qt::Key_Left);
    EXPECT_FLOAT_EQ(locator(), 0.5f);
    for (int i = 0; i < 20; ++i)
        press(Qt::Key_Right);
    EXPECT_FLOAT_EQ(locator(), float(length)) << "not past the end";
    press(Qt::Key_Home);
    EXPECT_FLOAT_EQ(locator(), 0.0f);

    press(Qt::Key_Space);
    ASSERT_TRUE(transport()->playing());
    pump(0.4);
    const float before = locator();
    press(Qt::Key_Right);
    EXPECT_TRUE(transport()->playing()) << "playback goes on from the new place";
    EXPECT_NEAR(locator(), before + 0.5f, 0.05f);
    pump(0.3);
    EXPECT_GT(locator(), before + 0.6f);
    press(Qt::Key_Space);
    EXPECT_FALSE(transport()->playing());

    // R does not start a take over a loaded memo; A appends to it.
    press(Qt::Key_R);
    pump(0.5);
    EXPECT_FALSE(transport()->recording());
    press(Qt::Key_A);
    pump(0.5);
    ASSERT_TRUE(transport()->recording());
    pump(1.0);
    press(Qt::Key_R);
    pump(0.2);
    settle();
    EXPECT_FALSE(transport()->recording());
    EXPECT_GT(avc->clipLength(), length + 0.5);
}

TEST_F(KeyboardShortcutsTest, DeleteAsksFirstAndKeysWaitWhileTheQuestionIsUp)
{
    loadClip(2.0);
    ASSERT_TRUE(transport()->hasPlayMode());
    const auto memo = current();
    press(Qt::Key_Delete);
    ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
    EXPECT_TRUE(ActionSheet::visibleSheets().front()->buttonTitles().contains("Delete"));
    press(Qt::Key_Space);
    EXPECT_FALSE(transport()->playing()) << "the screen below the question gets no keys";
    press(Qt::Key_Escape);
    EXPECT_TRUE(ActionSheet::visibleSheets().empty()) << "Escape is the sheet's Cancel";
    EXPECT_EQ(current(), memo);
    EXPECT_EQ(AlertLayer::current(), nullptr);
}

TEST_F(KeyboardShortcutsTest, CtrlNStartsANewMemoAndEscapeGoesBack)
{
    loadClip(2.0);
    const auto memo = current();
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_NE(current(), nullptr);
    EXPECT_NE(current(), memo);
    EXPECT_FALSE(transport()->hasPlayMode()) << "a new memo has nothing to play yet";

    ViewController other;
    other.setTitle("Help");
    navigation->pushViewController(&other, false);
    press(Qt::Key_Escape);
    EXPECT_EQ(navigation->topViewController(), avc.get());
    navigation->pushViewController(&other, false);
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(navigation->topViewController(), avc.get());
}

TEST_F(KeyboardShortcutsTest, AScreenWithWorkUnderWayTakesEscapeInsteadOfGoing)
{
    // As the push screen during a push: while busy it takes Escape and Alt+Left itself.
    class BusyScreen : public ViewController
    {
    public:
        bool busy = true;
        int taken = 0;
        bool interceptBack() override
        {
            if (!busy)
                return false;
            ++taken;
            return true;
        }
    };
    BusyScreen presented;
    avc->presentModalViewController(&presented, false);
    press(Qt::Key_Escape);
    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(presented.taken, 2);
    EXPECT_EQ(avc->modalViewController(), &presented);
    presented.busy = false;
    press(Qt::Key_Escape);
    EXPECT_EQ(avc->modalViewController(), nullptr);

    BusyScreen pushed;
    navigation->pushViewController(&pushed, false);
    press(Qt::Key_Escape);
    EXPECT_EQ(pushed.taken, 1);
    EXPECT_EQ(navigation->topViewController(), &pushed);
    pushed.busy = false;
    press(Qt::Key_Escape);
    EXPECT_EQ(navigation->topViewController(), avc.get());
}

TEST_F(KeyboardShortcutsTest, CtrlQClosesTheWindow)
{
    qApp->setQuitOnLastWindowClosed(false); // the test's own event loop goes on
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(navigation->isVisible());
    qApp->setQuitOnLastWindowClosed(true);
}

} // namespace
