// The library browser as a person uses it, through the real widgets on the offscreen platform:
// from the recorder screen back to the category list, into a category, a search, a memo opened
// on the recorder screen, and back.
#include "EndToEndFixture.h"
#include "browser/AppInfoController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/WWWViewController.h"
#include "core/LibraryFixture.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/IdleInhibitor.h"
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

    QWidget window;
    window.setFixedSize(320, 480);
    auto* navigation = new NavigationController(&window);
    navigation->setGeometry(0, 0, 320, 480);
    app->window = &window;
    app->navigationController = navigation;
    IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                       QDBusConnection(QStringLiteral("none"))};
    AudioViewController::Environment screenEnv;
    screenEnv.now = [] { return 0.0; };
    screenEnv.idleInhibitor = &idle;
    auto* recorder = new AudioViewController(app.get(), screenEnv, &window);
    app->audioViewController = recorder;
    app->audioViewScreen = recorder;
    auto* page = new WWWViewController(&window);
    auto* help = new AppInfoController(app->userDefaults(), page, &window);
    app->appInfoController = help;
    auto* list = new Level2ViewController(app.get(), &window);
    auto* categories = new Level1ViewController(app.get(), list, &window);
    // Screens wait hidden until they are pushed, as the program's interface builds them.
    for (QWidget* screen : {static_cast<QWidget*>(page), static_cast<QWidget*>(help),
                            static_cast<QWidget*>(list), static_cast<QWidget*>(recorder)})
        screen->hide();
    navigation->pushViewController(categories, false);
    app->applicationDidFinishLaunching();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(navigation->topViewController(), recorder);

    MouseFinger finger(&window);
    double t = 0;
    auto tapWidget = [&](QWidget* widget, QPoint local = QPoint(-1, -1)) {
        QCoreApplication::processEvents(); // pending layouts place the widget first
        if (local.x() < 0)
            local = widget->rect().center();
        t += 1.0;
        finger.tap(widget->mapTo(&window, local), t);
        QCoreApplication::processEvents();
    };
    auto tapRow = [&](TableView* table, int row) {
        tapWidget(table->viewport(), table->rectForRowAtIndexPath(row).center());
    };

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
    window.hide();
    app->navigationController = nullptr;
}
