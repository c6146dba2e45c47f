// SPDX-License-Identifier: GPL-3.0-or-later
// An answer with a body or a file stretch written over a real loopback TCP connection to a peer
// that reads slowly through a small receive buffer, so that the socket fills many times: the
// head and what follows it arrive whole and in order, with sendfile, with read and send where the
// kernel refuses sendfile for the file, and short when the file is shorter than promised; every
// time the connection finishes once the peer has closed.
#include "platform/net/HttpConnection.h"

#include "support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>

using namespace sonavell::test;

namespace {

// A connection accepted on 127.0.0.1 (the server side, non-blocking, handed to HttpConnection)
// and a client thread that reads it to the end in small pieces and then closes.
class Loopback
{
public:
    Loopback()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), length);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
        ::listen(listener, 1);
        m_client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 32 * 1024; // keeps the server's writes short
        ::setsockopt(m_client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        ::connect(m_client, reinterpret_cast<sockaddr*>(&a), length);
        server = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        ::close(listener);
        m_reader = std::thread([this] {
            char buffer[8192];
            for (;;) {
                const ssize_t n = ::recv(m_client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                m_received.append(buffer, n);
            }
            ::close(m_client);
        });
    }
    ~Loopback()
    {
        if (m_reader.joinable())
            m_reader.join();
    }
    // Everything the client read, once it has seen the end.
    QByteArray received()
    {
        m_reader.join();
        return m_received;
    }

    int server = -1;

private:
    int m_client = -1;
    std::thread m_reader;
    QByteArray m_received;
};

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 4093) & 0xff);
    return bytes;
}

// Sends `answer` on a fresh connection and returns what the peer read; `finished` counts the
// connection's reports that it is done.
QByteArray exchange(HttpConnection::Answer answer, int& finished)
{
    Loopback loopback;
    HttpConnection connection(loopback.server);
    finished = 0;
    connection.onFinished = [&finished](HttpConnection*) { ++finished; };
    connection.send(std::move(answer));
    EXPECT_TRUE(waitFor([&] { return finished > 0; }, 20000));
    connection.close();
    return loopback.received();
}

const QByteArray kHead = "HTTP/1.1 200 OK\r\nContent-Type: audio/x-wav\r\n\r\n";

} // namespace

TEST(HttpConnection, AFileStretchFollowsTheHeadWholeOrJustTheHeadWhenEmpty)
{
    ScratchDir dir;
    const QByteArray contents = pattern(3 * 1024 * 1024 + 17);
    dir.write(QStringLiteral("big.wav"), contents);
    const QString path = dir.file(QStringLiteral("big.wav"));
    struct Case
    {
        qint64 offset;
        qint64 length;
    };
    for (const Case c : {Case{0, contents.size()}, Case{1000, 2500000}, Case{77, 0}}) {
        HttpConnection::Answer answer;
        answer.head = kHead;
        answer.body = "<";
        answer.file = std::make_unique<QFile>(path);
        ASSERT_TRUE(answer.file->open(QIODevice::ReadOnly));
        answer.fileOffset = c.offset;
        answer.fileLength = c.length;
        int finished = 0;
        const QByteArray got = exchange(std::move(answer), finished);
        EXPECT_EQ(finished, 1);
        ASSERT_EQ(got.size(), kHead.size() + 1 + c.length) << "offset " << c.offset;
        EXPECT_TRUE(got == kHead + "<" + contents.mid(c.offset, c.length)) << "offset " << c.offset;
    }
}

// A body in memory goes out from the buffer handed in, which may be shared with other
// connections: it is never copied, and it is let go once it is out.
TEST(HttpConnection, ABodyIsSentFromTheSharedBufferItCameIn)
{
    const QByteArray body = pattern(2 * 1024 * 1024 + 5);
    Loopback loopback;
    HttpConnection connection(loopback.server);
    int finished = 0;
    connection.onFinished = [&finished](HttpConnection*) { ++finished; };
    HttpConnection::Answer answer;
    answer.head = kHead;
    answer.body = body;
    connection.send(std::move(answer));
    // One turn sends far less than the body: the connection holds the very same buffer.
    EXPECT_FALSE(body.isDetached());
    EXPECT_TRUE(waitFor([&] { return finished > 0; }, 20000));
    EXPECT_TRUE(body.isDetached());
    connection.close();
    const QByteArray got = loopback.received();
    ASSERT_EQ(got.size(), kHead.size() + body.size());
    EXPECT_TRUE(got == kHead + body);
}

TEST(HttpConnection, AFileTheKernelWillNotSendIsReadAndSent)
{
    // The process's environment block as a file refuses sendfile (EINVAL) but reads and seeks.
    const QString path = QStringLiteral("/proc/self/environ");
    QFile probe(path);
    ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
    const QByteArray contents = probe.readAll();
    ASSERT_GT(contents.size(), 10);

    HttpConnection::Answer answer;
    answer.head = kHead;
    answer.file = std::make_unique<QFile>(path);
    ASSERT_TRUE(answer.file->open(QIODevice::ReadOnly));
    answer.fileOffset = 3;
    answer.fileLength = contents.size() - 3;
    int finished = 0;
    const QByteArray got = exchange(std::move(answer), finished);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(got == kHead + contents.mid(3));
}

TEST(HttpConnection, AFileShorterThanPromisedEndsTheAnswerShortInsteadOfHanging)
{
    ScratchDir dir;
    const QByteArray contents = pattern(600 * 1024);
    dir.write(QStringLiteral("shrunk.wav"), contents);
    const QString path = dir.file(QStringLiteral("shrunk.wav"));
    HttpConnection::Answer answer;
    answer.head = kHead;
    answer.file = std::make_unique<QFile>(path);
    ASSERT_TRUE(answer.file->open(QIODevice::ReadOnly));
    answer.fileOffset = 100;
    answer.fileLength = contents.size(); // 100 bytes more than there are
    int finished = 0;
    const QByteArray got = exchange(std::move(answer), finished);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(got == kHead + contents.mid(100));
}

// A head ends at its first blank line, whether its lines end in CR LF or in bare line feeds (as
// simple clients send them); a lone carriage return does not end a line.
TEST(HttpConnection, TheHeadEndsAtTheFirstBlankLineOfEitherKind)
{
    EXPECT_EQ(HttpConnection::headLength("GET / HTTP/1.1\r\nHost: a\r\n\r\n"), 27);
    EXPECT_EQ(HttpConnection::headLength("GET / HTTP/1.0\n\n"), 16);
    EXPECT_EQ(HttpConnection::headLength("GET / HTTP/1.0\r\n\n"), 17);
    EXPECT_EQ(HttpConnection::headLength("GET / HTTP/1.0\n\r\n"), 17);
    EXPECT_EQ(HttpConnection::headLength("GET / HTTP/1.0\nHost: a\n\nmore\r\n\r\n"), 24);
    for (const QByteArray& unfinished :
         {QByteArray(), QByteArray("GET / HTTP/1.1"), QByteArray("GET / HTTP/1.1\r\nHost: a\r\n"),
          QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r"), QByteArray("GET / HTTP/1.1\r\r\n"),
          QByteArray("GET / HTTP/1.1\r\n\r\r\n")})
        EXPECT_EQ(HttpConnection::headLength(unfinished), -1) << unfinished.toStdString();
}
