// SPDX-License-Identifier: GPL-3.0-or-later
// The push screen against a receiver written here on a raw socket and announced over the
// loopback-only avahi-daemon: the RELO/1.0 bytes on the wire, the answers the sender recognises,
// the screen codes of each way a push ends, and the receiver list's life cycle.
#include "PushTestSupport.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include "sharing/ExportController.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace sonavell::test;
using Code = RELO_BrowserController::ScreenCode;

namespace {

// A receiver on 127.0.0.1 announced as "_relo._tcp.", driven step by step by the test.
class RawReceiver : public NetService::Delegate
{
public:
    RawReceiver()
        : name(uniqueDeviceName(QStringLiteral("raw")))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        ::listen(m_listener, 4);
        m_service =
            std::make_unique<NetService>(QStringLiteral("local."), QStringLiteral("_relo._tcp."),
                                         name, int(ntohs(address.sin_port)));
        m_service->setDelegate(this);
        m_service->publish();
    }
    ~RawReceiver() override
    {
        closeConnection();
        ::close(m_listener);
    }
    void netServiceDidPublish(NetService*) override { published = true; }

    // Waits (running the event loop) for the sender's connection.
    bool accept(int timeoutMs = 10000)
    {
        return waitFor(
            [&] {
                pollfd p{m_listener, POLLIN, 0};
                if (::poll(&p, 1, 0) > 0)
                    fd = ::accept(m_listener, nullptr, nullptr);
                return fd >= 0;
            },
            timeoutMs);
    }
    // Reads until `count` bytes have come (or the time is up, or the sender closed).
    QByteArray read(qsizetype count, int timeoutMs = 10000)
    {
        QByteArray bytes;
        waitFor(
            [&] {
                char buffer[65536];
                pollfd p{fd, POLLIN, 0};
                while (bytes.size() < count && ::poll(&p, 1, 0) > 0) {
                    const ssize_t n = ::recv(
                        fd, buffer, std::min<qsizetype>(sizeof buffer, count - bytes.size()), 0);
                    if (n <= 0)
                        return true;
                    bytes.append(buffer, n);
                }
                return bytes.size() >= count;
            },
            timeoutMs);
        return bytes;
    }
    // True when the sender closed the connection within the time, with no further byte.
    bool closedBySender(int timeoutMs = 5000)
    {
        bool extra = false;
        const bool closed = waitFor(
            [&] {
                char c;
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 0) <= 0)
                    return false;
                const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
                extra = extra || n > 0;
                return n == 0 || (n < 0 && errno != EAGAIN);
            },
            timeoutMs);
        return closed && !extra;
    }
    void send(const QByteArray& bytes)
    {
        ::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
    }
    void closeConnection()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // Ends the connection with a reset, as a receiver that could not keep the data does.
    void resetConnection()
    {
        if (fd < 0)
            return;
        const linger abortive{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        closeConnection();
    }

    QString name;
    bool published = false;
    int fd = -1;

private:
    int m_listener = -1;
    std::unique_ptr<NetService> m_service;
};

QByteArray header(const QByteArray& name, int length)
{
    return "RELO/1.0\nContent-Type: audio/wav\nContent-Name: " + name +
           "\nContent-Length: " + QByteArray::number(length) + "\n";
}

// A screen whose stream pairs record their writes (and take at most `limit` bytes of each).
struct LoggedScreen
{
    explicit LoggedScreen(qint64 limit = 0)
        : fixture([this, limit] {
            RELO_BrowserController::Environment env;
            env.makeStreams = [this, limit](const StreamPair::Endpoint& endpoint) {
                auto streams = std::make_unique<RecordingStreams>(endpoint, limit);
                std::lock_guard lock(mutex);
                log = streams->log;
                return streams;
            };
            return env;
        }())
    {
    }
    std::vector<qint64> offered()
    {
        std::lock_guard lock(mutex);
        std::lock_guard inner(log->mutex);
        return log->offered;
    }
    std::mutex mutex;
    std::shared_ptr<RecordingStreams::Log> log;
    PushScreenFixture fixture;
};

} // namespace

