// sonavell-receive's side of a push, driven in-process over 127.0.0.1 without announcing: the
// header it reads, the pushes it refuses, and that only a complete transfer leaves a file.
#include "ContentName.h"
#include "PushReceiver.h"
#include "ReloHeader.h"
#include "TerminalText.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QTcpSocket>

#include <gtest/gtest.h>

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
