// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrowserTestSupport.h"

#include "browser/RecordingCell.h"
#include "platform/ui/NavigationBarButton.h"

#include <QFile>
#include <QImage>

using RecordingList = BrowserFixture;

namespace {
void writePhoto(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(path, "JPEG"));
}
} // namespace

TEST_F(RecordingList, CountLineAndTitle)
{
    // Music holds 4 of 10 recordings.
    for (int i = 0; i < 10; ++i)
        add(QStringLiteral("Take %1").arg(i),
            i % 3 == 0 ? QStringLiteral("Music") : QStringLiteral("Ideas"));
    openCategory(QStringLiteral("Music"));
    EXPECT_EQ(navigation->topViewController(), level2);
    EXPECT_EQ(level2->title(), "Music");
    EXPECT_EQ(level2->countLabel()->text(), "4 of 10 files");
    EXPECT_EQ(level2->freeLabel()->text(), app->getUsageString());
    EXPECT_EQ(listNames(), QStringList({"Take 0", "Take 3", "Take 6", "Take 9"}));
    EXPECT_EQ(navigation->backButton()->text(), "Categories");

    navigation->popViewControllerAnimated(false);
    openCategory(QStringLiteral("*****"));
    EXPECT_EQ(level2->title(), "All");
    EXPECT_EQ(level2->countLabel()->text(), "10 of 10 files");
}

TEST_F(RecordingList, SearchCountLinesSelectionAndKeptText)
{
    add(QStringLiteral("Kitchen plans"), QStringLiteral("Music"));
    add(QStringLiteral("Lecture"), QStringLiteral("Music"));
    add(QStringLiteral("Skiing"), QStringLiteral("Music"));
    add(QStringLiteral("Parking"), QStringLiteral("Music"));
    add(QStringLiteral("Talk"), QStringLiteral("Music"));
    openCategory(QStringLiteral("Music"));
    app->setRecordingIndex(4); // the fifth recording is current
    SearchBar* bar = level2->searchBar();

    level2->searchBarTextDidBeginEditing(bar);
    EXPECT_TRUE(bar->showsCancelButton());
    EXPECT_FALSE(bar->autocorrection());
    EXPECT_FALSE(bar->autocapitalization());

    // One result, none, three: the plural letter only above one.
    level2->searchBarTextDidChange(bar, QStringLiteral("kitch"));
    EXPECT_EQ(level2->countLabel()->text(), "1 Result found for \"kitch\"");
    EXPECT_EQ(level2->myTableView()->numberOfRows(), 1);
    level2->searchBarTextDidChange(bar, QStringLiteral("zzz"));
    EXPECT_EQ(level2->countLabel()->text(), "0 Result found for \"zzz\"");
    EXPECT_EQ(level2->myTableView()->numberOfRows(), 0);
    level2->searchBarTextDidChange(bar, QStringLiteral("ki"));
    EXPECT_EQ(level2->countLabel()->text(), "3 Results found for \"ki\"");
    EXPECT_EQ(listNames(), QStringList({"Kitchen plans", "Skiing", "Parking"}));
    EXPECT_EQ(app->searchText(), "ki");
    // The same recording stays current; the filtered list does not hold it.
    EXPECT_EQ(app->currentRecording()->name(), "Talk");
    EXPECT_EQ(app->recordingIndex(), -1);

    // The text survives leaving the screen and coming back, in another category too.
    level2->searchBarTextDidEndEditing(bar);
    EXPECT_FALSE(bar->showsCancelButton());
    navigation->popViewControllerAnimated(false);
    bar->setText(QString());
    openCategory(QStringLiteral("Ideas"));
    EXPECT_EQ(bar->text(), "ki");
    EXPECT_EQ(level2->countLabel()->text(), "0 Result found for \"ki\"");

    // Cancel clears the filter everywhere.
    navigation->popViewControllerAnimated(false);
    openCategory(QStringLiteral("Music"));
    level2->searchBarCancelButtonClicked(bar);
    EXPECT_TRUE(app->searchText().isEmpty());
    EXPECT_EQ(bar->text(), "");
    EXPECT_EQ(level2->countLabel()->text(), "5 of 5 files");
}

