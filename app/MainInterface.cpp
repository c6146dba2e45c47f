// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainInterface.h"

#include "app/KeyboardShortcuts.h"

#include "browser/AppInfoController.h"
#include "browser/ItemDetailsController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/SettingsViewController.h"
#include "browser/WWWViewController.h"
#include "core/AppDelegate.h"
#include "platform/ui/AfterFirstPaint.h"
#include "platform/ui/AlertLayer.h"
#include "platform/ui/FirstFrameReport.h"
#include "platform/ui/FocusNavigator.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScaledWindow.h"
#include "recorder/AudioViewController.h"
#include "recorder/RecTimerController.h"
#include "sharing/AddressBookViewController.h"
#include "sharing/ExportController.h"
#include "sharing/RELO_BrowserController.h"
#include "sharing/SharingController.h"

#include <QVBoxLayout>
#include <QWidget>

#include <utility>

MainInterface::MainInterface(AppDelegate& appDelegate,
                             AudioViewController::Environment recorderEnvironment)
    : m_appDelegate(appDelegate)
    , m_scaledWindow(new ScaledWindow(QSize(kWindowWidth, kWindowHeight)))
    , m_window(m_scaledWindow->contentView())
{
    // The screens live in the application view, laid out in points; the window scales it.
    m_scaledWindow->setWindowTitle(QStringLiteral("Sonavell"));
    m_scaledWindow->applyPreferredSize();
    auto* navigation = new NavigationController(m_window);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(navigation);
    AlertLayer::setHost(m_window);

    appDelegate.navigationController = navigation;
    // When start-up has finished: the window shows, the recorder screen on top.
    QObject::connect(&appDelegate, &AppDelegate::interfaceReady, m_scaledWindow,
                     [window = m_scaledWindow, navigation, &appDelegate] {
                         window->show();
                         window->activateWindow();
                         if (appDelegate.audioViewScreen)
                             navigation->pushViewController(appDelegate.audioViewScreen, true);
                     });
    // The window's title names the screen on top: "Lecture 3 — Sonavell".
    QObject::connect(navigation, &NavigationController::barTitleChanged, m_scaledWindow,
                     [window = m_scaledWindow](const QString& title) {
                         window->setWindowTitle(title.isEmpty()
                                                    ? QStringLiteral("Sonavell")
                                                    : title + QStringLiteral(" — Sonavell"));
                     });
    new KeyboardShortcuts(appDelegate, m_scaledWindow);
    // Tab and Shift+Tab through the controls of the screen on top, with a focus ring.
    new FocusNavigator(m_window);
    FirstFrameReport::install(m_scaledWindow);

    // The web sharing server and the export screen that switches it and shows its addresses.
    auto* sharing = new SharingController(&appDelegate, m_window);
    auto* exportScreen = new ExportController(&appDelegate, m_window);
    exportScreen->hide();
    QObject::connect(exportScreen, &ExportController::webSharingSwitched, sharing,
                     &SharingController::toggleSharing);
    QObject::connect(
        sharing, &SharingController::urlDataChanged, exportScreen, [sharing, exportScreen] {
            exportScreen->urlDataIsReady(sharing->myPublicHostNameURL(), sharing->myPublicRawURL());
        });
    appDelegate.sharingController = sharing;
    appDelegate.exportController = exportScreen;

    // The timer recording settings, pushed from the recorder screen's record toolbar.
    auto* recTimer = new RecTimerController(m_window);
    recTimer->hide();
    appDelegate.recTimerController = recTimer;

    // The category list is the root screen; the recording list opens from it.
    auto* recordingList = new Level2ViewController(&appDelegate, m_window);
    recordingList->hide();
    auto* categoryList = new Level1ViewController(&appDelegate, recordingList, m_window);
    navigation->pushViewController(categoryList, false);
    m_categoryList = categoryList;
    m_recordingList = recordingList;

    // The recorder screen, pushed on top of the category list when start-up has finished.
    auto* recorder =
        new AudioViewController(&appDelegate, std::move(recorderEnvironment), m_window);
    recorder->hide();
    appDelegate.audioViewController = recorder;
    appDelegate.audioViewScreen = recorder;

    // Screens that the first frame does not show and that cost time to build come after it: the
    // settings screen, the help screens (their page view sets up networking), the push and e-mail
    // screens behind the export screen, and the details screen behind a recording row. Until then
    // their buttons do nothing, as when a screen is missing.
    AfterFirstPaint::run(m_scaledWindow, [this, exportScreen, recordingList] {
        buildLaterScreens(exportScreen, recordingList);
    });
}

void MainInterface::buildLaterScreens(ExportController* exportScreen,
                                      Level2ViewController* recordingList)
{
    AppDelegate& appDelegate = m_appDelegate;
    buildSettings();

    // The help list and its page screen, opened from the recorder screen's info button.
    auto* helpPage = new WWWViewController(m_window);
    helpPage->hide();
    auto* help = new AppInfoController(appDelegate.userDefaults(), helpPage, m_window);
    help->hide();
    appDelegate.appInfoController = help;

    // The push screen, presented by the export screen.
    exportScreen->setReloBrowserController(new RELO_BrowserController(&appDelegate, m_window));

    // The e-mail composition screen, pushed from the export screen's e-mail button.
    auto* emailScreen = new AddressBookViewController(&appDelegate, m_window);
    emailScreen->hide();
    appDelegate.abViewController = emailScreen;

    // The details screen, opened by a recording row's detail button.
    auto* details = new ItemDetailsController(&appDelegate, m_window);
    details->hide();
    appDelegate.itemDetailsController = details;
    recordingList->setItemDetailsController(details);
}

void MainInterface::buildSettings()
{
    if (m_settings)
        return;
    // The settings screen, opened by the category list's gear.
    m_settings = new SettingsViewController(&m_appDelegate, m_window);
    m_settings->hide();
    m_categoryList->setSettingsViewController(m_settings);
}

void MainInterface::showSettings()
{
    buildSettings();
    if (NavigationController* navigation = m_categoryList->navigationController()) {
        navigation->popToViewController(m_categoryList, false);
        m_categoryList->openSettings(false);
    }
}

MainInterface::~MainInterface()
{
    AlertLayer::setHost(nullptr);
    delete m_scaledWindow;
}
