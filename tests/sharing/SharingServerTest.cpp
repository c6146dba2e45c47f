// The web server over real TCP on 127.0.0.1: routes, exact answers, ranges, and connections
// that misbehave.
#include "SharingTestSupport.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace sonavell::test;

namespace {

const QByteArray kBadRequest = "HTTP/1.1 400 Bad Request\r\n\r\n";
const QByteArray kNotFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 54\r\n"
                             "Content-Type: text/html\r\nConnection: close\r\n\r\n"
                             "<html><body><h1>Item was not found!</h1></body></html>";
const QByteArray kIndexHead = "<html><head><title>t</title></head><body>head</body></html>\n";

QByteArray pageHead(qsizetype length)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n";
}

QByteArray fileHead(qsizetype length, const QByteArray& type)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nContent-Type: " + type + "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n";
}

QByteArray patterned(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

LibrarySnapshot::RecordingEntry entry(const QString& file, const QString& name,
                                      const QString& category, bool hidden = false)
{
    LibrarySnapshot::RecordingEntry e;
    e.filename = file;
    e.name = name;
    e.dateText = QStringLiteral("1/2/26, 3:04 PM");
    e.duration = 2.5;
    e.category = category;
    e.quality = QStringLiteral("MQ");
    e.hideFromWebSharing = hidden;
    return e;
}

class SharingServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fixture.web.write(QStringLiteral("index.html"), kIndexHead);
        fixture.web.write(QStringLiteral("myindex.html"), "<p>my head</p>\n");
        fixture.web.write(QStringLiteral("logo.png"), "PNGDATA");
        fixture.documents.write(QStringLiteral("a.wav"), patterned(3000));
        fixture.documents.write(QStringLiteral("x.WAV"), "upper");
        fixture.documents.write(QStringLiteral("hidden.wav"), "hidden bytes");
        fixture.documents.write(QStringLiteral("notes.txt"), "not a recording");
        fixture.documents.write(QStringLiteral("sub/inner.wav"), "inner");
        fixture.documents.write(QStringLiteral("<b>&.wav"), "odd name");
        auto library = std::make_shared<LibrarySnapshot>();
        library->categories = {QStringLiteral("*****"), QStringLiteral("My Memos"),
                               QStringLiteral("Küche")};
        library->recordings = {
            entry("a.wav", "First", "My Memos"), entry("hidden.wav", "Hidden", "My Memos", true),
            entry("x.WAV", "Grüße", "Küche"), entry("<b>&.wav", "<b>&", "*****")};
        fixture.setLibrary(library);
    }

    ServerFixture fixture;
};

} // namespace

TEST_F(SharingServer, IndexRoutesSendHeadFileAndGeneratedDocuments)
{
    const quint16 port = fixture.start().tcpPort();
    ASSERT_NE(port, 0);
    SharingController& server = *fixture.controller;
    const QByteArray generated =
        server.generateCategoriesContent() + server.generateFilesContent(QString());
    const QByteArray page = kIndexHead + generated;

    EXPECT_EQ(exchange(port, "GET / HTTP/1.1\r\nHost: x\r\n\r\n"), pageHead(page.size()) + page);
    EXPECT_EQ(exchange(port, "GET /index.html HTTP/1.0\r\n\r\n"), pageHead(page.size()) + page);
    const QByteArray mine = "<p>my head</p>\n" + generated;
    EXPECT_EQ(exchange(port, "GET /myindex.html HTTP/1.1\r\n\r\n"), pageHead(mine.size()) + mine);
    // A head file that does not exist leaves the generated documents alone.
    EXPECT_EQ(exchange(port, "GET /yourindex.html HTTP/1.1\r\n\r\n"),
              pageHead(generated.size()) + generated);
    // Bare line feeds with no header line: the request line still has three parts.
    EXPECT_EQ(exchange(port, "GET / HTTP/1.0\n\n"), pageHead(page.size()) + page);
}