TEST_F(RecordingList, SelectingOpensTheRecorderScreenWithTheName)
{
    add(QStringLiteral("One"), QStringLiteral("Music"));
    add(QStringLiteral("Two"), QStringLiteral("Music"));
    openCategory(QStringLiteral("Music"));
    level2->tableViewDidSelectRowAtIndexPath(level2->myTableView(), 1);
    EXPECT_EQ(app->recordingIndex(), 1);
    EXPECT_EQ(navigation->topViewController(), recorder);
    EXPECT_EQ(recorder->title(), "Two");

    // The detail button selects the row; without a details screen nothing is pushed.
    navigation->popViewControllerAnimated(false);
    level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), 0);
    EXPECT_EQ(app->recordingIndex(), 0);
    EXPECT_EQ(navigation->topViewController(), level2);
    ProbeScreen details(&log, QStringLiteral("details"));
    level2->setItemDetailsController(&details);
    level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), 1);
    EXPECT_EQ(app->recordingIndex(), 1);
    EXPECT_EQ(navigation->topViewController(), &details);
    navigation->popViewControllerAnimated(false);
}

TEST_F(RecordingList, MoveTakesTheLibraryPlaceOfTheTarget)
{
    // Music holds library positions 2, 5 and 9 of ten.
    for (int i = 0; i < 10; ++i)
        add(QStringLiteral("R%1").arg(i),
            (i == 2 || i == 5 || i == 9) ? QStringLiteral("Music") : QStringLiteral("Ideas"));
    openCategory(QStringLiteral("Music"));
    level2->editAction();
    TableView* table = level2->myTableView();
    EXPECT_EQ(table->numberOfRows(), 4);
    EXPECT_FALSE(level2->tableViewCanMoveRowAtIndexPath(table, 3));
    EXPECT_EQ(level2->tableViewTargetIndexPathForMoveFromRowAtIndexPath(table, 0, 3), 2);

    // Up: R9 onto the first row lands at library position 2; positions 2 to 8 move to 3 to 9.
    level2->tableViewMoveRowAtIndexPath(table, 2, 0);
    EXPECT_EQ(names(app->recordings()),
              QStringList({"R0", "R1", "R9", "R2", "R3", "R4", "R5", "R6", "R7", "R8"}));
    EXPECT_EQ(listNames(), QStringList({"R9", "R2", "R5"}));
    // Down: R9 onto the last row lands just after R5.
    level2->tableViewMoveRowAtIndexPath(table, 0, 2);
    EXPECT_EQ(names(app->recordings()),
              QStringList({"R0", "R1", "R2", "R3", "R4", "R5", "R9", "R6", "R7", "R8"}));

    // Leaving edit mode writes the order (when this event-loop turn ends).
    level2->editAction();
    QCoreApplication::processEvents();
    EXPECT_EQ(names(start()->recordings()), names(app->recordings()));
}

TEST_F(RecordingList, InsertRenameAndDelete)
{
    auto lecture = add(QStringLiteral("Lecture 1"), QStringLiteral("Music"), 125);
    add(QStringLiteral("New Memo 3"), QStringLiteral("Music"));
    openCategory(QStringLiteral("Music"));
    TableView* table = level2->myTableView();
    level2->editAction();
    EXPECT_EQ(level2->editButton()->text(), "Done");
    EXPECT_EQ(table->numberOfRows(), 3);
    auto* insertion = static_cast<RecordingCell*>(table->cellForRowAtIndexPath(2));
    ASSERT_NE(insertion, nullptr);
    EXPECT_EQ(insertion->nameLabel()->text(), "New Memo");
    EXPECT_EQ(level2->tableViewEditingStyleForRowAtIndexPath(table, 2),
              TableViewCellEditingStyle::Insert);

    // The insert control adds the next free "New Memo" to this category, with no file yet.
    level2->tableViewCommitEditingStyle(table, TableViewCellEditingStyle::Insert, 2);
    EXPECT_EQ(listNames(), QStringList({"Lecture 1", "New Memo 3", "New Memo 1"}));
    EXPECT_EQ(app->recordings().last()->category(), "Music");
    EXPECT_FALSE(QFile::exists(docs() + "/" + app->recordings().last()->filename()));
    EXPECT_EQ(table->numberOfRows(), 4);

    // Rename prompts: "New Memo …" starts empty, any other name is offered for editing.
    level2->tableViewDidSelectRowAtIndexPath(table, 1);
    ASSERT_NE(level2->editText(), nullptr);
    EXPECT_EQ(prompt()->title(), "Enter Recording Name");
    EXPECT_EQ(level2->editText()->text(), "");
    prompt()->dismissWithClickedButtonIndex(0);
    level2->tableViewDidSelectRowAtIndexPath(table, 0);
    ASSERT_NE(level2->editText(), nullptr);
    EXPECT_EQ(level2->editText()->text(), "Lecture 1");
    level2->editText()->setText(QStringLiteral("Physics"));
    prompt()->dismissWithClickedButtonIndex(1);
    EXPECT_EQ(lecture->name(), "Physics");
    QCoreApplication::processEvents();
    EXPECT_EQ(names(start()->recordings()).first(), "Physics"); // written by the end of the turn

    // Deleting removes the WAV and photo files and updates the count line at once.
    level2->editAction();
    const QString wav = docs() + "/" + lecture->filename();
    const QString jpg = docs() + "/" + lecture->photoFilename();
    writePhoto(jpg, 160, 120);
    ASSERT_TRUE(QFile::exists(wav));
    level2->tableViewCommitEditingStyle(table, TableViewCellEditingStyle::Delete, 0);
    EXPECT_FALSE(QFile::exists(wav));
    EXPECT_FALSE(QFile::exists(jpg));
    EXPECT_EQ(level2->countLabel()->text(), "2 of 2 files");
    EXPECT_EQ(listNames(), QStringList({"New Memo 3", "New Memo 1"}));
}