TEST(Push, SendsTheHeaderThenTheFileInChunksOfFiveHundredTwelve)
{
    for (const int size : {1024, 1300}) {
        SCOPED_TRACE(size);
        RawReceiver receiver;
        LoggedScreen logged;
        PushScreenFixture& f = logged.fixture;
        const QByteArray wav = patterned(size);
        f.addRecording(QStringLiteral("Lecture 3"), wav);
        ASSERT_TRUE(f.appearAndSelect(receiver.name));

        f.screen->sendButton->click();
        ASSERT_TRUE(receiver.accept());
        const QByteArray expected = header("Lecture 3", size);
        EXPECT_EQ(receiver.read(expected.size()), expected);
        // Nothing follows the header until the answer.
        EXPECT_TRUE(receiver.read(1, 300).isEmpty());
        receiver.send("RELO/1.0\nAccept\n");
        EXPECT_EQ(receiver.read(size), wav);
        EXPECT_TRUE(receiver.closedBySender());
        receiver.closeConnection();
        ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kSent; }));

        const std::vector<qint64> chunks =
            size == 1024 ? std::vector<qint64>{512, 512} : std::vector<qint64>{512, 512, 276};
        std::vector<qint64> writes = logged.offered();
        ASSERT_FALSE(writes.empty());
        EXPECT_EQ(writes.front(), expected.size()); // the header in one write
        writes.erase(writes.begin());
        EXPECT_EQ(writes, chunks);
        EXPECT_EQ(f.milestones(), (std::vector<int>{Code::kConnecting, Code::kConnected,
                                                    Code::kSending, Code::kSent}));
        EXPECT_DOUBLE_EQ(f.screen->progressPercent(), 1.0);
        EXPECT_TRUE(f.screen->sendButton->isEnabled());
        EXPECT_TRUE(f.screen->doneButton->isEnabled());
        EXPECT_FALSE(f.screen->cancelButton->isEnabled());
        EXPECT_TRUE(f.screen->progressBar->isHidden());
    }
}

TEST(Push, BytesTheConnectionDidNotTakeAreSentBeforeTheNextChunk)
{
    RawReceiver receiver;
    LoggedScreen logged(100); // every write takes at most 100 bytes
    PushScreenFixture& f = logged.fixture;
    const QByteArray wav = patterned(1300);
    f.addRecording(QStringLiteral("Partial"), wav);
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    const QByteArray expected = header("Partial", 1300);
    EXPECT_EQ(receiver.read(expected.size()), expected);
    receiver.send("RELO/1.0\nAccept\n");
    EXPECT_EQ(receiver.read(1300), wav);
    EXPECT_TRUE(receiver.closedBySender());
    receiver.closeConnection();
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kSent; }));
    EXPECT_DOUBLE_EQ(f.screen->progressPercent(), 1.0);
}

TEST(Push, OnlyAWholeAnswerInOneReadCounts)
{
    RawReceiver receiver;
    PushScreenFixture f;
    const QByteArray wav = patterned(700);
    f.addRecording(QStringLiteral("Answers"), wav);
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Answers", 700).size());

    // An answer split over two reads, and one that names version 1.1, are both ignored.
    receiver.send("RELO/1.0\nAcc");
    pumpEvents(300);
    receiver.send("ept\n");
    pumpEvents(300);
    receiver.send("RELO/1.1\nAccept\n");
    pumpEvents(300);
    EXPECT_TRUE(receiver.read(1, 200).isEmpty());
    EXPECT_EQ(f.milestones(), (std::vector<int>{Code::kConnecting, Code::kConnected}));

    // Only the first 15 bytes are compared: "Accepted" accepts.
    receiver.send("RELO/1.0\nAccepted\n");
    EXPECT_EQ(receiver.read(700), wav);
    receiver.closeConnection();
    EXPECT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kSent; }));
}

