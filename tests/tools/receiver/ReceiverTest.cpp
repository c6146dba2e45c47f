// SPDX-License-Identifier: GPL-3.0-or-later
// sonavell-receive's side of a push, driven in-process over 127.0.0.1 without announcing: the
// header it reads, the pushes it refuses, and that only a complete transfer leaves a file.
#include "ContentName.h"
#include "PushReceiver.h"
#include "ReloHeader.h"
#include "TerminalText.h"

#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QStorageInfo>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using namespace sonavell::test;

TEST(ContentName, KeepsTheFileInsideTheFolder)
{
    EXPECT_EQ(ContentName::safeFileName(QStringLiteral("Lecture 3")), QStringLiteral("Lecture 3"));
    EXPECT_EQ(ContentName::safeFileName(QStringLiteral("a/b\\c")), QStringLiteral("a_b_c"));
    EXPECT_EQ(ContentName::safeFileName(QStringLiteral(" ..  .x")), QStringLiteral("x"));
    EXPECT_EQ(ContentName::safeFileName(QStringLiteral("a\u0000b\u001bc\u007fd\u200ee")),
              QStringLiteral("abcde"));
    for (const char* empty : {"", ".", "..", " . ", "\x01\x02"})
        EXPECT_EQ(ContentName::safeFileName(QString::fromLatin1(empty)), QStringLiteral("Memo"));
    // Cut at 200 bytes of UTF-8 without splitting a character: 66 three-byte characters plus
    // one would be 201 bytes; a four-byte character (two UTF-16 units) stays whole or goes.
    const QString threeByte(70, QChar(0x20ac));
    EXPECT_EQ(ContentName::safeFileName(threeByte), QString(66, QChar(0x20ac)));
    const QString emoji = QString(49, QLatin1Char('a')) + QString(50, QChar(0x20ac)).left(49) +
                          QString::fromUtf8("\xf0\x9f\x8e\xa4");
    const QByteArray cut = ContentName::safeFileName(emoji).toUtf8();
    EXPECT_LE(cut.size(), ContentName::kMaxBytes);
    EXPECT_EQ(QString::fromUtf8(cut).toUtf8(), cut);
}

TEST(ReloHeader, ReadsTheFieldsAndKnowsWhenItIsComplete)
{
    ReloHeader header;
    const QByteArray full =
        "RELO/1.0\nContent-Type: audio/wav\nContent-Name: Lecture 3\nContent-Length: 1300\n";
    for (qsizetype n = 0; n < full.size(); ++n)
        EXPECT_EQ(header.parse(full.left(n)), ReloHeader::Status::Incomplete) << n;
    ASSERT_EQ(header.parse(full), ReloHeader::Status::Complete);
    EXPECT_EQ(header.contentType(), QStringLiteral("audio/wav"));
    EXPECT_EQ(header.contentName(), QStringLiteral("Lecture 3"));
    EXPECT_EQ(header.contentLength(), 1300);
    EXPECT_EQ(header.size(), full.size());

    for (const QByteArray& length : {QByteArray("-5"), QByteArray("12a"), QByteArray(""),
                                     QByteArray("+7"), QByteArray("9999999999999999999")}) {
        ASSERT_EQ(header.parse("RELO/1.0\nContent-Length: " + length + "\n"),
                  ReloHeader::Status::Complete);
        EXPECT_EQ(header.contentLength(), -1) << length.constData();
    }
    EXPECT_EQ(header.parse("GET / HTTP/1.1\r\n"), ReloHeader::Status::Invalid);
    EXPECT_EQ(header.parse("RELO/1.1\n"), ReloHeader::Status::Invalid);
    EXPECT_EQ(header.parse("RELO/1.0\nContent-Name: a\nContent-Name: b\n"),
              ReloHeader::Status::Invalid);
    EXPECT_EQ(header.parse("RELO/1.0\nContent-Name: " + QByteArray(17000, 'n')),
              ReloHeader::Status::Invalid);
}