TEST_F(RecordingList, RowContent)
{
    auto portrait = add(QStringLiteral("Portrait"), QStringLiteral("Music"), 125);
    portrait->setLocationString(QStringLiteral("Kitchener ON"));
    auto landscape = add(QStringLiteral("Landscape"), QStringLiteral("Music"), 5);
    add(QStringLiteral("Plain"), QStringLiteral("Music"), 3725);
    writePhoto(docs() + "/" + portrait->photoFilename(), 300, 400);
    writePhoto(docs() + "/" + landscape->photoFilename(), 400, 300);
    openCategory(QStringLiteral("Music"));
    TableView* table = level2->myTableView();

    auto* first = static_cast<RecordingCell*>(table->cellForRowAtIndexPath(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->reuseIdentifier(), "MyOtherIdentifier");
    EXPECT_EQ(first->viewWithTag(Level2ViewController::kNameTag), first->nameLabel());
    EXPECT_EQ(first->nameLabel()->text(), "Portrait");
    EXPECT_EQ(first->dateLabel()->text(), app->formatDate(portrait->date()));
    EXPECT_EQ(first->placeLabel()->text(), "Kitchener ON");
    EXPECT_EQ(first->durationLabel()->text(), "02m 05s");
    EXPECT_EQ(first->accessoryType(), TableViewCell::AccessoryType::DetailDisclosureButton);
    // A portrait thumbnail is fitted with its shape kept; a landscape one fills the view.
    ASSERT_FALSE(first->photoView()->pixmap().isNull());
    EXPECT_FALSE(first->photoFillsView());
    EXPECT_LT(first->photoView()->pixmap().width(), 56);
    auto* second = static_cast<RecordingCell*>(table->cellForRowAtIndexPath(1));
    EXPECT_TRUE(second->photoFillsView());
    EXPECT_EQ(second->photoView()->pixmap().size(), QSize(56, 43));
    auto* third = static_cast<RecordingCell*>(table->cellForRowAtIndexPath(2));
    EXPECT_TRUE(third->photoView()->pixmap().isNull());
    EXPECT_EQ(third->durationLabel()->text(), "1h 02m 05s");
    EXPECT_EQ(third->placeLabel()->text(), "");
}

TEST_F(RecordingList, NavigationOrderWithAppearanceCalls)
{
    add(QStringLiteral("One"), QStringLiteral("Music"));
    auto* probeList = new ProbeScreen(&log, QStringLiteral("list"));
    probeList->setParent(navigation.get());
    // The category list's own calls are seen through what it does: the probe stands for the
    // recording list here, so the order of calls around it can be read.
    navigation->pushViewController(probeList, true);
    navigation->pushViewController(recorder, true);
    navigation->popViewControllerAnimated(true);
    navigation->popViewControllerAnimated(true);
    EXPECT_EQ(log,
              QStringList({"list willAppear", "list didAppear", "list willDisappear",
                           "recorder willAppear", "list didDisappear", "recorder didAppear",
                           "recorder willDisappear", "list willAppear", "recorder didDisappear",
                           "list didAppear", "list willDisappear", "list didDisappear"}));
    EXPECT_EQ(navigation->topViewController(), level1);

    // The real list: root, list, recorder and back, with the back button naming each step.
    openCategory(QStringLiteral("Music"));
    EXPECT_EQ(navigation->backButton()->text(), "Categories");
    level2->gotoRecord();
    EXPECT_EQ(navigation->topViewController(), recorder);
    EXPECT_EQ(navigation->backButton()->text(), "Music");
    navigation->popViewControllerAnimated(true);
    EXPECT_EQ(navigation->topViewController(), level2);
    navigation->popViewControllerAnimated(true);
    EXPECT_EQ(navigation->topViewController(), level1);
    EXPECT_TRUE(navigation->backButton()->isHidden());
}
