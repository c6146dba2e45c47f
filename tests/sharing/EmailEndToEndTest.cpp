// SPDX-License-Identifier: GPL-3.0-or-later
// E-mail end to end: the composition screen sends the current recording through the real
// sonavell-upload-server to a real SMTP server, both on 127.0.0.1, while the export screen shows
// the progress.
#include "EmailTestSupport.h"
#include "support/DecodedAudio.h"
#include "support/MailServers.h"

#include "platform/system/SettingsKeys.h"
#include "platform/ui/ProgressView.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sonavell::test;

TEST(EmailEndToEnd, TheRecordingArrivesAsTheAttachmentOfTheMailAsEntered)
{
    // The SMTP server takes its time over the message, so the export screen's half-second
    // display is seen during the mail request.
    SmtpSink smtp({"--delay", "1.5"});
    ASSERT_GT(smtp.port(), 0);
    UploadServerProcess server(smtp.url());
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();

    const QByteArray wav = patterned(100000);
    EmailFixture f(wav);
    f.settings().setValue(kUploadUrlKey, server.baseUrl());
    f.settings().setValue(kEmailSubjectKey, QStringLiteral("A memo"));
    f.settings().setValue(kEmailBodyKey, QStringLiteral("Have a listen."));
    f.exportScreen->updateProgress();
    ASSERT_TRUE(f.exportScreen->sendEmailButton->isEnabled());

    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.emailScreen->emailFrom()->setText(QStringLiteral("me@example.org"));
    f.emailScreen->messageSubject()->setText(QStringLiteral("Kitchen plans — take 2"));

    // What the export screen shows while the upload runs.
    QStringList labels;
    bool buttonDisabled = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!f.exportScreen->progressLabel->isHidden() &&
            !labels.contains(f.exportScreen->progressLabel->text()))
            labels << f.exportScreen->progressLabel->text();
        buttonDisabled = buttonDisabled || !f.exportScreen->sendEmailButton->isEnabled();
    });
    watch.start(20);

    f.send();
    EXPECT_TRUE(waitFor([&] { return f.navigation->topViewController() == f.exportScreen; }));
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 30000))
        << server.log().toStdString();
    EXPECT_TRUE(AlertView::history().last().startsWith("Send Recording:"))
        << AlertView::history().last().toStdString() << server.log().toStdString();

    const auto mails = smtp.mails();
    ASSERT_EQ(mails.size(), 1);
    const ReceivedMail& mail = mails[0];
    EXPECT_EQ(mail.envelopeTo, QStringList{"ann@example.org"});
    EXPECT_EQ(decodeHeader(mail.headers.value("subject")),
              QStringLiteral("Kitchen plans — take 2"));
    EXPECT_EQ(mail.headers.value("reply-to"), "<me@example.org>");
    EXPECT_EQ(mail.text, "Have a listen.");
    EXPECT_EQ(mail.attachment, wav);
    EXPECT_TRUE(
        mail.attachmentHead.contains(QByteArray("filename=\"") + EmailFixture::kFile + "\""));

    // The display showed the upload and comes back to rest with the button enabled.
    EXPECT_TRUE(labels.contains(QStringLiteral("Sending Email (100.0% complete):")))
        << labels.join(" | ").toStdString();
    EXPECT_TRUE(buttonDisabled);
    EXPECT_TRUE(waitFor([&] { return f.exportScreen->sendEmailButton->isEnabled(); }, 2000));
    EXPECT_TRUE(f.exportScreen->progressLabel->isHidden());
    EXPECT_TRUE(f.exportScreen->emailProgressBar->isHidden());
    EXPECT_FALSE(f.idle.isIdleTimerDisabled());
    EXPECT_TRUE(server.spoolFiles().isEmpty());
}

TEST(EmailEndToEnd, WithOpusTheMailCarriesAnOggOpusCopyOfTheMemo)
{
    SmtpSink smtp;
    ASSERT_GT(smtp.port(), 0);
    UploadServerProcess server(smtp.url());
    ASSERT_GT(server.port(), 0) << server.banner().toStdString();

    QTemporaryDir scratch;
    EmailFixture f(toneWavBytes(scratch.filePath("memo.wav"), 22050, 20.0));
    f.settings().setValue(kUploadUrlKey, server.baseUrl());
    f.settings().setValue(kEmailFormatKey, QStringLiteral("opus"));
    f.openEmailScreen();
    f.emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
    f.send();
    ASSERT_TRUE(waitFor([] { return AlertView::history().size() == 2; }, 30000))
        << server.log().toStdString();
    EXPECT_TRUE(AlertView::history().last().startsWith("Send Recording:"))
        << AlertView::history().last().toStdString() << server.log().toStdString();

    const auto mails = smtp.mails();
    ASSERT_EQ(mails.size(), 1);
    const ReceivedMail& mail = mails[0];
    EXPECT_TRUE(mail.attachmentHead.contains("filename=\"REC20261208101500.opus\""))
        << mail.attachmentHead.toStdString();
    EXPECT_TRUE(mail.attachmentHead.contains("Content-Type: audio/ogg"))
        << mail.attachmentHead.toStdString();
    // What arrived is the memo: 20 s of the 1 kHz tone, in Ogg/Opus.
    QFile attachment(scratch.filePath("arrived.opus"));
    ASSERT_TRUE(attachment.open(QIODevice::WriteOnly));
    attachment.write(mail.attachment);
    attachment.close();
    const DecodedAudio decoded = decodeAudio(attachment.fileName());
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_NEAR(decoded.seconds(), 20.0, 0.020);
    EXPECT_NEAR(toneFrequency(decoded.samples, decoded.rate), 1000.0, 2.0);
    EXPECT_LT(mail.attachment.size(), QFileInfo(f.recordingPath()).size() / 10);
    EXPECT_TRUE(server.spoolFiles().isEmpty());
}