TEST(Push, ARejectionShowsItsNoticeThenIdle)
{
    RawReceiver receiver;
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    f.addRecording(QStringLiteral("Unwanted"), patterned(2000));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Unwanted", 2000).size());
    receiver.send("RELO/1.0\nReject\n");
    EXPECT_TRUE(receiver.closedBySender());
    // The push is over at once, but the notice comes up and stays long enough to be read, and
    // Send waits for it.
    ASSERT_TRUE(window.comesUpAndStays(f.screen->rejectedLabel, 1000));
    EXPECT_FALSE(f.screen->sendButton->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !f.screen->isPushRunning() && f.codes.size() >= 4; }));
    EXPECT_EQ(f.codes, (std::vector<int>{Code::kConnecting, Code::kConnected, Code::kRejected,
                                         Code::kIdle}));
    EXPECT_TRUE(f.screen->rejectedLabel->isHidden());
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
}

TEST(Push, TheTransferShowsItsNoticesAndHowMuchIsOutThenTheSentNotice)
{
    RawReceiver receiver;
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    // Far more than the loopback's buffers hold, so the receiver sets the pace.
    constexpr int kSize = 24 * 1024 * 1024;
    const QByteArray wav = patterned(kSize);
    f.addRecording(QStringLiteral("Long take"), wav);
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Long take", kSize).size());
    receiver.send("RELO/1.0\nAccept\n");
    QByteArray arrived;
    double drawnBefore = 0.0;
    for (int part = 1; part <= 3; ++part) {
        SCOPED_TRACE(part);
        arrived += receiver.read(kSize / 6);
        pumpEvents(200);
        const QImage frame = window.frame();
        EXPECT_TRUE(window.showsText(frame, f.screen->connectedLabel));
        EXPECT_TRUE(window.showsText(frame, f.screen->acceptedLabel));
        EXPECT_TRUE(window.showsText(frame, f.screen->sendingLabel));
        EXPECT_TRUE(window.showsProgress(frame, f.screen->progressBar));
        // The bar grows as the receiver takes more.
        EXPECT_GT(f.screen->progressBar->progress(), drawnBefore);
        EXPECT_LT(f.screen->progressBar->progress(), 1.0f);
        drawnBefore = f.screen->progressBar->progress();
    }
    arrived += receiver.read(kSize - arrived.size(), 20000);
    EXPECT_EQ(arrived, wav);
    receiver.closeConnection();
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kSent; }));
    const QImage frame = window.frame();
    EXPECT_TRUE(window.showsText(frame, f.screen->sentLabel));
    EXPECT_EQ(f.screen->sentLabel->text(),
              QStringLiteral("Sent \u201cLong take\u201d to %1.").arg(receiver.name));
    EXPECT_TRUE(f.screen->progressBar->isHidden());
    EXPECT_TRUE(f.screen->sendingLabel->isHidden());
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
}

TEST(Push, AShortPushShowsItsTransferBeforeTheSentNotice)
{
    RawReceiver receiver;
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    f.addRecording(QStringLiteral("Quick"), patterned(1024));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Quick", 1024).size());
    receiver.send("RELO/1.0\nAccept\n");
    EXPECT_EQ(receiver.read(1024).size(), 1024);
    receiver.closeConnection();
    // The whole file is out within milliseconds; the frames still show the transfer for a while
    // (the bar full), and then the sent notice.
    int transferFrames = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && (f.codes.empty() || f.codes.back() != Code::kSent)) {
        const QImage frame = window.frame();
        if (!f.codes.empty() &&
            (f.codes.back() == Code::kSending || f.codes.back() == Code::kProgress)) {
            EXPECT_TRUE(window.showsText(frame, f.screen->sendingLabel));
            EXPECT_TRUE(window.showsProgress(frame, f.screen->progressBar));
            ++transferFrames;
        }
        pumpEvents(50);
    }
    EXPECT_GE(transferFrames, 5);
    ASSERT_FALSE(f.codes.empty());
    EXPECT_EQ(f.codes.back(), Code::kSent);
    EXPECT_TRUE(window.showsText(window.frame(), f.screen->sentLabel));
}

