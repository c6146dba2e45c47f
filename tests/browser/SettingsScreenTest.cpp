// SPDX-License-Identifier: GPL-3.0-or-later
// The settings screen: reached by the category list's gear, its switches and text fields write
// the keys the other screens read, and what cannot work is refused without touching the
// stored value.
#include "BrowserTestSupport.h"

#include "browser/SettingsViewController.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/SettingsKeys.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/SettingsTextField.h"
#include "platform/ui/SwitchControl.h"
#include "support/ReplyServer.h"

#include <QDir>
#include <QTest>

namespace {

// A sound server with the inputs a test plugs in and out.
class DeviceWithInputs : public VirtualAudioDevice
{
public:
    QList<AudioInputSource> inputSources() const override { return sources; }
    QList<AudioInputSource> sources;
};

class SettingsScreen : public BrowserFixture
{
protected:
    SettingsScreen()
    {
        // A position is at hand, and the place-name service is a loopback one.
        location = std::make_shared<LocationManager>(Location{37.331689, -122.030731});
        settings->setValue(kGeonamesUrlKey, places.url());
    }

    void SetUp() override
    {
        BrowserFixture::SetUp();
        screen = new SettingsViewController(app.get(), navigation.get());
        screen->hide();
        level1->setSettingsViewController(screen);
        AlertView::clearHistory(); // the first-run tip
    }

    // Opens the screen with the gear, as a tap does.
    void open()
    {
        ASSERT_TRUE(level1->settingsButton()->isVisible());
        level1->settingsButton()->click();
        ASSERT_EQ(navigation->topViewController(), screen);
    }
    void leave() { navigation->backButton()->click(); }

    // Types `text` over the field's content; with `done`, ends the editing with Return.
    void type(int row, const QString& text, bool done = true)
    {
        SettingsTextField* field = screen->textFieldForRow(row);
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        if (done)
            QTest::keyClick(field, Qt::Key_Return);
    }
    QVariant stored(const char* key)
    {
        // What a fresh reader of the file sees, as the next start of the program would.
        QSettings file(settings->fileName(), QSettings::IniFormat);
        return file.value(QLatin1String(key));
    }

    sonavell::test::ReplyServer places{
        "200 OK", "<g><code><postalcode>95014</postalcode><name>Cupertino</name>"
                  "<countryCode>US</countryCode><adminCode1>CA</adminCode1></code></g>"};
    SettingsViewController* screen = nullptr;
};

} // namespace

TEST_F(SettingsScreen, TheGearOnTheCategoryListOpensItAndBackReturns)
{
    navigation->window()->show();
    EXPECT_TRUE(level1->settingsButton()->isVisible());
    EXPECT_FALSE(navigation->backButton()->isVisible());
    open();
    EXPECT_EQ(navigation->barTitle(), "Settings");
    EXPECT_FALSE(level1->settingsButton()->isVisible());
    EXPECT_TRUE(navigation->backButton()->isVisible());
    EXPECT_EQ(navigation->backButton()->text(), "Categories");
    EXPECT_EQ(screen->tableView()->numberOfRows(), int(SettingsViewController::RowCount));
    leave();
    EXPECT_EQ(navigation->topViewController(), level1);
    EXPECT_TRUE(level1->settingsButton()->isVisible());
    // Deeper screens have their back button there instead.
    openCategory("Ideas");
    EXPECT_FALSE(level1->settingsButton()->isVisible());
    EXPECT_TRUE(navigation->backButton()->isVisible());
}

TEST_F(SettingsScreen, SwitchesWriteTheirKeysAndStampingStartsTheLookupAtOnce)
{
    open();
    SwitchControl* stamping = screen->switchForRow(SettingsViewController::LocationStampRow);
    SwitchControl* pitch = screen->switchForRow(SettingsViewController::PreservePitchRow);
    EXPECT_FALSE(stamping->isOn());
    EXPECT_FALSE(pitch->isOn());
    EXPECT_FALSE(app->findLocation()) << "off at start";

    stamping->click();
    EXPECT_TRUE(stored(kAutoLocationStampKey).toBool());
    // The place is looked up now, so this run's next take is stamped.
    ASSERT_TRUE(sonavell::test::waitFor([&] { return app->foundLocation(); }, 5000));
    EXPECT_EQ(app->locationString(), "Cupertino CA 95014 US");
    EXPECT_EQ(places.requestLines().size(), 1);
    // Off and on again in the same run: the place found serves on, nothing is fetched twice.
    stamping->click();
    EXPECT_FALSE(stored(kAutoLocationStampKey).toBool());
    stamping->click();
    sonavell::test::pumpEvents(100);
    EXPECT_EQ(places.requestLines().size(), 1);

    pitch->click();
    EXPECT_TRUE(stored(kPreservePitchKey).toBool());
    pitch->click();
    EXPECT_FALSE(stored(kPreservePitchKey).toBool());
    EXPECT_TRUE(stored(kPreservePitchKey).isValid());
}