namespace {

// A receiver on 127.0.0.1 that accepts everything up to 1000 bytes, with a short stall time;
// `adjust` changes its options first. In ask mode the answers come from `answer()`.
class ReceiverFixture
{
public:
    explicit ReceiverFixture(const std::function<void(PushReceiver::Options&)>& adjust = {})
    {
        PushReceiver::Options options;
        options.name = QStringLiteral("test");
        options.folder = scratch.file(QStringLiteral("inbox"));
        options.mode = PushReceiver::Mode::Accept;
        options.maxSize = 1000;
        options.address = QHostAddress::LocalHost;
        options.stallTimeout = std::chrono::milliseconds(500);
        options.announce = false;
        EXPECT_EQ(::pipe(m_answers), 0);
        options.answerFd = m_answers[0];
        if (adjust)
            adjust(options);
        folder = options.folder;
        receiver = std::make_unique<PushReceiver>(options);
        receiver->output = [this](const QString& line) { lines << line; };
        receiver->prompt = [this](const QString& text) { prompts << text; };
        EXPECT_TRUE(receiver->start());
    }
    ~ReceiverFixture()
    {
        receiver.reset();
        ::close(m_answers[0]);
        ::close(m_answers[1]);
    }

    void answer(const QByteArray& text) const
    {
        EXPECT_EQ(::write(m_answers[1], text.constData(), size_t(text.size())), text.size());
    }

    // A connection that has sent `head`, left open.
    std::unique_ptr<QTcpSocket> openConnection(const QByteArray& head = {}) const
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, receiver->port());
        EXPECT_TRUE(socket->waitForConnected(2000));
        if (!head.isEmpty())
            socket->write(head);
        return socket;
    }

    enum class After
    {
        Close,       // the sender closes once its data is out
        WaitForClose // the sender stays and waits for the receiver to close
    };

    // Sends the header on a new connection, then (once accepted) the data; returns the answer.
    // `closed` tells whether the receiver closed the connection within the time.
    QByteArray push(const QByteArray& head, const QByteArray& data = {},
                    After after = After::WaitForClose, bool* closed = nullptr)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, receiver->port());
        EXPECT_TRUE(socket.waitForConnected(2000));
        socket.write(head);
        QByteArray answer;
        auto gone = [&] { return socket.state() == QAbstractSocket::UnconnectedState; };
        waitFor(
            [&] {
                answer += socket.readAll();
                return answer.size() >= 16 || gone();
            },
            2000);
        if (answer == "RELO/1.0\nAccept\n" && !data.isEmpty())
            socket.write(data);
        if (after == After::Close) {
            socket.waitForBytesWritten(2000);
            socket.disconnectFromHost();
        }
        waitFor(
            [&] {
                answer += socket.readAll();
                return gone();
            },
            2000);
        if (closed)
            *closed = gone();
        return answer;
    }

    QStringList inbox() const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    ScratchDir scratch;
    QString folder;
    std::unique_ptr<PushReceiver> receiver;
    QStringList lines;
    QStringList prompts;

private:
    int m_answers[2] = {-1, -1};
};

bool closed(const QTcpSocket& socket)
{
    return socket.state() == QAbstractSocket::UnconnectedState;
}

// What the receiver answered on `socket` once it has answered or closed.
QByteArray answerOn(QTcpSocket& socket)
{
    QByteArray answer;
    waitFor(
        [&] {
            answer += socket.readAll();
            return answer.size() >= 16 || closed(socket);
        },
        5000);
    return answer;
}

QByteArray header(const QByteArray& name, const QByteArray& length,
                  const QByteArray& type = "audio/wav")
{
    return "RELO/1.0\nContent-Type: " + type + "\nContent-Name: " + name +
           "\nContent-Length: " + length + "\n";
}

} // namespace

