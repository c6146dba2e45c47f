// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Receives the captured audio of an input stream, on the device's own thread.
class AudioInputHandler
{
public:
    virtual ~AudioInputHandler() = default;
    // Interleaved signed 16-bit frames at the stream's rate and channel count.
    virtual void audioInput(const int16_t* frames, size_t frameCount) = 0;
    // The sound server suspended (true) or resumed (false) the stream.
    virtual void streamInterrupted(bool /*began*/) {}
    // The stream is gone for good (the sound server went away or dropped it); nothing more
    // will be captured through it.
    virtual void streamLost() {}
};

// Supplies the audio of an output stream, on the device's own thread.
class AudioOutputHandler
{
public:
    virtual ~AudioOutputHandler() = default;
    // Fills up to frameCount interleaved float frames at the device's rate; returns the frames
    // written (the device plays silence for the rest). Setting *endOfStream says that nothing
    // will follow: the device plays what it has and then calls outputDrained().
    virtual size_t audioOutput(float* frames, size_t frameCount, bool* endOfStream) = 0;
    virtual void outputDrained() = 0;
    virtual void streamInterrupted(bool /*began*/) {}
    // The stream is gone for good; nothing more will be played through it.
    virtual void streamLost() {}
};

// One open stream of an AudioDevice.
class AudioDeviceStream
{
public:
    virtual ~AudioDeviceStream() = default;
    // Starts or resumes the flow of audio; false when the device refused the stream.
    virtual bool start() = 0;
    // Holds the flow; the handler is not called until start().
    virtual void pause() = 0;
    // Ends the stream. Once it returns, no handler call runs or follows.
    virtual void stop() = 0;
    // Output streams: drops the audio buffered between the handler and the speaker; the handler
    // is asked for new audio at once.
    virtual void flush() {}
    // Seconds of audio between the handler and the speaker (output) or microphone (input).
    virtual double latency() const { return 0.0; }
};
