// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrowserTestSupport.h"

#include "platform/ui/NavigationBarButton.h"

using CategoryList = BrowserFixture;

namespace {
QStringList rowTexts(Level1ViewController* screen)
{
    QStringList texts;
    TableView* table = screen->myTableView();
    for (int row = 0; row < screen->tableViewNumberOfRowsInSection(table, 0); ++row)
        texts << screen->rowText(row);
    return texts;
}
} // namespace

TEST_F(CategoryList, CountsTitleAndLabels)
{
    for (int i = 0; i < 3; ++i)
        add(QStringLiteral("Song %1").arg(i), QStringLiteral("Music"));
    add(QStringLiteral("Plan"), QStringLiteral("Ideas"));
    navigation->pushViewController(recorder, false);
    navigation->popViewControllerAnimated(false);

    EXPECT_EQ(level1->title(), "Categories");
    EXPECT_EQ(rowTexts(level1),
              QStringList({"All (4)", "Business (0)", "Ideas (1)", "Interviews (0)", "Lectures (0)",
                           "Music (3)", "Personal (0)", "To Do (0)"}));
    EXPECT_EQ(level1->countLabel()->text(), "4 files");
    EXPECT_EQ(level1->freeLabel()->text(), app->getUsageString());
    // The table shows the same rows, each with a disclosure indicator.
    TableView* table = level1->myTableView();
    EXPECT_EQ(table->numberOfRows(), 8);
    TableViewCell* music = table->cellForRowAtIndexPath(5);
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->text(), "Music (3)");
    EXPECT_EQ(music->accessoryType(), TableViewCell::AccessoryType::DisclosureIndicator);
}

TEST_F(CategoryList, EditModeInsertionRowStylesAndMoves)
{
    TableView* table = level1->myTableView();
    level1->editAction();
    EXPECT_TRUE(level1->editing());
    EXPECT_TRUE(table->isEditing());
    EXPECT_EQ(level1->editButton()->text(), "Done");
    EXPECT_EQ(table->numberOfRows(), 9);
    EXPECT_EQ(level1->rowText(8), "New Category");

    using Style = TableViewCellEditingStyle;
    EXPECT_EQ(level1->tableViewEditingStyleForRowAtIndexPath(table, 0), Style::None);
    EXPECT_EQ(level1->tableViewEditingStyleForRowAtIndexPath(table, 3), Style::Delete);
    EXPECT_EQ(level1->tableViewEditingStyleForRowAtIndexPath(table, 8), Style::Insert);
    EXPECT_FALSE(level1->tableViewCanMoveRowAtIndexPath(table, 0));
    EXPECT_TRUE(level1->tableViewCanMoveRowAtIndexPath(table, 7));
    EXPECT_FALSE(level1->tableViewCanMoveRowAtIndexPath(table, 8));
    // Row 0 is never a target; past the last category is the last category.
    EXPECT_EQ(level1->tableViewTargetIndexPathForMoveFromRowAtIndexPath(table, 4, 0), 1);
    EXPECT_EQ(level1->tableViewTargetIndexPathForMoveFromRowAtIndexPath(table, 4, 8), 7);
    EXPECT_EQ(level1->tableViewTargetIndexPathForMoveFromRowAtIndexPath(table, 4, 2), 2);

    // The insert control appends "New Category" and writes the library.
    level1->tableViewCommitEditingStyle(table, Style::Insert, 8);
    EXPECT_EQ(app->categories().size(), 9);
    EXPECT_EQ(level1->rowText(8), "New Category (0)");
    EXPECT_EQ(level1->rowText(9), "New Category");
    EXPECT_EQ(table->numberOfRows(), 10);

    // Row 6 (Personal) dragged to row 2: rows 2 to 5 move down one.
    level1->tableViewMoveRowAtIndexPath(table, 6, 2);
    EXPECT_EQ(categoryNames(*app),
              QStringList({"*****", "Business", "Personal", "Ideas", "Interviews", "Lectures",
                           "Music", "To Do", "New Category"}));
    level1->editAction();
    EXPECT_FALSE(level1->editing());
    EXPECT_EQ(level1->editButton()->text(), "Edit");
    EXPECT_EQ(table->numberOfRows(), 9);

    // The new category and the new order survive a restart, without an explicit save.
    QCoreApplication::processEvents();
    EXPECT_EQ(categoryNames(*start()), categoryNames(*app));
}

