// SPDX-License-Identifier: GPL-3.0-or-later
// The recording details screen: the facts it shows, the category picker, the photo from the
// pictures folder, the name and the web-sharing switch, and how each edit reaches the disk.
#include "DetailsTestSupport.h"
#include "browser/RecordingCell.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/SwitchControl.h"
#include "platform/ui/TextField.h"
#include "sharing/SharingPages.h"
#include "support/SmallDisk.h"

#include <QPushButton>
#include <QTest>

namespace {

// Reads the library back from disk, as the next start would.
std::unique_ptr<AppDelegate> reload(const std::function<std::unique_ptr<AppDelegate>()>& start)
{
    for (AlertView* alert : AlertView::visibleAlerts())
        alert->dismissWithClickedButtonIndex(0);
    return start();
}

} // namespace

using ItemDetails = DetailsFixture;

TEST_F(ItemDetails, ShowsTheFactsOfEachRecordingInTheirFormats)
{
    auto mono = add(QStringLiteral("Mono"), QStringLiteral("Ideas"), 3);
    mono->setLocationString(QStringLiteral("Köln 50667 DE"));
    auto stereo = add(QStringLiteral("Stereo"), QStringLiteral("Ideas"), 61.26, false);
    stereo->setChannels(2);
    stereo->setQuality(QStringLiteral("LQ"));
    auto odd = add(QStringLiteral("Three"), QStringLiteral("Ideas"), 0);
    odd->setChannels(3);
    // A WAV file of 2 MiB and a little more.
    dir.write(QStringLiteral("Documents/") + mono->filename(), QByteArray(2 * 1048576 + 7, 'x'));

    openDetails(QStringLiteral("Ideas"), 0);
    EXPECT_EQ(details->curRec(), mono);
    EXPECT_EQ(details->recordingNameTextField()->text(), "Mono");
    EXPECT_EQ(details->durationOfRecording()->text(), "3.0s");
    EXPECT_EQ(details->sizeOfRecording()->text(), "2.0MB");
    EXPECT_EQ(details->typeOfRecording()->text(), "wav");
    EXPECT_EQ(details->qualityOfRecording()->text(), "HQ");
    EXPECT_EQ(details->channelsOfRecording()->text(), "mono");
    EXPECT_EQ(details->locationOfRecording()->text(), "Köln 50667 DE");
    EXPECT_EQ(details->dateOfRecording()->text(), app->formatDate(mono->date()));
    EXPECT_EQ(details->categoryOfRecordingL()->text(), "Ideas");
    EXPECT_FALSE(details->hideSharing()->isOn());
    QFont font = details->recordingNameTextField()->font();
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(font.pixelSize(), 19);
    EXPECT_EQ(details->recordingNameTextField()->minimumFontSize(), 19);

    // The screen is filled anew for another row: no file, no place.
    navigation->popViewControllerAnimated(false);
    level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), 1);
    EXPECT_EQ(details->curRec(), stereo);
    EXPECT_EQ(details->durationOfRecording()->text(), "61.3s");
    EXPECT_EQ(details->sizeOfRecording()->text(), "0");
    EXPECT_EQ(details->channelsOfRecording()->text(), "stereo");
    EXPECT_EQ(details->qualityOfRecording()->text(), "LQ");
    EXPECT_EQ(details->locationOfRecording()->text(), "");

    navigation->popViewControllerAnimated(false);
    level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), 2);
    EXPECT_EQ(details->channelsOfRecording()->text(), "unknown");
    EXPECT_EQ(details->sizeOfRecording()->text(), "0.0k"); // "RIFF": four bytes

    // A recording filed under all recordings shows "All"; hiding shows the switch on.
    odd->setCategory(QLatin1String(kAllRecordingsCategory));
    odd->setHideFromWebSharing(true);
    navigation->popViewControllerAnimated(false);
    openDetails(QStringLiteral("*****"), 2);
    EXPECT_EQ(details->categoryOfRecordingL()->text(), "All");
    EXPECT_TRUE(details->hideSharing()->isOn());
}

TEST_F(ItemDetails, TheFileIsMeasuredOnlyInsideTheDocumentsFolder)
{
    auto r = add(QStringLiteral("Linked"), QStringLiteral("Ideas"));
    const QString outside = dir.file(QStringLiteral("elsewhere.wav"));
    dir.write(QStringLiteral("elsewhere.wav"), QByteArray(4096, 'x'));
    QFile::remove(docs() + "/" + r->filename());
    ASSERT_TRUE(QFile::link(outside, docs() + "/" + r->filename()));
    EXPECT_EQ(details->sizeText(*r), "0");
    // A link to a file inside is followed.
    dir.write(QStringLiteral("Documents/inner.wav"), QByteArray(4096, 'x'));
    QFile::remove(docs() + "/" + r->filename());
    ASSERT_TRUE(QFile::link(docs() + "/inner.wav", docs() + "/" + r->filename()));
    EXPECT_EQ(details->sizeText(*r), "4.0k");
}

