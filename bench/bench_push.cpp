// Push benchmark: a 50 MB WAV pushed over loopback from the push screen to sonavell-receive
// (--accept, on 127.0.0.1, found through the loopback-only avahi-daemon of
// scripts/avahi-test-service), beside a plain socat copy of the same file over TCP into a file
// in the same run; MB/s of each (the push from Send until the screen is idle again, which
// includes the receiver's fsync) and the ratio.
#include "BenchSupport.h"
#include "core/Recording.h"
#include "platform/net/NetService.h"
#include "platform/ui/PickerView.h"
#include "sharing/RELO_BrowserController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 kFileBytes = 50LL * 1024 * 1024;
constexpr int kRuns = 3;

bool waitUntil(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return condition();
}

// Runs a program to its end with its output discarded; its exit code (-1 when it did not run).
int quietly(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

double rate(qint64 bytes, qint64 nanoseconds)
{
    return double(bytes) / (1024.0 * 1024.0) / (double(nanoseconds) / 1e9);
}

// The best of kRuns socat copies of `file` to a socat listening on 127.0.0.1, in MB/s.
double socatRate(const QString& socat, const QString& file, const QString& outDir)
{
    double best = -1;
    for (int run = 0; run < kRuns; ++run) {
        const quint16 port = freePort();
        const QString out = outDir + QStringLiteral("/socat-%1.wav").arg(run);
        QProcess listener;
        listener.start(socat, {QStringLiteral("-u"),
                               QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(port),
                               QStringLiteral("CREATE:%1").arg(out)});
        QThread::msleep(200);
        QElapsedTimer timer;
        timer.start();
        QProcess sender;
        sender.start(socat, {QStringLiteral("-u"), QStringLiteral("OPEN:%1").arg(file),
                             QStringLiteral("TCP:127.0.0.1:%1").arg(port)});
        sender.waitForFinished(120000);
        listener.waitForFinished(120000);
        const qint64 elapsed = timer.nsecsElapsed();
        if (QFileInfo(out).size() != kFileBytes)
            return -1;
        QFile::remove(out);
        best = std::max(best, rate(kFileBytes, elapsed));
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("AVAHI_COMPAT_NOWARN", "1");
    QApplication app(argc, argv);
    const QString binary = QCoreApplication::applicationDirPath();
    const QString receiverPath = binary + QStringLiteral("/../tools/receiver/sonavell-receive");
    const QString avahiScript = QStringLiteral(SONAVELL_SOURCE_DIR "/scripts/avahi-test-service");

    QTemporaryDir dir;
    const QString documents = dir.filePath(QStringLiteral("Documents"));
    const QString inbox = dir.filePath(QStringLiteral("inbox"));
    QDir().mkpath(documents);
    {
        QFile big(documents + QStringLiteral("/REC20260101000000.wav"));
        big.open(QIODevice::WriteOnly);
        big.write(wavHeader(kFileBytes - 44));
        QByteArray block(1024 * 1024, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((i * 31) & 0xff);
        for (qint64 left = kFileBytes - 44; left > 0; left -= block.size())
            big.write(block.constData(), std::min<qint64>(left, block.size()));
    }

    // The loopback-only avahi-daemon; started here (and stopped again at the end) when it is
    // not already running.
    std::printf("Push of a 50 MB WAV over loopback (best of %d)\n", kRuns);
    std::fflush(stdout);
    const bool avahiWasRunning =
        quietly(QStringLiteral("timeout"),
                {QStringLiteral("3"), QStringLiteral("avahi-browse"), QStringLiteral("-at")}) == 0;
    if (quietly(avahiScript, {QStringLiteral("start")}) != 0) {
        std::printf(
            "  push                not measured: the loopback avahi-daemon did not start\n");
        return 0;
    }

    const QString name = QStringLiteral("bench-%1").arg(QCoreApplication::applicationPid());
    QProcess receiver;
    receiver.setStandardInputFile(QProcess::nullDevice());
    receiver.start(receiverPath, {QStringLiteral("--accept"), QStringLiteral("--name"), name,
                                  QStringLiteral("--folder"), inbox, QStringLiteral("--address"),
                                  QStringLiteral("127.0.0.1"), QStringLiteral("--max-size"),
                                  QStringLiteral("1G")});

    auto recording = std::make_shared<Recording>(QStringLiteral("Bench"), QStringLiteral("u"),
                                                 QStringLiteral("Ideas"));
    recording->setFilename(QStringLiteral("REC20260101000000.wav"));
    RELO_BrowserController::Environment env;
    env.documentsPath = documents;
    env.currentRecording = [&] { return recording; };
    RELO_BrowserController screen(env);
    int lastCode = -1;
    QObject::connect(&screen, &RELO_BrowserController::screenCodeShown,
                     [&](int code) { lastCode = code; });
    screen.viewWillAppear(false);
    int row = -1;
    waitUntil(
        [&] {
            for (size_t i = 0; i < screen.services().size(); ++i)
                if (screen.services()[i]->name() == name &&
                    !screen.services()[i]->addresses().empty())
                    row = int(i);
            return row >= 0;
        },
        20000);
    double push = -1;
    if (row < 0) {
        std::printf("  push                not measured: the receiver was not found\n");
    } else {
        screen.receiverPicker->reloadAllComponents();
        screen.receiverPicker->selectRow(row, 0, false);
        for (int run = 0; run < kRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            lastCode = -1;
            screen.sendButton->click();
            const bool done = waitUntil(
                [&] {
                    return !screen.isPushRunning() && (lastCode == RELO_BrowserController::kIdle ||
                                                       lastCode == RELO_BrowserController::kFailed);
                },
                300000);
            const qint64 elapsed = timer.nsecsElapsed();
            const QString saved =
                inbox + (run == 0 ? QStringLiteral("/Bench.wav")
                                  : QStringLiteral("/Bench (%1).wav").arg(run + 1));
            if (!done || lastCode != RELO_BrowserController::kIdle ||
                !waitUntil([&] { return QFileInfo(saved).size() == kFileBytes; }, 10000)) {
                push = -1;
                break;
            }
            push = std::max(push, rate(kFileBytes, elapsed));
        }
        std::printf("  sonavell push       %8.1f MB/s  (512-byte chunks, one per space event)\n",
                    push);
    }
    screen.viewWillDisappear(false);
    receiver.terminate();
    receiver.waitForFinished(5000);
    if (!avahiWasRunning)
        quietly(avahiScript, {QStringLiteral("stop")});

    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty()) {
        std::printf("  socat               not installed\n");
        return 0;
    }
    const double plain =
        socatRate(socat, documents + QStringLiteral("/REC20260101000000.wav"), dir.path());
    std::printf("  socat copy          %8.1f MB/s   push/socat = %.3f\n", plain,
                plain > 0 && push > 0 ? push / plain : 0.0);
    return 0;
}
