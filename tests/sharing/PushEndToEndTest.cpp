// SPDX-License-Identifier: GPL-3.0-or-later
// The push screen sending to the real sonavell-receive, both announced and found through the
// loopback-only avahi-daemon: what arrives is byte for byte what was sent, a rejection and a
// receiver killed mid-push show on the screen, and hostile names stay inside the folder.
#include "PushTestSupport.h"
#include "app/KeyboardShortcuts.h"

#include "core/AppDelegate.h"
#include "platform/ui/AlertView.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace sonavell::test;
using Code = RELO_BrowserController::ScreenCode;

namespace {

// sonavell-receive on 127.0.0.1 with its own folder (inside a scratch directory, so that
// anything written beside it would show).
class ReceiverProcess
{
public:
    explicit ReceiverProcess(const QStringList& mode)
        : name(uniqueDeviceName(QStringLiteral("receiver")))
        , folder(scratch.file(QStringLiteral("inbox")))
    {
        process.setProgram(qEnvironmentVariable("SONAVELL_BUILD_DIR") +
                           QStringLiteral("/tools/receiver/sonavell-receive"));
        process.setArguments(QStringList{QStringLiteral("--name"), name, QStringLiteral("--folder"),
                                         folder, QStringLiteral("--address"),
                                         QStringLiteral("127.0.0.1")} +
                             mode);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start();
    }
    ~ReceiverProcess()
    {
        process.kill();
        process.waitForFinished(5000);
    }

    // Waits for a line of the receiver's output that starts with `prefix`.
    QString waitForLine(const QString& prefix, int timeoutMs = 20000)
    {
        QString found;
        waitFor(
            [&] {
                output += QString::fromUtf8(process.readAllStandardOutput());
                for (const QString& line : output.split(QLatin1Char('\n')))
                    if (line.startsWith(prefix))
                        found = line;
                return !found.isEmpty();
            },
            timeoutMs);
        return found;
    }

