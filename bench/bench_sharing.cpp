// SPDX-License-Identifier: GPL-3.0-or-later
// Web sharing benchmark, against nginx from Debian started here on 127.0.0.1 with its own
// configuration (sendfile on) and, for the download, Python's http.server (printed, no goal):
// - a 200 MB WAV downloaded over loopback with curl: the server's CPU time per download (median
//   of the runs; goal: at most 1.2 times nginx's) and the throughput (best of the runs, printed
//   beside it: it is bound by curl, the client, so it has no goal); the two servers take turns,
//   so that the load of a shared machine falls on both alike (`--download-only` stops after this
//   part);
// - the page "/Category/All" of a library of 10,000 recordings whose names need escaping, with
//   the real head file (the resources' index.html, as the server serves it): the thread's CPU
//   time to build it from a new snapshot (median; goal at most 5 ms), and from the page cache;
// - the same page served over TCP beside nginx serving the same bytes from a static file: the
//   time to fetch it (median; goal at most 4 times nginx's) and the server's CPU time per
//   request (median of batches; goal at most 2 times nginx's), at 10,000 and at 100,000
//   recordings. The servers take turns here too.
// `--pages-only` skips the download; `--build-only` times only the page builds (with
// SONAVELL_BENCH_BUILDS=N builds, for profiling). Exits non-zero when a goal is missed or cannot be
// measured (nginx or curl missing).
#include "BenchGoals.h"
#include "BenchSupport.h"
#include "platform/system/HeapTuning.h"
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

constexpr int kManyRecordings = 100000;

// The goals (docs/performance.md).
constexpr double kDownloadCpuRatioGoal = 1.2;
constexpr double kPageBuildGoalMs = 5.0;
constexpr double kPageFetchRatioGoal = 4.0;
constexpr double kPageRequestCpuRatioGoal = 2.0;

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

// One GET over a fresh connection, read to the end; the bytes received (kept in `into` when
// given), or -1.
qint64 fetch(quint16 port, const QByteArray& path, QByteArray* into = nullptr)
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
        if (into)
            into->append(buffer, n);
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

// The page served by both servers in turns: the time to fetch it, and each server's CPU time per
// request, measured over batches of requests. The figures are medians; negative when a fetch
// came back short.
struct Served
{
    double oursMs = -1, peerMs = -1;
    double oursCpuMs = -1, peerCpuMs = -1;
};

Served servePage(quint16 ours, const QByteArray& oursPath, quint16 peer, qint64 peerPid,
                 const QByteArray& peerPath, qint64 expectedBytes, int batches, int batchSize)
{
    std::vector<double> oursMs, peerMs, oursCpu, peerCpu;
    bool complete = true;
    const auto batch = [&](quint16 port, const QByteArray& path, qint64 pid,
                           std::vector<double>& times, std::vector<double>& cpu) {
        // The server finishes each request (its half-close, the drain) after the client has
        // read the last byte: a pause before each reading of its clock lets it.
        QThread::msleep(5);
        const double before = cpuNanoseconds(pid);
        for (int i = 0; i < batchSize; ++i) {
            QElapsedTimer t;
            t.start();
            const qint64 got = fetch(port, path);
            times.push_back(t.nsecsElapsed() / 1e6);
            complete = complete && got >= expectedBytes;
        }
        QThread::msleep(5);
        cpu.push_back((cpuNanoseconds(pid) - before) / 1e6 / batchSize);
    };
    // One untimed request each: the page is built and the file read into the page cache.
    fetch(ours, oursPath);
    fetch(peer, peerPath);
    interleaved(
        batches, [&] { batch(ours, oursPath, 0, oursMs, oursCpu); },
        [&] { batch(peer, peerPath, peerPid, peerMs, peerCpu); });
    Served served;
    if (!complete)
        return served;
    served.oursMs = median(oursMs);
    served.peerMs = median(peerMs);
    served.oursCpuMs = median(oursCpu);
    served.peerCpuMs = median(peerCpu);
    return served;
}

