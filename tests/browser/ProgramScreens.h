// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MainInterface.h"
#include "browser/AppInfoController.h"
#include "browser/ItemDetailsController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/WWWViewController.h"
#include "core/AppDelegate.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScaledWindow.h"
#include "platform/ui/TableView.h"
#include "recorder/AudioViewController.h"
#include "support/MouseFinger.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTest>
#include <QWidget>

// The program's window and screens, built and started as the program builds them
// (MainInterface), and a finger that taps them in the application view.
struct ProgramScreens
{
    explicit ProgramScreens(AppDelegate* app)
        : app(app)
        , ui(*app, recorderEnvironment())
        , window(*ui.window())
        , navigation(app->navigationController)
        , recorder(app->audioViewController)
        , list(ui.recordingList())
        , categories(ui.categoryList())
    {
        app->applicationDidFinishLaunching();
        exposed = QTest::qWaitForWindowExposed(ui.scaledWindow());
        // The screens that come after the first frame.
        exposed = exposed && QTest::qWaitFor([app] { return app->itemDetailsController; });
        details = app->itemDetailsController;
        help = app->appInfoController;
        page = help ? help->webViewController() : nullptr;
        // The first run's tip comes up over the window; answered, as a person would.
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        QCoreApplication::processEvents();
    }
    ~ProgramScreens() { ui.scaledWindow()->hide(); }

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

    // The recorder screen's clock stands still, and nothing is inhibited on the machine's buses.
    AudioViewController::Environment recorderEnvironment()
    {
        AudioViewController::Environment environment;
        environment.now = [] { return 0.0; };
        environment.idleInhibitor = &idle;
        return environment;
    }

    AppDelegate* app;
    IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                       QDBusConnection(QStringLiteral("none"))};
    MainInterface ui;
    QWidget& window;
    NavigationController* navigation;
    AudioViewController* recorder;
    Level2ViewController* list;
    Level1ViewController* categories;
    ItemDetailsController* details = nullptr;
    AppInfoController* help = nullptr;
    WWWViewController* page = nullptr;
    bool exposed = false;
    sonavell::test::MouseFinger finger{&window};
    double t = 0;
};