TEST(Receiver, RefusesWhatItCannotTake)
{
    ReceiverFixture f;
    for (const QByteArray& length :
         {QByteArray("abc"), QByteArray("-5"), QByteArray("1001"), QByteArray("0")})
        EXPECT_EQ(f.push(header("x", length)), "RELO/1.0\nReject\n") << length.constData();
    EXPECT_EQ(f.push(header("x", "10", "text/plain")), "RELO/1.0\nReject\n");
    ASSERT_EQ(f.lines.size(), 5);
    EXPECT_EQ(f.lines[2], QStringLiteral("Rejected \"x\" from 127.0.0.1: 1001 bytes is more than "
                                         "the limit of 1000 bytes"));

    // A header that never ends, and a sender that says nothing, are cut off without an answer.
    bool closed = false;
    EXPECT_EQ(f.push("RELO/1.0\nContent-Name: " + QByteArray(20000, 'n'), {},
                     ReceiverFixture::After::WaitForClose, &closed),
              "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(f.push("RELO/1.0\n", {}, ReceiverFixture::After::WaitForClose, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(f.inbox(), QStringList());
}

TEST(Receiver, OnlyExactlyTheAnnouncedBytesMakeAFile)
{
    using After = ReceiverFixture::After;
    ReceiverFixture f;
    const QByteArray accept = "RELO/1.0\nAccept\n";
    // Fewer bytes than announced, then the sender closes or falls silent: nothing is kept.
    EXPECT_EQ(f.push(header("short", "100"), QByteArray(60, 's'), After::Close), accept);
    bool closed = false;
    EXPECT_EQ(f.push(header("silent", "100"), QByteArray(60, 's'), After::WaitForClose, &closed),
              accept);
    EXPECT_TRUE(closed);
    // More bytes than announced, or data before the answer: nothing is kept either.
    EXPECT_EQ(f.push(header("long", "100"), QByteArray(101, 'l')), accept);
    EXPECT_EQ(f.push(header("eager", "4") + "data"), "");
    // Exactly the announced bytes: saved under the announced name.
    EXPECT_EQ(f.push(header("Lecture 3", "100"), QByteArray(100, 'k'), After::Close), accept);
    ASSERT_TRUE(waitFor([&] { return f.lines.size() >= 5; }, 3000));
    EXPECT_TRUE(f.lines[0].startsWith(
        QStringLiteral("Push of \"short\" from 127.0.0.1 broke off after 60 of 100 bytes")));
    EXPECT_TRUE(f.lines[1].startsWith(QStringLiteral("Push of \"silent\" from 127.0.0.1 stalled")));
    EXPECT_TRUE(f.lines[2].contains(QStringLiteral("more than the announced 100 bytes")));
    EXPECT_TRUE(f.lines[3].contains(QStringLiteral("data arrived before the answer")));
    EXPECT_TRUE(
        f.lines[4].startsWith(QStringLiteral("Saved \"Lecture 3\" from 127.0.0.1 (100 bytes)")));
    EXPECT_EQ(f.inbox(), QStringList{QStringLiteral("Lecture 3.wav")});
    QFile saved(f.scratch.file(QStringLiteral("inbox/Lecture 3.wav")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray(100, 'k'));
}

TEST(TerminalText, ShowsWhatCouldSteerATerminalAsEscapes)
{
    EXPECT_EQ(TerminalText::escaped(QString::fromUtf8("Lecture 3 – Åsa 🎤")),
              QString::fromUtf8("Lecture 3 – Åsa 🎤"));
    EXPECT_EQ(TerminalText::escaped(QString::fromUtf8("a\x1b[2Kb\rc\nd\te\x7f")),
              QStringLiteral("a\\x1b[2Kb\\rc\\nd\\te\\x7f"));
    EXPECT_EQ(TerminalText::escaped(QString(QChar(0)) + QStringLiteral("cut")),
              QStringLiteral("\\0cut"));
    // C1 controls, a direction override, a line separator, a format character beyond the BMP.
    EXPECT_EQ(TerminalText::escaped(QString::fromUtf8("\xc2\x9b"
                                                      "1A\xe2\x80\xae"
                                                      "gpj\xe2\x80\xa8\xf3\xa0\x80\x81")),
              QStringLiteral("\\u009b1A\\u202egpj\\u2028\\U000e0001"));
    // The quotes around a name cannot be closed from inside it.
    EXPECT_EQ(TerminalText::escaped(QStringLiteral("x\" from 10.0.0.9 \\")),
              QStringLiteral("x\\\" from 10.0.0.9 \\\\"));
}

TEST(Receiver, ShowsWhatThePeerSentEscaped)
{
    // A name that would redraw the line as a push from someone else, hide its tail from the
    // log, and (through %3) have a number put into it.
    const QByteArray name = QByteArray("\x1b[1A\x1b[2K\rPush from 10.0.0.9: \"Fake\"") +
                            QByteArray(1, '\0') + "hidden %3";
    const QString shown =
        QStringLiteral("\"\\x1b[1A\\x1b[2K\\rPush from 10.0.0.9: \\\"Fake\\\"\\0hidden %3\"");
    auto noControls = [](const QString& text) {
        return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; });
    };
    {
        ReceiverFixture f;
        EXPECT_EQ(f.push(header(name, "4"), "RIFF", ReceiverFixture::After::Close),
                  "RELO/1.0\nAccept\n");
        EXPECT_EQ(f.push(header("x", "4", "audio/wav\x1b]0;owned\x07")), "RELO/1.0\nReject\n");
        ASSERT_TRUE(waitFor([&] { return f.lines.size() >= 2; }, 3000));
        EXPECT_TRUE(f.lines[0].startsWith(
            QStringLiteral("Saved %1 from 127.0.0.1 (4 bytes) as ").arg(shown)))
            << f.lines[0].toStdString();
        EXPECT_EQ(f.lines[1], QStringLiteral("Rejected \"x\" from 127.0.0.1: not a WAV recording "
                                             "(Content-Type \"audio/wav\\x1b]0;owned\\x07\")"));
        for (const QString& line : f.lines)
            EXPECT_TRUE(noControls(line)) << line.toStdString();
        // The file name follows its own rules: control characters dropped.
        EXPECT_EQ(f.inbox(), QStringList{QStringLiteral("[1A[2KPush from 10.0.0.9: \"Fake\"hidden "
                                                        "%3.wav")});
    }
    {
        // The question in ask mode.
        ReceiverFixture f(
            [](PushReceiver::Options& options) { options.mode = PushReceiver::Mode::Ask; });
        auto socket = f.openConnection(header(name, "4"));
        ASSERT_TRUE(waitFor([&] { return !f.prompts.isEmpty(); }, 3000));
        EXPECT_EQ(f.prompts[0],
                  QStringLiteral("Push from 127.0.0.1: %1 (4 bytes). Accept? [y/N] ").arg(shown));
        f.answer("n\n");
        EXPECT_EQ(answerOn(*socket), "RELO/1.0\nReject\n");
    }
}

