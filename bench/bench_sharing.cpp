// Web sharing benchmark, against nginx from Debian started here on 127.0.0.1 with its own
// configuration (sendfile on) and, for the download, Python's http.server:
// - a 200 MB WAV downloaded over loopback with curl: throughput (best of the runs) and the
//   server's CPU time per download (median of the runs), with their ratios to nginx's; the two
//   servers take turns, so that the load of a shared machine falls on both alike
//   (`--download-only` stops after this part);
// - the page "/Category/All" of a library of 10,000 recordings: the time to build it from a new
//   snapshot and from the page cache, and the time to fetch it over TCP, beside nginx serving
//   the same bytes from a static file.
#include "BenchSupport.h"
#include "sharing/SharingController.h"
#include "sharing/SharingPageCache.h"
#include "sharing/SharingPages.h"

#include <QCoreApplication>
#include <QDir>
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
#include <time.h>
#include <unistd.h>

namespace {

constexpr qint64 kFileBytes = 200LL * 1024 * 1024;
constexpr int kRuns = 9;
constexpr int kRecordings = 10000;

// Figures measured on the 2-core development machine before this work.
constexpr double kPageBuildBeforeMs = 45.0;

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// CPU time in nanoseconds that the threads of a process have run, from the scheduler's
// accounting. For this process (`pid` 0) the benchmark's own main thread, which only starts curl
// and waits, is left out: what remains is the server's service thread.
double cpuNanoseconds(qint64 pid)
{
    const QString self = QString::number(::getpid());
    const QString base =
        pid == 0 ? QStringLiteral("/proc/self") : QStringLiteral("/proc/%1").arg(pid);
    double total = 0;
    for (const QString& task :
         QDir(base + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == 0 && task == self)
            continue;
        QFile f(base + QStringLiteral("/task/") + task + QStringLiteral("/schedstat"));
        if (f.open(QIODevice::ReadOnly))
            total += f.readAll().split(' ').value(0).toDouble();
    }
    return total;
}

// One GET over a fresh connection, read to the end; the bytes received, or -1.
qint64 fetch(quint16 port, const QByteArray& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const QByteArray request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) < 0) {
        ::close(fd);
        return -1;
    }
    static char buffer[1 << 16];
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    return total;
}

double threadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

bool answers(quint16 port, const QByteArray& path)
{
    return fetch(port, path) > 0;
}

struct Download
{
    double mbPerSecond = -1; // best run
    double cpuMs = -1;       // server CPU per download, median
    double cpuMinMs = -1;
    double cpuMaxMs = -1;
    std::vector<double> cpu;
};

// One download with curl, adding its throughput and the server's CPU time (read from
// `serverPid`, 0: this process) to `into`; false when it failed.
bool downloadOnce(const QString& url, qint64 serverPid, Download& into)
{
    const double before = cpuNanoseconds(serverPid);
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                QStringLiteral("-w"), QStringLiteral("%{size_download} %{time_total}"), url});
    curl.waitForFinished(300000);
    const double used = cpuNanoseconds(serverPid) - before;
    const QList<QByteArray> fields = curl.readAllStandardOutput().split(' ');
    if (curl.exitCode() != 0 || fields.size() != 2 || fields[0].toLongLong() != kFileBytes)
        return false;
    into.mbPerSecond =
        std::max(into.mbPerSecond, fields[0].toDouble() / (1024.0 * 1024.0) / fields[1].toDouble());
    into.cpu.push_back(used / 1e6);
    return true;
}

void summarise(Download& d)
{
    if (d.cpu.empty())
        return;
    std::sort(d.cpu.begin(), d.cpu.end());
    d.cpuMs = d.cpu[d.cpu.size() / 2];
    d.cpuMinMs = d.cpu.front();
    d.cpuMaxMs = d.cpu.back();
}

// One untimed download from each server (so that both start with the file cached and their
// connections warm), then kRuns from each, taking turns and swapping who goes first every run,
// so that the load of a shared machine falls on both alike.
void downloadBoth(const QString& oursUrl, const QString& peerUrl, qint64 peerPid, Download& ours,
                  Download& peer)
{
    Download warmUp;
    bool oursOk = downloadOnce(oursUrl, 0, warmUp);
    bool peerOk = !peerUrl.isEmpty() && downloadOnce(peerUrl, peerPid, warmUp);
    for (int run = 0; run < kRuns; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (run % 2 == 0))
                oursOk = oursOk && downloadOnce(oursUrl, 0, ours);
            else
                peerOk = peerOk && downloadOnce(peerUrl, peerPid, peer);
        }
    }
    if (!oursOk)
        ours = Download();
    if (!peerOk)
        peer = Download();
    summarise(ours);
    summarise(peer);
}

