// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/AppInfoController.h"
#include "browser/ItemDetailsController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/WWWViewController.h"
#include "core/AppDelegate.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "recorder/AudioViewController.h"
#include "support/MouseFinger.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTest>
#include <QWidget>

// The program's screens in a 320 x 480 window, wired as the program wires them, and a finger that
// taps them.
struct ProgramScreens
{
    explicit ProgramScreens(AppDelegate* app)
        : app(app)
    {
        window.setFixedSize(320, 480);
        navigation = new NavigationController(&window);
        navigation->setGeometry(0, 0, 320, 480);
        app->navigationController = navigation;
        AudioViewController::Environment screenEnv;
        screenEnv.now = [] { return 0.0; };
        screenEnv.idleInhibitor = &idle;
        recorder = new AudioViewController(app, screenEnv, &window);
        app->audioViewController = recorder;
        app->audioViewScreen = recorder;
        page = new WWWViewController(&window);
        help = new AppInfoController(app->userDefaults(), page, &window);
        app->appInfoController = help;
        list = new Level2ViewController(app, &window);
        details = new ItemDetailsController(app, &window);
        app->itemDetailsController = details;
        list->setItemDetailsController(details);
        categories = new Level1ViewController(app, list, &window);
        // Screens wait hidden until they are pushed, as the program's interface builds them.
        for (QWidget* screen :
             {static_cast<QWidget*>(page), static_cast<QWidget*>(help), static_cast<QWidget*>(list),
              static_cast<QWidget*>(details), static_cast<QWidget*>(recorder)})
            screen->hide();
        navigation->pushViewController(categories, false);
        QObject::connect(app, &AppDelegate::interfaceReady, navigation,
                         [this] { navigation->pushViewController(recorder, true); });
        app->applicationDidFinishLaunching();
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
        // The first run's tip comes up over the window; answered, as a person would.
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
    }
    ~ProgramScreens()
    {
        window.hide();
        app->navigationController = nullptr;
    }

    void tap(QWidget* widget, QPoint local = QPoint(-1, -1))
    {
        QCoreApplication::processEvents(); // pending layouts place the widget first
        if (local.x() < 0)
            local = widget->rect().center();
        t += 1.0;
        finger.tap(widget->mapTo(&window, local), t);
        QCoreApplication::processEvents();
    }
    void tapRow(TableView* table, int row)
    {
        tap(table->viewport(), table->rectForRowAtIndexPath(row).center());
    }

    AppDelegate* app;
    QWidget window;
    IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                       QDBusConnection(QStringLiteral("none"))};
    NavigationController* navigation = nullptr;
    AudioViewController* recorder = nullptr;
    WWWViewController* page = nullptr;
    AppInfoController* help = nullptr;
    Level2ViewController* list = nullptr;
    ItemDetailsController* details = nullptr;
    Level1ViewController* categories = nullptr;
    bool exposed = false;
    sonavell::test::MouseFinger finger{&window};
    double t = 0;
};
