// SPDX-License-Identifier: GPL-3.0-or-later
// The e-mail composition screen: its fields, the address book picker, what Send refuses, and
// the outcome of an upload against a stand-in server.
#include "EmailTestSupport.h"
#include "FakeUploadServer.h"

#include "platform/system/SettingsKeys.h"
#include "platform/ui/PeoplePickerNavigationController.h"
#include "sharing/Uploader.h"
#include "support/DecodedAudio.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

const QString kSendingAlert = QStringLiteral(
    "Sending Recording: The recording is now being uploaded to our server and will be emailed "
    "when the upload is complete.  Do not quit Sonavell until the upload has completed, or the "
    "email will not be sent.");
const QString kDoneAlert = QStringLiteral(
    "Send Recording: Sonavell has successfully uploaded the recording to our server and the "
    "email has been sent.");
const QString kErrorAlert = QStringLiteral(
    "Error: An error ocurred sending the memo as an email.  Make sure you are connected to a "
    "network, check the email settings and try again. ");
const QString kTooLargeAlert =
    QStringLiteral("Error: Sonavell cannot email recordings larger than 10MB.");

} // namespace

TEST(EmailScreen, FieldsStartFromTheSettingsEveryTimeTheScreenAppears)
{
    EmailFixture f("RIFF");
    f.settings().setValue(kEmailSubjectKey, QStringLiteral("A memo for you"));
    f.settings().setValue(kEmailBodyKey, QStringLiteral("Listen to this."));
    f.openEmailScreen();
    ASSERT_EQ(f.navigation->topViewController(), f.emailScreen);
    EXPECT_EQ(f.emailScreen->messageSubject()->text(), QStringLiteral("A memo for you"));
    EXPECT_EQ(f.emailScreen->messageText()->text(), QStringLiteral("Listen to this."));
    EXPECT_EQ(f.emailScreen->emailFrom()->text(), QStringLiteral("no-reply@sonavell.invalid"));
    EXPECT_EQ(f.emailScreen->emailTo()->font().pixelSize(), 14);

    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.emailScreen->emailFrom()->setText(QStringLiteral("me@example.org"));
    f.emailScreen->messageSubject()->setText(QStringLiteral("edited"));
    f.navigation->popViewControllerAnimated(false);
    f.settings().setValue(kEmailFromKey, QStringLiteral("kim@example.org"));
    f.settings().remove(kEmailBodyKey);
    f.openEmailScreen();
    EXPECT_EQ(f.emailScreen->emailTo()->text(), QStringLiteral("ann@example.org"));
    EXPECT_EQ(f.emailScreen->emailFrom()->text(), QStringLiteral("kim@example.org"));
    EXPECT_EQ(f.emailScreen->messageSubject()->text(), QStringLiteral("A memo for you"));
    EXPECT_EQ(f.emailScreen->messageText()->text(), QString());
}

TEST(EmailScreen, ThePickerGivesTheFirstAddressOrNotAvailable)
{
    AddressBookViewController::Environment env;
    env.addressBook = [] {
        return std::vector<AddressBook::Person>{
            {QStringLiteral("Ann Lee"),
             {QStringLiteral("ann@work.example"), QStringLiteral("ann@home.example")}},
            {QStringLiteral("Bob Marsh"), {}},
        };
    };
    EmailFixture f("RIFF", env);
    f.openEmailScreen();
    f.emailScreen->messageSubject()->setText(QStringLiteral("kept"));

    f.emailScreen->addressBookButton()->click();
    PeoplePickerNavigationController* picker = f.emailScreen->picker();
    ASSERT_TRUE(picker);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->visibleNames(), (QStringList{"Ann Lee", "Bob Marsh"}));
    picker->searchField()->setText(QStringLiteral("MARSH"));
    EXPECT_EQ(picker->visibleNames(), QStringList{"Bob Marsh"});
    picker->selectRow(0);
    EXPECT_EQ(f.emailScreen->emailTo()->text(), QStringLiteral("Not Available"));
    EXPECT_TRUE(waitFor([&] { return !f.emailScreen->picker(); }, 2000));

    f.emailScreen->addressBookButton()->click();
    f.emailScreen->picker()->searchField()->setText(QStringLiteral("home.example"));
    EXPECT_EQ(f.emailScreen->picker()->visibleNames(), QStringList{"Ann Lee"});
    f.emailScreen->picker()->selectRow(0);
    EXPECT_EQ(f.emailScreen->emailTo()->text(), QStringLiteral("ann@work.example"));
    EXPECT_TRUE(waitFor([&] { return !f.emailScreen->picker(); }, 2000));

    f.emailScreen->addressBookButton()->click();
    f.emailScreen->picker()->cancelButton()->click();
    EXPECT_TRUE(waitFor([&] { return !f.emailScreen->picker(); }, 2000));
    EXPECT_EQ(f.emailScreen->emailTo()->text(), QStringLiteral("ann@work.example"));
    // The picker covers the screen without making it appear again.
    EXPECT_EQ(f.emailScreen->messageSubject()->text(), QStringLiteral("kept"));
}

