// SPDX-License-Identifier: GPL-3.0-or-later
// sonavell_screenshots OUTDIR: renders the recorder screen on the offscreen platform, idle,
// recording, loaded and playing, into OUTDIR/recorder-<state>.png, the push screen during a
// transfer into OUTDIR/push-sending.png, the e-mail composition screen (email-compose.png), the
// export screen while an upload is 41% done (export-uploading.png), the library screens
// (categories, a recording list, search results, edit mode, a help page) into
// OUTDIR/library-<screen>.png, the settings screen (settings.png), the category list, a
// recording list and the settings under a dark desktop theme (library-categories-dark.png,
// library-recordings-dark.png, settings-dark.png), the details screen with a
// portrait photo, a landscape photo and no photo, and its category picker, into
// OUTDIR/details-<state>.png, and the whole window showing the recorder screen and the category
// list at 360 x 720, 720 x 1440 and 1280 x 800 (OUTDIR/window-<screen>-<size>.png). The audio is
// the virtual device with a manual clock and a 440 Hz tone as the microphone, so the pictures are
// the same on every run.
#include "PushScreenshot.h"
#include "browser/AppInfoController.h"
#include "browser/ItemDetailsController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/SettingsViewController.h"
#include "browser/WWWViewController.h"
#include "core/AppDelegate.h"
#include "dashboard/DashboardView.h"
#include "dashboard/MeterView.h"
#include "dashboard/TransportView.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/system/LocationManager.h"
#include "platform/ui/AlertLayer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScaledWindow.h"
#include "platform/ui/SearchBar.h"
#include "recorder/AudioViewController.h"
#include "recorder/RecTimerController.h"
#include "sharing/AddressBookViewController.h"
#include "sharing/ExportController.h"
#include "support/DarkPalette.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>

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
    env.showAlert = &AlertView::showMessage;
    env.locationManager = std::make_shared<LocationManager>(std::nullopt);
    int exitCode = 0;
    {
        AppDelegate app(env);
        // The application's window: the screens in a view of 320 x 480 points (or taller),
        // scaled to the window. Most pictures show the view at one pixel per point.
        ScaledWindow scaled;
        scaled.resize(320, 480);
        QWidget& window = *scaled.contentView();
        auto* navigation = new NavigationController(&window);
        auto* column = new QVBoxLayout(&window);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(navigation);
        AlertLayer::setHost(&window);
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
        auto* page = new WWWViewController(&window);
        auto* help = new AppInfoController(*env.userDefaults, page, &window);
        app.appInfoController = help;
        auto* recordingList = new Level2ViewController(&app, &window);
        auto* categoryList = new Level1ViewController(&app, recordingList, &window);
        auto* settingsScreen = new SettingsViewController(&app, &window);
        settingsScreen->hide();
        categoryList->setSettingsViewController(settingsScreen);
        page->hide();
        help->hide();
        recordingList->hide();
        navigation->pushViewController(categoryList, false);
        QObject::connect(&app, &AppDelegate::interfaceReady, navigation, [&] {
            scaled.show();
            navigation->pushViewController(screen, true);
        });
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
        // The screen as it is, under a dark desktop theme: the lists keep their dark text on
        // white.
        auto shootDark = [&](const QString& name) {
            const QPalette light = QApplication::palette();
            QApplication::setPalette(sonavell::test::darkDesktopPalette());
            shoot(name);
            QApplication::setPalette(light);
        };
        // The whole window at a phone's size, at double density, and on a desktop.
        auto shootSizes = [&](const QString& name) {
            for (const QSize size : {QSize(360, 720), QSize(720, 1440), QSize(1280, 800)}) {
                scaled.resize(size);
                QCoreApplication::processEvents();
                const QString path =
                    outDir +
                    QStringLiteral("/%1-%2x%3.png").arg(name).arg(size.width()).arg(size.height());
                if (!scaled.grab().save(path)) {
                    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
                    exitCode = 1;
                }
            }
            scaled.resize(320, 480);
            QCoreApplication::processEvents();
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
        shootSizes(QStringLiteral("window-recorder"));
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

        // The library screens, over a few memos with photos and places.
        struct Memo
        {
            const char* name;
            const char* category;
            const char* place;
            double duration;
            QColor photo; // none when invalid
            bool portrait;
        };
        const Memo memos[] = {
            {"Kitchen renovation", "Ideas", "Kitchener ON N2G 1A1 CA", 312, QColor(196, 120, 64),
             false},
            {"Chorus idea in D", "Music", "Guelph ON N1H 3T9 CA", 95, QColor(70, 110, 180), true},
            {"Band practice", "Music", "Waterloo ON N2L 3G1 CA", 3725, QColor(60, 150, 90), false},
            {"Kids' song for Sam", "Music", "", 48, QColor(), false},
            {"Bass line", "Music", "Kitchener ON N2H 2W2 CA", 22, QColor(150, 60, 140), false},
            {"Call with Ana", "Business", "", 640, QColor(), false},
        };
        for (const Memo& memo : memos) {
            app.setCategoryIndex(0);
            app.addRecording();
            auto r = app.recordings().last();
            r->setName(QString::fromUtf8(memo.name));
            r->setCategory(QString::fromUtf8(memo.category));
            r->setLocationString(QString::fromUtf8(memo.place));
            r->setDuration(memo.duration);
            r->setQuality(QStringLiteral("HQ"));
            if (memo.photo.isValid()) {
                QImage photo(memo.portrait ? QSize(300, 400) : QSize(400, 300),
                             QImage::Format_RGB32);
                QPainter painter(&photo);
                QLinearGradient fill(0, 0, photo.width(), photo.height());
                fill.setColorAt(0, memo.photo.lighter(150));
                fill.setColorAt(1, memo.photo.darker(160));
                painter.fillRect(photo.rect(), fill);
                painter.setBrush(memo.photo.lighter(180));
                painter.setPen(Qt::NoPen);
                painter.drawEllipse(photo.rect().center(), photo.width() / 4, photo.width() / 4);
                painter.end();
                photo.save(QDir(docs).filePath(r->photoFilename()), "JPEG", 80);
            }
        }
        app.persist();
        navigation->popToViewController(categoryList, false);
        shoot("library-categories");
        shootDark("library-categories-dark");
        shootSizes(QStringLiteral("window-categories"));
        categoryList->tableViewDidSelectRowAtIndexPath(categoryList->myTableView(), 5); // Music
        shoot("library-recordings");
        shootDark("library-recordings-dark");
        recordingList->searchBarTextDidChange(recordingList->searchBar(), QStringLiteral("ki"));
        recordingList->searchBar()->setText(QStringLiteral("ki"));
        shoot("library-search");
        recordingList->searchBarCancelButtonClicked(recordingList->searchBar());
        recordingList->editAction();
        shoot("library-edit");
        recordingList->editAction();
        navigation->pushViewController(help, false);
        help->tableViewDidSelectRowAtIndexPath(help->table(), 1);
        shoot("library-help");

        // The settings screen, opened by the category list's gear, with a few values set.
        env.userDefaults->setValue(QLatin1String(kAutoLocationStampKey), true);
        env.userDefaults->setValue(QLatin1String(kUploadUrlKey),
                                   QStringLiteral("http://192.168.1.10:8025"));
        env.userDefaults->setValue(QLatin1String(kContactsPathKey),
                                   QStringLiteral("/home/ann/Contacts/family.vcf"));
        navigation->popToViewController(categoryList, false);
        categoryList->openSettings(false);
        shoot("settings");

        shootDark("settings-dark");

        // The details screen: a memo with a portrait photo, one with a landscape photo (hidden
        // from web sharing), one without, and the category picker. The WAV files are sparse, so
        // that their sizes match the lengths without filling the disk.
        auto* details = new ItemDetailsController(&app, &window);
        details->hide();
        app.itemDetailsController = details;
        recordingList->setItemDetailsController(details);
        for (const auto& r : app.recordings()) {
            QFile wav(QDir(docs).filePath(r->filename()));
            if (wav.open(QIODevice::ReadWrite))
                wav.resize(44 + qint64(r->duration() * 44100.0) * 2);
        }
        for (const auto& r : app.recordings())
            r->setHideFromWebSharing(r->name() == QLatin1String("Band practice"));
        navigation->popToViewController(categoryList, false);
        categoryList->tableViewDidSelectRowAtIndexPath(categoryList->myTableView(), 5); // Music
        auto showDetails = [&](int row, const char* name) {
            recordingList->tableViewAccessoryButtonTappedForRowWithIndexPath(
                recordingList->myTableView(), row);
            shoot(QLatin1String(name));
        };
        showDetails(0, "details-portrait");
        details->postCategoryPicker();
        shoot(QStringLiteral("details-category"));
        details->dismissModalViewControllerAnimated(false);
        navigation->popViewControllerAnimated(false);
        showDetails(1, "details-landscape");
        navigation->popViewControllerAnimated(false);
        showDetails(2, "details-no-photo");
        AlertLayer::setHost(nullptr);
    }
    AudioDevice::setDefaultDevice(nullptr);
    if (!shootPushScreen(outDir))
        exitCode = 1;
    return exitCode;
}
