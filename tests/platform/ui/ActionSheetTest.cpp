// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ActionSheet.h"
#include "platform/ui/Toolbar.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ActionSheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ActionSheet::clearHistory();
        window.resize(320, 480);
        toolbar = new Toolbar(&window);
        toolbar->setGeometry(0, 436, 320, 44);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // The visible button with this title, as the user would find it.
    QPushButton* button(const QString& title)
    {
        for (QPushButton* b : window.findChildren<QPushButton*>())
            if (b->text() == title && b->isVisible())
                return b;
        return nullptr;
    }

    QWidget window;
    Toolbar* toolbar = nullptr;
};

TEST_F(ActionSheetTest, ButtonsAreCountedDestructiveFirstAndCancelLast)
{
    ActionSheet confirm("Are you sure?", {}, "Cancel", "Delete");
    EXPECT_EQ(confirm.buttonTitles(), QStringList({"Delete", "Cancel"}));
    EXPECT_EQ(confirm.destructiveButtonIndex(), 0);
    EXPECT_EQ(confirm.cancelButtonIndex(), 1);

    ActionSheet source("Choose photo source:", {}, "Cancel", {}, {"New Photo", "From Library"});
    EXPECT_EQ(source.buttonTitles(), QStringList({"New Photo", "From Library", "Cancel"}));
    EXPECT_EQ(source.destructiveButtonIndex(), -1);
    EXPECT_EQ(source.cancelButtonIndex(), 2);

    ActionSheet empty("Later", {}, {});
    EXPECT_EQ(empty.numberOfButtons(), 0);
    EXPECT_EQ(empty.addButtonWithTitle("One"), 0);
    EXPECT_EQ(empty.cancelButtonIndex(), -1);
    EXPECT_EQ(empty.buttonTitleAtIndex(5), QString());
}

TEST_F(ActionSheetTest, TappingAButtonHidesTheSheetThenTellsTheDelegate)
{
    QStringList calls;
    ActionSheet sheet(
        "Are you sure you want to delete this recording?",
        [&](ActionSheet* s, int index) {
            calls << QString("clicked %1 visible %2").arg(index).arg(s->isVisible());
        },
        "Cancel", "Delete");
    sheet.setDidDismissWithButtonIndex(
        [&](ActionSheet*, int index) { calls << QString("dismissed %1").arg(index); });

    sheet.showFromToolbar(toolbar);
    EXPECT_TRUE(sheet.isVisible());
    ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
    EXPECT_EQ(ActionSheet::history(),
              QStringList({"Are you sure you want to delete this recording? [Delete|Cancel]"}));
    EXPECT_TRUE(calls.isEmpty()) << "showing never waits for an answer";
    auto* overlay = window.findChild<QWidget*>("AlertLayerOverlay");
    ASSERT_NE(overlay, nullptr);
    window.resize(320, 568);
    EXPECT_EQ(overlay->geometry(), window.rect()) << "the sheet covers the whole window";

    QPushButton* del = button("Delete");
    ASSERT_NE(del, nullptr);
    QTest::mouseClick(del, Qt::LeftButton);
    EXPECT_EQ(calls, QStringList({"clicked 0 visible 0", "dismissed 0"}));
    EXPECT_TRUE(ActionSheet::visibleSheets().empty());
    EXPECT_EQ(button("Delete"), nullptr);

    // Gone means gone: a second dismissal does nothing.
    sheet.dismissWithClickedButtonIndex(1);
    EXPECT_EQ(calls.size(), 2);

    // The owner may show it again.
    sheet.showInView(&window);
    QTest::mouseClick(button("Cancel"), Qt::LeftButton);
    EXPECT_EQ(calls.mid(2), QStringList({"clicked 1 visible 0", "dismissed 1"}));
    EXPECT_EQ(ActionSheet::history().size(), 2);
}

TEST_F(ActionSheetTest, SheetReleasedFromItsOwnButtonOrWhileShowingLeavesNoTrace)
{
    int clicked = 0;
    int dismissed = 0;
    QPointer<ActionSheet> sheet = new ActionSheet(
        "Delete?",
        [&](ActionSheet* s, int) {
            ++clicked;
            delete s;
        },
        "Cancel", "Delete");
    sheet->setDidDismissWithButtonIndex([&](ActionSheet*, int) { ++dismissed; });
    sheet->showInView(&window);
    QTest::mouseClick(button("Delete"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sheet.isNull());
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(dismissed, 0) << "nobody left to tell";
    EXPECT_TRUE(ActionSheet::visibleSheets().empty());

    auto* showing = new ActionSheet("Delete?", {}, "Cancel", "Delete");
    showing->showInView(&window);
    delete showing;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(ActionSheet::visibleSheets().empty());
    EXPECT_EQ(button("Delete"), nullptr);
}

} // namespace
