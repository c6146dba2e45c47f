// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application as far as e-mail needs it: a library with one recording, the navigation
// stack with the export screen on it, and the composition screen, with a private settings file
// and an idle inhibitor on no bus.

#include "SharingTestSupport.h"

#include "core/AppDelegate.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/system/LocationManager.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "sharing/AddressBookViewController.h"
#include "sharing/ExportController.h"

#include <QAbstractButton>
#include <QDBusConnection>
#include <QPushButton>
#include <QSettings>
#include <QWidget>

#include <memory>

namespace sonavell::test {

class EmailFixture
{
public:
    static constexpr const char* kFile = "REC20261208101500.wav";

    explicit EmailFixture(const QByteArray& recording,
                          AddressBookViewController::Environment screenEnv = {})
    {
        dir.write(QStringLiteral("Documents/") + kFile, recording);
        AppDelegate::Environment env;
        env.documentsPath = dir.file(QStringLiteral("Documents"));
        env.userDefaults = privateSettings(dir);
        env.locationManager = std::make_shared<LocationManager>(std::nullopt);
        app = std::make_unique<AppDelegate>(env);
        // The adopted recording, in the all-recordings category.
        for (int i = 0; i < app->categories().size(); ++i)
            if (app->categories()[i]->name() == QLatin1String(kAllRecordingsCategory))
                app->setCategoryIndex(i);
        app->setRecordingIndex(0);

        window.setFixedSize(320, 480);
        navigation = new NavigationController(&window);
        navigation->setGeometry(0, 0, 320, 480);
        app->navigationController = navigation;
        exportScreen = new ExportController(app.get(), &window);
        app->exportController = exportScreen;
        screenEnv.idleInhibitor = &idle;
        emailScreen = new AddressBookViewController(app.get(), screenEnv, &window);
        app->abViewController = emailScreen;
        window.show();
        navigation->pushViewController(exportScreen, false);
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        AlertView::clearHistory();
    }
    ~EmailFixture()
    {
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        AlertView::clearHistory();
    }

    QSettings& settings() { return app->userDefaults(); }
    QString recordingPath() const { return dir.file(QStringLiteral("Documents/") + kFile); }
    // Opens the composition screen the way the user does, with the export screen's button.
    void openEmailScreen() { exportScreen->sendEmailButton->click(); }
    void send() { emailScreen->sendButton()->click(); }

    ScratchDir dir;
    std::unique_ptr<AppDelegate> app;
    IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                       QDBusConnection(QStringLiteral("none"))};
    QWidget window;
    NavigationController* navigation = nullptr;
    ExportController* exportScreen = nullptr;
    AddressBookViewController* emailScreen = nullptr;
};

} // namespace sonavell::test