TEST_F(SharingServer, CategoryPagesCountUtf8BytesAndDecodeNames)
{
    const quint16 port = fixture.start().tcpPort();
    SharingController& server = *fixture.controller;

    const QByteArray all = exchange(port, "GET /Category/All HTTP/1.1\r\n\r\n");
    const QByteArray allBody = kIndexHead + server.generateCategoriesContent() +
                               server.generateFilesContent(QStringLiteral("All"));
    EXPECT_EQ(all, pageHead(allBody.size()) + allBody);
    // Every visible recording, in library order; the hidden one is left out.
    const qsizetype first = all.indexOf(">First<");
    const qsizetype second = all.indexOf(">Gr\xc3\xbc\xc3\x9f"
                                         "e<");
    const qsizetype third = all.indexOf(">&lt;b&gt;&amp;<");
    EXPECT_TRUE(first > 0 && second > first && third > second);
    EXPECT_FALSE(all.contains("Hidden"));
    // Content-Length counts bytes, not characters.
    EXPECT_NE(allBody.size(), QString::fromUtf8(allBody).size());

    const QByteArray memos = exchange(port, "GET /Category/My%20Memos HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(memos.contains("<caption>My Memos</caption>"));
    EXPECT_TRUE(memos.contains(">First<"));
    const QByteArray kitchen = exchange(port, "GET /Category/K%C3%BCche HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(kitchen.contains(">Gr\xc3\xbc\xc3\x9f"
                                 "e<"));
    EXPECT_FALSE(kitchen.contains(">First<"));
}

TEST_F(SharingServer, MalformedRequestsGetTheBadRequestAnswer)
{
    const quint16 port = fixture.start().tcpPort();
    for (const QByteArray& request :
         {QByteArray("POST / HTTP/1.1\r\n\r\n"), QByteArray("GET /\r\n\r\n"),
          QByteArray("GET / HTTP/1.1 x\r\n\r\n"), QByteArray("get / HTTP/1.1\r\n\r\n"),
          QByteArray("GET / FTP/1.0\r\n\r\n"), QByteArray("GET /\xff\xfe HTTP/1.1\r\n\r\n"),
          QByteArray("GET / HTTP/1.0\nHost: a\n\n")}) {
        EXPECT_EQ(exchange(port, request), kBadRequest) << request.toStdString();
    }
}

