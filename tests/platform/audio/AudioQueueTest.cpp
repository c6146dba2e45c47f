// SPDX-License-Identifier: GPL-3.0-or-later
// The audio queue on the virtual device, and the choice of the default device.
#include "platform/audio/AudioQueue.h"
#include "platform/audio/AudioTestSupport.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

using namespace sonavell::test;

namespace {

struct InputSink
{
    std::mutex mutex;
    std::vector<int16_t> samples;
    std::vector<QThread*> threads;
    bool reenqueue = true;
    std::function<void()> gate; // runs first in every callback, on the queue's thread
};

void inputCallback(void* user, AudioQueueRef queue, AudioQueueBufferRef buffer,
                   const AudioTimeStamp*, uint32_t packets, const AudioStreamPacketDescription*)
{
    auto* sink = static_cast<InputSink*>(user);
    if (sink->gate)
        sink->gate();
    {
        std::lock_guard lock(sink->mutex);
        const auto* s = static_cast<const int16_t*>(buffer->mAudioData);
        sink->samples.insert(sink->samples.end(), s, s + packets);
        sink->threads.push_back(QThread::currentThread());
    }
    uint32_t running = 0, size = 4;
    queue->getProperty(kAudioQueueProperty_IsRunning, &running, &size);
    if (running && sink->reenqueue)
        queue->enqueueBuffer(buffer);
}

struct Listener
{
    std::vector<bool> states;
    std::function<void()> onChange;
};

void listen(void* user, AudioQueueRef queue, AudioQueuePropertyID)
{
    auto* l = static_cast<Listener*>(user);
    uint32_t running = 0, size = 4;
    queue->getProperty(kAudioQueueProperty_IsRunning, &running, &size);
    l->states.push_back(running != 0);
    if (l->onChange)
        l->onChange();
}

} // namespace

TEST(AudioQueue, InputKeepsFifteenSecondsForABusyApplicationAndCountsWhatItDrops)
{
    // The application's first callback hangs for 5 s of audio: what arrives meanwhile waits in
    // the queue, and a stop made during the hang hands all of it over, in order, once the
    // callback returns.
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    device->setInputGenerator(VirtualAudioDevice::Generator::Ramp);
    InputSink sink;
    std::promise<void> entered, release;
    auto released = release.get_future().share();
    sink.gate = [&, first = true]() mutable {
        if (!first)
            return;
        first = false;
        entered.set_value();
        released.wait();
    };
    AudioQueueRef q = nullptr;
    ASSERT_EQ(AudioQueue::newInput(monoPCM16Format(11025), &inputCallback, &sink, &q, device),
              noErr);
    for (int i = 0; i < 2; ++i) {
        AudioQueueBufferRef b = nullptr;
        ASSERT_EQ(q->allocateBuffer(8192, &b), noErr);
        q->enqueueBuffer(b);
    }
    ASSERT_EQ(q->start(), noErr);
    device->advance(1.0);
    entered.get_future().wait();
    for (int i = 0; i < 32; ++i)
        device->advance(0.125);
    std::thread stopper([q] { q->stop(true); });
    QThread::msleep(50);
    release.set_value();
    stopper.join();
    {
        std::lock_guard lock(sink.mutex);
        EXPECT_EQ(sink.samples, ramp(5 * 11025));
    }
    EXPECT_EQ(q->droppedFrames(), 0u);
    AudioQueue::dispose(q, true);

    // An application that keeps both buffers for 20 s: 15 s wait, the rest is dropped and
    // counted; with no buffer to carry them at the stop, the waiting frames are counted too.
    InputSink keeper;
    keeper.reenqueue = false;
    ASSERT_EQ(AudioQueue::newInput(monoPCM16Format(11025), &inputCallback, &keeper, &q, device),
              noErr);
    for (int i = 0; i < 2; ++i) {
        AudioQueueBufferRef b = nullptr;
        ASSERT_EQ(q->allocateBuffer(8192, &b), noErr);
        q->enqueueBuffer(b);
    }
    ASSERT_EQ(q->start(), noErr);
    for (int i = 0; i < 160; ++i)
        device->advance(0.125);
    EXPECT_EQ(q->droppedFrames(), 20u * 11025u - 8192u - 15u * 11025u);
    ASSERT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(keeper.mutex);
            return keeper.samples.size() == 8192u;
        },
        2000));
    ASSERT_EQ(q->stop(true), noErr);
    EXPECT_EQ(q->droppedFrames(), 20u * 11025u - 8192u);
    AudioQueue::dispose(q, true);
}

