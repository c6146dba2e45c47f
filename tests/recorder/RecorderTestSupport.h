// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioPlayer.h"
#include "audio/AudioRecorder.h"
#include "core/AppDelegate.h"
#include "dashboard/TransportView.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioFile.h"
#include "platform/audio/VirtualAudioDevice.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/system/LocationManager.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "recorder/AudioViewController.h"
#include "recorder/RecTimerController.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QSettings>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A recorder screen over a library in a scratch directory, on a virtual audio device whose
// manual clock also drives the screen's read-outs; or, made with onSoundServer, on the sound
// server the test fixture started, with the real clock.
class RecorderFixture : public ::testing::Test
{
protected:
    explicit RecorderFixture(bool onSoundServer = false)
        : m_onSoundServer(onSoundServer)
    {
    }

    void SetUp() override
    {
        ActionSheet::clearHistory();
        QDir().mkpath(docs());
        device->setInputGenerator(VirtualAudioDevice::Generator::Sine, 440.0, 0.5);
        AudioDevice::setDefaultDevice(m_onSoundServer ? nullptr : device);
        AppDelegate::Environment env;
        env.documentsPath = docs();
        env.userDefaults = settings;
        env.showAlert = &AlertView::showMessage;
        env.waitOneSecond = [this] { stamp = stamp.addSecs(1); };
        env.now = [this] { return stamp; };
        if (!locationFromSettings)
            env.locationManager = std::make_shared<LocationManager>(std::nullopt);
        app = std::make_unique<AppDelegate>(env);
        navigation = std::make_unique<NavigationController>();
        app->navigationController = navigation.get();
        timer = std::make_unique<RecTimerController>();
        app->recTimerController = timer.get();
        AudioViewController::Environment screenEnv;
        if (!m_onSoundServer)
            screenEnv.now = [this] { return clock; };
        screenEnv.idleInhibitor = &idle;
        avc = std::make_unique<AudioViewController>(app.get(), screenEnv);
        app->audioViewController = avc.get();
        app->audioViewScreen = avc.get();
        QObject::connect(app.get(), &AppDelegate::interfaceReady, navigation.get(),
                         [this] { navigation->pushViewController(avc.get(), true); });
        app->applicationDidFinishLaunching();
    }

    void TearDown() override
    {
        for (ActionSheet* sheet : ActionSheet::visibleSheets())
            sheet->dismissWithClickedButtonIndex(sheet->cancelButtonIndex());
        for (AlertView* alert : AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        avc.reset();
        navigation.reset();
        timer.reset();
        app.reset();
        QCoreApplication::processEvents();
        AudioDevice::setDefaultDevice(nullptr);
    }

    // Shows the screen in the navigation's window, as large as the application's.
    void showScreen()
    {
        avc->window()->resize(320, 480);
        avc->show();
        avc->window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(avc->window()));
    }

    QString docs() const { return dir.file(QStringLiteral("Documents")); }
    TransportView* transport() const { return avc->dbView()->transportView(); }
    std::shared_ptr<Recording> current() const { return app->currentRecording(); }
    QString currentPath() const { return docs() + "/" + current()->filename(); }
    float locator() const { return avc->dbView()->locatorControl()->value(); }

    // Runs the manual clock in steps of 10 ms with a display tick after each, letting queued
    // work through as the running event loop would.
    void pump(double seconds)
    {
        const int steps = int(std::lround(seconds / 0.01));
        for (int i = 0; i < steps; ++i) {
            clock += 0.01;
            device->advance(0.01);
            QCoreApplication::processEvents();
            if (avc->bargraphTimer())
                avc->updateBargraph();
        }
    }

    // Lets a take's last buffers reach the file after a stop that the engine made itself.
    void settle()
    {
        for (int i = 0; i < 20; ++i) {
            QThread::msleep(2);
            QCoreApplication::processEvents();
        }
    }

    // Samples in a WAV file (0 when there is no readable file).
    static int64_t sampleCount(const QString& path)
    {
        std::unique_ptr<AudioFile> file;
        if (AudioFile::openURL(path, AudioFile::kReadPermission, &file) != noErr)
            return 0;
        return file->audioDataPacketCount();
    }

    // Puts a clip of the given length into the current recording's file, every sample of its
    // first half `first` and of its second half `second`, and loads it as choosing the
    // recording would.
    void loadClip(double seconds, double rate = 11025.0, int16_t first = 100, int16_t second = 100)
    {
        std::unique_ptr<AudioFile> file;
        ASSERT_EQ(AudioFile::createWithURL(currentPath(), monoPCM16Format(rate), &file), noErr);
        const size_t count = size_t(seconds * rate);
        std::vector<int16_t> samples(count / 2, first);
        samples.resize(count, second);
        uint32_t n = uint32_t(samples.size());
        ASSERT_EQ(file->writePackets(0, &n, samples.data()), noErr);
        file.reset();
        avc->navigationControllerDidShowViewController(avc.get(), false);
    }

    sonavell::test::ScratchDir dir;
    std::shared_ptr<QSettings> settings = sonavell::test::privateSettings(dir);
    QDateTime stamp = QDateTime(QDate(2026, 3, 2), QTime(8, 15, 0));
    double clock = 1000.0;
    std::shared_ptr<VirtualAudioDevice> device =
        std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    // No buses: the inhibitor only keeps its state.
    IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                       QDBusConnection(QStringLiteral("none"))};
    std::unique_ptr<AppDelegate> app;
    std::unique_ptr<NavigationController> navigation;
    std::unique_ptr<RecTimerController> timer;
    std::unique_ptr<AudioViewController> avc;
    // The application object builds its location source from the settings, as the program
    // does, instead of having none.
    bool locationFromSettings = false;

private:
    bool m_onSoundServer;
};
