// SPDX-License-Identifier: GPL-3.0-or-later
// The web server over real TCP on 127.0.0.1: answers travel whole, and connections that
// misbehave, stall or come by the dozen. What each request is answered with is WebRequestTest's.
#include "SharingTestSupport.h"

#include "platform/net/ListeningSocket.h"
#include "sharing/WebRequest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace sonavell::test;

namespace {

// True when the server answers a request for a small file in full.
bool servesNotes(quint16 port)
{
    return exchange(port, "GET /Documents/notes.txt HTTP/1.1\r\n\r\n") ==
           fileHead(15, "text/plain") + "not a recording";
}

class SharingServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fixture.web.write(QStringLiteral("index.html"), "<p>head</p>\n");
        fixture.documents.write(QStringLiteral("a.wav"), patterned(3000));
        fixture.documents.write(QStringLiteral("notes.txt"), "not a recording");
        fixture.library->categories = {QStringLiteral("*****"), QStringLiteral("K\u00fcche")};
        fixture.library->recordings = {recordingEntry("a.wav", "Gr\u00fc\u00dfe", "K\u00fcche")};
    }

    ServerFixture fixture;
};

} // namespace

TEST_F(SharingServer, AnswersArriveWholeOverTcp)
{
    const quint16 port = fixture.start().tcpPort();
    ASSERT_NE(port, 0);
    SharingController& server = *fixture.controller;
    const QByteArray page = "<p>head</p>\n" + server.generateCategoriesContent() +
                            server.generateFilesContent(QStringLiteral("All"));
    EXPECT_EQ(exchange(port, "GET /Category/All HTTP/1.1\r\nHost: x\r\n\r\n"),
              pageHead(page.size()) + page);
    EXPECT_EQ(exchange(port, "GET /Documents/a.wav HTTP/1.1\r\n\r\n"),
              fileHead(3000, "audio/wav") + patterned(3000));
    EXPECT_EQ(exchange(port, "POST / HTTP/1.1\r\n\r\n"), "HTTP/1.1 400 Bad Request\r\n\r\n");

    // A real client agrees, with and without a range.
    int exitCode = -1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/Documents/a.wav").arg(port);
    EXPECT_EQ(runCurl({QStringLiteral("-r"), QStringLiteral("1000-1999"), url}, &exitCode),
              patterned(3000).mid(1000, 1000));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(runCurl({url}, &exitCode), patterned(3000));
    EXPECT_EQ(exitCode, 0);
}

