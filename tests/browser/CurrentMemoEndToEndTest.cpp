// SPDX-License-Identifier: GPL-3.0-or-later
// The memo on the screen is the memo acted on: renames under a search, moves and deletes of
// categories never make another memo current, so a take, an e-mail or a push goes to the memo
// the user sees. Through the real screens on the offscreen platform.
#include "EndToEndFixture.h"
#include "ProgramScreens.h"
#include "dashboard/DashboardView.h"
#include "dashboard/TransportView.h"
#include "platform/audio/AudioFile.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TextField.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <vector>

namespace {

// Samples in a WAV file; 0 when there is none.
int64_t sampleCount(const QString& path)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::openURL(path, AudioFile::kReadPermission, &file) != noErr)
        return 0;
    return file->audioDataPacketCount();
}

} // namespace

class CurrentMemoEndToEnd : public EndToEndFixture
{
protected:
    // A memo in the category with a one-second clip of its own.
    std::shared_ptr<Recording> addMemo(AppDelegate& app, const QString& name,
                                       const QString& category)
    {
        app.addRecording();
        auto memo = app.recordings().last();
        memo->setName(name);
        memo->setCategory(category);
        std::unique_ptr<AudioFile> file;
        EXPECT_EQ(AudioFile::createWithURL(docs() + "/" + memo->filename(),
                                           monoPCM16Format(11025.0), &file),
                  noErr);
        std::vector<int16_t> samples(11025, 100);
        uint32_t n = uint32_t(samples.size());
        EXPECT_EQ(file->writePackets(0, &n, samples.data()), noErr);
        app.persist();
        return memo;
    }
    QString pathOf(const std::shared_ptr<Recording>& memo) const
    {
        return docs() + "/" + memo->filename();
    }
    // Half a second of the virtual microphone into the recorder's current clip.
    void takeHalfASecond(ProgramScreens& screens)
    {
        TransportView* transport = screens.recorder->dbView()->transportView();
        transport->doRecord();
        ASSERT_TRUE(transport->recording());
        for (int i = 0; i < 50; ++i) {
            device->advance(0.01);
            QCoreApplication::processEvents();
        }
        transport->doRecord();
        ASSERT_FALSE(transport->recording());
    }
    void openCategory(ProgramScreens& screens, const QString& name)
    {
        const auto& categories = screens.app->categories();
        for (int row = 0; row < categories.size(); ++row)
            if (categories[row]->name() == name)
                screens.tapRow(screens.categories->myTableView(), row);
        ASSERT_EQ(screens.navigation->topViewController(), screens.list);
    }
    void searchFor(ProgramScreens& screens, const QString& text)
    {
        QLineEdit* field = screens.list->searchBar()->textField();
        screens.tap(field);
        field->setFocus();
        QTest::keyClicks(field, text);
    }
};

