// Web sharing benchmark: a 50 MB WAV downloaded over loopback with curl from our server and, in
// the same run, from Python's http.server (Debian's /usr/bin/python3) and nginx when installed;
// MB/s of each and the ratios. Then page generation for a library of 10,000 recordings whose
// files are present: time per category page, generated directly and fetched over TCP.
#include "BenchSupport.h"
#include "sharing/SharingController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 kFileBytes = 50LL * 1024 * 1024;
constexpr int kRuns = 3;
constexpr int kRecordings = 10000;

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool answers(const QString& url)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                QStringLiteral("-r"), QStringLiteral("0-0"), url});
    curl.waitForFinished(5000);
    return curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0;
}

// The best of kRuns downloads in MB/s (1 MB = 2^20 bytes), or -1 when curl fails.
double downloadRate(const QString& url)
{
    double best = -1;
    for (int run = 0; run < kRuns; ++run) {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                    QStringLiteral("-w"), QStringLiteral("%{size_download} %{time_total}"), url});
        curl.waitForFinished(120000);
        const QList<QByteArray> fields = curl.readAllStandardOutput().split(' ');
        if (curl.exitCode() != 0 || fields.size() != 2 || fields[0].toLongLong() != kFileBytes)
            return -1;
        best = std::max(best, fields[0].toDouble() / (1024.0 * 1024.0) / fields[1].toDouble());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString documents = dir.filePath(QStringLiteral("Documents"));
    QDir().mkpath(documents);
    {
        QFile big(documents + QStringLiteral("/big.wav"));
        big.open(QIODevice::WriteOnly);
        const QByteArray header = wavHeader(kFileBytes - 44);
        big.write(header);
        QByteArray block(1024 * 1024, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((i * 31) & 0xff);
        qint64 left = kFileBytes - header.size();
        while (left > 0) {
            const qint64 n = std::min<qint64>(left, block.size());
            big.write(block.constData(), n);
            left -= n;
        }
    }

    auto library = std::make_shared<LibrarySnapshot>();
    SharingController::Environment env;
    env.librarySnapshot = [&library] { return LibrarySnapshotPtr(library); };
    env.documentsPath = documents;
    env.listenPort = 0;
    env.announce = false;
    SharingController server(env);
    server.toggleSharing(true);
    while (server.tcpPort() == 0)
        pump(10);

    std::printf("Download of a 50 MB WAV over loopback with curl (best of %d)\n", kRuns);
    const double ours =
        downloadRate(QStringLiteral("http://127.0.0.1:%1/Documents/big.wav").arg(server.tcpPort()));
    std::printf("  sonavell            %8.1f MB/s\n", ours);

    const quint16 pyPort = freePort();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("--bind"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), documents,
                  QString::number(pyPort)});
    const QString pyUrl = QStringLiteral("http://127.0.0.1:%1/big.wav").arg(pyPort);
    for (int i = 0; i < 100 && !answers(pyUrl); ++i)
        pump(50);
    const double py = downloadRate(pyUrl);
    python.kill();
    python.waitForFinished();
    std::printf("  python3 http.server %8.1f MB/s   sonavell/python = %.2f\n", py,
                py > 0 ? ours / py : 0.0);

    const QString nginxPath = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (nginxPath.isEmpty()) {
        std::printf("  nginx               not installed\n");
    } else {
        const quint16 port = freePort();
        QFile conf(dir.filePath(QStringLiteral("nginx.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("daemon off; pid %1/nginx.pid; error_log %1/error.log;\n"
                                  "events {}\nhttp { access_log off; server { listen "
                                  "127.0.0.1:%2; root %3; } }\n")
                       .arg(dir.path())
                       .arg(port)
                       .arg(documents)
                       .toUtf8());
        conf.close();
        QProcess nginx;
        nginx.start(nginxPath,
                    {QStringLiteral("-c"), conf.fileName(), QStringLiteral("-p"), dir.path()});
        const QString url = QStringLiteral("http://127.0.0.1:%1/big.wav").arg(port);
        for (int i = 0; i < 100 && !answers(url); ++i)
            pump(50);
        const double ng = downloadRate(url);
        nginx.terminate();
        nginx.waitForFinished();
        std::printf("  nginx               %8.1f MB/s   sonavell/nginx = %.2f\n", ng,
                    ng > 0 ? ours / ng : 0.0);
    }

    // A library of 10,000 recordings with their files on disk.
    library->categories = {QStringLiteral("*****"), QStringLiteral("Business"),
                           QStringLiteral("Ideas")};
    const QByteArray small = wavHeader(200) + QByteArray(200, '\0');
    for (int i = 0; i < kRecordings; ++i) {
        LibrarySnapshot::RecordingEntry e;
        e.filename = QStringLiteral("REC%1.wav").arg(20260101000000LL + i);
        e.name = QStringLiteral("Memo %1 & notes").arg(i);
        e.dateText = QStringLiteral("1/1/26, 9:%1 AM").arg(i % 60, 2, 10, QLatin1Char('0'));
        e.duration = i * 0.37;
        e.category = i % 2 ? QStringLiteral("Business") : QStringLiteral("Ideas");
        e.quality = QStringLiteral("HQ");
        QFile f(documents + QLatin1Char('/') + e.filename);
        f.open(QIODevice::WriteOnly);
        f.write(small);
        library->recordings.push_back(e);
    }
    constexpr int kPages = 20;
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    for (int i = 0; i < kPages; ++i)
        bytes += server.generateCategoriesContent().size() +
                 server.generateFilesContent(QStringLiteral("All")).size();
    const double generated = timer.nsecsElapsed() / 1e6 / kPages;
    std::printf("\nPage generation, %d recordings (files present), category All: %.1f ms per "
                "page (%lld bytes)\n",
                kRecordings, generated, static_cast<long long>(bytes / kPages));
    timer.restart();
    for (int i = 0; i < kPages; ++i) {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                    QStringLiteral("http://127.0.0.1:%1/Category/All").arg(server.tcpPort())});
        curl.waitForFinished(30000);
    }
    std::printf("Same page fetched with curl over TCP: %.1f ms per page\n",
                timer.nsecsElapsed() / 1e6 / kPages);
    server.toggleSharing(false);
    return 0;
}
