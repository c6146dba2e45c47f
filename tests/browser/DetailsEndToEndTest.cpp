// SPDX-License-Identifier: GPL-3.0-or-later
// The details screen as a person uses it, through the real widgets on the offscreen platform:
// from the recording list's detail button through a rename, a category change and a photo from
// the pictures folder to the recorder screen.
#include "EndToEndFixture.h"
#include "ProgramScreens.h"
#include "browser/ItemDetailsController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "core/LibraryFixture.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "recorder/AudioViewController.h"
#include "support/MouseFinger.h"

#include <QDBusConnection>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using sonavell::test::MouseFinger;

class DetailsEndToEnd : public EndToEndFixture
{
};

TEST_F(DetailsEndToEnd, RenameRefileAndPhotographAMemoThenRecord)
{
    const QString pictures = dir.file(QStringLiteral("Pictures"));
    QDir().mkpath(pictures + "/2026");
    QImage portrait(300, 400, QImage::Format_RGB32);
    portrait.fill(QColor(200, 60, 40));
    ASSERT_TRUE(portrait.save(pictures + "/2026/beach.jpg"));
    settings->setValue(QLatin1String(kPicturesPathKey), pictures);

    auto app = start();
    for (const char* name : {"Groceries", "Kitchen tiles"}) {
        app->addRecording();
        app->recordings().last()->setName(QString::fromUtf8(name));
        app->recordings().last()->setCategory(QStringLiteral("Music"));
    }
    app->persist();
    app->setRecordingIndex(0);
    auto tiles = app->recordings().last();

    ProgramScreens screens(app.get());
    ASSERT_TRUE(screens.exposed);
    QWidget& window = screens.window;
    NavigationController* navigation = screens.navigation;
    AudioViewController* recorder = screens.recorder;
    Level2ViewController* list = screens.list;
    ItemDetailsController* details = screens.details;
    Level1ViewController* categories = screens.categories;
    auto tapAt = [&](QWidget* widget, QPoint local) { screens.tap(widget, local); };
    auto tap = [&](QWidget* widget) { screens.tap(widget); };
    auto visibleButton = [&](const QString& text) -> QPushButton* {
        for (QPushButton* button : window.findChildren<QPushButton*>())
            if (button->text() == text && button->isVisible())
                return button;
        return nullptr;
    };

    // The recorder, back to the categories, Music, and the second memo's detail button.
    tap(navigation->backButton());
    ASSERT_EQ(navigation->topViewController(), categories);
    tapAt(categories->myTableView()->viewport(),
          categories->myTableView()->rectForRowAtIndexPath(5).center());
    ASSERT_EQ(navigation->topViewController(), list);
    TableViewCell* row = list->myTableView()->cellForRowAtIndexPath(1);
    ASSERT_TRUE(row);
    tapAt(row, row->accessoryRect().center());
    ASSERT_EQ(navigation->topViewController(), details);
    EXPECT_EQ(details->curRec(), tiles);
    EXPECT_EQ(details->categoryOfRecordingL()->text(), "Music");

    // A new name, confirmed with the return key.
    TextField* name = details->recordingNameTextField();
    tap(name);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Bathroom tiles"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_FALSE(name->hasFocus());
    EXPECT_EQ(tiles->name(), "Bathroom tiles");

    // Ideas on the category picker, then Done.
    tap(details->categoryOfRecording());
    ASSERT_EQ(details->modalViewController(), details->categoryPickerController());
    PickerView* picker = details->categoryPicker();
    QCoreApplication::processEvents();
    tapAt(picker->rowsViewport(), picker->rectForRow(2).center()); // Ideas
    EXPECT_EQ(tiles->category(), "Ideas");
    tap(details->categoryDoneButton());
    EXPECT_EQ(details->modalViewController(), nullptr);
    EXPECT_EQ(details->categoryOfRecordingL()->text(), "Ideas");

    // A photo: the sheet, From Library, the picture, Choose.
    tap(details->photoPickerButton());
    QPushButton* fromLibrary = visibleButton(QStringLiteral("From Library"));
    ASSERT_TRUE(fromLibrary);
    tap(fromLibrary);
    ImagePickerController* photos = details->photoPicker();
    ASSERT_EQ(details->modalViewController(), photos);
    while (photos->isLoading())
        QCoreApplication::processEvents();
    ASSERT_EQ(photos->grid()->count(), 1);
    QCoreApplication::processEvents();
    tapAt(photos->grid()->viewport(),
          photos->grid()->visualItemRect(photos->grid()->item(0)).center());
    ASSERT_TRUE(photos->isPreviewing());
    tap(photos->useButton());
    EXPECT_EQ(details->modalViewController(), nullptr);
    EXPECT_EQ(details->photoPickerButton()->size(), QSize(120, 120));
    EXPECT_EQ(QImage(docs() + "/" + tiles->photoFilename()).size(), QSize(300, 400));

    // Record: the recorder screen opens the memo.
    tap(details->recordButton());
    ASSERT_EQ(navigation->topViewController(), recorder);
    EXPECT_EQ(navigation->barTitle(), "Bathroom tiles");

    // Everything is on disk.
    QCoreApplication::processEvents();
    auto reloaded = start();
    EXPECT_EQ(reloaded->recordings().last()->name(), "Bathroom tiles");
    EXPECT_EQ(reloaded->recordings().last()->category(), "Ideas");
}
