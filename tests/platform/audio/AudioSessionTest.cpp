// SPDX-License-Identifier: GPL-3.0-or-later
// The audio session's interruptions and the count-in's system sound, on the virtual device.
#include "platform/audio/AudioSession.h"
#include "platform/audio/AudioTestSupport.h"
#include "platform/audio/SystemSound.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <gtest/gtest.h>

#include <thread>

using namespace sonavell::test;

namespace {

struct Heard
{
    std::vector<uint32_t> states;
    std::vector<QThread*> threads;
};

void onInterruption(void* user, uint32_t state)
{
    auto* h = static_cast<Heard*>(user);
    h->states.push_back(state);
    h->threads.push_back(QThread::currentThread());
}

struct Completion
{
    int count = 0;
    QThread* thread = nullptr;
    SystemSoundID sound = 0;
};

void onSoundDone(SystemSoundID sound, void* user)
{
    auto* c = static_cast<Completion*>(user);
    ++c->count;
    c->thread = QThread::currentThread();
    c->sound = sound;
}

} // namespace

TEST(AudioSession, DeliversEachInterruptionOnceOnTheMainThread)
{
    Heard heard;
    AudioSession& session = AudioSession::instance();
    session.initialize(&onInterruption, &heard);
    session.setCategory(AudioSession::kAudioSessionCategory_RecordAudio);
    session.setActive(true);
    EXPECT_EQ(session.category(), AudioSession::kAudioSessionCategory_RecordAudio);
    EXPECT_TRUE(session.isActive());

    // Reported from a device thread, twice: heard once, on the main thread.
    std::thread t([&] {
        session.reportInterruption(true);
        session.reportInterruption(true);
    });
    t.join();
    EXPECT_TRUE(heard.states.empty());
    QCoreApplication::processEvents();
    session.reportInterruption(false);
    EXPECT_EQ(heard.states, (std::vector<uint32_t>{AudioSession::kAudioSessionBeginInterruption,
                                                   AudioSession::kAudioSessionEndInterruption}));
    for (QThread* th : heard.threads)
        EXPECT_EQ(th, QThread::currentThread());
    session.initialize(nullptr, nullptr);
}

TEST(SystemSound, PlaysThroughTheOutputAndCompletesOnTheMainThread)
{
    ScratchDir dir;
    auto device = std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual, 22050);
    AudioDevice::setDefaultDevice(device);
    const QString path = dir.file("countdown.wav");
    const auto tone = sine(880, 22050, 33075); // 1.5 s
    ASSERT_TRUE(writeWav(path, 22050, tone));
    SystemSoundID sound = 0;
    ASSERT_EQ(SystemSound::createSystemSoundID(QUrl::fromLocalFile(path), &sound), noErr);
    Completion done;
    SystemSound::addSystemSoundCompletion(sound, &onSoundDone, &done);
    SystemSound::playSystemSound(sound);
    pump(*device, 1.4);
    EXPECT_EQ(done.count, 0);
    pump(*device, 0.3);
    EXPECT_EQ(done.count, 1);
    EXPECT_EQ(done.thread, QThread::currentThread());
    EXPECT_EQ(done.sound, sound);
    const auto out = device->outputSamples();
    ASSERT_GE(out.size(), tone.size());
    EXPECT_TRUE(std::equal(tone.begin(), tone.end(), out.begin()));

    // A sound that cannot be made is refused; one whose file went away completes at once.
    SystemSoundID bad = 0;
    EXPECT_NE(SystemSound::createSystemSoundID(QUrl::fromLocalFile(dir.file("none.wav")), &bad),
              noErr);
    QFile::remove(path);
    SystemSound::playSystemSound(sound);
    QCoreApplication::processEvents();
    EXPECT_EQ(done.count, 2);
    EXPECT_EQ(SystemSound::disposeSystemSoundID(sound), noErr);
    AudioDevice::setDefaultDevice(nullptr);
}
