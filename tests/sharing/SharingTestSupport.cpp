// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharingTestSupport.h"

#include "sharing/ExportController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sonavell::test {

QString uniqueDeviceName(const QString& tag)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("test-%1-%2-%3")
        .arg(tag)
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

int connectToPort(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {

// Receives from the socket until it is closed or fails, or the time is up; every chunk goes to
// the sink. True when the peer closed the connection (or it failed) within the time.
bool receiveUntilClosed(int fd, int timeoutMs,
                        const std::function<void(const char*, ssize_t)>& sink)
{
    QElapsedTimer timer;
    timer.start();
    char buffer[65536];
    while (timer.elapsed() < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            sink(buffer, n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            return true;
    }
    return false;
}

} // namespace

QByteArray readToEnd(int fd, int timeoutMs)
{
    QByteArray result;
    receiveUntilClosed(fd, timeoutMs, [&](const char* data, ssize_t n) { result.append(data, n); });
    return result;
}

QByteArray exchange(quint16 port, const QByteArray& request, int timeoutMs)
{
    const int fd = connectToPort(port);
    if (fd < 0)
        return "connect failed";
    ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL);
    QByteArray answer = readToEnd(fd, timeoutMs);
    ::close(fd);
    return answer;
}

bool closedWithin(int fd, int timeoutMs)
{
    return receiveUntilClosed(fd, timeoutMs, [](const char*, ssize_t) {});
}

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

LibrarySnapshot::RecordingEntry recordingEntry(const QString& file, const QString& name,
                                               const QString& category, double duration)
{
    LibrarySnapshot::RecordingEntry entry;
    entry.filename = file;
    entry.name = name;
    entry.dateText = QStringLiteral("12/6/26, 9:15 PM");
    entry.duration = duration;
    entry.category = category;
    entry.quality = QStringLiteral("HQ");
    entry.channels = 1;
    return entry;
}

void connectExportScreen(SharingController& server, ExportController& screen)
{
    QObject::connect(&screen, &ExportController::webSharingSwitched, &server,
                     &SharingController::toggleSharing);
    QObject::connect(&server, &SharingController::urlDataChanged, &screen, [&server, &screen] {
        screen.urlDataIsReady(server.myPublicHostNameURL(), server.myPublicRawURL());
    });
}

QByteArray runCurl(const QStringList& arguments, int* exitCode)
{
    // Straight to the server, whatever proxy the machine's environment names.
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               QStringList{QStringLiteral("-sS"), QStringLiteral("--noproxy"), QStringLiteral("*"),
                           QStringLiteral("--max-time"), QStringLiteral("20")} +
                   arguments);
    curl.waitForFinished(30000);
    if (exitCode)
        *exitCode = curl.exitCode();
    return curl.readAllStandardOutput();
}

ServerFixture::ServerFixture()
    : library(std::make_shared<LibrarySnapshot>())
    , deviceName(uniqueDeviceName(QStringLiteral("server")))
{
    library->documentsPath = documents.path();
}

ServerFixture::~ServerFixture()
{
    if (controller)
        controller->toggleSharing(false);
    controller.reset();
}

SharingController::Environment ServerFixture::environment() const
{
    SharingController::Environment env;
    // The server thread reads the fixture's current library through a copy of the pointer.
    const std::shared_ptr<LibrarySnapshot>* current = &library;
    env.librarySnapshot = [current] { return LibrarySnapshotPtr(*current); };
    env.documentsPath = documents.path();
    env.resourcePath = web.path();
    env.deviceName = deviceName;
    env.listenPort = 0;
    if (!hostAddresses.isEmpty())
        env.hostAddresses = [addresses = hostAddresses] { return addresses; };
    return env;
}

SharingController& ServerFixture::start(std::chrono::milliseconds stallTimeout)
{
    if (!controller) {
        SharingController::Environment env = environment();
        env.stallTimeout = stallTimeout;
        env.urlListener = [this] { ++urlNotifications; };
        controller = std::make_unique<SharingController>(env);
    }
    controller->toggleSharing(true);
    waitFor([this] { return controller->tcpPort() != 0; });
    return *controller;
}

} // namespace sonavell::test