TEST_F(ItemDetails, AnArchivedLocationWithoutPlaceShowsAsCoordinates)
{
    // The fixture archive written by the phone: its first recording has a location object
    // and a place, its second neither.
    const QString fixtures = qEnvironmentVariable("SONAVELL_SOURCE_DIR") + "/tests/core/fixtures/";
    QFile::remove(docs() + "/recordings.plist");
    ASSERT_TRUE(QFile::copy(fixtures + "foreign-recordings.plist", docs() + "/recordings.plist"));
    auto loaded = start();
    auto first = loaded->recordings()[0];
    ASSERT_TRUE(first->location());
    EXPECT_EQ(ItemDetailsController::locationText(*first), "Cupertino CA 95014 US");
    first->setLocationString(QString());
    const QString text = ItemDetailsController::locationText(*first);
    EXPECT_TRUE(text.startsWith("<+37.33168900, -122.03073100> +/- 65.00m @ 2009-"))
        << text.toStdString();
    EXPECT_EQ(ItemDetailsController::locationText(*loaded->recordings()[1]), "");
}

TEST_F(ItemDetails, TheCategoryPickerRefilesTheRecordingAndSavesIt)
{
    add(QStringLiteral("Alpha"), QStringLiteral("Ideas"));
    auto beta = add(QStringLiteral("Beta"), QStringLiteral("Ideas"));
    add(QStringLiteral("Gamma"), QStringLiteral("Music"));
    openDetails(QStringLiteral("Ideas"), 1);

    details->categoryOfRecording()->click();
    ASSERT_EQ(details->modalViewController(), details->categoryPickerController());
    PickerView* picker = details->categoryPicker();
    ASSERT_EQ(picker->numberOfRowsInComponent(0), app->categories().size());
    EXPECT_EQ(picker->titleForRow(0, 0), "All");
    EXPECT_EQ(picker->titleForRow(5, 0), "Music");
    EXPECT_EQ(picker->selectedRowInComponent(0), categoryRow("Ideas"));

    // Music: the recording follows Gamma there, and recordingIndex finds it by identity.
    details->pickerViewDidSelectRow(picker, categoryRow("Music"), 0);
    EXPECT_EQ(beta->category(), "Music");
    EXPECT_EQ(app->categoryIndex(), categoryRow("Music"));
    EXPECT_EQ(app->recordingIndex(), 0);
    // On disk by the next turn of the event loop, and in the shared pages.
    QCoreApplication::processEvents();
    EXPECT_EQ(reload([this] { return start(); })->recordings()[1]->category(), "Music");
    EXPECT_EQ(app->librarySnapshot()->recordings[1].category, "Music");

    // Row 0 files it under all recordings.
    details->pickerViewDidSelectRow(picker, 0, 0);
    EXPECT_EQ(beta->category(), "*****");
    EXPECT_EQ(app->categoryIndex(), 0);
    EXPECT_EQ(app->recordingIndex(), 1);

    details->categoryDoneButton()->click();
    EXPECT_EQ(details->modalViewController(), nullptr);
    EXPECT_EQ(details->categoryOfRecordingL()->text(), "All");
    EXPECT_EQ(details->curRec(), beta);
}

TEST_F(ItemDetails, ARecordingHiddenBySearchStaysCurrentAndOnScreen)
{
    add(QStringLiteral("Kitchen"), QStringLiteral("Music"));
    add(QStringLiteral("Kids"), QStringLiteral("Music"));
    add(QStringLiteral("Kiosk"), QStringLiteral("Ideas"));
    auto tiles = add(QStringLiteral("Kitchen tiles"), QStringLiteral("Ideas"));
    openCategory(QStringLiteral("Ideas"));
    level2->searchBarTextDidChange(level2->searchBar(), QStringLiteral("ki"));
    level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), 1);
    ASSERT_EQ(details->curRec(), tiles);

    // Renamed so that the search no longer finds it, then refiled under Music.
    details->recordingNameTextField()->setText(QStringLiteral("Tiles"));
    details->textFieldShouldReturn(details->recordingNameTextField());
    details->postCategoryPicker();
    details->pickerViewDidSelectRow(details->categoryPicker(), categoryRow("Music"), 0);
    EXPECT_EQ(tiles->category(), "Music");
    // Music's "ki" list does not hold the tiles, and no other recording (Kids, at the old
    // place) becomes current in their stead.
    EXPECT_EQ(app->recordingIndex(), -1);
    EXPECT_EQ(app->currentRecording(), tiles);
    details->puntCategoryPicker();
    EXPECT_EQ(details->curRec(), tiles);
    EXPECT_EQ(details->recordingNameTextField()->text(), "Tiles");
    EXPECT_EQ(details->categoryOfRecordingL()->text(), "Music");
}