TEST(EmailScreen, ThePickerOffersTheContactsFileReadOffTheMainThread)
{
    EmailFixture f("RIFF");
    ScratchDir contacts;
    contacts.write("people/ann.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\n"
                                     "EMAIL:ann@work.example\r\nEND:VCARD\r\n");
    // A name that leads to an endless device sits beside it.
    ASSERT_TRUE(QFile::link("/dev/zero", contacts.file("people/zero.vcf")));
    f.settings().setValue(kContactsPathKey, contacts.file("people"));
    f.openEmailScreen();

    f.emailScreen->addressBookButton()->click();
    f.emailScreen->addressBookButton()->click(); // a second tap while reading opens no second
    ASSERT_TRUE(waitFor([&] { return f.emailScreen->picker() != nullptr; }, 5000));
    EXPECT_TRUE(f.emailScreen->picker()->visibleNames().contains("Ann Lee"))
        << f.emailScreen->picker()->visibleNames().join(", ").toStdString();
    f.emailScreen->picker()->cancelButton()->click();
    EXPECT_TRUE(waitFor([&] { return !f.emailScreen->picker(); }, 2000));

    // Left before the files are read: no picker comes up over another screen.
    f.emailScreen->addressBookButton()->click();
    f.navigation->popViewControllerAnimated(false);
    pumpEvents(500);
    EXPECT_FALSE(f.emailScreen->picker());
}

TEST(EmailScreen, NamesTheRecordingItWillSend)
{
    EmailFixture f(QByteArray(100, 'x'));
    f.app->currentRecording()->setName(QStringLiteral("Talk %1 %2"));
    f.openEmailScreen();
    EXPECT_EQ(f.emailScreen->recordingLabel()->text(), "Memo: Talk %1 %2");
    EXPECT_EQ(f.emailScreen->recordingLabel()->accessibleName(), "Memo to send");

    // Without a current recording the screen says so, and Send refuses.
    f.navigation->popViewControllerAnimated(false);
    f.app->setCurrentRecording(nullptr);
    f.openEmailScreen();
    EXPECT_EQ(f.emailScreen->recordingLabel()->text(), "No memo is chosen.");
    f.settings().setValue(kUploadUrlKey, QStringLiteral("http://127.0.0.1:9/"));
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    EXPECT_EQ(AlertView::history(),
              QStringList{"Error: There is no recording to send. Choose a recording first."});
}

TEST(EmailScreen, SendRefusesWhatCannotBeSentAndStaysOnTheScreen)
{
    FakeUploadServer server;
    EmailFixture f(QByteArray(10485761, 'x'));
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));

    // No upload server configured.
    f.send();
    ASSERT_EQ(AlertView::history().size(), 1);
    EXPECT_TRUE(AlertView::history().first().startsWith("Error: No upload server is configured."));
    f.settings().setValue(kUploadUrlKey, server.url());

    // One byte over the limit.
    AlertView::clearHistory();
    f.send();
    EXPECT_EQ(AlertView::history(), QStringList{kTooLargeAlert});
    EXPECT_EQ(AlertView::visibleAlerts().back()->buttonTitles(), QStringList{"Done"});

    // No usable recipient: "Not Available" from the picker, or nothing at all.
    QFile::resize(f.recordingPath(), 100);
    for (const QString& to : {QStringLiteral("Not Available"), QString()}) {
        AlertView::clearHistory();
        f.emailScreen->emailTo()->setText(to);
        f.send();
        ASSERT_EQ(AlertView::history().size(), 1);
        EXPECT_TRUE(AlertView::history().first().startsWith("Error: Enter the recipient"));
    }

    // The recording's file has gone.
    QFile::remove(f.recordingPath());
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    AlertView::clearHistory();
    f.send();
    EXPECT_EQ(AlertView::history(), QStringList{"Error: The recording's file could not be found."});

    EXPECT_EQ(f.navigation->topViewController(), f.emailScreen);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(f.idle.isIdleTimerDisabled());
    EXPECT_TRUE(f.emailScreen->activityIndicator()->isHidden());
}