TEST_F(SharingServer, FiftyConnectionsAtOnceAreAllAnswered)
{
    const QByteArray big = patterned(600 * 1024);
    fixture.documents.write(QStringLiteral("big.wav"), big);
    const quint16 port = fixture.start().tcpPort();
    const QByteArray pageAnswer = exchange(port, "GET /Category/All HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(pageAnswer.startsWith("HTTP/1.1 200 OK"));

    // Every client connects and asks before any answer is read.
    constexpr int kClients = 50;
    std::vector<int> fds;
    for (int i = 0; i < kClients; ++i) {
        fds.push_back(connectToPort(port));
        ASSERT_GE(fds.back(), 0);
        const QByteArray request = i % 2 ? "GET /Category/All HTTP/1.1\r\n\r\n"
                                         : "GET /Documents/big.wav HTTP/1.1\r\n\r\n";
        ::send(fds[i], request.constData(), request.size(), MSG_NOSIGNAL);
    }
    for (int i = 0; i < kClients; ++i) {
        const QByteArray answer = readToEnd(fds[i], 30000);
        ::close(fds[i]);
        EXPECT_EQ(answer, i % 2 ? pageAnswer : fileHead(big.size(), "audio/wav") + big)
            << "client " << i;
    }
}

TEST_F(SharingServer, AStalledDownloadHoldsUpNobodyAndIsClosed)
{
    const qsizetype bigSize = 48 * 1024 * 1024;
    fixture.documents.write(QStringLiteral("huge.wav"), QByteArray(bigSize, 'h'));
    const quint16 port = fixture.start(std::chrono::milliseconds(2000)).tcpPort();

    // The first browser starts a download, reads a little and then stops reading.
    const int stalled = connectToPort(port);
    const QByteArray request = "GET /Documents/huge.wav HTTP/1.1\r\n\r\n";
    ::send(stalled, request.constData(), request.size(), MSG_NOSIGNAL);
    char buffer[8192];
    qint64 received = 0;
    while (received < 4096) {
        pollfd p{stalled, POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 5000), 0);
        received += ::recv(stalled, buffer, sizeof buffer, 0);
    }

    // Another browser is served at once, files and pages alike.
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(exchange(port, "GET /Documents/a.wav HTTP/1.1\r\n\r\n", 3000),
              fileHead(3000, "audio/wav") + patterned(3000));
    EXPECT_TRUE(exchange(port, "GET / HTTP/1.1\r\n\r\n", 3000).startsWith("HTTP/1.1 200 OK"));
    EXPECT_LT(timer.elapsed(), 1500);

    // The stalled download is closed after the time-out, short of its full length.
    QThread::msleep(2600);
    for (;;) {
        pollfd p{stalled, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::recv(stalled, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received += n;
    }
    EXPECT_LT(received, bigSize);
    ::close(stalled);
}

TEST_F(SharingServer, PeersThatFallSilentOrVanishAreClosedAndTheServerGoesOn)
{
    fixture.documents.write(QStringLiteral("long.wav"), QByteArray(8 * 1024 * 1024, 'l'));
    const quint16 port = fixture.start(std::chrono::milliseconds(1000)).tcpPort();
    // A peer that closes without sending anything gets nothing back.
    const int quiet = connectToPort(port);
    ::shutdown(quiet, SHUT_WR);
    EXPECT_EQ(readToEnd(quiet, 5000), QByteArray());
    ::close(quiet);
    // A peer that stays silent is closed once the stall time-out has passed.
    QElapsedTimer timer;
    timer.start();
    const int silent = connectToPort(port);
    EXPECT_TRUE(closedWithin(silent, 5000));
    EXPECT_GE(timer.elapsed(), 900);
    ::close(silent);
    // Peers that reset the connection while the server may still be writing.
    for (const QByteArray& request : {QByteArray("GET /Documents/long.wav HTTP/1.1\r\n\r\n"),
                                      QByteArray("GET /Category/All HTTP/1.1\r\n\r\n"),
                                      QByteArray("POST / HTTP/1.1\r\n\r\n")}) {
        for (int i = 0; i < 5; ++i) {
            const int fd = connectToPort(port);
            ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL);
            char some[100];
            ::recv(fd, some, sizeof some, 0);
            linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
        }
    }
    EXPECT_TRUE(servesNotes(port));
}

TEST_F(SharingServer, SwitchingOffEmptiesUrlsAndClosesTheSocket)
{
    SharingController& server = fixture.start();
    const quint16 port = server.tcpPort();
    EXPECT_TRUE(server.myPublicHostNameURL().isNull());
    server.toggleSharing(false);
    // The listener hears of it at once, with empty (not null) addresses.
    EXPECT_EQ(fixture.urlNotifications, 1);
    EXPECT_TRUE(server.myPublicHostNameURL().isEmpty() && !server.myPublicHostNameURL().isNull());
    EXPECT_TRUE(server.myPublicRawURL().isEmpty() && !server.myPublicRawURL().isNull());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(waitFor([&] { return !server.isServiceThreadRunning(); }, 3000));
    EXPECT_LT(timer.elapsed(), 1200);
    const int fd = connectToPort(port);
    EXPECT_LT(fd, 0);
    if (fd >= 0)
        ::close(fd);

    // Off and on in quick succession: the new thread waits for the old one and serves.
    for (int i = 0; i < 3; ++i) {
        server.toggleSharing(true);
        server.toggleSharing(false);
    }
    EXPECT_TRUE(servesNotes(fixture.start().tcpPort()));
}

TEST_F(SharingServer, BindFailureIsReportedAndTheSwitchStaysUsable)
{
    // Hold a port so that the server cannot bind it.
    ListeningSocket holder;
    ASSERT_TRUE(holder.open(0, 1));
    const quint16 busyPort = holder.port();

    SharingController::Environment env = fixture.environment();
    env.listenPort = busyPort;
    SharingController server(env);
    testing::internal::CaptureStderr();
    server.toggleSharing(true);
    EXPECT_TRUE(waitFor([&] { return !server.isServiceThreadRunning(); }, 3000));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(std::string("bind failure: ") + std::strerror(EADDRINUSE)),
              std::string::npos)
        << log;
    EXPECT_EQ(server.tcpPort(), 0);

    // Once the port is free, switching off and on again serves.
    holder.close();
    server.toggleSharing(false);
    server.toggleSharing(true);
    ASSERT_TRUE(waitFor([&] { return server.tcpPort() == busyPort; }));
    EXPECT_TRUE(servesNotes(busyPort));
    server.toggleSharing(false);
}

