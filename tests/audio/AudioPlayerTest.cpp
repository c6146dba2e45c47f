// SPDX-License-Identifier: GPL-3.0-or-later
// The player on the virtual device: buffer sizing, measuring, gain, priming, scrub mode, stops,
// playback at other speeds with and without the pitch kept, scrub moves heard at once, and files
// it cannot play.
#include "audio/AudioPlayer.h"
#include "EngineTestSupport.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace sonavell::test;

namespace {

std::shared_ptr<VirtualAudioDevice> manualDevice(double rate = 44100)
{
    return std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual, rate);
}

QUrl url(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

const int16_t* samplesOf(AudioQueueBufferRef b)
{
    return static_cast<const int16_t*>(b->mAudioData);
}

} // namespace

TEST(AudioPlayer, SizesBuffersByTheEffectiveRate)
{
    ScratchDir dir;
    auto device = manualDevice();
    struct Case
    {
        double fileRate, multiplier;
        uint32_t bytes, maxSize, minSize;
    };
    for (const Case& c : {Case{22050, 1.0, 8192, 8192, 4096}, Case{22050, 1.5, 16384, 16384, 8192},
                          Case{11025, 1.0, 4096, 4096, 2048}, Case{11025, 0.75, 16384, 16384, 8192},
                          Case{44100, 1.0, 16384, 16384, 8192}}) {
        SCOPED_TRACE(c.fileRate * c.multiplier);
        const QString path = dir.file(QString("f%1.wav").arg(c.fileRate));
        ASSERT_TRUE(writeWav(path, c.fileRate, sine(300, c.fileRate, 1000)));
        AudioPlayer p(url(path), c.multiplier, device);
        EXPECT_EQ(p.audioFormat().mSampleRate, c.fileRate * c.multiplier);
        p.calculateSizesFor(1.0);
        EXPECT_EQ(p.bufferByteSize(), c.bytes);
        EXPECT_EQ(p.numPacketsToRead(), c.bytes / 2);
        EXPECT_EQ(AudioPlayer::maxBufferSize(), c.maxSize);
        EXPECT_EQ(AudioPlayer::minBufferSize(), c.minSize);
        EXPECT_EQ(p.packetDescriptions(), nullptr);
    }
}

TEST(AudioPlayer, MeasuresTheClipAtItsSpeed)
{
    ScratchDir dir;
    auto device = manualDevice();
    const QString path = dir.file("hq.wav");
    ASSERT_TRUE(writeWav(path, 44100, std::vector<int16_t>(441000, 7))); // 882,000 bytes
    EXPECT_DOUBLE_EQ(AudioPlayer(url(path), 1.0, device).calculateSizesFor(1.0), 10.0);
    EXPECT_NEAR(AudioPlayer(url(path), 1.5, device).calculateSizesFor(1.0), 6.6667, 0.0001);
    // Other WAV flavours measure by their frames, not their bytes.
    const QString stereo = dir.file("stereo24.wav");
    ASSERT_TRUE(soxSine(stereo, {"-r", "48000", "-c", "2", "-b", "24"}, 1.5, 500));
    EXPECT_DOUBLE_EQ(AudioPlayer(url(stereo), 1.0, device).calculateSizesFor(1.0), 1.5);
}

TEST(AudioPlayer, GainIsLimitedSymmetricallyAndTruncated)
{
    int16_t s[] = {5000, -5000, 3, -3, -32768, 32767, 0};
    AudioPlayer::applyGain(s, 2, 10.0f);
    AudioPlayer::applyGain(s + 2, 2, 2.5f);
    AudioPlayer::applyGain(s + 4, 3, 1.0f);
    EXPECT_EQ(s[0], 32767);
    EXPECT_EQ(s[1], -32767);
    EXPECT_EQ(s[2], 7);
    EXPECT_EQ(s[3], -7);
    EXPECT_EQ(s[4], -32767); // never -32768, even at 1.0
    EXPECT_EQ(s[5], 32767);
    EXPECT_EQ(s[6], 0);
}