TEST(Push, IsSentOnlyWhenTheReceiverClosesItsSideAfterTheLastByte)
{
    // After the last byte the sender closes its writing side and waits: the receiver's orderly
    // close is the only "sent"; a reset, or no close within the close time, is a failure.
    enum class Ending
    {
        Close,
        Reset,
        Silence
    };
    for (const Ending ending : {Ending::Close, Ending::Reset, Ending::Silence}) {
        SCOPED_TRACE(int(ending));
        RELO_BrowserController::Environment env;
        env.closeTimeout = std::chrono::milliseconds(800);
        PushScreenFixture f(env);
        RawReceiver receiver;
        const QByteArray wav = patterned(3000);
        f.addRecording(QStringLiteral("Confirmed"), wav);
        ASSERT_TRUE(f.appearAndSelect(receiver.name));
        f.screen->sendButton->click();
        ASSERT_TRUE(receiver.accept());
        receiver.read(header("Confirmed", 3000).size());
        receiver.send("RELO/1.0\nAccept\n");
        // What the receiver says after its answer is read and dropped, not left to block its end.
        receiver.send("noise after the answer\n");
        EXPECT_EQ(receiver.read(3000), wav);
        EXPECT_TRUE(receiver.closedBySender()); // the half-close: no more data will come
        pumpEvents(300);
        EXPECT_TRUE(f.screen->isPushRunning());
        ASSERT_FALSE(f.codes.empty());
        EXPECT_NE(f.codes.back(), Code::kSent);
        EXPECT_FALSE(f.screen->doneButton->isEnabled());

        QElapsedTimer clock;
        clock.start();
        if (ending == Ending::Close)
            receiver.closeConnection();
        else if (ending == Ending::Reset)
            receiver.resetConnection();
        const int expected = ending == Ending::Close ? Code::kSent : Code::kFailed;
        ASSERT_TRUE(waitFor(
            [&] {
                return !f.screen->isPushRunning() && !f.codes.empty() && f.codes.back() == expected;
            },
            5000));
        if (ending == Ending::Silence)
            EXPECT_GE(clock.elapsed(), 400); // the close time counts from the last byte
        else
            EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(f.milestones(), (std::vector<int>{Code::kConnecting, Code::kConnected,
                                                    Code::kSending, expected}));
        EXPECT_TRUE(f.screen->sendButton->isEnabled());
    }
}

// Starts a push of a recording far larger than the loopback's buffers to `receiver` and waits
// until the transfer is under way.
void startLongPush(PushScreenFixture& f, RawReceiver& receiver, int size)
{
    f.addRecording(QStringLiteral("Long take"), patterned(size));
    f.screen->curRecording = f.recording;
    ASSERT_TRUE(f.select(receiver.name));
    f.codes.clear();
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Long take", size).size());
    receiver.send("RELO/1.0\nAccept\n");
    EXPECT_EQ(receiver.read(64 * 1024).size(), 64 * 1024);
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() >= Code::kSending; }));
}

TEST(Push, EscapeDuringAPushIsCancelAndTheScreenStays)
{
    RawReceiver receiver;
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    // With no push under way, the screen lets Escape close it.
    EXPECT_FALSE(f.screen->interceptBack());

    constexpr int kBig = 32 * 1024 * 1024;
    startLongPush(f, receiver, kBig);
    EXPECT_TRUE(f.screen->interceptBack());
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kIdle; }, 2000));
    EXPECT_EQ(window.exportScreen->modalViewController(), f.screen.get());
    EXPECT_LT(receiver.read(kBig, 5000).size(), kBig); // the connection ends short
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
    EXPECT_TRUE(f.screen->doneButton->isEnabled());
    EXPECT_FALSE(f.screen->cancelButton->isEnabled());
    EXPECT_TRUE(f.screen->progressBar->isHidden());
    EXPECT_TRUE(f.screen->sendingLabel->isHidden());
    EXPECT_FALSE(f.screen->interceptBack());
}