TEST_F(SharingServer, AHeadArrivingInPiecesIsReadWholeUpToItsLimit)
{
    const quint16 port = fixture.start().tcpPort();
    // The request line split across two writes 50 ms apart, then the rest of the head.
    const int fd = connectToPort(port);
    for (const QByteArray& piece :
         {QByteArray("GET /Documents/no"), QByteArray("tes.txt HTTP/1.1\r\n"),
          QByteArray("Host: x\r\n"), QByteArray("\r\n")}) {
        ASSERT_EQ(::send(fd, piece.constData(), piece.size(), MSG_NOSIGNAL), piece.size());
        QThread::msleep(50);
    }
    EXPECT_EQ(readToEnd(fd), fileHead(15, "text/plain") + "not a recording");
    ::close(fd);
    // A head that never ends is refused once it passes 8 KiB.
    EXPECT_EQ(exchange(port, "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'x')),
              "HTTP/1.1 400 Bad Request\r\n\r\n");
    // A head cut short is answered from what came once the time for it has run out.
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(exchange(port, "GET /Documents/notes.txt HTTP/1.1\r\n"),
              fileHead(15, "text/plain") + "not a recording");
    EXPECT_GE(timer.elapsed(), 4500);
    EXPECT_TRUE(servesNotes(port));
}

// Simple clients and hand-typed requests end their lines in bare line feeds: the blank line still
// ends the head, so the answer comes at once rather than when the time for the head runs out.
TEST_F(SharingServer, HeadsEndingInBareLineFeedsAreAnsweredAtOnce)
{
    const quint16 port = fixture.start().tcpPort();
    for (const QByteArray& request :
         {QByteArray("GET /Documents/notes.txt HTTP/1.0\n\n"),
          QByteArray("GET /Documents/notes.txt HTTP/1.0\r\n\n"),
          QByteArray("GET /Documents/notes.txt HTTP/1.1\r\nHost: x\n\r\n")}) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(exchange(port, request), fileHead(15, "text/plain") + "not a recording")
            << request.toStdString();
        EXPECT_LT(timer.elapsed(), 500) << request.toStdString();
    }
}