TEST(EmailScreen, ARecordingOfExactlyTenMegabytesIsSentAndTheOutcomeShown)
{
    FakeUploadServer server;
    EmailFixture f(QByteArray(10485760, 'x'));
    f.settings().setValue(kUploadUrlKey, server.url() + "/");
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    EXPECT_EQ(AlertView::history(), QStringList{kSendingAlert});
    EXPECT_TRUE(waitFor([&] { return f.navigation->topViewController() == f.exportScreen; }));
    EXPECT_TRUE(f.idle.isIdleTimerDisabled());
    EXPECT_TRUE(f.emailScreen->myUploader());

    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 60000));
    EXPECT_EQ(AlertView::history().last(), kDoneAlert);
    EXPECT_FALSE(f.idle.isIdleTimerDisabled());
    EXPECT_FALSE(f.emailScreen->myUploader());
    EXPECT_EQ(server.requestsTo("uploadParts.php").size(), 640u);
    EXPECT_EQ(server.requestsTo("uploadEmail.php").size(), 1u);
    EXPECT_EQ(f.exportScreen->emailProgress, 0.0f);
}

TEST(EmailScreen, AFailedUploadShowsTheErrorAlert)
{
    FakeUploadServer server;
    server.handler = [](const FakeUploadServer::Request& request, int) {
        if (request.path.endsWith("uploadRandomName.php"))
            return FakeUploadServer::Answer{200, "n1"};
        if (request.path.endsWith("uploadEmail.php"))
            return FakeUploadServer::Answer{403, "ERROR: unknown or expired upload name"};
        return FakeUploadServer::Answer{200, "SUCCESS"};
    };
    EmailFixture f(patterned(20000));
    f.settings().setValue(kUploadUrlKey, server.url());
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 20000));
    EXPECT_EQ(AlertView::history().last(), kErrorAlert);
    EXPECT_FALSE(f.idle.isIdleTimerDisabled());
    EXPECT_FALSE(f.emailScreen->myUploader());
    EXPECT_EQ(f.exportScreen->emailProgress, 0.0f);
}

TEST(EmailScreen, WhileTheServerNamesTheUploadTheScreenStaysBusyAndIgnoresSend)
{
    FakeUploadServer server;
    server.handler = [](const FakeUploadServer::Request& request, int) {
        if (request.path.endsWith("uploadRandomName.php"))
            return FakeUploadServer::Answer{200, "slow", 1500};
        return FakeUploadServer::Answer{200, "SUCCESS"};
    };
    EmailFixture f(patterned(20000));
    f.settings().setValue(kUploadUrlKey, server.url());
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    QElapsedTimer clock;
    clock.start();
    f.send();
    EXPECT_LT(clock.elapsed(), 1000) << "Send does not wait for the server";
    EXPECT_EQ(AlertView::history(), QStringList{kSendingAlert});

    // The event loop runs on while the name is fetched: a timer fires, the screen stays, busy.
    bool timerFired = false;
    QTimer::singleShot(100, [&] { timerFired = true; });
    EXPECT_TRUE(waitFor([&] { return timerFired; }, 1000));
    EXPECT_EQ(f.navigation->topViewController(), f.emailScreen);
    EXPECT_FALSE(f.emailScreen->activityIndicator()->isHidden());
    EXPECT_FALSE(f.emailScreen->sendButton()->isEnabled());
    // A second tap on Send does nothing: no alert, no second upload.
    f.send();
    pumpEvents(100);
    EXPECT_EQ(AlertView::history(), QStringList{kSendingAlert});
    EXPECT_EQ(server.requestsTo("uploadRandomName.php").size(), 1u);

    // Once named, the upload goes on behind the previous screen.
    ASSERT_TRUE(waitFor([&] { return f.navigation->topViewController() == f.exportScreen; }));
    EXPECT_TRUE(f.emailScreen->sendButton()->isEnabled());
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 20000));
    EXPECT_EQ(AlertView::history().last(), kDoneAlert);
    EXPECT_EQ(server.requestsTo("uploadRandomName.php").size(), 1u);
    EXPECT_EQ(server.requestsTo("uploadEmail.php").size(), 1u);
}