TEST(Receiver, RefusesAContentLengthEndedByCarriageReturnClearly)
{
    // The sender ends every header line with a line feed alone; a CR LF Content-Length line is
    // refused with that reason, not read as a number nor shown with a raw CR.
    ReloHeader parsed;
    ASSERT_EQ(parsed.parse(header("x", "4\r")), ReloHeader::Status::Complete);
    EXPECT_EQ(parsed.contentLength(), -1);
    ReceiverFixture f;
    EXPECT_EQ(f.push(header("x", "4\r"), "RIFF"), "RELO/1.0\nReject\n");
    ASSERT_EQ(f.lines.size(), 1);
    EXPECT_EQ(f.lines[0], QStringLiteral("Rejected \"x\" from 127.0.0.1: Content-Length \"4\\r\" "
                                         "ends in a carriage return; header lines end in a line "
                                         "feed alone"));
    EXPECT_EQ(f.inbox(), QStringList());
}

TEST(Receiver, AsksOneAtATimeAndRejectsWhatIsNotAnsweredInTime)
{
    ReceiverFixture f([](PushReceiver::Options& options) {
        options.mode = PushReceiver::Mode::Ask;
        options.answerTimeout = std::chrono::milliseconds(400);
    });
    auto first = f.openConnection(header("first", "4"));
    ASSERT_TRUE(waitFor([&] { return f.prompts.size() == 1; }, 3000));
    auto second = f.openConnection(header("second", "4"));
    EXPECT_EQ(answerOn(*first), "RELO/1.0\nReject\n");
    EXPECT_EQ(answerOn(*second), "RELO/1.0\nReject\n");
    ASSERT_TRUE(waitFor([&] { return f.lines.size() == 2; }, 3000));
    for (const QString& line : f.lines)
        EXPECT_TRUE(line.endsWith(QStringLiteral(": no answer within 0.4 seconds")))
            << line.toStdString();
    // One question at a time: each ends (with a line break) before the next is asked.
    ASSERT_EQ(f.prompts.size(), 4);
    EXPECT_TRUE(f.prompts[0].contains(QStringLiteral("\"first\"")));
    EXPECT_EQ(f.prompts[1], QStringLiteral("\n"));
    EXPECT_TRUE(f.prompts[2].contains(QStringLiteral("\"second\"")));
    EXPECT_EQ(f.prompts[3], QStringLiteral("\n"));

    // An answer in time still counts.
    auto third = f.openConnection(header("third", "4"));
    ASSERT_TRUE(waitFor([&] { return f.prompts.size() == 5; }, 3000));
    f.answer("y\n");
    ASSERT_EQ(answerOn(*third), "RELO/1.0\nAccept\n");
    third->write("RIFF");
    third->waitForBytesWritten(2000);
    third->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return f.lines.size() == 3; }, 3000));
    EXPECT_TRUE(f.lines[2].startsWith(QStringLiteral("Saved \"third\"")));
}