// nginx from Debian in the foreground as a single process (no master, no workers that would
// switch to another user and be refused the private temporary folder), serving `root` on
// 127.0.0.1 with sendfile on.
class Nginx
{
public:
    Nginx(const QString& workDir, const QString& root)
    {
        const QString path = peerProgram(QStringLiteral("nginx"));
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

// A library of `count` recordings whose names need escaping ("&") and a third of whose places
// are not ASCII; the snapshot carries the file sizes, as the application's does.
std::shared_ptr<LibrarySnapshot> makeLibrary(int count, const QString& documents, uint64_t version)
{
    auto built = std::make_shared<LibrarySnapshot>();
    built->categories = {QStringLiteral("*****"), QStringLiteral("Business"),
                         QStringLiteral("Ideas")};
    built->documentsPath = documents;
    for (int i = 0; i < count; ++i) {
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
    built->version = version;
    return built;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

// The body of the server's answer to GET `path` (the bytes after the head's blank line).
QByteArray servedBody(quint16 port, const QByteArray& path)
{
    QByteArray answer;
    fetch(port, path, &answer);
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}

} // namespace

int main(int argc, char** argv)
{
    // The allocator set up as the program sets it up at start.
    HeapTuning::apply();
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    BenchGoals goals;
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

    // The real web folder: the resources' index.html is the head of every page.
    const QString web = SharingController::defaultResourcePath();
    std::shared_ptr<const LibrarySnapshot> library = std::make_shared<LibrarySnapshot>();
    SharingController::Environment env;
    env.librarySnapshot = [&library] { return library; };
    env.documentsPath = documents;
    env.resourcePath = web;
    // A cache folder, as the application has (the pages are sent from files there).
    env.cacheFolder = dir.filePath(QStringLiteral("cache"));
    env.listenPort = 0;
    env.announce = false;
    SharingController server(env);
    server.toggleSharing(true);
    while (server.tcpPort() == 0)
        pump(10);
    Nginx nginx(dir.path(), documents);
    const bool haveCurl = !peerProgram(QStringLiteral("curl")).isEmpty();
    const std::string noNginx = "nginx is not installed or did not start";

    const bool pagesOnly = app.arguments().contains(QStringLiteral("--pages-only")) ||
                           app.arguments().contains(QStringLiteral("--build-only"));
    if (!pagesOnly)
        std::printf("Download of a 200 MB WAV over loopback with curl (%d runs each, taking "
                    "turns; server CPU is the median per download)\n",
                    kRuns);
    if (pagesOnly) {
        // `--pages-only`: the page figures alone.
    } else if (!haveCurl || !nginx.running()) {
        goals.unmeasured("200 MB download: server CPU / nginx's",
                         !haveCurl ? "curl is not installed" : noNginx);
    } else {
        Download ours;
        Download peer;
        downloadBoth(QStringLiteral("http://127.0.0.1:%1/Documents/big.wav").arg(server.tcpPort()),
                     QStringLiteral("http://127.0.0.1:%1/big.wav").arg(nginx.port), nginx.pid(),
                     ours, peer);
        if (ours.cpuMs <= 0 || peer.cpuMs <= 0) {
            goals.unmeasured("200 MB download: server CPU / nginx's", "a download failed");
        } else {
            goals.atMost("200 MB download: server CPU / nginx's", ours.cpuMs / peer.cpuMs,
                         kDownloadCpuRatioGoal, "x",
                         format("sonavell %.1f ms (%.1f-%.1f), nginx %.1f ms (%.1f-%.1f) per "
                                "download",
                                ours.cpuMs, ours.cpuMinMs, ours.cpuMaxMs, peer.cpuMs, peer.cpuMinMs,
                                peer.cpuMaxMs));
            goals.info("200 MB download: throughput / nginx's (bound by curl)",
                       ours.mbPerSecond / peer.mbPerSecond, "x",
                       format("sonavell %.0f MB/s, nginx %.0f MB/s (best run)", ours.mbPerSecond,
                              peer.mbPerSecond));
        }

        const quint16 pyPort = freePort();
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("--bind"),
                      QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), documents,
                      QString::number(pyPort)});
        if (python.waitForStarted(5000)) {
            for (int i = 0; i < 100 && !answers(pyPort, "/big.wav"); ++i)
                pump(50);
            const Download py = download(QStringLiteral("http://127.0.0.1:%1/big.wav").arg(pyPort),
                                         python.processId());
            python.kill();
            python.waitForFinished();
            // Its threads end with each request, so their CPU time cannot be read afterwards.
            goals.info("200 MB download: python3 http.server throughput", py.mbPerSecond, "MB/s");
        }
    }
    if (app.arguments().contains(QStringLiteral("--download-only"))) {
        server.toggleSharing(false);
        return goals.exitCode();
    }

    SharingPageCache headCache;
    const QByteArray head = headCache.headFile(web + QStringLiteral("/index.html"));
    std::printf("\nThe page /Category/All (head: %s, %lld bytes)\n",
                web.isEmpty() ? "none, no web folder found" : qPrintable(web + "/index.html"),
                static_cast<long long>(head.size()));
    if (head.isEmpty())
        goals.unmeasured("the page with the real head file",
                         "the resources' web/index.html was not found");

