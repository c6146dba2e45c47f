// The recorder screen end to end: its own buttons, tapped on the offscreen platform, record a
// tone from the PulseAudio loopback microphone and play the take back into the null sink.
#include "audio/AudioPlayer.h"
#include "core/AppDelegate.h"
#include "dashboard/TransportView.h"
#include "platform/AlertView.h"
#include "platform/AudioDevice.h"
#include "platform/AudioFile.h"
#include "platform/IdleInhibitor.h"
#include "platform/ImageButton.h"
#include "platform/LocationManager.h"
#include "platform/NavigationController.h"
#include "recorder/AudioViewController.h"
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
#include <numbers>
#include <vector>

namespace {

template <typename Pred> bool waitFor(Pred done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return done();
}

void wait(int ms)
{
    waitFor([] { return false; }, ms);
}

std::vector<int16_t> readSamples(const QString& path)
{
    std::unique_ptr<AudioFile> file;
    if (AudioFile::openURL(path, AudioFile::kReadPermission, &file) != noErr)
        return {};
    std::vector<int16_t> samples(size_t(file->audioDataPacketCount()));
    uint32_t n = uint32_t(samples.size());
    file->readPackets(0, &n, samples.data(), nullptr);
    samples.resize(n);
    return samples;
}

// Energy of one frequency (Goertzel) relative to the signal's total energy: near 1 for a
// clean sine at that frequency, near 0 for anything else.
double toneShare(const std::vector<int16_t>& s, size_t from, size_t to, double freq, double rate)
{
    const double w = 2.0 * std::numbers::pi * freq / rate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0, total = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = double(s[i]) + c * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += double(s[i]) * double(s[i]);
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    return total > 0.0 ? power / (total * double(to - from)) * 2.0 : 0.0;
}

size_t countLoud(const std::vector<int16_t>& s, int threshold)
{
    size_t n = 0;
    for (int16_t v : s)
        n += std::abs(int(v)) > threshold ? 1 : 0;
    return n;
}

} // namespace

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
    wait(400);

    transport->buttonA()->click(); // record
    ASSERT_TRUE(waitFor([&] { return screen.bargraphTimer() != nullptr; }, 2000));
    wait(1500);
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
    EXPECT_GT(toneShare(take, 2000, take.size(), 440.0, 11025.0), 0.3);
    EXPECT_TRUE(transport->hasPlayMode());

    // Played back into the sink, the take is heard from its monitor: the tone, for as long as
    // the take lasts.
    const QString heard = dir.file("heard.wav");
    QProcess parecord;
    parecord.start("parecord", {"--device=sonavell_out.monitor", "--channels=1", "--rate=44100",
                                "--format=s16le", "--latency-msec=20", "--file-format=wav", heard});
    ASSERT_TRUE(parecord.waitForStarted());
    wait(300);
    transport->buttonB()->click(); // play
    ASSERT_NE(screen.audioPlayer(), nullptr);
    EXPECT_TRUE(transport->playing());
    EXPECT_TRUE(waitFor([&] { return screen.audioPlayer() == nullptr; },
                        int(recording->duration() * 1000) + 3000));
    EXPECT_FALSE(transport->playing());
    wait(300);
    ::kill(pid_t(parecord.processId()), SIGINT);
    parecord.waitForFinished(5000);

    const std::vector<int16_t> played = readSamples(heard);
    const double loudSeconds = double(countLoud(played, 3000)) / 44100.0;
    // A sine of half full scale is above 3000 for about nine tenths of each period.
    EXPECT_GT(loudSeconds, 0.75 * recording->duration());
    EXPECT_LT(loudSeconds, recording->duration() + 0.1);
    EXPECT_GT(toneShare(played, 0, played.size(), 440.0, 44100.0), 0.2);
    for (AlertView* alert : AlertView::visibleAlerts())
        alert->dismissWithClickedButtonIndex(0);
    AudioDevice::setDefaultDevice(nullptr);
}