// kRuns downloads from one server.
Download download(const QString& url, qint64 serverPid)
{
    Download result;
    for (int run = 0; run < kRuns; ++run) {
        if (!downloadOnce(url, serverPid, result))
            return Download();
    }
    summarise(result);
    return result;
}

double medianFetchMs(quint16 port, const QByteArray& path, qint64 expectedBytes, int times)
{
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer t;
        t.start();
        const qint64 got = fetch(port, path);
        ms.push_back(t.nsecsElapsed() / 1e6);
        if (got < expectedBytes)
            return -1;
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// nginx from Debian in the foreground as a single process (no master, no workers that would
// switch to another user and be refused the private temporary folder), serving `root` on
// 127.0.0.1 with sendfile on.
class Nginx
{
public:
    Nginx(const QString& workDir, const QString& root)
    {
        const QString path =
            QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin", "/usr/bin"});
        if (path.isEmpty())
            return;
        port = freePort();
        QFile conf(workDir + QStringLiteral("/nginx.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("daemon off; master_process off; pid %1/nginx.pid;\n"
                                  "error_log %1/nginx-error.log;\n"
                                  "events { worker_connections 64; }\n"
                                  "http { access_log off; sendfile on; tcp_nopush on;\n"
                                  "  default_type application/octet-stream;\n"
                                  "  client_body_temp_path %1/nginx-body;\n"
                                  "  server { listen 127.0.0.1:%2; root %3; } }\n")
                       .arg(workDir)
                       .arg(port)
                       .arg(root)
                       .toUtf8());
        conf.close();
        process.start(path, {QStringLiteral("-c"), conf.fileName(), QStringLiteral("-p"), workDir,
                             QStringLiteral("-e"), workDir + QStringLiteral("/nginx-error.log")});
        if (!process.waitForStarted(5000))
            return;
        for (int i = 0; i < 100 && !answers(port, "/"); ++i)
            pump(50);
    }
    ~Nginx()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }
    bool running() const { return process.state() == QProcess::Running; }
    qint64 pid() const { return process.processId(); }

    quint16 port = 0;
    QProcess process;
};