    // Every file below the scratch directory, hidden ones included, relative to it.
    QStringList files() const
    {
        QStringList result;
        QDirIterator it(scratch.path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            result << QDir(scratch.path()).relativeFilePath(it.next());
        result.sort();
        return result;
    }

    ScratchDir scratch;
    QString name;
    QString folder;
    QProcess process;
    QString output;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The program's keyboard on the push window: an application object over a library of its own
// whose navigation is the window's, and the shortcuts the program installs.
class Keyboard
{
public:
    explicit Keyboard(PushWindow& window)
    {
        AppDelegate::Environment env;
        env.documentsPath = scratch.file(QStringLiteral("Documents"));
        env.userDefaults = std::make_shared<QSettings>(scratch.file(QStringLiteral("settings.ini")),
                                                       QSettings::IniFormat);
        app = std::make_unique<AppDelegate>(env);
        // The first run's tip would take the first Escape.
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        app->navigationController = window.navigation;
        new KeyboardShortcuts(*app, &window.window);
        m_window = &window.window;
    }

    bool ready() { return QTest::qWaitForWindowActive(m_window); }
    void press(Qt::Key key)
    {
        QTest::keyClick(m_window, key);
        QCoreApplication::processEvents();
    }

    ScratchDir scratch;
    std::unique_ptr<AppDelegate> app;

private:
    QWidget* m_window = nullptr;
};

} // namespace

TEST(PushEndToEnd, AnAcceptedRecordingArrivesByteForByte)
{
    ReceiverProcess receiver({QStringLiteral("--accept")});
    ASSERT_FALSE(receiver.waitForLine(QStringLiteral("Receiving pushes as")).isEmpty())
        << receiver.process.readAllStandardError().toStdString();
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    const QByteArray wav = patterned(300 * 1024 + 17);
    f.addRecording(QStringLiteral("Lecture 3"), wav);
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    ASSERT_TRUE(f.sendAndWait());
    EXPECT_EQ(f.milestones(),
              (std::vector<int>{Code::kConnecting, Code::kConnected, Code::kSending, Code::kSent}));
    EXPECT_TRUE(window.showsText(window.frame(), f.screen->sentLabel));
    EXPECT_FALSE(
        receiver.waitForLine(QStringLiteral("Saved \"Lecture 3\" from 127.0.0.1")).isEmpty());
    EXPECT_EQ(readFile(receiver.folder + QStringLiteral("/Lecture 3.wav")), wav);

    // The same name again is saved beside the first, which stays as it was.
    const QByteArray other = patterned(5000).toUpper();
    f.addRecording(QStringLiteral("Lecture 3"), other);
    f.screen->curRecording = f.recording;
    f.codes.clear();
    f.screen->sendButton->click();
    EXPECT_TRUE(f.screen->sentLabel->isHidden()); // the last push's notice goes at once
    ASSERT_TRUE(waitFor([&] {
        return !f.screen->isPushRunning() && !f.codes.empty() && f.codes.back() == Code::kSent;
    }));
    EXPECT_FALSE(
        receiver.waitForLine(QStringLiteral("Saved \"Lecture 3\" from 127.0.0.1 (5000")).isEmpty());
    EXPECT_EQ(readFile(receiver.folder + QStringLiteral("/Lecture 3.wav")), wav);
    EXPECT_EQ(readFile(receiver.folder + QStringLiteral("/Lecture 3 (2).wav")), other);
}

TEST(PushEndToEnd, ARejectingReceiverShowsTheRejectedNotice)
{
    ReceiverProcess receiver({QStringLiteral("--reject")});
    ASSERT_FALSE(receiver.waitForLine(QStringLiteral("Receiving pushes as")).isEmpty());
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    f.addRecording(QStringLiteral("Not wanted"), patterned(4000));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    // The rejected notice comes up, and every frame of the second after shows it.
    ASSERT_TRUE(window.comesUpAndStays(f.screen->rejectedLabel, 1000));
    ASSERT_TRUE(waitFor([&] { return !f.screen->isPushRunning() && f.codes.size() >= 4; }));
    EXPECT_EQ(f.codes, (std::vector<int>{Code::kConnecting, Code::kConnected, Code::kRejected,
                                         Code::kIdle}));
    EXPECT_FALSE(receiver.waitForLine(QStringLiteral("Rejected \"Not wanted\"")).isEmpty());
    EXPECT_EQ(receiver.files(), QStringList());
}

TEST(PushEndToEnd, AReceiverKilledMidPushFailsThePushAndKeepsNothing)
{
    ReceiverProcess receiver({QStringLiteral("--accept")});
    ASSERT_FALSE(receiver.waitForLine(QStringLiteral("Receiving pushes as")).isEmpty());
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    // Far more than the loopback's buffers hold, so the push is still running when the
    // receiver stops.
    f.addRecording(QStringLiteral("Long take"), patterned(64 * 1024 * 1024));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    // Stopped once a tenth is out, the transfer holds still on screen: its notices and the bar.
    ASSERT_TRUE(waitFor([&] {
        return !f.codes.empty() && f.codes.back() >= Code::kSending &&
               f.screen->progressBar->progress() >= 0.1f;
    }));
    ::kill(static_cast<pid_t>(receiver.process.processId()), SIGSTOP);
    pumpEvents(200);
    EXPECT_LT(f.screen->progressPercent(), 1.0);
    const QImage frame = window.frame();
    EXPECT_TRUE(window.showsText(frame, f.screen->sendingLabel));
    EXPECT_TRUE(window.showsProgress(frame, f.screen->progressBar));
    ::kill(static_cast<pid_t>(receiver.process.processId()), SIGKILL);
    ASSERT_TRUE(waitFor([&] {
        return !f.screen->isPushRunning() && !f.codes.empty() && f.codes.back() == Code::kFailed;
    }));
    EXPECT_TRUE(window.showsText(window.frame(), f.screen->failedLabel));
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
    EXPECT_EQ(receiver.files(), QStringList());
}

TEST(PushEndToEnd, HostileNamesStayInsideTheFolder)
{
    ReceiverProcess receiver({QStringLiteral("--accept")});
    ASSERT_FALSE(receiver.waitForLine(QStringLiteral("Receiving pushes as")).isEmpty());
    PushScreenFixture f;
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    const QString longName(300, QLatin1Char('x'));
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("../../escaped"), QStringLiteral("inbox/_.._escaped.wav")},
        {QStringLiteral("/etc/passwd"), QStringLiteral("inbox/_etc_passwd.wav")},
        {QStringLiteral(".."), QStringLiteral("inbox/Memo.wav")},
        {QStringLiteral(".hidden"), QStringLiteral("inbox/hidden.wav")},
        {QStringLiteral("bell\x07") + QStringLiteral("tab\there"),
         QStringLiteral("inbox/belltabhere.wav")},
        {longName,
         QStringLiteral("inbox/") + QString(200, QLatin1Char('x')) + QStringLiteral(".wav")},
    };
    QStringList expected;
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray wav = patterned(1000 + expected.size());
        f.addRecording(name, wav);
        f.screen->curRecording = f.recording;
        ASSERT_TRUE(f.sendAndWait());
        EXPECT_EQ(f.codes.back(), Code::kSent);
        ASSERT_TRUE(waitFor([&] { return QFile::exists(receiver.scratch.file(file)); }, 5000));
        EXPECT_EQ(readFile(receiver.scratch.file(file)), wav);
        expected << file;
    }
    expected.sort();
    EXPECT_EQ(receiver.files(), expected);
}