TEST_F(CurrentMemoEndToEnd, ATakeAfterARenameUnderSearchGoesIntoTheRenamedMemo)
{
    auto app = start();
    auto plans = addMemo(*app, QStringLiteral("Kitchen plans"), QStringLiteral("Music"));
    auto tiles = addMemo(*app, QStringLiteral("Kitchen tiles"), QStringLiteral("Music"));
    app->setCurrentRecording(plans);
    ProgramScreens screens(app.get());
    ASSERT_TRUE(screens.exposed);
    screens.tap(screens.navigation->backButton());
    openCategory(screens, QStringLiteral("Music"));
    searchFor(screens, QStringLiteral("kitchen"));
    ASSERT_EQ(screens.list->myTableView()->numberOfRows(), 2);

    // The first result's details; renamed there so that the search no longer finds it.
    TableViewCell* row = screens.list->myTableView()->cellForRowAtIndexPath(0);
    ASSERT_TRUE(row);
    screens.tap(row, row->accessoryRect().center());
    ASSERT_EQ(screens.navigation->topViewController(), screens.details);
    TextField* name = screens.details->recordingNameTextField();
    screens.tap(name);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Bathroom"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(plans->name(), "Bathroom");
    EXPECT_EQ(app->currentRecording(), plans);
    EXPECT_EQ(app->recordingIndex(), -1); // the search hides it, and nothing takes its place

    // Record from the details: the recorder opens the renamed memo, and the take goes there.
    screens.tap(screens.details->recordButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    EXPECT_EQ(screens.navigation->barTitle(), "Bathroom");
    EXPECT_EQ(screens.recorder->soundFileURL().toLocalFile(), pathOf(plans));
    takeHalfASecond(screens);
    EXPECT_NEAR(double(sampleCount(pathOf(plans))), 1.5 * 11025, 0.05 * 11025);
    EXPECT_EQ(sampleCount(pathOf(tiles)), 11025);

    // The same through the list's own rename prompt, in edit mode.
    screens.tap(screens.navigation->backButton());
    screens.tap(screens.navigation->backButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.list);
    ASSERT_EQ(screens.list->myTableView()->numberOfRows(), 1); // Kitchen tiles
    screens.tap(screens.list->editButton());
    screens.tapRow(screens.list->myTableView(), 0);
    ASSERT_TRUE(screens.list->editText());
    screens.list->editText()->setText(QStringLiteral("Floor"));
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    AlertView::visibleAlerts().front()->dismissWithClickedButtonIndex(1);
    EXPECT_EQ(tiles->name(), "Floor");
    EXPECT_EQ(app->currentRecording(), tiles);
    EXPECT_EQ(screens.list->countLabel()->text(), "0 Result found for \"kitchen\"");
    screens.tap(screens.list->editButton());
    screens.tap(screens.list->recordButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    EXPECT_EQ(screens.recorder->soundFileURL().toLocalFile(), pathOf(tiles));
}

TEST_F(CurrentMemoEndToEnd, MovingOrDeletingCategoriesKeepsTheSameMemoCurrent)
{
    auto app = start();
    addMemo(*app, QStringLiteral("Invoice call"), QStringLiteral("Business"));
    auto chorus = addMemo(*app, QStringLiteral("Chorus"), QStringLiteral("Music"));
    auto bridge = addMemo(*app, QStringLiteral("Bridge"), QStringLiteral("Music"));
    app->setCurrentRecording(chorus);
    ProgramScreens screens(app.get());
    ASSERT_TRUE(screens.exposed);
    screens.tap(screens.navigation->backButton());
    openCategory(screens, QStringLiteral("Music"));
    screens.tapRow(screens.list->myTableView(), 1);
    ASSERT_EQ(screens.navigation->barTitle(), "Bridge");
    screens.tap(screens.navigation->backButton());
    screens.tap(screens.navigation->backButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.categories);

    // Music (row 5) dragged by its grip to the top of the movable rows.
    TableView* table = screens.categories->myTableView();
    screens.tap(screens.categories->editButton());
    const QPoint grip = table->reorderControlRect(5).center();
    const QPoint top = table->rectForRowAtIndexPath(1).center();
    screens.t += 1.0;
    screens.finger.press(table->viewport()->mapTo(&screens.window, grip), screens.t);
    screens.finger.move(table->viewport()->mapTo(&screens.window, QPoint(grip.x(), top.y())),
                        screens.t + 0.2);
    screens.finger.release(table->viewport()->mapTo(&screens.window, QPoint(grip.x(), top.y())),
                           screens.t + 0.4);
    QCoreApplication::processEvents();
    ASSERT_EQ(app->categories()[1]->name(), "Music");
    EXPECT_EQ(app->categoryIndex(), 1);
    EXPECT_EQ(app->currentRecording(), bridge);
    screens.tap(screens.categories->editButton());
    screens.tap(screens.categories->recordButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    EXPECT_EQ(screens.navigation->barTitle(), "Bridge");
    EXPECT_EQ(screens.recorder->soundFileURL().toLocalFile(), pathOf(bridge));

    // Deleting Music: its memos go under all recordings, the same one stays current.
    screens.tap(screens.navigation->backButton());
    screens.tap(screens.categories->editButton());
    screens.tap(table->viewport(), table->editControlRect(1).center());
    ASSERT_EQ(table->deleteConfirmationRow(), 1);
    screens.tap(table->deleteConfirmationButton());
    EXPECT_EQ(app->categoryIndex(), 0);
    EXPECT_EQ(app->currentRecording(), bridge);
    EXPECT_EQ(bridge->category(), "From Deleted Category");
    screens.tap(screens.categories->editButton());
    screens.tap(screens.categories->recordButton());
    EXPECT_EQ(screens.navigation->barTitle(), "Bridge");
    EXPECT_EQ(screens.recorder->soundFileURL().toLocalFile(), pathOf(bridge));
    takeHalfASecond(screens);
    EXPECT_NEAR(double(sampleCount(pathOf(bridge))), 1.5 * 11025, 0.05 * 11025);
    EXPECT_EQ(sampleCount(pathOf(chorus)), 11025);
}

TEST_F(CurrentMemoEndToEnd, EditsKeepWhatTheUserDid)
{
    auto app = start();
    addMemo(*app, QStringLiteral("Chorus"), QStringLiteral("Music"));
    auto bridge = addMemo(*app, QStringLiteral("Bridge"), QStringLiteral("Music"));
    app->setCurrentRecording(bridge);
    ProgramScreens screens(app.get());
    ASSERT_TRUE(screens.exposed);
    screens.tap(screens.navigation->backButton());
    TableView* table = screens.categories->myTableView();

    // Renaming Music refiles its memos; a "%1" in the name is shown as typed.
    screens.tap(screens.categories->editButton());
    screens.tapRow(table, 5);
    ASSERT_TRUE(screens.categories->editText());
    screens.categories->editText()->setText(QStringLiteral("Songs %1 %2"));
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    AlertView::visibleAlerts().front()->dismissWithClickedButtonIndex(1);
    screens.tap(screens.categories->editButton());
    EXPECT_EQ(table->cellForRowAtIndexPath(5)->text(), "Songs %1 %2 (2)");
    EXPECT_EQ(bridge->category(), "Songs %1 %2");

    // The count line follows a memo inserted in edit mode.
    screens.tapRow(table, 5);
    ASSERT_EQ(screens.list->countLabel()->text(), "2 of 2 files");
    screens.tap(screens.list->editButton());
    screens.list->tableViewCommitEditingStyle(screens.list->myTableView(),
                                              TableViewCellEditingStyle::Insert, 2);
    EXPECT_EQ(screens.list->countLabel()->text(), "3 of 3 files");
    screens.tap(screens.list->editButton());

    // A name typed on the details screen without Return is kept on Back.
    TableViewCell* row = screens.list->myTableView()->cellForRowAtIndexPath(1);
    ASSERT_TRUE(row);
    screens.tap(row, row->accessoryRect().center());
    ASSERT_EQ(screens.details->curRec(), bridge);
    TextField* name = screens.details->recordingNameTextField();
    screens.tap(name);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Middle eight"));
    screens.tap(screens.navigation->backButton());
    EXPECT_EQ(bridge->name(), "Middle eight");
    QCoreApplication::processEvents();
    app->waitForSaves();
    EXPECT_EQ(start()->recordings()[1]->name(), "Middle eight");
}