TEST(Receiver, HoldsABoundedNumberOfConnectionsAndTimesTheWholeHeader)
{
    {
        ReceiverFixture f([](PushReceiver::Options& options) {
            options.maxPushes = 3;
            options.stallTimeout = std::chrono::milliseconds(3000);
        });
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < 5; ++i)
            sockets.push_back(f.openConnection("RELO/1.0\n"));
        auto count = [&] {
            return std::count_if(sockets.begin(), sockets.end(),
                                 [](const auto& socket) { return closed(*socket); });
        };
        EXPECT_TRUE(waitFor([&] { return count() == 2; }, 2000));
        pumpEvents(100);
        EXPECT_EQ(count(), 2);
        EXPECT_EQ(f.lines, QStringList{QStringLiteral(
                               "Refusing connections: 3 pushes are under way already")});
        // Room again once they are gone.
        sockets.clear();
        ASSERT_TRUE(waitFor([&] { return f.lines.size() == 4; }, 3000));
        EXPECT_EQ(f.push(header("after", "4"), "RIFF", ReceiverFixture::After::Close),
                  "RELO/1.0\nAccept\n");
    }
    {
        // A header sent a byte at a time, every 100 ms, never resting as long as the stall
        // time: it is cut off when the stall time has passed since the connection began.
        ReceiverFixture f;
        auto socket = f.openConnection("RELO/1.0\nContent-Name: ");
        QTimer drip;
        QObject::connect(&drip, &QTimer::timeout, [&] { socket->write("n"); });
        drip.start(100);
        EXPECT_TRUE(waitFor([&] { return closed(*socket); }, 3000));
        drip.stop();
        ASSERT_FALSE(f.lines.isEmpty());
        EXPECT_EQ(f.lines.last(),
                  QStringLiteral("Connection from 127.0.0.1 closed: no complete header in time"));
    }
}

TEST(Receiver, PausesAcceptingWhileOutOfFileDescriptors)
{
    ReceiverFixture f([](PushReceiver::Options& options) {
        options.acceptPause = std::chrono::milliseconds(200);
        options.stallTimeout = std::chrono::milliseconds(5000);
    });
    // Connections the system has completed, not yet taken by the receiver.
    std::vector<std::unique_ptr<QTcpSocket>> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.push_back(f.openConnection());
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &previous), 0);
    rlimit none = previous;
    none.rlim_cur = rlim_t(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    pumpEvents(700);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &previous), 0);
    ASSERT_FALSE(f.lines.isEmpty());
    EXPECT_TRUE(f.lines[0].startsWith(QStringLiteral("Cannot accept connections (")))
        << f.lines[0].toStdString();
    EXPECT_EQ(f.lines.size(), 1); // said once, not at every try

    // With descriptors again it takes connections: the waiting ones and new pushes.
    waiting.clear();
    EXPECT_EQ(f.push(header("after", "4"), "RIFF", ReceiverFixture::After::Close),
              "RELO/1.0\nAccept\n");
}

