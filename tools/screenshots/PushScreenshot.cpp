// SPDX-License-Identifier: GPL-3.0-or-later
#include "PushScreenshot.h"

#include "core/Recording.h"
#include "platform/net/NetService.h"
#include "platform/ui/PickerView.h"
#include "sharing/ExportController.h"
#include "sharing/RELO_BrowserController.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <functional>

namespace {

bool waitUntil(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return condition();
}

} // namespace

bool shootPushScreen(const QString& outDir)
{
    qputenv("AVAHI_COMPAT_NOWARN", "1");
    const QString avahiScript = QStringLiteral(SONAVELL_SOURCE_DIR "/scripts/avahi-test-service");
    const bool avahiWasRunning =
        QProcess::execute(
            QStringLiteral("timeout"),
            {QStringLiteral("3"), QStringLiteral("avahi-browse"), QStringLiteral("-at")}) == 0;
    if (QProcess::execute(avahiScript, {QStringLiteral("start")}) != 0) {
        std::fprintf(stderr, "push screen: the loopback avahi-daemon did not start\n");
        return false;
    }

    QTemporaryDir scratch;
    const QString documents = scratch.filePath(QStringLiteral("Documents"));
    QDir().mkpath(documents);
    {
        // Far more than the loopback's buffers hold, so the push is caught half-way.
        QFile wav(documents + QStringLiteral("/REC20261206211500.wav"));
        wav.open(QIODevice::WriteOnly);
        wav.write(QByteArray(64 * 1024 * 1024, '\0'));
    }
    QProcess receiver;
    receiver.setStandardInputFile(QProcess::nullDevice());
    receiver.start(QStringLiteral(SONAVELL_RECEIVER_PATH),
                   {QStringLiteral("--accept"), QStringLiteral("--name"),
                    QStringLiteral("Kitchen Laptop"), QStringLiteral("--folder"),
                    scratch.filePath(QStringLiteral("inbox")), QStringLiteral("--address"),
                    QStringLiteral("127.0.0.1")});

    auto recording = std::make_shared<Recording>(
        QStringLiteral("Lecture 3"), QStringLiteral("screenshot"), QStringLiteral("Ideas"));
    recording->setFilename(QStringLiteral("REC20261206211500.wav"));
    bool shot = false;
    {
        QWidget window;
        window.setFixedSize(320, 480);
        auto* exportScreen = new ExportController(nullptr, &window);
        exportScreen->setGeometry(0, 0, 320, 480);
        RELO_BrowserController::Environment env;
        env.documentsPath = documents;
        env.currentRecording = [&] { return recording; };
        auto* push = new RELO_BrowserController(env, &window);
        exportScreen->setReloBrowserController(push);
        window.show();
        exportScreen->postRELO_Browser();
        int lastCode = -1;
        QObject::connect(push, &RELO_BrowserController::screenCodeShown,
                         [&](int code) { lastCode = code; });
        int row = -1;
        waitUntil(
            [&] {
                for (size_t i = 0; i < push->services().size(); ++i)
                    if (push->services()[i]->name() == QLatin1String("Kitchen Laptop") &&
                        !push->services()[i]->addresses().empty())
                        row = int(i);
                return row >= 0;
            },
            20000);
        if (row < 0) {
            std::fprintf(stderr, "push screen: the receiver was not found\n");
        } else {
            push->receiverPicker->reloadAllComponents();
            push->receiverPicker->selectRow(row, 0, false);
            push->sendButton->click();
            // Once a quarter is out, the receiver is paused so the picture holds still.
            waitUntil([&] { return push->progressPercent() >= 0.25; }, 20000);
            ::kill(static_cast<pid_t>(receiver.processId()), SIGSTOP);
            waitUntil([&] { return false; }, 300);
            if (lastCode == RELO_BrowserController::kSending ||
                lastCode == RELO_BrowserController::kProgress) {
                const QString path = outDir + QStringLiteral("/push-sending.png");
                shot = window.grab().save(path);
                if (!shot)
                    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            } else {
                std::fprintf(stderr, "push screen: the push was not running (code %d)\n", lastCode);
            }
            push->cancelButton->click();
            ::kill(static_cast<pid_t>(receiver.processId()), SIGCONT);
            waitUntil([&] { return !push->isPushRunning(); }, 5000);
        }
        push->viewWillDisappear(false);
    }
    receiver.terminate();
    receiver.waitForFinished(5000);
    if (!avahiWasRunning)
        QProcess::execute(avahiScript, {QStringLiteral("stop")});
    return shot;
}