TEST(AudioPlayer, AppliesGainToFullBuffersOnlyAndPrimesNoMoreThanTheFileFills)
{
    ScratchDir dir;
    auto device = manualDevice(22050);
    const QString path = dir.file("mq.wav");
    std::vector<int16_t> data(4096 + 100, 5000);
    data[1] = -32768;
    ASSERT_TRUE(writeWav(path, 22050, data));
    AudioPlayer p(url(path), 1.0, device);
    StateRecorder d;
    p.setNotificationDelegate(&d);
    p.setGainRT(10.0f);
    p.playAt(0);
    AudioQueueBufferRef const* b = p.buffers();
    ASSERT_NE(b[0], nullptr);
    EXPECT_EQ(b[0]->mAudioDataByteSize, 8192u);
    EXPECT_EQ(samplesOf(b[0])[0], 32767);
    EXPECT_EQ(samplesOf(b[0])[1], -32767);
    ASSERT_NE(b[1], nullptr);
    EXPECT_EQ(b[1]->mAudioDataByteSize, 200u);
    EXPECT_EQ(samplesOf(b[1])[0], 5000); // the partial last buffer goes without gain
    // The third read found the end: done, file closed, a non-immediate stop asked for.
    EXPECT_TRUE(p.donePlayingFile());
    EXPECT_EQ(p.audioFileID(), nullptr);
    EXPECT_EQ(p.startingPacketNumber(), 4196);
    EXPECT_EQ(d.states, std::vector<bool>{true});
    pump(*device, 0.5);
    EXPECT_EQ(d.states, (std::vector<bool>{true, false}));
    const auto out = device->outputSamples();
    ASSERT_GE(out.size(), 4196u);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[4096], 5000);
    EXPECT_EQ(device->outputUnderrunFrames(), 0u);

    // A clip shorter than a buffer: played as it is, without gain, and its end still reported.
    const auto clip = sine(440, 22050, 1000);
    ASSERT_TRUE(writeWav(dir.file("short.wav"), 22050, clip));
    AudioPlayer shortPlayer(url(dir.file("short.wav")), 1.0, device);
    StateRecorder shortStates;
    shortPlayer.setNotificationDelegate(&shortStates);
    shortPlayer.setGainRT(3.0f);
    device->clearOutput();
    shortPlayer.playAt(0);
    EXPECT_TRUE(shortPlayer.donePlayingFile());
    EXPECT_EQ(shortPlayer.audioFileID(), nullptr);
    EXPECT_NE(shortPlayer.buffers()[1], nullptr);
    EXPECT_EQ(shortPlayer.buffers()[2], nullptr);
    pump(*device, 0.3);
    EXPECT_EQ(shortStates.states, (std::vector<bool>{true, false}));
    const auto shortOut = device->outputSamples();
    ASSERT_GE(shortOut.size(), clip.size());
    EXPECT_TRUE(std::equal(clip.begin(), clip.end(), shortOut.begin()));
}

TEST(AudioPlayer, ScrubModeNeverEndsTheFile)
{
    ScratchDir dir;
    auto device = manualDevice(22050);
    const QString path = dir.file("scrub.wav");
    ASSERT_TRUE(writeWav(path, 22050, sine(440, 22050, 22050)));
    AudioPlayer p(url(path), 1.0, device);
    StateRecorder d;
    p.setNotificationDelegate(&d);
    p.setIsScrubbing(true);
    p.playAt(11025);
    pump(*device, 2.0);
    EXPECT_FALSE(p.donePlayingFile());
    EXPECT_TRUE(p.isRunning());
    EXPECT_EQ(d.states, std::vector<bool>{true});
    EXPECT_NE(p.audioFileID(), nullptr);
    // Quiet once every buffer came back empty; the first half second was played from 11025.
    const auto out = device->outputSamples();
    EXPECT_NEAR(double(lastLoud(out, 1000)), 11025.0, 300.0);
    p.setAudioPlayerShouldStopImmediately(true);
    p.stop();
    EXPECT_EQ(d.states, (std::vector<bool>{true, false}));
}

