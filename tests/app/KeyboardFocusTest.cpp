// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard's focus on the recorder screen: Tab and Shift+Tab walk its controls in reading
// order and wrap round, Space works the focused control while the ring shows, and the window's
// shortcuts are left as they were when the ring does not show.
#include "app/KeyboardShortcuts.h"
#include "recorder/RecorderTestSupport.h"

#include "platform/ui/AlertLayer.h"
#include "platform/ui/FocusNavigator.h"
#include "platform/ui/FocusRing.h"
#include "platform/ui/UiAccessibility.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>

namespace {

class KeyboardFocusTest : public RecorderFixture
{
protected:
    void SetUp() override
    {
        RecorderFixture::SetUp();
        ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
        AlertView::visibleAlerts().front()->dismissWithClickedButtonIndex(0);
        UiAccessibility::install();
        keys = new KeyboardShortcuts(*app, navigation.get());
        focus = new FocusNavigator(navigation.get());
        navigation->resize(320, 480);
        navigation->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(navigation.get()));
        // A window of its own gives its first control the focus as it becomes active; in the
        // program the screens are inside the scaled window, where nothing has it at first.
        if (QWidget* first = QApplication::focusWidget())
            first->clearFocus();
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(navigation.get(), Qt::Key(key), modifiers);
        QCoreApplication::processEvents();
    }
    // The accessible name of the control that has the focus.
    static QString focused()
    {
        QWidget* widget = QApplication::focusWidget();
        QAccessibleInterface* iface =
            widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
        return iface ? iface->text(QAccessible::Name) : QString();
    }
    // Tab (or Shift+Tab) until the focus comes back to where it began.
    QStringList walk(bool forward)
    {
        QStringList names;
        for (int i = 0; i < 40; ++i) {
            press(forward ? Qt::Key_Tab : Qt::Key_Backtab,
                  forward ? Qt::NoModifier : Qt::ShiftModifier);
            if (!names.isEmpty() && focused() == names.first())
                break;
            names << focused();
        }
        return names;
    }
    void tabTo(const QString& name)
    {
        for (int i = 0; i < 40 && focused() != name; ++i)
            press(Qt::Key_Tab);
        ASSERT_EQ(focused(), name);
    }

    KeyboardShortcuts* keys = nullptr;
    FocusNavigator* focus = nullptr;
};

TEST_F(KeyboardFocusTest, TabWalksTheScreenInReadingOrderAndWrapsRound)
{
    EXPECT_FALSE(focus->ring()->isVisible()) << "no ring before the keyboard is used";
    const QStringList forward = walk(true);
    const QStringList expected{"New memo",
                               "Timer",
                               "Quality: low, 11 kHz",
                               "Send",
                               "Help",
                               "Spring-loaded shuttle",
                               "Play position",
                               "Position slider",
                               "Record",
                               "Volume"};
    EXPECT_EQ(forward, expected);
    EXPECT_EQ(focused(), expected.first()) << "Tab after the last control wraps to the first";
    EXPECT_TRUE(focus->ring()->isVisible());
    EXPECT_EQ(focus->ring()->control(), QApplication::focusWidget());

    // Shift+Tab goes the same way back, from the first control round to the last.
    const QStringList backward = walk(false);
    EXPECT_EQ(backward, QStringList(expected.rbegin(), expected.rend()));
    EXPECT_EQ(focused(), expected.last()) << "Shift+Tab before the first control wraps to the last";
}

TEST_F(KeyboardFocusTest, SpaceWorksTheFocusedControlWhileTheRingShows)
{
    tabTo("Record");
    press(Qt::Key_Space);
    pump(0.5); // past the deferred start
    ASSERT_TRUE(transport()->recording()) << "Space pressed the Record button";
    EXPECT_EQ(focused(), "Stop") << "the focus stays where the button was";
    EXPECT_TRUE(focus->ring()->isVisible());
    pump(2.0);
    press(Qt::Key_Return);
    pump(0.2);
    settle();
    ASSERT_FALSE(transport()->recording()) << "Return pressed the Stop button";
    ASSERT_TRUE(transport()->hasPlayMode());

    // The wheel takes Up and Down while it has the focus; Left and Right stay the shortcuts.
    tabTo("Play position");
    press(Qt::Key_Home);
    EXPECT_FLOAT_EQ(locator(), 0.0f);
    press(Qt::Key_Up);
    EXPECT_FLOAT_EQ(locator(), 0.5f) << "one notch on";
    press(Qt::Key_Right);
    EXPECT_FLOAT_EQ(locator(), 1.0f);
    press(Qt::Key_Down);
    EXPECT_FLOAT_EQ(locator(), 0.5f);
    EXPECT_EQ(focused(), "Play position");
}

TEST_F(KeyboardFocusTest, AClickPutsTheRingAwayAndSpacePlaysAgain)
{
    loadClip(2.0);
    tabTo("Append");
    ASSERT_TRUE(focus->ring()->isVisible());
    QTest::mouseClick(avc->statusSign(), Qt::LeftButton);
    EXPECT_FALSE(focus->ring()->isVisible()) << "a click puts the ring away";
    press(Qt::Key_Space);
    EXPECT_TRUE(transport()->playing()) << "Space is play / pause again, not Append";
    EXPECT_FALSE(transport()->recording());
    press(Qt::Key_Space);
    EXPECT_FALSE(transport()->playing());
}

TEST_F(KeyboardFocusTest, WhileAQuestionIsUpTabStaysInIt)
{
    loadClip(2.0);
    tabTo("Delete");
    QWidget* toolbarDelete = QApplication::focusWidget();
    press(Qt::Key_Space);
    ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
    ActionSheet* sheet = ActionSheet::visibleSheets().front();
    const QStringList titles = sheet->buttonTitles();
    ASSERT_GE(titles.size(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(focused(), titles.first()) << "the focus goes to the sheet's first button";
    EXPECT_TRUE(sheet->panel()->isAncestorOf(QApplication::focusWidget()));
    QStringList names;
    for (int i = 0; i < titles.size(); ++i) {
        press(Qt::Key_Tab);
        names << focused();
    }
    QStringList expected = titles.mid(1);
    expected << titles.first();
    EXPECT_EQ(names, expected) << "only the sheet's buttons, in order, and round again";
    press(Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(AlertLayer::current(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), toolbarDelete) << "the focus comes back to the toolbar";
}

} // namespace