TEST(Receiver, PushesUnderWayReserveTheirSpaceTogether)
{
    SmallDisk disk(1 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs is not allowed here";
    for (const PushReceiver::Mode mode : {PushReceiver::Mode::Accept, PushReceiver::Mode::Ask}) {
        ReceiverFixture f([&](PushReceiver::Options& options) {
            options.folder = disk.path() + QStringLiteral("/inbox");
            options.maxSize = qint64(1) << 30;
            options.mode = mode;
        });
        // Two pushes of 60 % of the free space each: either fits, both do not.
        const qint64 size = QStorageInfo(f.folder).bytesAvailable() * 6 / 10;
        const QByteArray length = QByteArray::number(size);
        auto first = f.openConnection(header("first", length));
        std::unique_ptr<QTcpSocket> second;
        if (mode == PushReceiver::Mode::Ask) {
            // Both judged to fit when they arrive; the second waits for its question while the
            // first is accepted, so its "yes" is checked again.
            ASSERT_TRUE(waitFor([&] { return f.prompts.size() == 1; }, 3000));
            second = f.openConnection(header("second", length));
            pumpEvents(100);
            f.answer("y\n");
            ASSERT_EQ(answerOn(*first), "RELO/1.0\nAccept\n");
            ASSERT_TRUE(waitFor([&] { return f.prompts.size() == 2; }, 3000));
            f.answer("y\n");
        } else {
            ASSERT_EQ(answerOn(*first), "RELO/1.0\nAccept\n");
            second = f.openConnection(header("second", length));
        }
        EXPECT_EQ(answerOn(*second), "RELO/1.0\nReject\n");
        ASSERT_TRUE(waitFor([&] { return f.lines.size() == 1; }, 3000));
        EXPECT_TRUE(f.lines[0].startsWith(QStringLiteral("Rejected \"second\"")));
        EXPECT_TRUE(f.lines[0].contains(QStringLiteral("beside the %1 bytes").arg(size)))
            << f.lines[0].toStdString();

        first->write(QByteArray(size, 'f'));
        first->waitForBytesWritten(5000);
        first->disconnectFromHost();
        ASSERT_TRUE(waitFor([&] { return f.lines.size() == 2; }, 5000));
        EXPECT_TRUE(f.lines[1].startsWith(QStringLiteral("Saved \"first\"")))
            << f.lines[1].toStdString();
        QFile::remove(f.folder + QStringLiteral("/first.wav"));
    }
}

namespace {

// How the receiver ended a connection, as the sender sees it.
enum class PeerEnd
{
    Orderly, // its side closed: the push was taken
    Reset,   // the push failed
    Open     // nothing within the time
};

// A sender on a plain socket, as the push screen behaves: sends the header and, once accepted,
// the data; with `halfClose`, then closes its writing side; waits for the receiver's end.
PeerEnd pushOnSocket(quint16 port, const QByteArray& head, const QByteArray& data, bool halfClose)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::send(fd, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
    QByteArray answer;
    PeerEnd end = PeerEnd::Open;
    // Reads what comes; true once the connection has ended (and how is in `end`).
    auto readEnd = [&] {
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0) {
            char buffer[256];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                answer.append(buffer, n);
                continue;
            }
            if (n == 0)
                end = PeerEnd::Orderly;
            else if (errno == ECONNRESET)
                end = PeerEnd::Reset;
            else
                return false;
            return true;
        }
        return false;
    };
    waitFor([&] { return readEnd() || answer.size() >= 16; }, 3000);
    EXPECT_EQ(answer.left(16), "RELO/1.0\nAccept\n");
    if (end == PeerEnd::Open) {
        ::send(fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL);
        if (halfClose)
            ::shutdown(fd, SHUT_WR);
        waitFor(readEnd, 3000);
    }
    ::close(fd);
    return end;
}

} // namespace

TEST(Receiver, ClosesOnlyOnceTheFileIsStoredAndResetsAPushItCannotKeep)
{
    ReceiverFixture f;
    // All the announced bytes: the close comes after the file has its name.
    EXPECT_EQ(pushOnSocket(f.receiver->port(), header("whole", "100"), QByteArray(100, 'w'), true),
              PeerEnd::Orderly);
    EXPECT_EQ(f.inbox(), QStringList{QStringLiteral("whole.wav")});
    // More than announced, or silence after part of it: a reset, nothing kept.
    EXPECT_EQ(pushOnSocket(f.receiver->port(), header("long", "100"), QByteArray(101, 'l'), true),
              PeerEnd::Reset);
    EXPECT_EQ(
        pushOnSocket(f.receiver->port(), header("stalled", "100"), QByteArray(60, 's'), false),
        PeerEnd::Reset);
    EXPECT_EQ(f.inbox(), QStringList{QStringLiteral("whole.wav")});
}

TEST(Receiver, KeepsAPlaceholderInTheNameWhenNumbering)
{
    ReceiverFixture f;
    for (const char fill : {'a', 'b'})
        EXPECT_EQ(
            f.push(header("Talk %1", "4"), QByteArray(4, fill), ReceiverFixture::After::Close),
            "RELO/1.0\nAccept\n");
    ASSERT_TRUE(waitFor([&] { return f.lines.size() >= 2; }, 3000));
    EXPECT_TRUE(f.lines[1].endsWith(QStringLiteral("/inbox/Talk %1 (2).wav")))
        << f.lines[1].toStdString();
    EXPECT_EQ(f.inbox(),
              (QStringList{QStringLiteral("Talk %1 (2).wav"), QStringLiteral("Talk %1.wav")}));
    QFile second(f.folder + QStringLiteral("/Talk %1 (2).wav"));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), "bbbb");
}
