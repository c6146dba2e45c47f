// SPDX-License-Identifier: GPL-3.0-or-later
// The library browser as a person uses it, through the real widgets on the offscreen platform:
// from the recorder screen back to the category list, into a category, a search, a memo opened
// on the recorder screen, and back.
#include "EndToEndFixture.h"
#include "ProgramScreens.h"
#include "browser/AppInfoController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/WWWViewController.h"
#include "core/LibraryFixture.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SearchBar.h"
#include "recorder/AudioViewController.h"
#include "support/MouseFinger.h"

#include <QDBusConnection>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using sonavell::test::MouseFinger;

class BrowserEndToEnd : public EndToEndFixture
{
};

TEST_F(BrowserEndToEnd, FromTheRecorderToAMemoFoundBySearchAndBack)
{
    auto app = start();
    for (const char* name : {"Groceries", "Kitchen tiles", "Band practice", "Kids' songs"}) {
        app->addRecording();
        app->recordings().last()->setName(QString::fromUtf8(name));
        app->recordings().last()->setCategory(QStringLiteral("Music"));
    }
    app->persist();
    app->setRecordingIndex(0); // a memo is current, so the recorder screen makes none

    ProgramScreens screens(app.get());
    ASSERT_TRUE(screens.exposed);
    QWidget& window = screens.window;
    NavigationController* navigation = screens.navigation;
    AudioViewController* recorder = screens.recorder;
    AppInfoController* help = screens.help;
    Level2ViewController* list = screens.list;
    Level1ViewController* categories = screens.categories;
    MouseFinger& finger = screens.finger;
    double& t = screens.t;
    ASSERT_EQ(navigation->topViewController(), recorder);
    auto tapWidget = [&](QWidget* widget, QPoint local = QPoint(-1, -1)) {
        screens.tap(widget, local);
    };
    auto tapRow = [&](TableView* table, int row) { screens.tapRow(table, row); };

    // The recorder's info button opens the help list; back to the recorder.
    tapWidget(recorder->infoButton());
    ASSERT_EQ(navigation->topViewController(), help);
    tapWidget(navigation->backButton());
    ASSERT_EQ(navigation->topViewController(), recorder);

    // The back button leads to the category list.
    EXPECT_EQ(navigation->backButton()->text(), "Categories");
    tapWidget(navigation->backButton());
    ASSERT_EQ(navigation->topViewController(), categories);
    EXPECT_EQ(categories->countLabel()->text(), "4 files");

    // Music, then a search.
    tapRow(categories->myTableView(), 5);
    ASSERT_EQ(navigation->topViewController(), list);
    EXPECT_EQ(navigation->barTitle(), "Music");
    QLineEdit* field = list->searchBar()->textField();
    tapWidget(field);
    field->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClicks(field, QStringLiteral("ki"));
    EXPECT_EQ(list->countLabel()->text(), "2 Results found for \"ki\"");
    EXPECT_EQ(list->myTableView()->numberOfRows(), 2);

    // The second result opens on the recorder screen, titled with its name.
    tapRow(list->myTableView(), 1);
    ASSERT_EQ(navigation->topViewController(), recorder);
    EXPECT_EQ(navigation->barTitle(), "Kids' songs");
    EXPECT_EQ(app->recordingIndex(), 1);
    EXPECT_FALSE(list->searchBar()->isFirstResponder());

    // Back: the list still shows the search.
    tapWidget(navigation->backButton());
    ASSERT_EQ(navigation->topViewController(), list);
    EXPECT_EQ(field->text(), "ki");
    EXPECT_EQ(list->countLabel()->text(), "2 Results found for \"ki\"");

    // Edit, swipe-free delete through the row's own controls, Done.
    tapWidget(list->editButton());
    ASSERT_TRUE(list->editing());
    TableView* table = list->myTableView();
    tapWidget(table->viewport(), table->editControlRect(0).center());
    ASSERT_EQ(table->deleteConfirmationRow(), 0);
    tapWidget(table->deleteConfirmationButton());
    EXPECT_EQ(list->countLabel()->text(), "1 Result found for \"ki\"");
    EXPECT_EQ(app->recordings().size(), 3);
    tapWidget(list->editButton());
    EXPECT_FALSE(list->editing());

    // A horizontal swipe offers Delete outside edit mode too.
    const QRect row = table->rectForRowAtIndexPath(0);
    t += 1.0;
    finger.press(table->viewport()->mapTo(&window, row.center()), t);
    finger.move(table->viewport()->mapTo(&window, row.center() + QPoint(-60, 0)), t + 0.1);
    finger.release(table->viewport()->mapTo(&window, row.center() + QPoint(-60, 0)), t + 0.2);
    EXPECT_EQ(table->deleteConfirmationRow(), 0);
    tapWidget(table->viewport(), QPoint(10, 10)); // a tap elsewhere puts it away
    EXPECT_EQ(table->deleteConfirmationRow(), -1);
    EXPECT_EQ(app->recordings().size(), 3);

    // Back to the root.
    tapWidget(navigation->backButton());
    EXPECT_EQ(navigation->topViewController(), categories);
    EXPECT_EQ(categories->myTableView()->cellForRowAtIndexPath(5)->text(), "Music (3)");
}

TEST_F(BrowserEndToEnd, ANewMemoThatIsNeverRecordedLeavesNoRecord)
{
    auto app = start();
    app->addRecording();
    app->recordings().last()->setName(QStringLiteral("Groceries"));
    app->recordings().last()->setCategory(QStringLiteral("Music"));
    dir.write(QStringLiteral("Documents/") + app->recordings().last()->filename(), "RIFF");
    app->persist();
    app->setRecordingIndex(0);
    ProgramScreens screens(app.get());
    ASSERT_TRUE(screens.exposed);
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    auto names = [&] {
        QStringList all;
        for (const auto& r : app->recordings())
            all << r->name();
        return all;
    };

    // "+" makes a new memo for the next take; Back without a take leaves no trace of it.
    screens.recorder->newRecording();
    EXPECT_EQ(screens.navigation->barTitle(), "New Memo 1");
    EXPECT_EQ(app->recordings().size(), 2);
    // A screen pushed over the recorder (the timer, the help) keeps the new memo.
    screens.tap(screens.recorder->infoButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.help);
    EXPECT_EQ(app->recordings().size(), 2);
    screens.tap(screens.navigation->backButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    EXPECT_EQ(screens.navigation->barTitle(), "New Memo 1");
    screens.tap(screens.navigation->backButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.categories);
    EXPECT_EQ(names(), QStringList{"Groceries"});
    EXPECT_EQ(screens.categories->countLabel()->text(), "1 files");

    // Deleting the memo on the recorder screen selects a new one; leaving drops it too, and
    // the library written holds no record without a file.
    screens.tapRow(screens.categories->myTableView(), 5); // Music
    screens.tapRow(screens.list->myTableView(), 0);
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    EXPECT_EQ(screens.navigation->barTitle(), "Groceries");
    screens.recorder->deleteThisRecording();
    EXPECT_EQ(screens.navigation->barTitle(), "New Memo 1");
    screens.tap(screens.navigation->backButton());
    EXPECT_TRUE(app->recordings().isEmpty()) << names().join(", ").toStdString();

    // A new memo on screen when the program quits is not written either.
    screens.tap(screens.list->recordButton());
    ASSERT_EQ(screens.navigation->topViewController(), screens.recorder);
    EXPECT_EQ(app->recordings().size(), 1);
    screens.recorder->finishTransportBeforeQuit();
    app->applicationWillTerminate();
    EXPECT_TRUE(start()->recordings().isEmpty());
}