TEST(AudioPlayer, UserStopEndsAtOnceAndIsNeverRepeated)
{
    ScratchDir dir;
    auto device = manualDevice(22050);
    const QString path = dir.file("long.wav");
    ASSERT_TRUE(writeWav(path, 22050, sine(440, 22050, 44100)));
    auto p = std::make_unique<AudioPlayer>(url(path), 1.0, device);
    StateRecorder d;
    // Like the controller, the delegate releases the player when it hears the stop.
    d.onChange = [&](AudioQueueObject* e) {
        if (!e->isRunning())
            p.reset();
    };
    p->setNotificationDelegate(&d);
    p->playAt(0);
    pump(*device, 0.3);
    AudioPlayer* raw = p.get();
    raw->setAudioPlayerShouldStopImmediately(true);
    raw->stop();
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(d.states, (std::vector<bool>{true, false}));
    pump(*device, 0.5); // hand-backs already posted must find nothing to call
    EXPECT_EQ(d.states.size(), 2u);

    // A buffer coming back after a user stop reads nothing and asks for no second stop.
    AudioPlayer q(url(path), 1.0, device);
    StateRecorder dq;
    q.setNotificationDelegate(&dq);
    q.playAt(0);
    q.setAudioPlayerShouldStopImmediately(true);
    q.stop();
    ASSERT_EQ(dq.states, (std::vector<bool>{true, false}));
    q.setDonePlayingFile(false);
    AudioPlayer::playbackCallback(&q, q.queueObject(), q.buffers()[0]);
    EXPECT_TRUE(q.donePlayingFile());
    pump(*device, 0.2);
    EXPECT_EQ(dq.states.size(), 2u);
}

TEST(AudioPlayer, PlaysAnyReadableWavAtTheChosenSpeed)
{
    ScratchDir dir;
    const QString mono = dir.file("mono.wav");
    ASSERT_TRUE(writeWav(mono, 22050, sine(400, 22050, 22050)));
    const QString stereo = dir.file("stereo.wav");
    ASSERT_TRUE(soxSine(stereo, {"-r", "48000", "-c", "2", "-b", "24"}, 1, 400, 0.5));
    for (const QString& path : {mono, stereo}) {
        for (double speed : {1.5, 0.75}) {
            SCOPED_TRACE(QString("%1 at %2").arg(path).arg(speed).toStdString());
            auto device = manualDevice();
            AudioPlayer p(url(path), speed, device);
            StateRecorder d;
            p.setNotificationDelegate(&d);
            p.playAt(0);
            pump(*device, 1.0 / speed + 0.4);
            EXPECT_EQ(d.states, (std::vector<bool>{true, false}));
            const auto out = device->outputSamples();
            const double length = double(lastLoud(out, 3000) - firstLoud(out, 3000)) / 44100;
            EXPECT_NEAR(length, 1.0 / speed, 0.01);
            EXPECT_NEAR(dominantFrequency(out, 44100, 250, 650, 1000, 20000), 400 * speed, 1.0);
        }
    }
}

TEST(AudioPlayer, FilesWithoutPlayableAudioMeasureZeroAndPlayNothing)
{
    ScratchDir dir;
    auto device = manualDevice();
    ASSERT_TRUE(writeWav(dir.file("empty.wav"), 11025, {}));
    dir.write("text.wav", "hello, this is text");
    ASSERT_TRUE(writeWav(dir.file("whole.wav"), 11025, sine(440, 11025, 1000)));
    dir.write("cut.wav", fileBytes(dir.file("whole.wav")).left(20));
    ASSERT_TRUE(soxSine(dir.file("tone.aiff"), {"-r", "11025", "-c", "1"}, 0.5, 300));
    for (const char* name : {"empty.wav", "text.wav", "cut.wav", "tone.aiff", "missing.wav"}) {
        SCOPED_TRACE(name);
        AudioPlayer p(url(dir.file(name)), 1.0, device);
        EXPECT_EQ(p.calculateSizesFor(1.0), 0.0);
        StateRecorder d;
        p.setNotificationDelegate(&d);
        device->clearOutput();
        p.playAt(0);
        pump(*device, 0.2);
        EXPECT_EQ(lastLoud(device->outputSamples(), 0), 0u);
        EXPECT_FALSE(p.isRunning());
        if (std::string(name) == "empty.wav") {
            // A valid file without audio starts and ends at once, like any other clip.
            EXPECT_TRUE(p.donePlayingFile());
            EXPECT_EQ(d.states, (std::vector<bool>{true, false}));
        } else {
            EXPECT_EQ(p.queueObject(), nullptr); // no format, no queue: nothing starts
        }
    }
}

