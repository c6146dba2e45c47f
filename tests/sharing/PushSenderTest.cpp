// SPDX-License-Identifier: GPL-3.0-or-later
// The push engine without its screen: a PushSender on a push thread of its own sending to the
// real receiver (sonavell-receive's PushReceiver, in this process, on 127.0.0.1, not announced).
// What the screen tests cannot see: the order of the sender's signals as they reach the main
// thread, that "sent" comes only once the receiver has stored the file, and the real
// receiver's ways of failing a push (a reset when it cannot keep the data, a busy receiver).
#include "PushReceiver.h"
#include "SharingTestSupport.h"

#include "sharing/PushSender.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace sonavell::test;

namespace {

// One push as the screen runs it: the sender moved to a thread of its own, which ends with the
// push; every signal recorded on the main thread, in the order it arrives there.
class SenderRun
{
public:
    explicit SenderRun(PushSender::Options options)
        : sender(std::make_unique<PushSender>(std::move(options)))
    {
        sender->moveToThread(&thread);
        PushSender* s = sender.get();
        auto note = [this](const char* what) { return [this, what] { events.push_back(what); }; };
        auto share = [this](const char* what) {
            return [this, what](double fraction) {
                progress = fraction;
                // Progress comes in many steps; one entry tells that it came.
                if (events.empty() || events.back() != what)
                    events.push_back(what);
            };
        };
        QObject::connect(s, &PushSender::connecting, &context, note("connecting"));
        QObject::connect(s, &PushSender::connected, &context, note("connected"));
        QObject::connect(s, &PushSender::rejected, &context, note("rejected"));
        QObject::connect(s, &PushSender::accepted, &context, share("accepted"));
        QObject::connect(s, &PushSender::progress, &context, share("progress"));
        QObject::connect(s, &PushSender::failed, &context, share("failed"));
        QObject::connect(s, &PushSender::done, &context, [this](bool sent, double fraction) {
            progress = fraction;
            events.push_back(sent ? "sent" : "done");
            if (onDone)
                onDone();
        });
        QObject::connect(s, &PushSender::finished, &context, note("finished"));
        QObject::connect(s, &PushSender::finished, &thread, &QThread::quit, Qt::DirectConnection);
        thread.start();
    }
    ~SenderRun()
    {
        // Also when the push never started (a test that stopped early).
        QMetaObject::invokeMethod(
            sender.get(),
            [s = sender.get()] {
                s->cancel();
                QThread::currentThread()->quit();
            },
            Qt::QueuedConnection);
        thread.wait();
    }

    void start(const PushSender::Job& job)
    {
        QMetaObject::invokeMethod(
            sender.get(), [s = sender.get(), job] { s->start(job); }, Qt::QueuedConnection);
    }
    // Waits until the last signal has arrived and the thread has ended.
    bool waitForEnd(int timeoutMs = 20000)
    {
        return waitFor(
            [&] { return !events.empty() && events.back() == "finished" && thread.isFinished(); },
            timeoutMs);
    }