TEST(AudioQueue, InputHandsOverEverySampleInOrderAndTheRestAtAnImmediateStop)
{
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    device->setInputGenerator(VirtualAudioDevice::Generator::Ramp);
    InputSink sink;
    AudioQueueRef q = nullptr;
    ASSERT_EQ(AudioQueue::newInput(monoPCM16Format(11025), &inputCallback, &sink, &q, device),
              noErr);
    Listener l;
    size_t seenAtStop = 0;
    l.onChange = [&] {
        std::lock_guard lock(sink.mutex);
        seenAtStop = sink.samples.size();
    };
    q->addPropertyListener(kAudioQueueProperty_IsRunning, &listen, &l);
    for (int i = 0; i < 8; ++i) {
        AudioQueueBufferRef b = nullptr;
        ASSERT_EQ(q->allocateBuffer(4096, &b), noErr);
        q->enqueueBuffer(b);
    }
    ASSERT_EQ(q->start(), noErr);
    EXPECT_EQ(l.states, std::vector<bool>{true});
    device->advance(0.5);
    q->pause(); // holds the audio; still running
    device->advance(0.25);
    uint32_t running = 0, size = 4;
    q->getProperty(kAudioQueueProperty_IsRunning, &running, &size);
    EXPECT_EQ(running, 1u);
    q->start();
    device->advance(0.5);
    ASSERT_EQ(q->stop(true), noErr);
    // The partial last buffer arrived, and before the listener heard of the stop.
    EXPECT_EQ(l.states, (std::vector<bool>{true, false}));
    EXPECT_EQ(seenAtStop, 11025u);
    EXPECT_EQ(sink.samples, ramp(11025));
    for (QThread* t : sink.threads)
        EXPECT_NE(t, QThread::currentThread());
    EXPECT_EQ(q->droppedFrames(), 0u);
    AudioQueue::dispose(q, true);
}

TEST(AudioQueue, MetersGiveLinearRmsAndPeakOfTheLatestAudio)
{
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    device->setInputGenerator(VirtualAudioDevice::Generator::Sine, 1000, 0.5);
    InputSink sink;
    AudioQueueRef q = nullptr;
    AudioStreamBasicDescription stereo = monoPCM16Format(44100);
    stereo.mChannelsPerFrame = 2;
    stereo.mBytesPerFrame = stereo.mBytesPerPacket = 4;
    ASSERT_EQ(AudioQueue::newInput(stereo, &inputCallback, &sink, &q, device), noErr);
    const uint32_t on = 1;
    q->setProperty(kAudioQueueProperty_EnableLevelMetering, &on, 4);
    AudioQueueBufferRef b = nullptr;
    q->allocateBuffer(65536, &b);
    q->enqueueBuffer(b);
    q->start();
    device->advance(0.1);
    AudioQueueLevelMeterState m[2];
    uint32_t size = sizeof m;
    ASSERT_EQ(q->getProperty(kAudioQueueProperty_CurrentLevelMeter, m, &size), noErr);
    EXPECT_EQ(size, sizeof m);
    for (const auto& c : m) {
        EXPECT_NEAR(c.mAveragePower, 0.5 / std::sqrt(2.0), 0.01);
        EXPECT_NEAR(c.mPeakPower, 0.5, 0.01);
    }
    q->stop(true);
    AudioQueue::dispose(q, true);
}

TEST(AudioQueue, HandBacksPostedBeforeADisposeFromAnotherThreadFindTheQueueGone)
{
    // Buffers that have played are handed back on the creating thread's event loop. A queue
    // disposed of from another thread in the meantime must not be touched by them (under the
    // sanitizers, a hand-back that reached the freed queue fails this test).
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
    std::atomic<int> handedBack = 0;
    AudioQueueRef q = nullptr;
    ASSERT_EQ(AudioQueue::newOutput(
                  monoPCM16Format(44100),
                  [](void* user, AudioQueueRef, AudioQueueBufferRef) {
                      ++*static_cast<std::atomic<int>*>(user);
                  },
                  &handedBack, &q, device),
              noErr);
    for (int i = 0; i < 3; ++i) {
        AudioQueueBufferRef b = nullptr;
        ASSERT_EQ(q->allocateBuffer(4410, &b), noErr);
        std::memset(b->mAudioData, 0, 4410);
        b->mAudioDataByteSize = 4410;
        q->enqueueBuffer(b);
    }
    ASSERT_EQ(q->start(), noErr);
    device->advance(0.1); // plays buffers: their hand-back is now posted, not yet delivered
    std::thread([q] { AudioQueue::dispose(q, true); }).join();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(handedBack, 0);
}

TEST(AudioDevice, UsesTheVirtualDeviceOnlyWhenAskedFor)
{
    // Without a sound server the default device is still the server's: unavailable, so a
    // queue on it refuses to start rather than record silence from a stand-in.
    const QByteArray oldServer = qgetenv("PULSE_SERVER");
    const QByteArray oldChoice = qgetenv("SONAVELL_AUDIO");
    qputenv("PULSE_SERVER", "unix:/nonexistent/sonavell-test/native");
    qunsetenv("SONAVELL_AUDIO");
    AudioDevice::setDefaultDevice(nullptr);
    EXPECT_EQ(AudioDevice::defaultDevice()->name(), "pulseaudio");
    EXPECT_FALSE(AudioDevice::defaultDevice()->isAvailable());
    InputSink sink;
    AudioQueueRef q = nullptr;
    ASSERT_EQ(AudioQueue::newInput(monoPCM16Format(11025), &inputCallback, &sink, &q), noErr);
    EXPECT_FALSE(q->deviceAvailable());
    EXPECT_EQ(q->start(), kAudioQueueErr_CannotStart);
    AudioQueue::dispose(q, true);

    qputenv("SONAVELL_AUDIO", "virtual");
    AudioDevice::setDefaultDevice(nullptr);
    EXPECT_EQ(AudioDevice::defaultDevice()->name(), "virtual");
    AudioDevice::setDefaultDevice(nullptr);
    qputenv("PULSE_SERVER", oldServer);
    qputenv("SONAVELL_AUDIO", oldChoice);
}