TEST(Push, LeavingTheScreenMidPushCancelsItAndItComesBackUsable)
{
    RawReceiver receiver;
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    constexpr int kBig = 32 * 1024 * 1024;
    startLongPush(f, receiver, kBig);
    ASSERT_GT(f.screen->progressBar->progress(), 0.0f);

    // Dismissed by its presenter in the middle: the push ends with the screen, which settles
    // at once into the idle state; nothing of the push arrives later.
    window.exportScreen->puntRELO_Browser();
    EXPECT_FALSE(f.screen->isPushRunning());
    ASSERT_FALSE(f.codes.empty());
    EXPECT_EQ(f.codes.back(), Code::kIdle);
    EXPECT_LT(receiver.read(kBig, 5000).size(), kBig);
    receiver.closeConnection();
    const std::vector<int> codesWhenLeft = f.codes;
    pumpEvents(1000);
    EXPECT_EQ(f.codes, codesWhenLeft);

    // Back on the screen: no stale notice or progress, every button usable again.
    window.exportScreen->postRELO_Browser();
    EXPECT_TRUE(f.screen->progressBar->isHidden());
    EXPECT_EQ(f.screen->progressBar->progress(), 0.0f);
    EXPECT_TRUE(f.screen->connectedLabel->isHidden());
    EXPECT_TRUE(f.screen->sendingLabel->isHidden());
    EXPECT_TRUE(f.screen->doneButton->isEnabled());
    EXPECT_FALSE(f.screen->cancelButton->isEnabled());
    const QByteArray small = patterned(2000);
    f.addRecording(QStringLiteral("Again"), small);
    f.screen->curRecording = f.recording;
    ASSERT_TRUE(f.select(receiver.name));
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
    f.codes.clear();
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    EXPECT_EQ(receiver.read(header("Again", 2000).size()), header("Again", 2000));
    receiver.send("RELO/1.0\nAccept\n");
    EXPECT_EQ(receiver.read(2000), small);
    receiver.closeConnection();
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kSent; }));
}

TEST(Push, TheScreenNamesTheMemoItSends)
{
    PushScreenFixture f;
    PushWindow window(f.screen.get());
    EXPECT_EQ(f.screen->memoLabel->text(), QStringLiteral("No memo is chosen."));
    EXPECT_FALSE(f.screen->memoLabel->accessibleName().isEmpty());

    // Names are shown as typed: a placeholder stays, markup is not read as such.
    const QString name = QStringLiteral("Talk %1 <b>x</b>");
    f.addRecording(name, patterned(600));
    window.exportScreen->puntRELO_Browser();
    window.exportScreen->postRELO_Browser();
    EXPECT_EQ(f.screen->memoLabel->text(), QStringLiteral("Memo: ") + name);
    EXPECT_EQ(f.screen->memoLabel->textFormat(), Qt::PlainText);
    EXPECT_TRUE(window.showsText(window.frame(), f.screen->memoLabel));
    // Above the buttons, where it is read before Send is pressed.
    EXPECT_LE(window.boxOf(f.screen->memoLabel).bottom(), window.boxOf(f.screen->sendButton).top());
    for (const QLabel* notice : {f.screen->connectingLabel, f.screen->connectedLabel,
                                 f.screen->sendingLabel, f.screen->sentLabel})
        EXPECT_EQ(notice->textFormat(), Qt::PlainText);
}

TEST(Push, CancelEndsThePushWithinASecond)
{
    RawReceiver receiver;
    PushScreenFixture f;
    f.addRecording(QStringLiteral("Cancelled"), patterned(2000));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Cancelled", 2000).size());
    ASSERT_TRUE(waitFor([&] { return f.codes.size() >= 2; }));
    EXPECT_TRUE(f.screen->cancelButton->isEnabled());
    EXPECT_FALSE(f.screen->sendButton->isEnabled());
    EXPECT_FALSE(f.screen->doneButton->isEnabled());
    QElapsedTimer timer;
    timer.start();
    f.screen->cancelButton->click();
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kIdle; }, 2000));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(receiver.closedBySender());
    EXPECT_TRUE(f.screen->connectedLabel->isHidden());
}

