// SPDX-License-Identifier: GPL-3.0-or-later
// The sonavell executable: parses the command line, creates the application object (which loads
// and repairs the library), builds the window and runs the event loop. SIGINT and SIGTERM quit
// like a normal exit, so the library is always written back.
#include "app/AppLog.h"
#include "app/MainInterface.h"
#include "app/MediaControls.h"
#include "core/AppDelegate.h"
#include "dashboard/DashboardView.h"
#include "dashboard/TransportView.h"
#include "platform/net/RunningInstance.h"
#include "platform/system/DocumentsFolder.h"
#include "platform/system/HeapTuning.h"
#include "platform/system/QuitSignals.h"
#include "platform/system/Translations.h"
#include "platform/ui/AfterFirstPaint.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BundleImage.h"
#include "platform/ui/ScaledWindow.h"
#include "platform/ui/SwitchControl.h"
#include "recorder/AudioViewController.h"
#include "sharing/ExportController.h"
#include "sharing/SharingController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDir>
#include <QIcon>
#include <QSettings>

#include <cstdio>
#include <cstring>

namespace {

QString documentsDirectory(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    if (parser.isSet(option))
        return QDir(parser.value(option)).absolutePath();
    const QString fromEnvironment = qEnvironmentVariable("SONAVELL_DOCUMENTS");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();
    return DocumentsFolder::settle();
}

// --help and --version only print, so they must work without a display: the offscreen platform
// stands in for one unless a platform is named (Qt aborts when the one it picks has no display).
bool onlyPrints(int argc, char** argv)
{
    bool prints = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            break;
        if (std::strcmp(arg, "-platform") == 0 || std::strcmp(arg, "--platform") == 0)
            return false;
        if (std::strcmp(arg, "--documents") == 0) {
            ++i; // its value, whatever it reads
            continue;
        }
        for (const char* option : {"--help", "-h", "-?", "--help-all", "--version", "-v"})
            prints = prints || std::strcmp(arg, option) == 0;
    }
    return prints;
}

// --share on a machine without a display: the offscreen platform stands in for the screen.
bool wantsHeadlessSharing(int argc, char** argv)
{
    bool share = false;
    bool platformGiven = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i) {
        share = share || std::strcmp(argv[i], "--share") == 0;
        platformGiven = platformGiven || std::strcmp(argv[i], "-platform") == 0 ||
                        std::strcmp(argv[i], "--platform") == 0;
    }
    return share && !platformGiven && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Turns the export screen's web sharing switch on, as a tap does, and logs the two addresses
// once the server knows them.
void startWebSharing(AppDelegate& appDelegate)
{
    SharingController* sharing = appDelegate.sharingController;
    ExportController* exportScreen = appDelegate.exportController;
    if (!sharing || !exportScreen)
        return;
    QObject::connect(sharing, &SharingController::urlDataChanged, sharing, [sharing] {
        if (sharing->myPublicHostNameURL().isEmpty() && !sharing->myPublicRawURL().isEmpty())
            qCInfo(lcApp).noquote() << "Web sharing at" << sharing->myPublicRawURL();
        else if (!sharing->myPublicRawURL().isEmpty())
            qCInfo(lcApp).noquote() << "Web sharing at" << sharing->myPublicHostNameURL() << "and"
                                    << sharing->myPublicRawURL();
    });
    if (!exportScreen->webSharingSwitch()->isOn())
        exportScreen->webSharingSwitch()->click();
    qCInfo(lcApp).noquote() << "Web sharing on port 8080; announcing it over Bonjour as"
                            << sharing->serviceName();
}

// The window's icon (on X11 its _NET_WM_ICON, which docks and switchers show): the icon theme's
// application icon, else the same artwork built into the program.
void applyWindowIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral(SONAVELL_APP_ID));
    if (icon.isNull()) {
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/icons/%1x%1/apps/" SONAVELL_APP_ID ".png").arg(size));
    }
    QApplication::setWindowIcon(icon);
}

} // namespace