TEST_F(SharingServer, FilesAreServedWithTypesByExtension)
{
    const quint16 port = fixture.start().tcpPort();
    const QByteArray wav = patterned(3000);
    // ".." components are dropped, not followed.
    EXPECT_EQ(exchange(port, "GET /../Documents/a.wav HTTP/1.1\r\n\r\n"),
              fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(exchange(port, "GET /Documents/../../a.wav HTTP/1.1\r\n\r\n"),
              fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(exchange(port, "GET /Documents/x.WAV HTTP/1.1\r\n\r\n"),
              fileHead(5, "text/plain") + "upper");
    // Any file of the documents folder, hidden recordings too.
    EXPECT_EQ(exchange(port, "GET /Documents/hidden.wav HTTP/1.1\r\n\r\n"),
              fileHead(12, "audio/wav") + "hidden bytes");
    EXPECT_EQ(exchange(port, "GET /Documents/notes.txt HTTP/1.1\r\n\r\n"),
              fileHead(15, "text/plain") + "not a recording");
    EXPECT_EQ(exchange(port, "GET //Documents//sub/inner.wav/ HTTP/1.1\r\n\r\n"),
              fileHead(5, "audio/wav") + "inner");
    // The link the page gives an awkward name leads to its file.
    EXPECT_EQ(exchange(port, "GET /Documents/%3Cb%3E%26.wav HTTP/1.1\r\n\r\n"),
              fileHead(8, "audio/wav") + "odd name");
    // Everything else comes from the web folder.
    EXPECT_EQ(exchange(port, "GET /logo.png HTTP/1.1\r\n\r\n"),
              fileHead(7, "image/png") + "PNGDATA");
}

TEST_F(SharingServer, UnknownPathsGetTheNotFoundAnswer)
{
    const quint16 port = fixture.start().tcpPort();
    for (const QByteArray& target :
         {QByteArray("/?a=1"), QByteArray("/Documents/missing.wav"), QByteArray("/Documents"),
          QByteArray("/Documents/"), QByteArray("/Documents/sub"), QByteArray("/Category"),
          QByteArray("/Documents/%FF.wav"), QByteArray("/Documents/a%2"),
          QByteArray("/Documents/a%00.wav"), QByteArray(""), QByteArray("/nothing.gif")}) {
        EXPECT_EQ(exchange(port, "GET " + target + " HTTP/1.1\r\n\r\n"), kNotFound)
            << target.toStdString();
    }
}

TEST_F(SharingServer, RangesServeSlicesOfFiles)
{
    const quint16 port = fixture.start().tcpPort();
    const QByteArray wav = patterned(3000);
    auto partialHead = [](qint64 first, qint64 last) {
        return "HTTP/1.1 206 Partial Content\r\nContent-Length: " +
               QByteArray::number(last - first + 1) +
               "\r\nContent-Type: audio/wav\r\nContent-Range: bytes " + QByteArray::number(first) +
               "-" + QByteArray::number(last) +
               "/3000\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n";
    };
    auto get = [port](const QByteArray& range) {
        return exchange(port,
                        "GET /Documents/a.wav HTTP/1.1\r\nHost: x\r\nRange: " + range + "\r\n\r\n");
    };
    EXPECT_EQ(get("bytes=0-99"), partialHead(0, 99) + wav.left(100));
    EXPECT_EQ(get("bytes=2990-"), partialHead(2990, 2999) + wav.mid(2990));
    EXPECT_EQ(get("bytes=-10"), partialHead(2990, 2999) + wav.mid(2990));
    EXPECT_EQ(get("bytes=-5000"), partialHead(0, 2999) + wav);
    EXPECT_EQ(get("bytes=100-999999"), partialHead(100, 2999) + wav.mid(100));
    const QByteArray unsatisfiable = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Length: 0\r\n"
                                     "Content-Range: bytes */3000\r\nAccept-Ranges: bytes\r\n"
                                     "Connection: close\r\n\r\n";
    EXPECT_EQ(get("bytes=3000-"), unsatisfiable);
    EXPECT_EQ(get("bytes=-0"), unsatisfiable);
    // Several ranges or nonsense: the whole file, as without the header.
    EXPECT_EQ(get("bytes=0-1,5-6"), fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(get("bytes=9-2"), fileHead(3000, "audio/wav") + wav);
    EXPECT_EQ(get("lines=1-2"), fileHead(3000, "audio/wav") + wav);

    // A real client agrees.
    int exitCode = -1;
    const QString url = QStringLiteral("http://127.0.0.1:%1/Documents/a.wav").arg(port);
    EXPECT_EQ(runCurl({QStringLiteral("-r"), QStringLiteral("1000-1999"), url}, &exitCode),
              wav.mid(1000, 1000));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(runCurl({url}, &exitCode), wav);
    EXPECT_EQ(exitCode, 0);
}

TEST_F(SharingServer, SilentAndStalledConnectionsAreClosedWithoutAnswer)
{
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
    // The server goes on serving.
    EXPECT_EQ(exchange(port, "GET /Documents/notes.txt HTTP/1.1\r\n\r\n"),
              fileHead(15, "text/plain") + "not a recording");
}

TEST_F(SharingServer, FiftyConnectionsAtOnceAreAllAnswered)
{
    const QByteArray big = patterned(600 * 1024);
    fixture.documents.write(QStringLiteral("big.wav"), big);
    const quint16 port = fixture.start().tcpPort();
    const QByteArray pageAnswer = exchange(port, "GET /Category/All HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(pageAnswer.startsWith("HTTP/1.1 200 OK"));

    constexpr int kClients = 50;
    std::vector<int> fds;
    for (int i = 0; i < kClients; ++i) {
        fds.push_back(connectToPort(port));
        ASSERT_GE(fds.back(), 0);
    }
    for (int i = 0; i < kClients; ++i) {
        const QByteArray request = i % 2 ? "GET /Category/All HTTP/1.1\r\n\r\n"
                                         : "GET /Documents/big.wav HTTP/1.1\r\n\r\n";
        ::send(fds[i], request.constData(), request.size(), MSG_NOSIGNAL);
    }
    // Read all connections side by side until every one has been closed by the server.
    std::vector<QByteArray> answers(kClients);
    std::vector<bool> done(kClients, false);
    QElapsedTimer timer;
    timer.start();
    int open = kClients;
    std::vector<char> buffer(65536);
    while (open > 0 && timer.elapsed() < 30000) {
        std::vector<pollfd> polls;
        for (int i = 0; i < kClients; ++i)
            polls.push_back({done[i] ? -1 : fds[i], POLLIN, 0});
        ::poll(polls.data(), polls.size(), 100);
        for (int i = 0; i < kClients; ++i) {
            if (done[i] || !(polls[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::recv(fds[i], buffer.data(), buffer.size(), 0);
            if (n > 0) {
                answers[i].append(buffer.data(), n);
            } else {
                done[i] = true;
                --open;
            }
        }
    }
    for (int i = 0; i < kClients; ++i) {
        ::close(fds[i]);
        if (i % 2)
            EXPECT_EQ(answers[i], pageAnswer) << "client " << i;
        else
            EXPECT_EQ(answers[i], fileHead(big.size(), "audio/wav") + big) << "client " << i;
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

TEST_F(SharingServer, BrowsersThatVanishMidAnswerLeaveTheServerRunning)
{
    fixture.documents.write(QStringLiteral("long.wav"), QByteArray(8 * 1024 * 1024, 'l'));
    const quint16 port = fixture.start().tcpPort();
    for (const QByteArray& request : {QByteArray("GET /Documents/long.wav HTTP/1.1\r\n\r\n"),
                                      QByteArray("GET /Category/All HTTP/1.1\r\n\r\n"),
                                      QByteArray("POST / HTTP/1.1\r\n\r\n")}) {
        for (int i = 0; i < 5; ++i) {
            const int fd = connectToPort(port);
            ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL);
            char some[100];
            ::recv(fd, some, sizeof some, 0);
            // Close with a reset while the server may still be writing.
            linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
        }
    }
    EXPECT_EQ(exchange(port, "GET /Documents/notes.txt HTTP/1.1\r\n\r\n"),
              fileHead(15, "text/plain") + "not a recording");
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
    fixture.start();
    EXPECT_EQ(exchange(fixture.port(), "GET /Documents/notes.txt HTTP/1.1\r\n\r\n"),
              fileHead(15, "text/plain") + "not a recording");
}

TEST_F(SharingServer, BindFailureIsReportedAndTheSwitchStaysUsable)
{
    // Hold a port so that the server cannot bind it.
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 busyPort = ntohs(address.sin_port);

    SharingController::Environment env = fixture.environment();
    env.listenPort = busyPort;
    SharingController server(env);
    testing::internal::CaptureStderr();
    server.toggleSharing(true);
    EXPECT_TRUE(waitFor([&] { return !server.isServiceThreadRunning(); }, 3000));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("bind failure: Address already in use"), std::string::npos) << log;
    EXPECT_EQ(server.tcpPort(), 0);

    // Once the port is free, switching off and on again serves.
    ::close(holder);
    server.toggleSharing(false);
    server.toggleSharing(true);
    ASSERT_TRUE(waitFor([&] { return server.tcpPort() == busyPort; }));
    EXPECT_EQ(exchange(busyPort, "GET /Documents/notes.txt HTTP/1.1\r\n\r\n"),
              fileHead(15, "text/plain") + "not a recording");
    server.toggleSharing(false);
}