TEST(AudioPlayer, ScrubMovesAreHeardAtOnceAndMovesTooCloseAreGathered)
{
    ScratchDir dir;
    // Four seconds at +1000, four at -1000: which half plays shows where the position is.
    const QString path = dir.file("levels.wav");
    std::vector<int16_t> levels(4 * 22050, 1000);
    levels.resize(8 * 22050, -1000);
    ASSERT_TRUE(writeWav(path, 22050, levels));
    auto device = manualDevice();
    AudioPlayer p(url(path), 1.0, device);
    p.setIsScrubbing(true);
    p.playAt(22050);
    pump(*device, 0.3);
    // Milliseconds of device time until a sample near the level is played; -1 within 0.5 s.
    auto heardAfter = [&](int level) {
        device->clearOutput();
        for (int ms = 1; ms <= 500; ++ms) {
            device->advance(0.001);
            for (int16_t s : device->outputSamples())
                if (std::abs(s - level) < 20)
                    return ms;
        }
        return -1;
    };
    QElapsedTimer clock;
    clock.start();
    p.scrubTo(6 * 22050);
    const int first = heardAfter(-1000);
    EXPECT_GE(first, 0);
    EXPECT_LE(first, 5);
    // Back again at once: the position is taken, but the queue is handed back only 10 ms after
    // the last hand-back, when the timer fires.
    p.scrubTo(2 * 22050);
    EXPECT_EQ(p.startPos(), 2u * 22050);
    EXPECT_EQ(p.startingPacketNumber(), 0);
    if (clock.elapsed() < 8) { // a slow machine may have taken longer than the interval
        device->clearOutput();
        device->advance(0.003);
        const auto out = device->outputSamples();
        ASSERT_FALSE(out.empty());
        EXPECT_NEAR(out.back(), -1000, 20);
    }
    pumpEvents(30);
    EXPECT_LE(heardAfter(1000), 5);
    // The scrub then plays on from the new position.
    pump(*device, 0.5);
    EXPECT_NEAR(device->outputSamples().back(), 1000, 20);
    p.setAudioPlayerShouldStopImmediately(true);
    p.stop();
}

TEST(AudioPlayer, PreservedPitchPlaysTheToneAtItsPitchAndTheSpeedsPace)
{
    ScratchDir dir;
    const QString path = dir.file("tone.wav");
    ASSERT_TRUE(writeWav(path, 22050, sine(440, 22050, 2 * 22050)));
    for (double speed : {1.5, 0.75}) {
        SCOPED_TRACE(speed);
        auto device = manualDevice();
        AudioPlayer p(url(path), speed, device);
        StateRecorder d;
        p.setNotificationDelegate(&d);
        p.setPreservesPitch(true);
        EXPECT_TRUE(p.preservesPitch());
        p.playAt(0);
        pump(*device, 2.0 / speed + 0.5);
        // The file ends playback as always, having played it all at the speed's pace.
        EXPECT_EQ(d.states, (std::vector<bool>{true, false}));
        EXPECT_TRUE(p.donePlayingFile());
        const auto out = device->outputSamples();
        const size_t a = firstLoud(out, 3000), b = lastLoud(out, 3000);
        ASSERT_LT(a + 4410, b);
        EXPECT_NEAR(double(b - a) / 44100, 2.0 / speed, 0.03);
        EXPECT_NEAR(dominantFrequency(out, 44100, 250, 800, a + 2205, b - 2205), 440.0, 1.0);
    }
}