TEST(PushEndToEnd, EscapeMidPushCancelsItKeepsNothingAndLeavesTheScreenUsable)
{
    ReceiverProcess receiver({QStringLiteral("--accept")});
    ASSERT_FALSE(receiver.waitForLine(QStringLiteral("Receiving pushes as")).isEmpty());
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    Keyboard keyboard(window);
    ASSERT_TRUE(keyboard.ready());
    constexpr int kBig = 64 * 1024 * 1024;
    f.addRecording(QStringLiteral("Long take"), patterned(kBig));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(waitFor([&] {
        return !f.codes.empty() && f.codes.back() >= Code::kSending &&
               f.screen->progressBar->progress() >= 0.05f;
    }));

    // Escape is Cancel while the push runs: the push ends, the screen stays and is idle.
    keyboard.press(Qt::Key_Escape);
    ASSERT_TRUE(
        waitFor([&] { return !f.screen->isPushRunning() && f.codes.back() == Code::kIdle; }, 3000));
    EXPECT_EQ(window.exportScreen->modalViewController(), f.screen.get());
    EXPECT_FALSE(receiver
                     .waitForLine(QStringLiteral("Push of \"Long take\" from 127.0.0.1 broke "
                                                 "off"))
                     .isEmpty());
    EXPECT_EQ(receiver.files(), QStringList());
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
    EXPECT_TRUE(f.screen->doneButton->isEnabled());
    EXPECT_FALSE(f.screen->cancelButton->isEnabled());
    EXPECT_TRUE(f.screen->progressBar->isHidden());

    // With nothing under way, Escape closes the screen; shown again, it sends the next memo.
    keyboard.press(Qt::Key_Escape);
    EXPECT_EQ(window.exportScreen->modalViewController(), nullptr);
    const QByteArray wav = patterned(5000);
    f.addRecording(QStringLiteral("Short"), wav);
    window.exportScreen->postRELO_Browser();
    EXPECT_TRUE(f.screen->progressBar->isHidden());
    EXPECT_TRUE(f.screen->sendingLabel->isHidden());
    ASSERT_TRUE(f.select(receiver.name));
    ASSERT_TRUE(f.sendAndWait());
    EXPECT_EQ(f.codes.back(), Code::kSent);
    EXPECT_EQ(readFile(receiver.folder + QStringLiteral("/Short.wav")), wav);
    EXPECT_EQ(receiver.files(), QStringList{QStringLiteral("inbox/Short.wav")});
}

TEST(PushEndToEnd, AMemoNamedWithAPlaceholderArrivesUnderItsNameBeforeSentShows)
{
    ReceiverProcess receiver({QStringLiteral("--accept")});
    ASSERT_FALSE(receiver.waitForLine(QStringLiteral("Receiving pushes as")).isEmpty());
    PushScreenFixture f;
    const QByteArray first = patterned(70000);
    f.addRecording(QStringLiteral("Talk %1"), first);
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    EXPECT_EQ(f.screen->memoLabel->text(), QStringLiteral("Memo: Talk %1"));
    ASSERT_TRUE(f.sendAndWait());
    EXPECT_EQ(f.codes.back(), Code::kSent);
    // The receiver closes only once the file is in place: it is there, whole, when Sent shows.
    EXPECT_EQ(readFile(receiver.folder + QStringLiteral("/Talk %1.wav")), first);
    EXPECT_FALSE(
        receiver.waitForLine(QStringLiteral("Saved \"Talk %1\" from 127.0.0.1 (70000 bytes)"))
            .isEmpty());

    // The same name again: numbered beside it, the placeholder kept.
    const QByteArray second = patterned(900).toUpper();
    f.addRecording(QStringLiteral("Talk %1"), second);
    f.screen->curRecording = f.recording;
    ASSERT_TRUE(f.sendAndWait());
    EXPECT_EQ(f.codes.back(), Code::kSent);
    EXPECT_EQ(readFile(receiver.folder + QStringLiteral("/Talk %1 (2).wav")), second);
    EXPECT_EQ(receiver.files(), (QStringList{QStringLiteral("inbox/Talk %1 (2).wav"),
                                             QStringLiteral("inbox/Talk %1.wav")}));
}