int main(int argc, char* argv[])
{
    HeapTuning::apply();
    // Log lines read as plain sentences; each folder's category still lets QT_LOGGING_RULES
    // filter them, and QT_MESSAGE_PATTERN can show the category.
    qSetMessagePattern(QStringLiteral("%{message}"));
    QApplication::setOrganizationName(QStringLiteral("Sonavell"));
    QApplication::setApplicationName(QStringLiteral("Sonavell"));
    QApplication::setApplicationVersion(QStringLiteral(SONAVELL_VERSION));
    // Ties the window to the installed desktop entry (its icon and name in docks and switchers).
    QApplication::setDesktopFileName(QStringLiteral(SONAVELL_APP_ID));
    if (onlyPrints(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (wantsHeadlessSharing(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fprintf(stderr, "sonavell: no display found, so there is no window; web sharing "
                             "serves the library until the program is interrupted\n");
    }
    QApplication app(argc, argv);
    // The window's texts in the system language where Sonavell has a catalogue for it (German,
    // French), Qt's standard texts with them; otherwise in English. The command line's help and
    // the log stay in English.
    Translations::install();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sonavell records voice memos into WAV files, plays them back and shares them."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption documentsOption(
        QStringLiteral("documents"),
        QStringLiteral("The library's documents directory (default: $SONAVELL_DOCUMENTS, else %1).")
            .arg(DocumentsFolder::standardPath()),
        QStringLiteral("DIR"));
    parser.addOption(documentsOption);
    const QCommandLineOption shareOption(
        QStringLiteral("share"),
        QStringLiteral("Switch web sharing on at start, as the export screen's switch does, and "
                       "log the two addresses once known. Without a display, runs without a "
                       "window until interrupted."));
    parser.addOption(shareOption);
    const QCommandLineOption recordOption(
        QStringLiteral("record"),
        QStringLiteral("Start a take at once into a new recording, as tapping the add and the "
                       "record buttons does."));
    parser.addOption(recordOption);
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("Open on the settings screen (the category list's gear)."));
    parser.addOption(settingsOption);
    parser.process(app);
    // The recorder screen's pictures are decoded on a worker thread while the library loads and
    // the other screens are built, instead of one after another on the main thread.
    BundleImage::preload(DashboardView::startupImageNames());

    QuitSignals quitSignals;

    AppDelegate::Environment environment;
    environment.documentsPath = documentsDirectory(parser, documentsOption);
    environment.userDefaults = std::make_shared<QSettings>();
    environment.showAlert = &AlertView::showMessage;

    // One copy per library: a second start on the same folder brings the running copy's window
    // forward and ends, rather than loading the library again and writing over the other's.
    QDir().mkpath(environment.documentsPath);
    RunningInstance instance(environment.documentsPath);
    const QByteArray shownPath = QDir::toNativeSeparators(environment.documentsPath).toLocal8Bit();
    if (instance.outcome() == RunningInstance::Outcome::RaisedOther) {
        std::fprintf(stderr,
                     "sonavell: Sonavell is already running on %s; its window was brought "
                     "forward\n",
                     shownPath.constData());
        return 0;
    }
    if (instance.outcome() == RunningInstance::Outcome::OtherNotAnswering) {
        std::fprintf(stderr,
                     "sonavell: Sonavell is already running on %s (process %lld) and does not "
                     "answer; the library is not opened a second time\n",
                     shownPath.constData(), static_cast<long long>(instance.otherProcess()));
        return 1;
    }
    AppDelegate appDelegate(environment);
    qCInfo(lcApp).noquote() << "Sonavell library in" << environment.documentsPath;

    MainInterface interface(appDelegate);
    // Decoding the icon's seven sizes (and Qt asking each image plugin about them) costs a few
    // milliseconds that the first frame does not need; the window takes the icon right after.
    AfterFirstPaint::run(interface.scaledWindow(), applyWindowIcon);
    QObject::connect(&instance, &RunningInstance::raiseRequested, &app, [&interface] {
        ScaledWindow* window = interface.scaledWindow();
        if (window->isMinimized())
            window->showNormal();
        else
            window->show();
        window->raise();
        window->activateWindow();
        qCInfo(lcApp) << "A second start on this library brought the window forward";
    });
    // A take that runs at the end (window closed, SIGINT, SIGTERM) is finished first, as its
    // stop button finishes it, so the library written next holds its length and quality.
    QObject::connect(&app, &QApplication::aboutToQuit, &appDelegate, [&appDelegate] {
        if (appDelegate.audioViewController)
            appDelegate.audioViewController->finishTransportBeforeQuit();
    });
    QObject::connect(&app, &QApplication::aboutToQuit, &appDelegate,
                     [&appDelegate] { appDelegate.applicationWillTerminate(); });
    // Web sharing is switched off when the program ends.
    QObject::connect(&app, &QApplication::aboutToQuit, &appDelegate, [&appDelegate] {
        if (appDelegate.sharingController)
            appDelegate.sharingController->toggleSharing(false);
    });
    appDelegate.applicationDidFinishLaunching();
    // The lock screen, the notification area and media keys see and control playback.
    MediaControls mediaControls(appDelegate, interface.scaledWindow(),
                                QDBusConnection::sessionBus());
    if (parser.isSet(settingsOption))
        interface.showSettings();
    if (parser.isSet(shareOption))
        startWebSharing(appDelegate);
    if (parser.isSet(recordOption) && appDelegate.audioViewController) {
        AudioViewController* recorder = appDelegate.audioViewController;
        recorder->newRecording();
        recorder->dbView()->transportView()->doRecord();
    }
    return app.exec();
}