TEST_F(ItemDetails, TheFirstPickerRowFilesUnderItsOwnCategory)
{
    // An archive may put another category before all recordings.
    AppDelegate::CategoryList categories;
    for (const char* name : {"Business", "*****", "Ideas"})
        categories.append(std::make_shared<Category>(QString::fromUtf8(name)));
    app->setCategories(categories);
    auto pitch = add(QStringLiteral("Pitch"), QStringLiteral("Ideas"));
    openDetails(QStringLiteral("Ideas"), 0);
    details->postCategoryPicker();
    PickerView* picker = details->categoryPicker();
    EXPECT_EQ(picker->titleForRow(0, 0), "Business");
    EXPECT_EQ(picker->titleForRow(1, 0), "All");
    details->pickerViewDidSelectRow(picker, 0, 0);
    EXPECT_EQ(pitch->category(), "Business");
    details->pickerViewDidSelectRow(picker, 1, 0);
    EXPECT_EQ(pitch->category(), "*****");
    details->puntCategoryPicker();
}

TEST_F(ItemDetails, TheNameIsSavedOnReturnEvenWhenEmpty)
{
    add(QStringLiteral("Old name"), QStringLiteral("Ideas"));
    openDetails(QStringLiteral("Ideas"), 0);
    TextField* field = details->recordingNameTextField();
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(app->recordings()[0]->name(), "");
    QCoreApplication::processEvents(); // the edit is written when this event-loop turn ends
    EXPECT_EQ(reload([this] { return start(); })->recordings()[0]->name(), "");

    QTest::keyClicks(field, QStringLiteral("Zeile 1/2 <b>&\"x\""));
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(reload([this] { return start(); })->recordings()[0]->name(), "Zeile 1/2 <b>&\"x\"");
}

TEST_F(ItemDetails, TheSwitchHidesTheRecordingFromTheSharedPageAtOnce)
{
    add(QStringLiteral("Secret plan"), QStringLiteral("Ideas"));
    openDetails(QStringLiteral("Ideas"), 0);
    auto page = [this] {
        return QString::fromUtf8(
            SharingPages::filesContent(*app->librarySnapshot(), docs(), QStringLiteral("Ideas")));
    };
    ASSERT_TRUE(page().contains("Secret plan"));
    details->hideSharing()->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(page().contains("Secret plan"));
    EXPECT_TRUE(reload([this] { return start(); })->recordings()[0]->hideFromWebSharing());
    details->hideSharing()->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(page().contains("Secret plan"));
}

TEST_F(ItemDetails, APhotoFromThePicturesFolderShapesTheButtonAndTheListThumbnail)
{
    auto r = add(QStringLiteral("Memo"), QStringLiteral("Ideas"));
    picture(QStringLiteral("a-landscape.png"), QSize(640, 480), Qt::red);
    picture(QStringLiteral("trip/b-portrait.jpg"), QSize(480, 640), Qt::blue);
    dir.write(QStringLiteral("Pictures/notes.txt"), "not a picture");
    openDetails(QStringLiteral("Ideas"), 0);
    ImageButton* button = details->photoPickerButton();
    EXPECT_EQ(button->text(), "Add Photo");
    EXPECT_TRUE(button->backgroundImage(ImageButton::State::Normal).isNull());
    const QPoint place = button->pos();

    ImagePickerController* picker = openLibrary();
    ASSERT_EQ(picker->picturePaths(),
              QStringList({pictures() + "/a-landscape.png", pictures() + "/trip/b-portrait.jpg"}));
    picker->choosePicture(1);
    picker->useButton()->click();
    EXPECT_EQ(details->modalViewController(), nullptr);
    const QImage photo(docs() + "/" + r->photoFilename());
    ASSERT_FALSE(photo.isNull());
    EXPECT_EQ(photo.size(), QSize(480, 640));
    EXPECT_GT(QColor(photo.pixel(240, 320)).blue(), 200);
    EXPECT_LT(QColor(photo.pixel(240, 320)).red(), 50);
    EXPECT_EQ(button->size(), QSize(120, 120));
    EXPECT_EQ(button->pos(), place);
    EXPECT_EQ(button->text(), "");
    // The list shows the new thumbnail when the user goes back.
    navigation->popViewControllerAnimated(false);
    auto* cell = static_cast<RecordingCell*>(level2->myTableView()->cellForRowAtIndexPath(0));
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->photoView()->pixmap().isNull());
    EXPECT_FALSE(cell->photoFillsView()); // a portrait thumbnail

    // A landscape photo replaces it: 120 x 90.
    level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), 0);
    pick(0);
    EXPECT_EQ(button->size(), QSize(120, 90));
    EXPECT_EQ(QImage(docs() + "/" + r->photoFilename()).size(), QSize(640, 480));
    navigation->popViewControllerAnimated(false);
    cell = static_cast<RecordingCell*>(level2->myTableView()->cellForRowAtIndexPath(0));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->photoFillsView()); // a landscape thumbnail
}