TEST_F(CategoryList, RenamePrompts)
{
    add(QStringLiteral("Song"), QStringLiteral("Music"));
    TableView* table = level1->myTableView();
    level1->editAction();
    level1->tableViewCommitEditingStyle(table, TableViewCellEditingStyle::Insert, 8);

    // A category called "New Category" starts with an empty field.
    level1->tableViewDidSelectRowAtIndexPath(table, 8);
    ASSERT_NE(prompt(), nullptr);
    EXPECT_EQ(prompt()->title(), "Enter Category Name");
    EXPECT_EQ(prompt()->buttonTitles(), QStringList({"Cancel", "OK"}));
    ASSERT_NE(level1->editText(), nullptr);
    EXPECT_EQ(level1->editText()->text(), "");
    EXPECT_EQ(app->categoryIndex(), 8);
    prompt()->dismissWithClickedButtonIndex(0); // Cancel: nothing changes
    EXPECT_EQ(app->categories()[8]->name(), "New Category");

    // Music opens with its name; renamed, its recording goes with it, on disk at once.
    const int music = categoryRow(QStringLiteral("Music"));
    level1->tableViewDidSelectRowAtIndexPath(table, music);
    ASSERT_NE(level1->editText(), nullptr);
    EXPECT_EQ(level1->editText()->text(), "Music");
    level1->editText()->setText(QStringLiteral("Songs"));
    prompt()->dismissWithClickedButtonIndex(1);
    EXPECT_EQ(app->categories()[music]->name(), "Songs");
    EXPECT_EQ(level1->rowText(music), "Songs (1)");
    EXPECT_EQ(level1->rowText(0), "All (1)");
    EXPECT_EQ(categoryNames(*start())[music], "Songs");
    EXPECT_EQ(start()->recordings()[0]->category(), "Songs");

    // A name another category still has keeps its recordings there: "New Category" renamed
    // to "Songs" and back leaves the recording under the first Songs.
    level1->tableViewDidSelectRowAtIndexPath(table, 8);
    level1->editText()->setText(QStringLiteral("Songs"));
    prompt()->dismissWithClickedButtonIndex(1);
    level1->tableViewDidSelectRowAtIndexPath(table, 8);
    level1->editText()->setText(QStringLiteral("New Category"));
    prompt()->dismissWithClickedButtonIndex(1);
    EXPECT_EQ(app->recordings()[0]->category(), "Songs");
    EXPECT_EQ(level1->rowText(music), "Songs (1)");

    // The all-recordings row keeps its name: no prompt opens for it.
    level1->tableViewDidSelectRowAtIndexPath(table, 0);
    EXPECT_EQ(prompt(), nullptr);
    // The insertion row opens nothing either.
    level1->tableViewDidSelectRowAtIndexPath(table, 9);
    EXPECT_EQ(prompt(), nullptr);
}

TEST_F(CategoryList, DeleteRefilesRecordingsAndSelectsFirstCategory)
{
    add(QStringLiteral("Song 1"), QStringLiteral("Music"));
    add(QStringLiteral("Song 2"), QStringLiteral("Music"));
    const int music = categoryRow(QStringLiteral("Music"));
    app->setCategoryIndex(music);
    TableView* table = level1->myTableView();
    // A swipe offers the delete outside edit mode too.
    level1->tableViewCommitEditingStyle(table, TableViewCellEditingStyle::Delete, music);
    EXPECT_EQ(categoryRow(QStringLiteral("Music")), -1);
    EXPECT_EQ(app->categoryIndex(), 0);
    EXPECT_EQ(table->numberOfRows(), 7);
    EXPECT_EQ(level1->rowText(0), "All (2)");
    for (const auto& r : app->recordings())
        EXPECT_EQ(r->category(), "From Deleted Category");
    // Row 0 cannot be deleted.
    level1->tableViewCommitEditingStyle(table, TableViewCellEditingStyle::Delete, 0);
    EXPECT_EQ(app->categories().first()->name(), "*****");
}