TEST_F(SettingsScreen, TextsAreWrittenWhenEditingEndsOrTheScreenIsLeft)
{
    settings->setValue(kEmailBodyKey, "First line\nsecond line");
    settings->setValue(kEmailSubjectKey, "Old subject");
    open();
    EXPECT_EQ(screen->textFieldForRow(SettingsViewController::EmailSubjectRow)->text(),
              "Old subject");

    type(SettingsViewController::EmailSubjectRow, "Lecture notes, part 2");
    EXPECT_EQ(stored(kEmailSubjectKey).toString(), "Lecture notes, part 2");

    // Typed and not finished: leaving the screen keeps it.
    type(SettingsViewController::UploadUrlRow, "http://192.168.1.10:8025", false);
    EXPECT_FALSE(stored(kUploadUrlKey).isValid());
    leave();
    EXPECT_EQ(stored(kUploadUrlKey).toString(), "http://192.168.1.10:8025");
    // A text the one-line field cannot show whole is left alone when it was not edited.
    EXPECT_EQ(stored(kEmailBodyKey).toString(), "First line\nsecond line");

    // Set elsewhere meanwhile: the screen shows it when it opens again.
    settings->setValue(kContactsPathKey, dir.path());
    open();
    EXPECT_EQ(screen->textFieldForRow(SettingsViewController::ContactsPathRow)->text(), dir.path());
    // An emptied field removes the setting, so its default applies again.
    type(SettingsViewController::EmailSubjectRow, "");
    EXPECT_FALSE(stored(kEmailSubjectKey).isValid());
    EXPECT_FALSE(settings->contains(kEmailSubjectKey));
    EXPECT_TRUE(AlertView::history().isEmpty()) << AlertView::history().join('\n').toStdString();
}

TEST_F(SettingsScreen, AddressesAndFoldersAreCheckedAndARefusalKeepsTheStoredValue)
{
    dir.write("Pictures/photo.jpg", "jpeg");
    dir.write("people.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");
    settings->setValue(kUploadUrlKey, "http://10.0.0.2:8025");
    open();
    using Row = SettingsViewController;

    // A server typed without its scheme is a plain web address.
    type(Row::UploadUrlRow, " 192.168.1.10:8025 ");
    EXPECT_EQ(stored(kUploadUrlKey).toString(), "http://192.168.1.10:8025");
    EXPECT_EQ(screen->textFieldForRow(Row::UploadUrlRow)->text(), "http://192.168.1.10:8025");

    type(Row::UploadUrlRow, "ftp://files.example.org");
    EXPECT_EQ(stored(kUploadUrlKey).toString(), "http://192.168.1.10:8025");
    ASSERT_EQ(AlertView::history().size(), 1);
    EXPECT_TRUE(AlertView::history()[0].startsWith("Not Saved: \"ftp://files.example.org\" is not"))
        << AlertView::history()[0].toStdString();
    for (AlertView* alert : AlertView::visibleAlerts())
        alert->dismissWithClickedButtonIndex(0);
    // The refused text is not offered again when the screen is left.
    leave();
    EXPECT_EQ(AlertView::history().size(), 1);
    EXPECT_EQ(stored(kUploadUrlKey).toString(), "http://192.168.1.10:8025");
    open();
    EXPECT_EQ(screen->textFieldForRow(Row::UploadUrlRow)->text(), "http://192.168.1.10:8025");

    // The help site: a web address or a folder that exists.
    type(Row::HelpUrlRow, "https://help.example.org/sonavell/");
    EXPECT_EQ(stored(kHelpUrlKey).toString(), "https://help.example.org/sonavell/");
    type(Row::HelpUrlRow, dir.path() + "/Pictures/");
    EXPECT_EQ(stored(kHelpUrlKey).toString(), dir.file("Pictures"));
    type(Row::HelpUrlRow, dir.file("missing"));
    EXPECT_EQ(stored(kHelpUrlKey).toString(), dir.file("Pictures"));

    // Pictures: a folder; contacts: a vCard file or a folder.
    type(Row::PicturesPathRow, dir.file("Pictures/photo.jpg"));
    EXPECT_FALSE(stored(kPicturesPathKey).isValid());
    type(Row::PicturesPathRow, dir.file("Pictures"));
    EXPECT_EQ(stored(kPicturesPathKey).toString(), dir.file("Pictures"));
    type(Row::ContactsPathRow, dir.file("people.vcf"));
    EXPECT_EQ(stored(kContactsPathKey).toString(), dir.file("people.vcf"));
    type(Row::ContactsPathRow, dir.file("nobody.vcf"));
    EXPECT_EQ(stored(kContactsPathKey).toString(), dir.file("people.vcf"));
    // "~" is the home folder.
    type(Row::PicturesPathRow, "~");
    EXPECT_EQ(stored(kPicturesPathKey).toString(), QDir::homePath());

    EXPECT_EQ(AlertView::history().size(), 4) << AlertView::history().join('\n').toStdString();
}

