// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioDevice.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class AudioFile;

// An audio device without hardware. Its microphone is a generator (silence, a sine tone, or a
// ramp whose sample n is n mod 65536 - 32768, which shows any lost or repeated sample) or the
// samples of a WAV file; its speaker keeps what it was given in memory, so a test can check what
// was heard. Time runs by the real clock, or by a manual clock that only advance() moves.
class VirtualAudioDevice : public AudioDevice
{
public:
    enum class Clock
    {
        Real,
        Manual
    };
    enum class Generator
    {
        Silence,
        Sine,
        Ramp
    };

    explicit VirtualAudioDevice(Clock clock = Clock::Real, double outputSampleRate = 44100.0);
    ~VirtualAudioDevice() override;

    std::unique_ptr<AudioDeviceStream> openInput(double sampleRate, uint32_t channels,
                                                 AudioInputHandler* handler) override;
    std::unique_ptr<AudioDeviceStream> openOutput(uint32_t channels,
                                                  AudioOutputHandler* handler) override;
    double outputSampleRate() const override { return m_outputRate; }
    QString name() const override { return QStringLiteral("virtual"); }

    // The microphone's signal for streams opened from now on.
    void setInputGenerator(Generator generator, double frequency = 440.0, double amplitude = 0.5);
    // The file's samples in order (mono view), then silence, or from the start again with loop.
    bool setInputFile(const QString& path, bool loop = false);

    // Manual clock: runs every started stream for the given time, on the calling thread.
    void advance(double seconds);

    // What the speaker was given: interleaved 16-bit samples at outputSampleRate().
    std::vector<int16_t> outputSamples() const;
    void clearOutput();
    // Whether the speaker keeps samples (long benchmarks count frames only).
    void setCaptureOutput(bool capture);
    uint64_t outputFramesPlayed() const { return m_outputFrames.load(); }
    // Frames the speaker asked for while a started stream had nothing to give.
    uint64_t outputUnderrunFrames() const { return m_underrunFrames.load(); }

    class Stream;

private:
    friend class Stream;
    void addStream(Stream* stream);
    void removeStream(Stream* stream);
    void runStreams(double seconds);
    void clockThread();
    void capture(const float* frames, size_t frameCount, uint32_t channels, size_t unfilledFrames);

    const Clock m_clock;
    const double m_outputRate;

    mutable std::mutex m_mutex; // streams, source, captured output
    std::vector<Stream*> m_streams;
    Generator m_generator = Generator::Silence;
    double m_frequency = 440.0;
    double m_amplitude = 0.5;
    std::shared_ptr<std::vector<int16_t>> m_fileSamples;
    bool m_loopFile = false;
    std::vector<int16_t> m_output;
    bool m_captureOutput = true;
    std::atomic<uint64_t> m_outputFrames{0};
    std::atomic<uint64_t> m_underrunFrames{0};

    std::mutex m_clockMutex;         // serialises advance() and the clock thread
    std::recursive_mutex m_runMutex; // held while streams run; a stream leaves only between runs
    std::thread m_thread;
    std::condition_variable m_wake;
    bool m_quit = false;
};
