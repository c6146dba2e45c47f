// The recorder screen end to end: its own buttons, tapped on the offscreen platform, record a
// tone from the PulseAudio loopback microphone and play the take back into the null sink; the
// jog wheel, dragged with the mouse, scrubs through it.
#include "audio/AudioPlayer.h"
#include "audio/EngineTestSupport.h"
#include "core/AppDelegate.h"
#include "dashboard/DashboardTestSupport.h"
#include "dashboard/LocatorView.h"
#include "dashboard/TransportView.h"
#include "platform/ui/AlertView.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioFile.h"
#include "platform/system/IdleInhibitor.h"
#include "platform/ui/ImageButton.h"
#include "platform/system/LocationManager.h"
#include "platform/ui/NavigationController.h"
#include "recorder/AudioViewController.h"
#include "support/MouseFinger.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <vector>

using namespace sonavell::test;

TEST(RecorderScreenOnPulseAudio, RecordsAToneWithItsButtonsAndPlaysItBack)
{
    sonavell::test::ScratchDir dir;
    const QString docs = dir.file("Documents");
    QDir().mkpath(docs);
    AudioDevice::setDefaultDevice(nullptr); // the sound server the fixture started

    const QString tone = dir.file("tone.wav");
    ASSERT_EQ(QProcess::execute("sox", {"-n", "-r", "44100", "-c", "1", "-b", "16", tone, "synth",
                                        "3", "sine", "440", "vol", "0.5"}),
              0);

    AppDelegate::Environment env;
    env.documentsPath = docs;
    env.userDefaults = sonavell::test::privateSettings(dir);
    env.locationManager = std::make_shared<LocationManager>(std::nullopt);
    AppDelegate app(env);
    NavigationController navigation;
    navigation.resize(320, 480);
    app.navigationController = &navigation;
    IdleInhibitor idle{QDBusConnection(QStringLiteral("none")),
                       QDBusConnection(QStringLiteral("none"))};
    AudioViewController::Environment screenEnv;
    screenEnv.idleInhibitor = &idle;
    AudioViewController screen(&app, screenEnv);
    app.audioViewController = &screen;
    app.audioViewScreen = &screen;
    app.applicationDidFinishLaunching();
    navigation.show();
    TransportView* transport = screen.dbView()->transportView();
    ASSERT_FALSE(transport->hasPlayMode());

    // The microphone hears the tone once it plays into the sink.
    QProcess paplay;
    paplay.start("paplay", {"--latency-msec=20", tone});
    ASSERT_TRUE(paplay.waitForStarted());
    pumpEvents(400);

    transport->buttonA()->click(); // record
    ASSERT_TRUE(waitFor([&] { return screen.bargraphTimer() != nullptr; }, 2000));
    pumpEvents(1500);
    EXPECT_NEAR(screen.dbView()->locatorControl()->value(), 1.5, 0.2);
    transport->buttonA()->click(); // stop
    ASSERT_EQ(screen.audioRecorder(), nullptr);
    ASSERT_TRUE(paplay.waitForFinished(10000));

    const auto list = app.recArrayFilter(app.searchText());
    ASSERT_EQ(list.size(), 1);
    const auto recording = list.front();
    const QString path = docs + "/" + recording->filename();
    const std::vector<int16_t> take = readSamples(path);
    EXPECT_EQ(recording->quality(), "LQ");
    EXPECT_NEAR(recording->duration(), double(take.size()) / 11025.0, 1e-6);
    EXPECT_NEAR(recording->duration(), 1.5, 0.3);
    ASSERT_GT(take.size(), 11025u);
    EXPECT_NEAR(dominantFrequency(take, 11025.0, 300, 600, 2000), 440.0, 2.0);
    EXPECT_GT(rms(take, 2000, take.size()), 0.25 * 32767 / std::sqrt(2.0));
    EXPECT_TRUE(transport->hasPlayMode());

    // Played back into the sink, the take is heard from its monitor: the tone, for as long as
    // the take lasts.
    // What the sink plays, recorded from its monitor into a file until stopListening.
    QProcess parecord;
    auto startListening = [&](const QString& path) {
        parecord.start("parecord",
                       {"--device=sonavell_out.monitor", "--channels=1", "--rate=44100",
                        "--format=s16le", "--latency-msec=20", "--file-format=wav", path});
        const bool started = parecord.waitForStarted();
        pumpEvents(300);
        return started;
    };
    auto stopListening = [&] {
        pumpEvents(300);
        ::kill(pid_t(parecord.processId()), SIGINT);
        parecord.waitForFinished(5000);
    };
    const QString heard = dir.file("heard.wav");
    ASSERT_TRUE(startListening(heard));
    transport->buttonB()->click(); // play
    ASSERT_NE(screen.audioPlayer(), nullptr);
    EXPECT_TRUE(transport->playing());
    EXPECT_TRUE(waitFor([&] { return screen.audioPlayer() == nullptr; },
                        int(recording->duration() * 1000) + 3000));
    EXPECT_FALSE(transport->playing());
    stopListening();

    const std::vector<int16_t> played = readSamples(heard);
    const size_t first = firstLoud(played, 3000), last = lastLoud(played, 3000);
    ASSERT_LT(first, last);
    EXPECT_NEAR(double(last - first) / 44100.0, recording->duration(), 0.1);
    EXPECT_NEAR(dominantFrequency(played, 44100.0, 300, 600, first, last), 440.0, 2.0);

    // Dragging the wheel scrubs: a player in scrub mode runs on the sound server from where
    // the wheel puts the locator, is heard, and stops when the wheel is let go.
    const QString scrubbed = dir.file("scrubbed.wav");
    ASSERT_TRUE(startListening(scrubbed));
    screen.dbView()->locatorControl()->setValue(0.0f);
    const LocatorView* wheel = screen.dbView()->locatorView();
    MouseFinger finger(&screen);
    finger.press(pointOnWheel(wheel, 180), 1.0);
    finger.move(pointOnWheel(wheel, 181), 1.1);
    finger.move(pointOnWheel(wheel, 190), 1.2);
    ASSERT_NE(screen.audioPlayer(), nullptr);
    EXPECT_TRUE(screen.audioPlayer()->isScrubbing());
    EXPECT_TRUE(screen.audioPlayer()->isRunning());
    EXPECT_FLOAT_EQ(screen.dbView()->locatorControl()->value(), 0.5f);
    pumpEvents(700);
    EXPECT_NE(screen.audioPlayer(), nullptr);
    finger.release(pointOnWheel(wheel, 190), 3.0);
    EXPECT_EQ(screen.audioPlayer(), nullptr);
    EXPECT_FLOAT_EQ(recording->lastPlayTime(), 0.5f);
    stopListening();
    const std::vector<int16_t> scrub = readSamples(scrubbed);
    const size_t from = firstLoud(scrub, 3000), to = lastLoud(scrub, 3000);
    ASSERT_LT(from, to);
    EXPECT_NEAR(dominantFrequency(scrub, 44100.0, 300, 600, from, to), 440.0, 2.0);

    for (AlertView* alert : AlertView::visibleAlerts())
        alert->dismissWithClickedButtonIndex(0);
    AudioDevice::setDefaultDevice(nullptr);
}