    // SONAVELL_BENCH_PAGE_RECORDINGS=N[,N...] measures other library sizes (for profiling).
    std::vector<int> counts{kRecordings, kManyRecordings};
    if (qEnvironmentVariableIsSet("SONAVELL_BENCH_PAGE_RECORDINGS")) {
        counts.clear();
        for (const QString& n : qEnvironmentVariable("SONAVELL_BENCH_PAGE_RECORDINGS").split(','))
            counts.push_back(std::max(1, n.toInt()));
    }
    for (const int count : counts) {
        const std::string at = format("%d recordings", count);
        // Snapshot versions of their own for each library, as the application's are.
        static uint64_t version = 0;
        auto built = makeLibrary(count, documents, ++version);
        // Built from a new snapshot each time: the cache sees a new version.
        const int builds = count <= kRecordings ? 31 : 9;
        const int buildsAsked = qEnvironmentVariableIntValue("SONAVELL_BENCH_BUILDS");
        std::vector<double> fresh, freshCpu;
        SharingPageCache cache;
        QByteArray page;
        for (int i = 0; i < std::max(builds, buildsAsked); ++i) {
            built->version = ++version;
            QElapsedTimer timer;
            const double cpuBefore = threadCpuMs();
            timer.start();
            page = cache.page(*built, documents, QStringLiteral("All"), head);
            fresh.push_back(timer.nsecsElapsed() / 1e6);
            freshCpu.push_back(threadCpuMs() - cpuBefore);
        }
        QElapsedTimer timer;
        timer.start();
        constexpr int kCached = 1000;
        for (int i = 0; i < kCached; ++i)
            cache.page(*built, documents, QStringLiteral("All"), head);
        const double cached = timer.nsecsElapsed() / 1e6 / kCached;
        std::printf("  %d recordings: %lld bytes\n", count, static_cast<long long>(page.size()));
        const std::string buildPeer =
            format("wall time %.2f ms (median of %d; the machine is shared: wall time includes "
                   "waiting for a core); from the page cache %.4f ms",
                   median(fresh), builds, cached);
        if (app.arguments().contains(QStringLiteral("--build-only"))) {
            std::printf("  built: CPU %.3f ms, wall %.3f ms (median of %d)\n", median(freshCpu),
                        median(fresh), builds);
            continue;
        }
        if (count == kRecordings)
            goals.atMost("page built from a new snapshot, " + at + " (thread CPU)",
                         median(freshCpu), kPageBuildGoalMs, "ms", buildPeer);
        else
            goals.info("page built from a new snapshot, " + at + " (thread CPU)", median(freshCpu),
                       "ms", buildPeer);

        // The server serves the page of this library; nginx the very bytes it sends, from a
        // static file.
        library = built;
        const QByteArray body = servedBody(server.tcpPort(), "/Category/All");
        const QString file = QStringLiteral("All%1.html").arg(count);
        writeFile(documents + QLatin1Char('/') + file, body);
        if (body != page) {
            goals.unmeasured("page served, " + at, "the server's page differs from the built one");
            continue;
        }
        if (!nginx.running()) {
            goals.unmeasured("page served over TCP / nginx's, " + at, noNginx);
            goals.unmeasured("server CPU per page request / nginx's, " + at, noNginx);
            continue;
        }
        const int batches = count <= kRecordings ? 15 : 9;
        const int batchSize = count <= kRecordings ? 10 : 3;
        const Served served = servePage(server.tcpPort(), "/Category/All", nginx.port, nginx.pid(),
                                        "/" + file.toUtf8(), body.size(), batches, batchSize);
        if (served.oursMs < 0) {
            goals.unmeasured("page served, " + at, "a fetch came back short");
            continue;
        }
        goals.atMost("page fetched over TCP / nginx's, " + at, served.oursMs / served.peerMs,
                     kPageFetchRatioGoal, "x",
                     format("sonavell %.2f ms, nginx %.2f ms (median of %d, taking turns)",
                            served.oursMs, served.peerMs, batches * batchSize));
        goals.atMost("server CPU per page request / nginx's, " + at,
                     served.oursCpuMs / served.peerCpuMs, kPageRequestCpuRatioGoal, "x",
                     format("sonavell %.3f ms, nginx %.3f ms (median of %d batches of %d, "
                            "taking turns)",
                            served.oursCpuMs, served.peerCpuMs, batches, batchSize));
        QFile::remove(documents + QLatin1Char('/') + file);
    }

    server.toggleSharing(false);
    return goals.exitCode();
}
