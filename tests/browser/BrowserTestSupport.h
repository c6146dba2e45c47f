// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/AppInfoController.h"
#include "browser/Level1ViewController.h"
#include "browser/Level2ViewController.h"
#include "browser/WWWViewController.h"
#include "core/LibraryFixture.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

// A screen that stands in for the recorder screen and notes its appearance calls.
class ProbeScreen : public ViewController
{
public:
    explicit ProbeScreen(QStringList* log, const QString& name)
        : m_log(log)
        , m_name(name)
    {
        setTitle(name);
    }
    void viewWillAppear(bool) override { *m_log << m_name + " willAppear"; }
    void viewDidAppear(bool) override { *m_log << m_name + " didAppear"; }
    void viewWillDisappear(bool) override { *m_log << m_name + " willDisappear"; }
    void viewDidDisappear(bool) override { *m_log << m_name + " didDisappear"; }

private:
    QStringList* m_log;
    QString m_name;
};

// The library browser over a library in a scratch directory: the category list as the root of
// a navigation stack, the recording list, and a probe in the recorder screen's place.
class BrowserFixture : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        app = start();
        // The first-run tip is not what these tests look at.
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        navigation = std::make_unique<NavigationController>();
        navigation->resize(320, 480);
        navigation->show();
        app->navigationController = navigation.get();
        recorder = new ProbeScreen(&log, QStringLiteral("recorder"));
        app->audioViewScreen = recorder;
        level2 = new Level2ViewController(app.get(), navigation.get());
        level1 = new Level1ViewController(app.get(), level2, navigation.get());
        recorder->setParent(navigation.get());
        navigation->pushViewController(level1, false);
    }

    void TearDown() override
    {
        navigation.reset();
        LibraryFixture::TearDown();
        QCoreApplication::processEvents();
    }

    // Adds a recording in the named category (a default category's name), with a WAV file.
    std::shared_ptr<Recording> add(const QString& name, const QString& category,
                                   double duration = 0, bool withFile = true)
    {
        app->addRecording();
        auto r = app->recordings().last();
        r->setName(name);
        r->setCategory(category);
        r->setDuration(duration);
        if (withFile)
            dir.write(QStringLiteral("Documents/") + r->filename(), QByteArray("RIFF"));
        app->persist();
        return r;
    }

    int categoryRow(const QString& name) const
    {
        for (int i = 0; i < app->categories().size(); ++i)
            if (app->categories()[i]->name() == name)
                return i;
        return -1;
    }

    // Opens the recording list of a category, as a tap on its row does.
    void openCategory(const QString& name)
    {
        level1->tableViewDidSelectRowAtIndexPath(level1->myTableView(), categoryRow(name));
    }

    QStringList listNames() { return names(level2->currentList()); }

    // The answer to the rename prompt that is showing.
    static AlertView* prompt()
    {
        auto alerts = AlertView::visibleAlerts();
        return alerts.empty() ? nullptr : alerts.back();
    }

    std::unique_ptr<AppDelegate> app;
    std::unique_ptr<NavigationController> navigation;
    QStringList log;
    ProbeScreen* recorder = nullptr;
    Level1ViewController* level1 = nullptr;
    Level2ViewController* level2 = nullptr;
};
