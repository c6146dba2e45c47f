// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioQueueObject.h"
#include "audio/AudioQueueStateDelegate.h"
#include "platform/audio/AudioTestSupport.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace sonavell::test {

// Notes every running-state change an engine reports, with the state it reads at that moment.
class StateRecorder : public AudioQueueStateDelegate
{
public:
    void updateUserInterfaceOnAudioQueueStateChange(AudioQueueObject* engine) override
    {
        states.push_back(engine->isRunning());
        if (onChange)
            onChange(engine);
    }
    std::vector<bool> states;
    std::function<void(AudioQueueObject*)> onChange;
};

// A 440 Hz tone at half scale playing into the test sound server's null sink, whose monitor is
// the test microphone, from construction on. The monitor delivers nothing until something
// plays into the sink, and only as often as the sink renders: a low playback latency keeps it
// rendering in small blocks.
class SinkTone
{
public:
    SinkTone(const QString& path, double seconds)
    {
        EXPECT_TRUE(soxSine(path, {"-r", "44100", "-c", "1", "-b", "16"}, seconds, 440, 0.5));
        m_process.start("paplay", {"--latency-msec=20", path});
        EXPECT_TRUE(m_process.waitForStarted()) << "paplay";
        pumpEvents(400);
    }
    bool waitForEnd() { return m_process.waitForFinished(10000); }

private:
    QProcess m_process;
};

// Records what the test sound server's null sink plays, from its monitor, into a WAV file
// while it lives; finish() ends the recording and gives the samples (44100 Hz, mono).
class MonitorCapture
{
public:
    explicit MonitorCapture(const QString& path)
        : m_path(path)
    {
        m_process.start("parecord",
                        {"--device=sonavell_out.monitor", "--channels=1", "--rate=44100",
                         "--format=s16le", "--latency-msec=20", "--file-format=wav", path});
        EXPECT_TRUE(m_process.waitForStarted()) << "parecord";
        pumpEvents(300); // connected and running before anything plays
    }
    std::vector<int16_t> finish()
    {
        pumpEvents(300);
        ::kill(pid_t(m_process.processId()), SIGINT); // parecord completes the file on SIGINT
        m_process.waitForFinished(5000);
        return readSamples(m_path);
    }

private:
    QString m_path;
    QProcess m_process;
};

} // namespace sonavell::test
