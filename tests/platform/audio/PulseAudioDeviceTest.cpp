// SPDX-License-Identifier: GPL-3.0-or-later
// The sound server device against the tests' private server: the inputs it offers, the input a
// take records from, and how its streams name themselves to the server and its mixers.
#include "platform/audio/PulseAudioDevice.h"
#include "support/LogCapture.h"
#include "support/PulseControl.h"
#include "support/TestEnvironment.h"

#include <QtGlobal>

#include <atomic>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

const QString kAppId = QStringLiteral("org.sonavell.Sonavell");

class CountingInput : public AudioInputHandler
{
public:
    void audioInput(const int16_t*, size_t frameCount) override { frames += frameCount; }
    std::atomic<size_t> frames{0};
};

class SilentOutput : public AudioOutputHandler
{
public:
    size_t audioOutput(float* frames, size_t frameCount, bool*) override
    {
        std::fill(frames, frames + frameCount, 0.0f);
        return frameCount;
    }
    void outputDrained() override {}
};

class PulseDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString why;
        device = PulseAudioDevice::connect(&why);
        ASSERT_NE(device, nullptr) << why.toStdString();
    }
    void TearDown() override { AudioDevice::setInputSourceName({}); }

    // The source our one recording stream is connected to, once the server lists it.
    int ourRecordingSource()
    {
        int source = -1;
        waitFor(
            [&] {
                const auto ours = pactlEntriesWith(QStringLiteral("source-outputs"),
                                                   QStringLiteral("application.id"), kAppId);
                if (ours.size() == 1)
                    source = ours.front().value(QLatin1String("source")).toInt();
                return ours.size() == 1;
            },
            5000);
        return source;
    }

    // Waits until the server has let go of our recording streams.
    static void waitUntilNoTake()
    {
        waitFor(
            [] {
                return pactlEntriesWith(QStringLiteral("source-outputs"),
                                        QStringLiteral("application.id"), kAppId)
                    .isEmpty();
            },
            5000);
    }

    std::shared_ptr<PulseAudioDevice> device;
    // A second microphone, as a USB headset plugged in.
    PulseModule headset{QStringLiteral("module-null-source"),
                        {QStringLiteral("source_name=sonavell_headset"),
                         QStringLiteral("description=USB_Headset")}};
};

} // namespace

TEST_F(PulseDevice, OffersTheMicrophonesByDescriptionButNoMonitors)
{
    ASSERT_TRUE(headset.isLoaded());
    QStringList names;
    QStringList descriptions;
    for (const AudioInputSource& source : device->inputSources()) {
        names << source.name;
        descriptions << source.description;
    }
    EXPECT_TRUE(names.contains("sonavell_mic")) << names.join(' ').toStdString();
    EXPECT_TRUE(names.contains("sonavell_headset"));
    EXPECT_TRUE(descriptions.contains("SonavellTestMic"));
    EXPECT_TRUE(descriptions.contains("USB_Headset"));
    EXPECT_FALSE(names.contains("sonavell_out.monitor")) << "a speaker's monitor is no microphone";

    headset.unload();
    for (const AudioInputSource& source : device->inputSources())
        EXPECT_NE(source.name, "sonavell_headset") << "unplugged";
}

TEST_F(PulseDevice, TakesRecordFromTheChosenInputAndStreamsNameTheirRole)
{
    ASSERT_TRUE(headset.isLoaded());
    AudioDevice::setInputSourceName(QStringLiteral("sonavell_headset"));
    CountingInput input;
    auto take = device->openInput(44100, 1, &input);
    ASSERT_NE(take, nullptr);
    ASSERT_TRUE(take->start());
    EXPECT_EQ(ourRecordingSource(), pulseSourceIndex("sonavell_headset"));
    EXPECT_TRUE(waitFor([&] { return input.frames > 0; }, 5000)) << "the headset delivers audio";

    const auto recording = pactlEntriesWith(QStringLiteral("source-outputs"),
                                            QStringLiteral("application.id"), kAppId);
    ASSERT_EQ(recording.size(), 1);
    const QJsonObject properties = recording.front().value(QLatin1String("properties")).toObject();
    EXPECT_EQ(properties["media.role"].toString(), "production");
    EXPECT_EQ(properties["application.icon_name"].toString(), kAppId);
    EXPECT_EQ(properties["application.name"].toString(), "Sonavell");
    take->stop();
    waitUntilNoTake();

    SilentOutput output;
    auto playback = device->openOutput(2, &output);
    ASSERT_NE(playback, nullptr);
    ASSERT_TRUE(playback->start());
    QList<QJsonObject> playing;
    waitFor(
        [&] {
            playing = pactlEntriesWith(QStringLiteral("sink-inputs"),
                                       QStringLiteral("application.id"), kAppId);
            return !playing.isEmpty();
        },
        5000);
    ASSERT_EQ(playing.size(), 1);
    const QJsonObject played = playing.front().value(QLatin1String("properties")).toObject();
    EXPECT_EQ(played["media.role"].toString(), "music");
    EXPECT_EQ(played["application.icon_name"].toString(), kAppId);
    playback->stop();

    // Back to the server's default input.
    AudioDevice::setInputSourceName({});
    auto defaultTake = device->openInput(44100, 1, &input);
    ASSERT_TRUE(defaultTake && defaultTake->start());
    EXPECT_EQ(ourRecordingSource(), pulseSourceIndex("sonavell_mic"));
}

TEST_F(PulseDevice, AnUnpluggedInputFallsBackToTheDefaultAndIsLoggedOnce)
{
    ASSERT_TRUE(headset.isLoaded());
    AudioDevice::setInputSourceName(QStringLiteral("sonavell_headset"));
    headset.unload();
    LogCapture log;
    CountingInput input;
    for (int take = 0; take < 3; ++take) {
        auto stream = device->openInput(44100, 1, &input);
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(stream->start()) << "take " << take << " records from the default instead";
        EXPECT_EQ(ourRecordingSource(), pulseSourceIndex("sonavell_mic"));
        stream->stop();
        waitUntilNoTake();
    }
    EXPECT_EQ(log.linesWith("sonavell_headset").size(), 1) << "one line, not one per take";

    // Plugged in again, it is used again; unplugged once more, that is said again.
    PulseModule again{QStringLiteral("module-null-source"),
                      {QStringLiteral("source_name=sonavell_headset")}};
    auto back = device->openInput(44100, 1, &input);
    ASSERT_TRUE(back && back->start());
    EXPECT_EQ(ourRecordingSource(), pulseSourceIndex("sonavell_headset"));
    back->stop();
    waitUntilNoTake();
    again.unload();
    auto fallback = device->openInput(44100, 1, &input);
    ASSERT_TRUE(fallback && fallback->start());
    EXPECT_EQ(log.linesWith("sonavell_headset").size(), 2);
}
