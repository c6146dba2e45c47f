// sonavell-receive's side of a push, driven in-process over 127.0.0.1 without announcing: the
// header it reads, the pushes it refuses, and that only a complete transfer leaves a file.
#include "ContentName.h"
#include "PushReceiver.h"
#include "ReloHeader.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QTcpSocket>

#include <gtest/gtest.h>

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

// A receiver on 127.0.0.1 that accepts everything up to 1000 bytes, with a short stall time.
class ReceiverFixture
{
public:
    ReceiverFixture()
    {
        PushReceiver::Options options;
        options.name = QStringLiteral("test");
        options.folder = scratch.file(QStringLiteral("inbox"));
        options.mode = PushReceiver::Mode::Accept;
        options.maxSize = 1000;
        options.address = QHostAddress::LocalHost;
        options.stallTimeout = std::chrono::milliseconds(500);
        options.announce = false;
        receiver = std::make_unique<PushReceiver>(options);
        receiver->output = [this](const QString& line) { lines << line; };
        EXPECT_TRUE(receiver->start());
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
        return QDir(scratch.file(QStringLiteral("inbox")))
            .entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    ScratchDir scratch;
    std::unique_ptr<PushReceiver> receiver;
    QStringList lines;
};

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
