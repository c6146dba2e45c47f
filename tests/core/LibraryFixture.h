// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/AppDelegate.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/system/LocationManager.h"
#include "platform/ui/AlertView.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

// A library in a scratch documents directory with private settings, a controllable clock and
// no location source unless a test gives one.
class LibraryFixture : public ::testing::Test
{
protected:
    void SetUp() override { AlertView::clearHistory(); }
    void TearDown() override
    {
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
    }

    QString docs() const { return dir.file(QStringLiteral("Documents")); }

    std::unique_ptr<AppDelegate> start()
    {
        AppDelegate::Environment env;
        env.documentsPath = docs();
        env.userDefaults = settings;
        env.showAlert = &AlertView::showMessage;
        env.now = [this] { return now; };
        env.waitOneSecond = [this] {
            now = now.addSecs(1);
            ++waits;
        };
        env.locationManager = location;
        env.freeBytes = [this](const QString&) { return freeBytes; };
        return std::make_unique<AppDelegate>(env);
    }

    // Start-up as the program does it: init, then the launch sequence.
    std::unique_ptr<AppDelegate> launch()
    {
        auto app = start();
        app->applicationDidFinishLaunching();
        return app;
    }

    QStringList categoryNames(const AppDelegate& app) const
    {
        QStringList names;
        for (const auto& c : app.categories())
            names << c->name();
        return names;
    }

    static QByteArray archiveOf(const std::vector<const Archivable*>& objects)
    {
        return KeyedArchiver::archivedDataWithRootArray(objects);
    }

    // A file's bytes; empty when it cannot be read.
    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static QStringList names(const AppDelegate::RecordingList& list)
    {
        QStringList result;
        for (const auto& r : list)
            result << r->name();
        return result;
    }

    sonavell::test::ScratchDir dir;
    std::shared_ptr<QSettings> settings = sonavell::test::privateSettings(dir);
    QDateTime now = QDateTime(QDate(2009, 4, 15), QTime(9, 30, 12));
    int waits = 0;
    std::shared_ptr<LocationManager> location = std::make_shared<LocationManager>(std::nullopt);
    uint64_t freeBytes = 1500ULL * 1048576;
};