void printRatio(const char* label, double ours, double peer, const char* unit, double goal,
                bool lowerIsBetter)
{
    std::printf("  %-34s sonavell %9.2f %s   nginx %9.2f %s", label, ours, unit, peer, unit);
    if (ours > 0 && peer > 0)
        std::printf("   ratio %.2f (goal %s %.1f)", ours / peer, lowerIsBetter ? "<=" : ">=", goal);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
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

    std::shared_ptr<const LibrarySnapshot> library = std::make_shared<LibrarySnapshot>();
    SharingController::Environment env;
    env.librarySnapshot = [&library] { return library; };
    env.documentsPath = documents;
    env.listenPort = 0;
    env.announce = false;
    SharingController server(env);
    server.toggleSharing(true);
    while (server.tcpPort() == 0)
        pump(10);
    Nginx nginx(dir.path(), documents);

    std::printf("Download of a 200 MB WAV over loopback with curl (%d runs each, taking "
                "turns; server CPU is the median per download)\n",
                kRuns);
    Download ours;
    Download peer;
    if (!nginx.running())
        std::printf("  nginx could not be started (is it installed?)\n");
    downloadBoth(QStringLiteral("http://127.0.0.1:%1/Documents/big.wav").arg(server.tcpPort()),
                 nginx.running() ? QStringLiteral("http://127.0.0.1:%1/big.wav").arg(nginx.port)
                                 : QString(),
                 nginx.pid(), ours, peer);
    printRatio("throughput", ours.mbPerSecond, peer.mbPerSecond, "MB/s", 0.9, false);
    printRatio("server CPU per download", ours.cpuMs, peer.cpuMs, "ms  ", 1.2, true);
    std::printf("  server CPU range over the runs     sonavell %.1f-%.1f ms   nginx %.1f-%.1f ms\n",
                ours.cpuMinMs, ours.cpuMaxMs, peer.cpuMinMs, peer.cpuMaxMs);

    const quint16 pyPort = freePort();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("--bind"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), documents,
                  QString::number(pyPort)});
    for (int i = 0; i < 100 && !answers(pyPort, "/big.wav"); ++i)
        pump(50);
    const Download py =
        download(QStringLiteral("http://127.0.0.1:%1/big.wav").arg(pyPort), python.processId());
    python.kill();
    python.waitForFinished();
    // Its threads end with each request, so their CPU time cannot be read afterwards.
    std::printf("  python3 http.server: %.1f MB/s\n", py.mbPerSecond);
    if (app.arguments().contains(QStringLiteral("--download-only"))) {
        server.toggleSharing(false);
        return 0;
    }

    // A library of 10,000 recordings; the snapshot carries the file sizes, as the application's
    // does.
    auto built = std::make_shared<LibrarySnapshot>();
    built->categories = {QStringLiteral("*****"), QStringLiteral("Business"),
                         QStringLiteral("Ideas")};
    built->documentsPath = documents;
    for (int i = 0; i < kRecordings; ++i) {
        LibrarySnapshot::RecordingEntry e;
        e.filename = QStringLiteral("REC%1.wav").arg(20260101000000LL + i);
        e.name = QStringLiteral("Memo %1 & notes").arg(i);
        e.dateText = QStringLiteral("1/1/26, 9:%1 AM").arg(i % 60, 2, 10, QLatin1Char('0'));
        e.duration = i * 0.37;
        e.category = i % 2 ? QStringLiteral("Business") : QStringLiteral("Ideas");
        e.locationString = i % 3 ? QString() : QStringLiteral("Zürich ZH 8001 CH");
        e.quality = QStringLiteral("HQ");
        e.fileSize = 444;
        built->recordings.push_back(e);
    }
    built->version = 1;
    library = built;

    constexpr int kPages = 20;
    std::vector<double> fresh, freshCpu;
    QByteArray page;
    for (int i = 0; i < kPages; ++i) {
        QElapsedTimer timer;
        const double cpuBefore = threadCpuMs();
        timer.start();
        page = SharingPages::categoriesContent(*built) +
               SharingPages::filesContent(*built, documents, QStringLiteral("All"));
        fresh.push_back(timer.nsecsElapsed() / 1e6);
        freshCpu.push_back(threadCpuMs() - cpuBefore);
    }
    std::sort(fresh.begin(), fresh.end());
    std::sort(freshCpu.begin(), freshCpu.end());
    SharingPageCache cache;
    cache.documents(*built, documents, QStringLiteral("All"));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kPages; ++i)
        cache.documents(*built, documents, QStringLiteral("All"));
    const double cached = timer.nsecsElapsed() / 1e6 / kPages;

    std::printf("\nThe page /Category/All for %d recordings (%lld bytes)\n", kRecordings,
                static_cast<long long>(page.size()));
    std::printf("  built from a new snapshot    %7.2f ms  (goal <= 5 ms: %.2fx; before %.0f ms: "
                "%.2fx)\n",
                fresh[fresh.size() / 2], fresh[fresh.size() / 2] / 5.0, kPageBuildBeforeMs,
                fresh[fresh.size() / 2] / kPageBuildBeforeMs);
    std::printf("  the same, CPU time of the thread %7.2f ms  (the machine is shared: wall time "
                "includes waiting for a core)\n",
                freshCpu[freshCpu.size() / 2]);
    std::printf("  built again (page cache)     %7.3f ms\n", cached);

    // nginx serves the very bytes of the page (the bench's web folder is empty, so the page is
    // the generated documents alone) from a static file.
    {
        QFile file(documents + QStringLiteral("/All.html"));
        file.open(QIODevice::WriteOnly);
        file.write(page);
    }
    constexpr int kFetches = 50;
    const double oursServed =
        medianFetchMs(server.tcpPort(), "/Category/All", page.size(), kFetches);
    const double peerServed =
        nginx.running() ? medianFetchMs(nginx.port, "/All.html", page.size(), kFetches) : -1;
    printRatio("served over TCP (median)", oursServed, peerServed, "ms  ", 4.0, true);

    server.toggleSharing(false);
    return 0;
}