TEST_F(SharingServer, TheArchivesAndHiddenMemosPhotosAreNotServed)
{
    auto hidden = recordingEntry("secret.wav", "Salary talk", "K\u00fcche");
    hidden.hideFromWebSharing = true;
    fixture.library->recordings = {recordingEntry("a.wav", "Gr\u00fc\u00dfe", "K\u00fcche"),
                                   hidden};
    for (const char* name :
         {"recordings.plist", "categories.plist", "recordings.plist.unreadable-20261209-101500",
          "secret.jpg", "a.jpg", "secret.wav", ".sonavell.lock"})
        fixture.documents.write(QString::fromLatin1(name), "Salary talk");
    ASSERT_TRUE(
        QFile::link(fixture.documents.file("secret.jpg"), fixture.documents.file("alias.jpg")));
    const quint16 port = fixture.start().tcpPort();
    ASSERT_NE(port, 0);

    const QByteArray notFound = exchange(port, "GET /Documents/missing.txt HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(notFound.startsWith("HTTP/1.1 404 Not Found\r\n"));
    for (const char* path :
         {"/Documents/recordings.plist", "/Documents/categories.plist",
          "/Documents/recordings.plist.unreadable-20261209-101500", "/Documents/secret.jpg",
          "/Documents/alias.jpg", "/Documents/./secret.jpg", "/Documents/%72ecordings.plist",
          "/Documents/.sonavell.lock"})
        EXPECT_EQ(exchange(port, QByteArray("GET ") + path + " HTTP/1.1\r\n\r\n"), notFound)
            << path;
    // A shown memo's photo is served; so is a hidden memo's sound, by its file name.
    EXPECT_EQ(exchange(port, "GET /Documents/a.jpg HTTP/1.1\r\n\r\n"),
              fileHead(11, "text/plain") + "Salary talk");
    EXPECT_TRUE(exchange(port, "GET /Documents/secret.wav HTTP/1.1\r\n\r\n")
                    .startsWith("HTTP/1.1 200 OK\r\n"));
}

namespace {

// The memory this process holds, from the kernel's count of its resident pages.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// A client that asks and then does not read, through a small receive buffer.
int askWithoutReading(quint16 port, const QByteArray& request)
{
    const int fd = connectToPort(port);
    const int small = 16 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL);
    return fd;
}

// True once the answer has begun to arrive.
bool answerBegun(int fd, int timeoutMs = 10000)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// Reads what is there now without waiting: the bytes read, or -1 once the peer has closed.
qint64 readAvailable(int fd, qint64 most, QByteArray* into = nullptr)
{
    char buffer[65536];
    qint64 total = 0;
    while (total < most) {
        const ssize_t n =
            ::recv(fd, buffer, size_t(std::min<qint64>(most - total, sizeof buffer)), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return -1;
        if (n < 0)
            break;
        if (into)
            into->append(buffer, n);
        total += n;
    }
    return total;
}

} // namespace

// Clients that ask for a large page and then read nothing hold their answers open; the page is
// the cached one, shared between them, not one copy per connection.
TEST_F(SharingServer, ClientsThatNeverReadALargePageShareOneCopyOfIt)
{
    constexpr int kRecordings = 10000;
    // Names long enough that the page is well beyond what the kernel's socket buffers take in.
    const QString longName(600, QLatin1Char('n'));
    fixture.library->recordings.clear();
    for (int i = 0; i < kRecordings; ++i)
        fixture.library->recordings.push_back(
            recordingEntry(QStringLiteral("REC%1.wav").arg(i),
                           QStringLiteral("Memo %1 ").arg(i) + longName, "K\u00fcche"));
    fixture.library->version = 1;
    const quint16 port = fixture.start().tcpPort();
    const QByteArray request = "GET /Category/All HTTP/1.1\r\n\r\n";
    const qint64 pageSize = exchange(port, request).size();
    ASSERT_GT(pageSize, 6 * 1024 * 1024);

    constexpr int kClients = 24;
    const qint64 before = residentBytes();
    std::vector<int> fds;
    for (int i = 0; i < kClients; ++i) {
        fds.push_back(askWithoutReading(port, request));
        ASSERT_TRUE(answerBegun(fds.back())) << "client " << i;
    }
    const qint64 growth = residentBytes() - before;
    // One copy each would be kClients pages; a quarter of that leaves room for allocator noise.
    EXPECT_LT(growth, kClients / 4 * pageSize)
        << "grew by " << growth / (1024 * 1024) << " MB for " << kClients << " clients of a "
        << pageSize / 1024 << " KB page";
    for (int fd : fds)
        ::close(fd);
    // The server goes on serving the page whole.
    EXPECT_EQ(exchange(port, request).size(), pageSize);
}

// The server serves 64 connections at once: one more is told at once that it is busy and closed;
// once a place is free, a new connection is served again.
TEST_F(SharingServer, ConnectionBeyondSixtyFourIsRefusedWithServiceUnavailable)
{
    fixture.documents.write(QStringLiteral("long.wav"), QByteArray(16 * 1024 * 1024, 'l'));
    const quint16 port = fixture.start().tcpPort();
    std::vector<int> fds;
    for (int i = 0; i < 64; ++i) {
        fds.push_back(askWithoutReading(port, "GET /Documents/long.wav HTTP/1.1\r\n\r\n"));
        ASSERT_TRUE(answerBegun(fds.back())) << "client " << i;
    }
    const HttpConnection::Answer busy = WebRequest::serviceUnavailable();
    ASSERT_TRUE(busy.head.startsWith("HTTP/1.1 503 Service Unavailable\r\n"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(exchange(port, "GET /Documents/notes.txt HTTP/1.1\r\n\r\n", 5000),
              busy.head + busy.body);
    EXPECT_LT(timer.elapsed(), 2500);
    // A refused client that sends nothing is closed all the same.
    const int silent = connectToPort(port);
    EXPECT_EQ(readToEnd(silent, 5000), busy.head + busy.body);
    ::close(silent);

    ::close(fds.back());
    fds.pop_back();
    EXPECT_TRUE(waitFor([&] { return servesNotes(port); }, 5000));
    for (int fd : fds)
        ::close(fd);
}

// Downloads under a shortened deadline: one that stops reading is dropped once it has moved
// nothing for the stall time, one that trickles along below the minimum rate is dropped too,
// and one that reads slowly but steadily above it is served to the last byte.
TEST_F(SharingServer, StalledAndTricklingDownloadsAreDroppedAndSlowSteadyOnesServed)
{
    const qsizetype size = 64 * 1024 * 1024;
    const QByteArray content = patterned(size);
    fixture.documents.write(QStringLiteral("long.wav"), content);
    SharingController::Environment env = fixture.environment();
    env.stallTimeout = std::chrono::milliseconds(2000);
    env.minimumBytesPerSecond = 2 * 1024 * 1024;
    fixture.controller = std::make_unique<SharingController>(env);
    const quint16 port = fixture.start().tcpPort();

    const QByteArray request = "GET /Documents/long.wav HTTP/1.1\r\n\r\n";
    const int stalled = connectToPort(port);
    const int trickling = connectToPort(port);
    const int steady = connectToPort(port);
    for (int fd : {stalled, trickling, steady})
        ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL);
    QByteArray steadyBytes;
    qint64 trickled = 0;
    bool trickleClosed = false;
    QElapsedTimer timer;
    timer.start();
    // About 10 MB/s for the steady reader, 640 KB/s for the trickle (every 100 ms, at least the
    // segment size, so that the server's writes keep moving).
    for (int tick = 0; timer.elapsed() < 6000; ++tick) {
        QThread::msleep(50);
        ASSERT_GE(readAvailable(steady, 512 * 1024, &steadyBytes), 0) << "steady reader closed";
        if (tick % 2 == 0 && !trickleClosed) {
            const qint64 n = readAvailable(trickling, 64 * 1024);
            trickleClosed = n < 0;
            trickled += std::max<qint64>(n, 0);
        }
    }
    EXPECT_TRUE(closedWithin(stalled, 3000));
    EXPECT_TRUE(trickleClosed || closedWithin(trickling, 3000));
    EXPECT_LT(trickled, size);
    ::close(stalled);
    ::close(trickling);

    // The steady reader is still served, and gets every byte.
    steadyBytes += readToEnd(steady, 20000);
    ::close(steady);
    EXPECT_EQ(steadyBytes.size(), fileHead(size, "audio/wav").size() + size);
    EXPECT_TRUE(steadyBytes == fileHead(size, "audio/wav") + content);
}
