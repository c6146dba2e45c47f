// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/Toolbar.h"
#include "ControlTestSupport.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

using sonavell::test::solidPixmap;

namespace {

// The dashboard's shape: spaces and buttons alternating, item 3 a picture that changes.
class ToolbarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        toolbar.resize(320, 44);
        QList<BarButtonItem> items;
        items << BarButtonItem::flexibleSpace()
              << BarButtonItem::withTitle("Send", [this] { log << "send"; })
              << BarButtonItem::flexibleSpace()
              << BarButtonItem::withImage(solidPixmap({30, 20}, Qt::red), [this] { log << "q"; })
              << BarButtonItem::flexibleSpace()
              << BarButtonItem::withTitle("Delete", [this] { log << "delete"; })
              << BarButtonItem::flexibleSpace();
        toolbar.setItems(items);
        toolbar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    }

    void tap(int index)
    {
        QAbstractButton* button = toolbar.buttonForItem(index);
        ASSERT_NE(button, nullptr) << index;
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }

    Toolbar toolbar;
    QStringList log;
};

TEST_F(ToolbarTest, ButtonsAreLaidOutInOrderWithTheSpacesSharingTheRest)
{
    EXPECT_EQ(toolbar.count(), 7);
    EXPECT_EQ(toolbar.buttonForItem(0), nullptr);
    EXPECT_EQ(toolbar.buttonForItem(7), nullptr);
    const QRect send = toolbar.buttonForItem(1)->geometry();
    const QRect quality = toolbar.buttonForItem(3)->geometry();
    const QRect del = toolbar.buttonForItem(5)->geometry();
    EXPECT_LT(send.right(), quality.left());
    EXPECT_LT(quality.right(), del.left());
    EXPECT_GE(send.left(), 6);
    EXPECT_LE(del.right(), 320 - 6);
    // Four equal spaces: the gaps around the middle button match.
    EXPECT_NEAR(quality.left() - send.right(), del.left() - quality.right(), 2);
    EXPECT_NEAR(send.left(), 320 - del.right(), 2);
}

TEST_F(ToolbarTest, TapCallsTheItemsActionUnlessDisabled)
{
    tap(1);
    tap(3);
    tap(5);
    EXPECT_EQ(log, QStringList({"send", "q", "delete"}));
    toolbar.setItemEnabled(5, false);
    tap(5);
    EXPECT_EQ(log.size(), 3);
    EXPECT_FALSE(toolbar.item(5).isEnabled());
    toolbar.setItemEnabled(5, true);
    tap(5);
    EXPECT_EQ(log.last(), "delete");
}

TEST_F(ToolbarTest, ActionMayReplaceItsOwnItem)
{
    // Cycling a setting: each tap puts a new item with a new picture and action in place 3.
    int taps = 0;
    std::function<void()> cycle = [&] {
        ++taps;
        QList<BarButtonItem> items = toolbar.items();
        items[3] =
            BarButtonItem::withImage(solidPixmap({30, 20}, taps % 2 ? Qt::green : Qt::red), cycle);
        toolbar.setItems(items);
    };
    toolbar.setItemAction(3, cycle);
    tap(3);
    tap(3);
    tap(3);
    EXPECT_EQ(taps, 3);
    EXPECT_EQ(toolbar.item(3).image().toImage().pixelColor(0, 0), QColor(Qt::green));
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(ToolbarTest, ItemsAreCopiesAndBadIndexesChangeNothing)
{
    QList<BarButtonItem> copy = toolbar.items();
    copy[1].setEnabled(false);
    EXPECT_TRUE(toolbar.item(1).isEnabled());

    toolbar.setItemImage(3, solidPixmap({40, 20}, Qt::blue));
    EXPECT_EQ(toolbar.item(3).image().size(), QSize(40, 20));
    tap(3);
    EXPECT_EQ(log, QStringList({"q"})) << "a new picture keeps the action";

    toolbar.setItemEnabled(-1, false);
    toolbar.setItemImage(7, QPixmap());
    toolbar.replaceItem(9, BarButtonItem::flexibleSpace());
    EXPECT_EQ(toolbar.count(), 7);

    // Turning a button into a space and back.
    toolbar.replaceItem(1, BarButtonItem::fixedSpace(20));
    EXPECT_EQ(toolbar.buttonForItem(1), nullptr);
    toolbar.setItems({});
    EXPECT_EQ(toolbar.count(), 0);
    EXPECT_EQ(toolbar.buttonForItem(3), nullptr);
}

} // namespace
