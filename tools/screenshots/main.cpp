// sonavell_screenshots OUTDIR: renders the recorder screen on the offscreen platform, idle,
// recording, loaded and playing, into OUTDIR/recorder-<state>.png, the push screen during a
// transfer into OUTDIR/push-sending.png, then the e-mail composition screen (email-compose.png)
// and the export screen while an upload is 41% done (export-uploading.png). The audio is the
// virtual device with a manual clock and a 440 Hz tone as the microphone, so the pictures are the
// same on every run.
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
#include "sharing/AddressBookViewController.h"
#include "sharing/ExportController.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QLineEdit>
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
        auto shoot = [&](const QString& name) {
            QCoreApplication::processEvents();
            const QString path = outDir + QStringLiteral("/%1.png").arg(name);
            if (!window.grab().save(path)) {
                std::fprintf(stderr, "could not write %s\n", qPrintable(path));
                exitCode = 1;
            }
        };
        TransportView* transport = screen->dbView()->transportView();
        screen->locatorValueChanged(0.0f);
        shoot(QStringLiteral("recorder-idle"));
        transport->doRecord();
        run(7.4);
        shoot(QStringLiteral("recorder-recording"));
        transport->doRecord();
        screen->dbView()->locatorControl()->setValue(2.6f);
        screen->locatorValueChanged(2.6f);
        shoot(QStringLiteral("recorder-loaded"));
        transport->doPlay();
        run(1.3);
        shoot(QStringLiteral("recorder-playing"));
        transport->doPlay();

        // E-mail: the composition screen opened from the export screen, then the export screen
        // while the upload runs.
        auto* exportScreen = new ExportController(&app, &window);
        exportScreen->hide();
        app.exportController = exportScreen;
        AddressBookViewController::Environment mailEnv;
        mailEnv.idleInhibitor = &idle;
        auto* emailScreen = new AddressBookViewController(&app, mailEnv, &window);
        emailScreen->hide();
        app.abViewController = emailScreen;
        env.userDefaults->setValue(QLatin1String(kEmailSubjectKey),
                                   QStringLiteral("A voice memo for you"));
        env.userDefaults->setValue(QLatin1String(kEmailBodyKey),
                                   QStringLiteral("Recorded with Sonavell."));
        navigation->pushViewController(exportScreen, false);
        exportScreen->sendEmailButton->click();
        emailScreen->emailTo()->setText(QStringLiteral("ann@example.org"));
        shoot(QStringLiteral("email-compose"));
        navigation->popViewControllerAnimated(false);
        exportScreen->updateEmailProgress(0.4096f);
        exportScreen->updateProgress();
        shoot(QStringLiteral("export-uploading"));
        exportScreen->updateEmailProgress(0.0f);
    }
    AudioDevice::setDefaultDevice(nullptr);
    if (!shootPushScreen(outDir))
        exitCode = 1;
    return exitCode;
}