TEST(Push, AReceiverThatGoesAwayOrFallsSilentFailsThePush)
{
    RELO_BrowserController::Environment env;
    env.stallTimeout = std::chrono::milliseconds(600);
    PushScreenFixture f(env);
    PushWindow window(f.screen.get());
    RawReceiver receiver;
    // Larger than what the loopback's buffers can hold, so the push cannot finish early.
    constexpr int kBig = 32 * 1024 * 1024;
    f.addRecording(QStringLiteral("Big"), patterned(kBig));
    ASSERT_TRUE(f.appearAndSelect(receiver.name));

    // Never answered: the push gives up after the stall time.
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    receiver.read(header("Big", kBig).size());
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kFailed; }, 5000));
    EXPECT_TRUE(receiver.closedBySender());
    EXPECT_TRUE(window.showsText(window.frame(), f.screen->failedLabel));
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
    receiver.closeConnection();

    // Accepted, then the receiver closes mid-transfer: failed, not a push in progress. The new
    // attempt takes the old notice down as it starts.
    f.codes.clear();
    f.screen->sendButton->click();
    EXPECT_TRUE(f.screen->failedLabel->isHidden());
    ASSERT_TRUE(receiver.accept());
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty(); }));
    EXPECT_TRUE(f.screen->failedLabel->isHidden());
    receiver.read(header("Big", kBig).size());
    receiver.send("RELO/1.0\nAccept\n");
    receiver.read(4096);
    receiver.closeConnection();
    ASSERT_TRUE(waitFor([&] { return !f.codes.empty() && f.codes.back() == Code::kFailed; }, 5000));
    EXPECT_LT(f.screen->progressPercent(), 1.0);
    EXPECT_TRUE(window.showsText(window.frame(), f.screen->failedLabel));
    EXPECT_TRUE(f.screen->sentLabel->isHidden());
}

TEST(Push, EachPushSendsTheFileOfTheRecordingItNames)
{
    PushScreenFixture f;
    // With no receiver listed, Send is disabled, and a push started anyway shows nothing and
    // leaves the screen as it was.
    f.addRecording(QStringLiteral("First"), QByteArray(600, 'A'));
    f.screen->curRecording = f.recording;
    EXPECT_FALSE(f.screen->sendButton->isEnabled());
    f.screen->pushIt();
    EXPECT_TRUE(waitFor([&] { return !f.screen->isPushRunning(); }, 2000));
    pumpEvents(200);
    EXPECT_TRUE(f.codes.empty());
    EXPECT_TRUE(f.screen->connectingLabel->isHidden());
    EXPECT_FALSE(f.screen->sendButton->isEnabled());

    // The next push, for another recording, sends that recording's file.
    RawReceiver receiver;
    const QByteArray second(900, 'B');
    f.addRecording(QStringLiteral("Second"), second);
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    f.screen->sendButton->click();
    ASSERT_TRUE(receiver.accept());
    EXPECT_EQ(receiver.read(header("Second", 900).size()), header("Second", 900));
    receiver.send("RELO/1.0\nAccept\n");
    EXPECT_EQ(receiver.read(900), second);
}

TEST(Push, SendIsEnabledOnlyWhileAReceiverIsSelected)
{
    PushScreenFixture f;
    f.addRecording(QStringLiteral("Memo"), patterned(600));
    // Nothing listed yet: Send cannot be pressed.
    EXPECT_EQ(f.screen->receiverPicker->numberOfRowsInComponent(0), 0);
    EXPECT_FALSE(f.screen->sendButton->isEnabled());
    f.screen->sendButton->click();
    EXPECT_FALSE(f.screen->isPushRunning());

    RawReceiver receiver;
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    EXPECT_TRUE(f.screen->sendButton->isEnabled());

    // Leaving the screen empties the list: Send is disabled again until a receiver turns up.
    f.screen->viewWillDisappear(false);
    EXPECT_FALSE(f.screen->sendButton->isEnabled());
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    EXPECT_TRUE(f.screen->sendButton->isEnabled());
}