TEST(EmailScreen, AScreenLeftOrGoneWhileItsRequestRunsIsLeftAlone)
{
    FakeUploadServer server;
    server.handler = [](const FakeUploadServer::Request& request, int) {
        if (request.path.endsWith("uploadRandomName.php"))
            return FakeUploadServer::Answer{200, "slow", 800};
        if (request.path.endsWith("uploadEmail.php"))
            return FakeUploadServer::Answer{200, "SUCCESS", 800};
        return FakeUploadServer::Answer{200, "SUCCESS"};
    };
    {
        // Left by the user before the name came: the upload goes on, and its end takes no
        // further screen off the stack.
        EmailFixture f(patterned(20000));
        f.settings().setValue(kUploadUrlKey, server.url());
        f.openEmailScreen();
        f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
        f.send();
        f.navigation->popViewControllerAnimated(false);
        ASSERT_EQ(f.navigation->topViewController(), f.exportScreen);
        ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 20000));
        EXPECT_EQ(AlertView::history().last(), kDoneAlert);
        EXPECT_EQ(f.navigation->topViewController(), f.exportScreen);
        EXPECT_EQ(f.navigation->viewControllers().size(), 1u);
    }
    // Deleted while the name fetch, then while the mail request, is out: nothing arrives later.
    for (const char* path : {"uploadRandomName.php", "uploadEmail.php"}) {
        SCOPED_TRACE(path);
        const size_t before = server.requestsTo(path).size();
        EmailFixture f(patterned(20000));
        f.settings().setValue(kUploadUrlKey, server.url());
        f.openEmailScreen();
        f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
        f.send();
        ASSERT_TRUE(waitFor([&] { return server.requestsTo(path).size() > before; }, 10000));
        f.navigation->popViewControllerAnimated(false);
        f.app->abViewController = nullptr;
        delete f.emailScreen;
        f.emailScreen = nullptr;
        EXPECT_FALSE(f.idle.isIdleTimerDisabled());
        pumpEvents(1500);
        EXPECT_EQ(AlertView::history(), QStringList{kSendingAlert});
    }
}

// ---- Converted copies ----

namespace {

QByteArray toneMemo(double seconds, int rate = 22050)
{
    QTemporaryDir scratch;
    return toneWavBytes(scratch.filePath("tone.wav"), rate, seconds);
}

// The bytes of the uploaded file, joined from the part requests the server received, and the
// file name the parts gave.
QByteArray uploadedFile(const FakeUploadServer& server, QByteArray* fileName = nullptr)
{
    QByteArray joined;
    for (const auto& request : server.requestsTo("uploadParts.php")) {
        const QByteArray& body = request.body;
        const qsizetype name = body.indexOf("filename=\"") + 10;
        if (fileName)
            *fileName = body.mid(name, body.indexOf('"', name) - name);
        const qsizetype start = body.indexOf("\r\n\r\n") + 4;
        const qsizetype end = body.indexOf("\r\n--0xKhTmLbOuNdArY", start);
        joined += body.mid(start, end - start);
    }
    return joined;
}

} // namespace

