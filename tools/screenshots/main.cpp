// sonavell_screenshots OUTDIR: renders the recorder screen on the offscreen platform, idle,
// recording, loaded and playing, into OUTDIR/recorder-<state>.png, and the push screen during a
// transfer into OUTDIR/push-sending.png. The audio is the virtual device with a manual clock and a
// 440 Hz tone as the microphone, so the recorder pictures are the same on every run.
#include "PushScreenshot.h"
#include "core/AppDelegate.h"
#include "dashboard/DashboardView.h"
#include "dashboard/MeterView.h"
#include "dashboard/TransportView.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/system/LocationManager.h"
#include "platform/ui/NavigationController.h"
#include "recorder/AudioViewController.h"
#include "recorder/RecTimerController.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SONAVELL_RESOURCES"))
        qputenv("SONAVELL_RESOURCES", SONAVELL_RESOURCE_DIR);
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    QTemporaryDir scratch;
    const QString docs = scratch.filePath(QStringLiteral("Documents"));
    QDir().mkpath(docs);
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    device->setInputGenerator(VirtualAudioDevice::Generator::Sine, 440.0, 0.6);
    AudioDevice::setDefaultDevice(device);

    double clock = 0.0;
    AppDelegate::Environment env;
    env.documentsPath = docs;
    env.userDefaults = std::make_shared<QSettings>(scratch.filePath(QStringLiteral("s.ini")),
                                                   QSettings::IniFormat);
    env.userDefaults->setValue(QLatin1String(kOutputVolumeKey), 2.0f);
    env.locationManager = std::make_shared<LocationManager>(std::nullopt);
    int exitCode = 0;
    {
        AppDelegate app(env);
        QWidget window;
        window.setFixedSize(320, 480);
        auto* navigation = new NavigationController(&window);
        navigation->setGeometry(0, 0, 320, 480);
        app.window = &window;
        app.navigationController = navigation;
        RecTimerController timer;
        app.recTimerController = &timer;
        IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                           QDBusConnection(QStringLiteral("none"))};
        AudioViewController::Environment screenEnv;
        screenEnv.now = [&clock] { return clock; };
        screenEnv.idleInhibitor = &idle;
        auto* screen = new AudioViewController(&app, screenEnv, &window);
        app.audioViewController = screen;
        app.audioViewScreen = screen;
        app.applicationDidFinishLaunching();
        screen->dbView()->meterView()->stopDemoTimer();
        screen->dbView()->meterView()->updateMeters(0.0f);

        auto run = [&](double seconds) {
            for (int i = 0; i < int(seconds * 100); ++i) {
                clock += 0.01;
                device->advance(0.01);
                QCoreApplication::processEvents();
                if (screen->bargraphTimer())
                    screen->updateBargraph();
            }
        };
        auto shoot = [&](const char* state) {
            QCoreApplication::processEvents();
            const QString path = outDir + QStringLiteral("/recorder-%1.png").arg(state);
            if (!window.grab().save(path)) {
                std::fprintf(stderr, "could not write %s\n", qPrintable(path));
                exitCode = 1;
            }
        };
        TransportView* transport = screen->dbView()->transportView();
        screen->locatorValueChanged(0.0f);
        shoot("idle");
        transport->doRecord();
        run(7.4);
        shoot("recording");
        transport->doRecord();
        screen->dbView()->locatorControl()->setValue(2.6f);
        screen->locatorValueChanged(2.6f);
        shoot("loaded");
        transport->doPlay();
        run(1.3);
        shoot("playing");
        transport->doPlay();
    }
    AudioDevice::setDefaultDevice(nullptr);
    if (!shootPushScreen(outDir))
        exitCode = 1;
    return exitCode;
}