TEST(Push, LeavingAndReturningEmptiesTheListAndSearchesAfresh)
{
    RawReceiver receiver;
    PushScreenFixture f;
    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    EXPECT_TRUE(f.screen->isBrowsing());

    f.screen->viewWillDisappear(false);
    EXPECT_FALSE(f.screen->isBrowsing());
    EXPECT_TRUE(f.screen->services().empty());
    EXPECT_EQ(f.screen->receiverPicker->numberOfRowsInComponent(0), 0);

    ASSERT_TRUE(f.appearAndSelect(receiver.name));
    EXPECT_TRUE(f.screen->isBrowsing());
    // Each receiver is listed once, however many ways it is seen.
    int rows = 0;
    for (const auto& service : f.screen->services())
        rows += service->name() == receiver.name;
    EXPECT_EQ(rows, 1);
}

TEST(Push, TheChoiceStaysOnTheSameReceiverWhenAnotherGoes)
{
    // Found in this order, the chosen second one moves up a row when the first goes.
    auto first = std::make_unique<RawReceiver>();
    PushScreenFixture f;
    ASSERT_TRUE(f.appearAndSelect(first->name));
    RawReceiver second;
    ASSERT_TRUE(f.select(second.name));
    RawReceiver third;
    ASSERT_TRUE(f.select(third.name));
    ASSERT_TRUE(f.select(second.name));
    const QString gone = first->name;
    first.reset(); // withdraws its service
    ASSERT_TRUE(waitFor([&] {
        for (const auto& service : f.screen->services())
            if (service->name() == gone)
                return false;
        return true;
    }));
    const int row = f.screen->receiverPicker->selectedRowInComponent(0);
    EXPECT_EQ(f.screen->receiverPicker->titleForRow(row, 0), second.name);
}

TEST(Push, HeaderCarriesTheNameOnOneLine)
{
    EXPECT_EQ(PushSender::reloHeader(QStringLiteral("Lecture 3"), 1024), header("Lecture 3", 1024));
    EXPECT_EQ(PushSender::reloHeader(QStringLiteral("Caf\u00e9"), 5), header("Caf\xc3\xa9", 5));
    EXPECT_EQ(PushSender::reloHeader(QStringLiteral("a\nContent-Length: 1\r"), 7),
              header("a Content-Length: 1 ", 7));
    // A placeholder in the name is not filled with the length.
    EXPECT_EQ(PushSender::reloHeader(QStringLiteral("Talk %1"), 1024), header("Talk %1", 1024));
    EXPECT_EQ(PushSender::reloHeader(QStringLiteral("%2%1"), 5), header("%2%1", 5));
}

TEST(Push, TheExportScreenPresentsItAndDoneDismissesIt)
{
    ExportController exportScreen(nullptr);
    exportScreen.viewWillAppear(false);
    PushScreenFixture f;
    EXPECT_FALSE(exportScreen.pushButton->isEnabled());
    exportScreen.setReloBrowserController(f.screen.get());
    ASSERT_TRUE(exportScreen.pushButton->isEnabled());

    exportScreen.pushButton->click();
    EXPECT_EQ(exportScreen.modalViewController(), f.screen.get());
    EXPECT_FALSE(f.screen->isHidden());
    EXPECT_TRUE(f.screen->isBrowsing());
    EXPECT_FALSE(exportScreen.progressTimer->isActive()); // the export screen is covered

    f.screen->doneButton->click();
    EXPECT_EQ(exportScreen.modalViewController(), nullptr);
    EXPECT_TRUE(f.screen->isHidden());
    EXPECT_FALSE(f.screen->isBrowsing());
    EXPECT_TRUE(exportScreen.progressTimer->isActive());
}