TEST(EmailScreen, AnOpusCopyIsMadeOnAppearingSentOnceCompleteAndRemovedAfterwards)
{
    FakeUploadServer server;
    EmailFixture f(toneMemo(30.0));
    f.settings().setValue(kUploadUrlKey, server.url());
    f.settings().setValue(kEmailFormatKey, "opus");
    f.openEmailScreen();
    EXPECT_EQ(f.emailScreen->sizeLabel()->text(), QStringLiteral("Converting to Opus…"));
    EXPECT_EQ(f.emailScreen->sizeLabel()->accessibleName(), f.emailScreen->sizeLabel()->text());
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    // Sent while converting: the upload waits for the copy.
    f.send();
    ASSERT_TRUE(waitFor([&] { return f.emailScreen->myUploader() != nullptr; }, 20000));
    const QString copy = f.emailScreen->myUploader()->filePath();
    EXPECT_TRUE(copy.endsWith("/REC20261208101500.opus")) << copy.toStdString();
    const qint64 copySize = QFileInfo(copy).size();
    EXPECT_EQ(f.emailScreen->sizeLabel()->text(),
              "Size to send: " + AppDelegate::getSizeString(uint64_t(copySize)) + " (Opus)");
    EXPECT_TRUE(waitFor([&] { return f.navigation->topViewController() == f.exportScreen; }));

    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 20000));
    EXPECT_EQ(AlertView::history(), (QStringList{kSendingAlert, kDoneAlert}));
    QByteArray fileName;
    const QByteArray sent = uploadedFile(server, &fileName);
    EXPECT_EQ(fileName, "REC20261208101500.opus");
    EXPECT_EQ(sent.size(), copySize);
    EXPECT_TRUE(sent.startsWith("OggS"));
    // The copy goes with its upload; the memo stays as it was.
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(QFileInfo(f.recordingPath()).size(), toneMemo(30.0).size());
}

TEST(EmailScreen, TheLimitAppliesToTheConvertedCopy)
{
    // Four minutes at 22050 Hz: over 10 MB as WAV, a few hundred kilobytes as Opus.
    FakeUploadServer server;
    EmailFixture f(toneMemo(240.0));
    ASSERT_GT(QFileInfo(f.recordingPath()).size(), AddressBookViewController::kMaxFileBytes);
    f.settings().setValue(kUploadUrlKey, server.url());
    f.openEmailScreen();
    EXPECT_TRUE(f.emailScreen->sizeLabel()->text().endsWith("MB (WAV)"))
        << f.emailScreen->sizeLabel()->text().toStdString();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    EXPECT_EQ(AlertView::history(), QStringList{kTooLargeAlert});

    f.settings().setValue(kEmailFormatKey, "opus");
    f.navigation->popViewControllerAnimated(false);
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    AlertView::clearHistory();
    f.send();
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 30000));
    EXPECT_EQ(AlertView::history().last(), kDoneAlert);
    EXPECT_LT(uploadedFile(server).size(), 1024 * 1024);
}

TEST(EmailScreen, AMemoThatCannotBeConvertedIsReportedAndNothingIsSent)
{
    FakeUploadServer server;
    const QByteArray damaged = QByteArray("RIFF\x10\0\0\0WAVEjunk", 16) + QByteArray(5000, 'x');
    EmailFixture f(damaged);
    f.settings().setValue(kUploadUrlKey, server.url());
    f.settings().setValue(kEmailFormatKey, "flac");
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 1; }, 10000));
    EXPECT_TRUE(AlertView::history().first().startsWith(
        "Error: The memo could not be converted to FLAC: The memo's file is damaged"))
        << AlertView::history().first().toStdString();
    EXPECT_EQ(f.emailScreen->sizeLabel()->text(), AlertView::history().first().mid(7));
    EXPECT_EQ(f.navigation->topViewController(), f.emailScreen);
    EXPECT_TRUE(server.requests().empty());
    QFile memo(f.recordingPath());
    ASSERT_TRUE(memo.open(QIODevice::ReadOnly));
    EXPECT_EQ(memo.readAll(), damaged);
}

TEST(EmailScreen, AMemoChangedAfterItsCopyWasMadeIsConvertedAgain)
{
    FakeUploadServer server;
    EmailFixture f(toneMemo(1.0));
    f.settings().setValue(kUploadUrlKey, server.url());
    f.settings().setValue(kEmailFormatKey, "flac");
    f.openEmailScreen();
    ASSERT_TRUE(waitFor([&] { return !f.emailScreen->isConverting(); }, 10000));
    // An append makes the memo longer after the copy was made.
    {
        QFile memo(f.recordingPath());
        ASSERT_TRUE(memo.open(QIODevice::WriteOnly));
        memo.write(toneMemo(3.0));
    }
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 20000));
    EXPECT_EQ(AlertView::history().last(), kDoneAlert);
    QTemporaryDir scratch;
    QFile sent(scratch.filePath("sent.flac"));
    ASSERT_TRUE(sent.open(QIODevice::WriteOnly));
    sent.write(uploadedFile(server));
    sent.close();
    EXPECT_NEAR(decodeAudio(sent.fileName()).seconds(), 3.0, 0.001);
}