TEST_F(SettingsScreen, TheMicrophoneIsPickedFromTheInputsThereAreAndKeptByName)
{
    auto device = std::make_shared<DeviceWithInputs>();
    device->sources = {{"alsa_input.usb-headset", "USB Headset"},
                       {"bluez_input.earbuds", "Ana's Earbuds"}};
    AudioDevice::setDefaultDevice(device);
    struct Restore
    {
        ~Restore() { AudioDevice::setDefaultDevice(nullptr); }
    } restore;
    ActionSheet::clearHistory();

    open();
    EXPECT_EQ(screen->inputDeviceText(), "Default input");
    screen->tableViewDidSelectRowAtIndexPath(screen->tableView(),
                                             SettingsViewController::InputDeviceRow);
    ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
    ActionSheet* sheet = ActionSheet::visibleSheets().front();
    EXPECT_EQ(sheet->buttonTitles(),
              QStringList({"Default input", "USB Headset", "Ana's Earbuds", "Cancel"}));
    // The headset is unplugged while the sheet shows: the earbuds' button still means them.
    device->sources.removeFirst();
    sheet->dismissWithClickedButtonIndex(2);
    EXPECT_EQ(stored(kInputDeviceKey).toString(), "bluez_input.earbuds");
    EXPECT_EQ(screen->inputDeviceText(), "Ana's Earbuds");

    // Cancel keeps the choice; gone from the server, the row says so by the stored name.
    screen->tableViewDidSelectRowAtIndexPath(screen->tableView(),
                                             SettingsViewController::InputDeviceRow);
    ActionSheet::visibleSheets().front()->dismissWithClickedButtonIndex(2);
    EXPECT_EQ(stored(kInputDeviceKey).toString(), "bluez_input.earbuds");
    device->sources.clear();
    leave();
    open();
    EXPECT_EQ(screen->inputDeviceText(), "bluez_input.earbuds (not connected)");

    // "Default input" removes the setting, so the server's default applies again.
    screen->tableViewDidSelectRowAtIndexPath(screen->tableView(),
                                             SettingsViewController::InputDeviceRow);
    EXPECT_EQ(ActionSheet::visibleSheets().front()->buttonTitles(),
              QStringList({"Default input", "Cancel"}));
    ActionSheet::visibleSheets().front()->dismissWithClickedButtonIndex(0);
    EXPECT_FALSE(stored(kInputDeviceKey).isValid());
    EXPECT_EQ(screen->inputDeviceText(), "Default input");
}

TEST_F(SettingsScreen, TheEmailFormatIsPickedFromASheetAndAnUnknownValueReadsAsWav)
{
    ActionSheet::clearHistory();
    open();
    EXPECT_EQ(screen->emailFormatText(), "WAV (as recorded)");
    const auto pick = [this](int button) {
        screen->tableViewDidSelectRowAtIndexPath(screen->tableView(),
                                                 SettingsViewController::EmailFormatRow);
        ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
        EXPECT_EQ(
            ActionSheet::visibleSheets().front()->buttonTitles(),
            QStringList({"WAV (as recorded)", "Opus (smallest)", "FLAC (lossless)", "Cancel"}));
        ActionSheet::visibleSheets().front()->dismissWithClickedButtonIndex(button);
    };
    pick(1);
    EXPECT_EQ(stored(kEmailFormatKey).toString(), "opus");
    EXPECT_EQ(screen->emailFormatText(), "Opus (smallest)");
    pick(3); // Cancel keeps the choice
    EXPECT_EQ(stored(kEmailFormatKey).toString(), "opus");
    pick(2);
    EXPECT_EQ(stored(kEmailFormatKey).toString(), "flac");

    leave();
    settings->setValue(kEmailFormatKey, "mp3");
    open();
    EXPECT_EQ(screen->emailFormatText(), "WAV (as recorded)");
}