    QThread thread;
    std::unique_ptr<PushSender> sender;
    QObject context;
    std::vector<std::string> events;
    double progress = -1.0;
    std::function<void()> onDone;
};

// The receiver's folder and lines, and a documents folder holding the recording to push.
struct Receiving
{
    explicit Receiving(PushReceiver::Mode mode = PushReceiver::Mode::Accept)
    {
        options.name = QStringLiteral("test receiver");
        options.folder = scratch.file(QStringLiteral("inbox"));
        options.mode = mode;
        options.address = QHostAddress::LocalHost;
        options.announce = false;
    }
    // Starts the receiver and gives the job that pushes `bytes` under `name` to it.
    PushSender::Job job(const QString& name, const QByteArray& bytes)
    {
        receiver = std::make_unique<PushReceiver>(options);
        receiver->output = [this](const QString& line) { lines << line; };
        EXPECT_TRUE(receiver->start());
        scratch.write(QStringLiteral("Documents/REC1.wav"), bytes);
        PushSender::Job job;
        job.recordingName = name;
        job.recordingFile = QStringLiteral("REC1.wav");
        job.endpoint.hostName = QStringLiteral("127.0.0.1");
        job.endpoint.port = receiver->port();
        return job;
    }
    PushSender::Options senderOptions() const
    {
        PushSender::Options sender;
        sender.documentsPath = scratch.file(QStringLiteral("Documents"));
        return sender;
    }
    QStringList inbox() const
    {
        return QDir(options.folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    ScratchDir scratch;
    PushReceiver::Options options;
    std::unique_ptr<PushReceiver> receiver;
    QStringList lines;
};

using Events = std::vector<std::string>;

} // namespace

TEST(PushSender, SentComesOnlyOnceTheReceiverHasStoredTheRecording)
{
    Receiving receiving;
    const QByteArray wav = patterned(300 * 1024 + 17);
    SenderRun run(receiving.senderOptions());
    const QString saved = receiving.options.folder + QStringLiteral("/Lecture 3.wav");
    QByteArray storedWhenSent;
    run.onDone = [&] {
        QFile file(saved);
        if (file.open(QIODevice::ReadOnly))
            storedWhenSent = file.readAll();
    };
    run.start(receiving.job(QStringLiteral("Lecture 3"), wav));
    ASSERT_TRUE(run.waitForEnd());
    EXPECT_EQ(run.events,
              (Events{"connecting", "connected", "accepted", "progress", "sent", "finished"}));
    EXPECT_NEAR(run.progress, 1.0, 1e-9);
    EXPECT_EQ(storedWhenSent, wav);
    ASSERT_EQ(receiving.lines.size(), 1);
    EXPECT_TRUE(receiving.lines[0].startsWith(
        QStringLiteral("Saved \"Lecture 3\" from 127.0.0.1 (%1 bytes)").arg(wav.size())))
        << receiving.lines[0].toStdString();
}

TEST(PushSender, AReceiverThatCannotKeepTheRecordingFailsThePush)
{
    // The folder goes while the data comes: the receiver cannot name the file, resets the
    // connection, and the push fails instead of counting as sent.
    Receiving receiving;
    const QByteArray wav = patterned(8 * 1024 * 1024);
    SenderRun run(receiving.senderOptions());
    QObject::connect(run.sender.get(), &PushSender::accepted, &run.context,
                     [&] { QDir(receiving.options.folder).removeRecursively(); });
    run.start(receiving.job(QStringLiteral("Lost"), wav));
    ASSERT_TRUE(run.waitForEnd(30000));
    EXPECT_EQ(run.events,
              (Events{"connecting", "connected", "accepted", "progress", "failed", "finished"}));
    EXPECT_NEAR(run.progress, 1.0, 1e-9); // every byte went out
    ASSERT_TRUE(waitFor([&] { return !receiving.lines.isEmpty(); }, 5000));
    EXPECT_TRUE(
        receiving.lines[0].startsWith(QStringLiteral("Push of \"Lost\" from 127.0.0.1 failed")))
        << receiving.lines[0].toStdString();
}

TEST(PushSender, ABusyReceiverFailsThePushAtOnce)
{
    Receiving receiving;
    receiving.options.maxPushes = 0; // every connection is closed as it comes
    SenderRun run(receiving.senderOptions());
    QElapsedTimer clock;
    clock.start();
    run.start(receiving.job(QStringLiteral("Turned away"), patterned(5000)));
    ASSERT_TRUE(run.waitForEnd());
    EXPECT_LT(clock.elapsed(), 5000) << "long before the stall time";
    ASSERT_GE(run.events.size(), 3u);
    EXPECT_EQ(run.events.front(), "connecting");
    EXPECT_EQ(run.events[run.events.size() - 2], "failed");
    EXPECT_EQ(std::count(run.events.begin(), run.events.end(), "accepted"), 0);
    EXPECT_EQ(receiving.inbox(), QStringList());
}