TEST_F(ItemDetails, CancellingAndTheCameraChangeNothing)
{
    auto r = add(QStringLiteral("Memo"), QStringLiteral("Ideas"));
    picture(QStringLiteral("p.png"), QSize(40, 30));
    openDetails(QStringLiteral("Ideas"), 0);

    // The sheet: its buttons, then Cancel.
    details->postPhotoActionSheet();
    ActionSheet* sheet = details->photoActionSheet_2choice();
    EXPECT_EQ(ActionSheet::history().last(),
              "Choose photo source: [New Photo|From Library|Cancel]");
    sheet->dismissWithClickedButtonIndex(sheet->cancelButtonIndex());
    EXPECT_EQ(details->modalViewController(), nullptr);

    // "New Photo": there is no camera, so nothing opens.
    details->postPhotoActionSheet();
    EXPECT_EQ(details->photoActionSheet_2choice(), sheet); // made once
    sheet->dismissWithClickedButtonIndex(0);
    EXPECT_EQ(details->modalViewController(), nullptr);
    EXPECT_TRUE(AlertView::visibleAlerts().empty());

    // The picker's Cancel, and Cancel in the preview followed by the picker's Cancel.
    ImagePickerController* picker = openLibrary();
    picker->cancelButton()->click();
    EXPECT_EQ(details->modalViewController(), nullptr);
    picker = openLibrary();
    picker->choosePicture(0);
    picker->previewCancelButton()->click();
    EXPECT_FALSE(picker->isPreviewing());
    picker->cancelButton()->click();

    EXPECT_FALSE(QFile::exists(docs() + "/" + r->photoFilename()));
    EXPECT_EQ(details->photoPickerButton()->text(), "Add Photo");
    EXPECT_EQ(details->curRec(), r);
}

TEST_F(ItemDetails, AnUnwritablePhotoOrUnreadablePictureKeepsTheOldPhoto)
{
    auto r = add(QStringLiteral("Memo"), QStringLiteral("Ideas"));
    picture(QStringLiteral("a.png"), QSize(640, 480), Qt::green);
    picture(QStringLiteral("b.png"), QSize(30, 40), Qt::yellow);
    openDetails(QStringLiteral("Ideas"), 0);
    pick(1);
    const QByteArray old = readFile(docs() + "/" + r->photoFilename());
    ASSERT_FALSE(old.isEmpty());

    // The disk refuses a file as large as the new photo. The library's saves so far end first:
    // the limit is meant for the photo, not for an archive still being written.
    app->waitForSaves();
    {
        FileSizeLimit limit(old.size() + 100);
        ImagePickerController* picker = openLibrary();
        picker->choosePicture(0);
        picker->useButton()->click();
    }
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    EXPECT_TRUE(AlertView::visibleAlerts()[0]->message().startsWith("The photo could not be saved"))
        << AlertView::visibleAlerts()[0]->message().toStdString();
    AlertView::visibleAlerts()[0]->dismissWithClickedButtonIndex(0);
    EXPECT_EQ(readFile(docs() + "/" + r->photoFilename()), old);
    EXPECT_EQ(details->photoPickerButton()->size(), QSize(120, 120)); // still the portrait

    // A picture that turns out unreadable when it is taken.
    ImagePickerController* picker = openLibrary();
    QFile::remove(pictures() + "/a.png");
    dir.write(QStringLiteral("Pictures/a.png"), "garbage");
    picker->choosePicture(0);
    EXPECT_EQ(details->modalViewController(), nullptr);
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    EXPECT_TRUE(
        AlertView::visibleAlerts()[0]->message().startsWith("The picture could not be read"));
    EXPECT_EQ(readFile(docs() + "/" + r->photoFilename()), old);
}
