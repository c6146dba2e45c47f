// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioStreamBasicDescription.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QObject;
class AudioQueue;
class PlaybackConverter;

using AudioQueueRef = AudioQueue*;
using AudioQueuePropertyID = uint32_t;

constexpr AudioQueuePropertyID kAudioQueueProperty_IsRunning = 0x6171726E;           // 'aqrn'
constexpr AudioQueuePropertyID kAudioQueueProperty_StreamDescription = 0x61716674;   // 'aqft'
constexpr AudioQueuePropertyID kAudioQueueProperty_MagicCookie = 0x61716D63;         // 'aqmc'
constexpr AudioQueuePropertyID kAudioQueueProperty_EnableLevelMetering = 0x61716D65; // 'aqme'
constexpr AudioQueuePropertyID kAudioQueueProperty_CurrentLevelMeter = 0x61716D76;   // 'aqmv'

constexpr OSStatus kAudioQueueErr_InvalidBuffer = -66687;
constexpr OSStatus kAudioQueueErr_InvalidProperty = -66683;
constexpr OSStatus kAudioQueueErr_InvalidPropertySize = -66684;
constexpr OSStatus kAudioQueueErr_InvalidParameter = -66674;
constexpr OSStatus kAudioQueueErr_CannotStart = -66681;
constexpr OSStatus kAudioQueueErr_InvalidRunState = -66671;

// A buffer of audio owned by its queue.
struct AudioQueueBuffer
{
    uint32_t mAudioDataBytesCapacity = 0;
    void* mAudioData = nullptr;
    uint32_t mAudioDataByteSize = 0;
    void* mUserData = nullptr;
};
using AudioQueueBufferRef = AudioQueueBuffer*;

using AudioQueueInputCallback = void (*)(void* inUserData, AudioQueueRef inAQ,
                                         AudioQueueBufferRef inBuffer,
                                         const AudioTimeStamp* inStartTime,
                                         uint32_t inNumberPacketDescriptions,
                                         const AudioStreamPacketDescription* inPacketDescs);
using AudioQueueOutputCallback = void (*)(void* inUserData, AudioQueueRef inAQ,
                                          AudioQueueBufferRef inBuffer);
using AudioQueuePropertyListenerProc = void (*)(void* inUserData, AudioQueueRef inAQ,
                                                AudioQueuePropertyID inID);

// A queue of buffers between the engines and an AudioDevice.
//
// An input queue fills the buffers enqueued on it with captured linear PCM and hands each full
// buffer to its callback on a thread of its own. An output queue plays the buffers enqueued on
// it in order, converting the queue's rate (any rate, 8268.75 Hz and the like) to the device's
// rate, and hands each played buffer back to its callback on the thread that created the queue,
// through that thread's event loop.
//
// Running state: start() sets IsRunning and tells the property listeners at once; stop(true)
// ends at once and the listeners have run before it returns (an input queue first hands over
// the audio captured so far); stop(false) on an output queue lets the queued buffers play and
// tells the listeners afterwards, on the creating thread. A non-immediate stop asked for before
// start() takes effect once the queue has started. pause() holds the audio without changing
// IsRunning. Level metering gives the linear RMS and peak of the most recent audio per channel.
//
// reset() on an output queue hands every queued buffer back to the callback at once and drops
// the audio the device still holds, so that what the callback enqueues meanwhile (the audio of a
// new read position) is heard next, within a few milliseconds.
//
// An input queue keeps up to 15 s of captured audio while no buffer is enqueued (the application
// is busy writing the previous ones), and fills the buffers with it, in order, once they come
// back; an immediate stop hands over that audio too before it reports the stop.
class AudioQueue : private AudioInputHandler, private AudioOutputHandler
{
public:
    static OSStatus newInput(const AudioStreamBasicDescription& format,
                             AudioQueueInputCallback callback, void* userData,
                             AudioQueueRef* outQueue, std::shared_ptr<AudioDevice> device = {});
    static OSStatus newOutput(const AudioStreamBasicDescription& format,
                              AudioQueueOutputCallback callback, void* userData,
                              AudioQueueRef* outQueue, std::shared_ptr<AudioDevice> device = {});
    // Stops the queue without telling the listeners and frees it with its buffers.
    static OSStatus dispose(AudioQueueRef queue, bool immediate);

    OSStatus allocateBuffer(uint32_t byteSize, AudioQueueBufferRef* outBuffer);
    OSStatus enqueueBuffer(AudioQueueBufferRef buffer, uint32_t numPacketDescs = 0,
                           const AudioStreamPacketDescription* packetDescs = nullptr);
    OSStatus start();
    OSStatus pause();
    OSStatus stop(bool immediate);
    // Output queues: hands the queued buffers, in order, to the callback on the calling thread
    // (the creating one), forgets the audio the converter holds, and then drops what the device
    // has buffered, behind which the buffers enqueued by those callbacks would otherwise wait.
    // Does nothing on a queue that is not running.
    OSStatus reset();
    // Output queues, before start(): the rate at which the audio sounds at its own pitch. When it
    // differs from the stream description's rate the audio is time-stretched, keeping that
    // pitch, in the time plain resampling would take; 0 (the default) resamples plainly.
    OSStatus setNaturalRate(double sampleRate);

    OSStatus getProperty(AudioQueuePropertyID id, void* outData, uint32_t* ioDataSize);
    OSStatus getPropertySize(AudioQueuePropertyID id, uint32_t* outDataSize);
    OSStatus setProperty(AudioQueuePropertyID id, const void* data, uint32_t dataSize);
    OSStatus addPropertyListener(AudioQueuePropertyID id, AudioQueuePropertyListenerProc proc,
                                 void* userData);
    OSStatus removePropertyListener(AudioQueuePropertyID id, AudioQueuePropertyListenerProc proc,
                                    void* userData);

    bool isInput() const { return m_input; }
    // Seconds from the last start() to the first audio the device moved; negative before that.
    double startupLatency() const;
    // The device's own buffering, in seconds, while the queue runs.
    double deviceLatency() const;
    // Captured frames lost because no buffer was enqueued for longer than the backlog holds.
    uint64_t droppedFrames() const;
    // The last run ended because the device lost the stream (the sound server went away); the
    // queue then stopped by itself, on its creating thread, as stop(true) does.
    bool deviceLost() const;
    // Whether the queue's device can open streams now.
    bool deviceAvailable() const;

private:
    struct Storage;
    struct Listener
    {
        AudioQueuePropertyID id;
        AudioQueuePropertyListenerProc proc;
        void* userData;
    };

    // A queue of either kind for a valid format and callback, on the given device (the
    // default one when none); null otherwise.
    static AudioQueue* create(bool input, bool hasCallback,
                              const AudioStreamBasicDescription& format, void* userData,
                              std::shared_ptr<AudioDevice> device);
    AudioQueue(bool input, const AudioStreamBasicDescription& format,
               std::shared_ptr<AudioDevice> device);
    ~AudioQueue() override;

    void audioInput(const int16_t* frames, size_t frameCount) override;
    void streamInterrupted(bool began) override;
    void streamLost() override;
    void stopAfterLoss();
    size_t audioOutput(float* frames, size_t frameCount, bool* endOfStream) override;
    void outputDrained() override;

    void callbackThread();
    // Input side, with the mutex held: copies frames into the enqueued buffers, handing full
    // ones over; returns the frames taken.
    size_t fillBuffers(const uint8_t* src, size_t frameCount);
    void keepInBacklog(const uint8_t* src, size_t frameCount);
    void drainBacklog();
    void discardBacklog();
    void notifyListeners(AudioQueuePropertyID id);
    void deliverPlayed();
    void finishDrain();
    void postToOwner(void (AudioQueue::*method)());
    size_t produceOutput(float* out, size_t frames);
    size_t takeQueued(float* dst, size_t maxFrames);
    void markFirstIo();
    void clearMeters();
    template <typename Sample>
    void updateMeters(const Sample* samples, size_t frames, double fullScale);
    void resetConverter();
    Storage* storageFor(AudioQueueBufferRef buffer) const;

    const bool m_input;
    AudioStreamBasicDescription m_format;
    std::shared_ptr<AudioDevice> m_device;
    AudioQueueInputCallback m_inputCallback = nullptr;
    AudioQueueOutputCallback m_outputCallback = nullptr;
    void* m_userData = nullptr;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::unique_ptr<AudioDeviceStream> m_stream;
    std::vector<std::unique_ptr<Storage>> m_buffers;
    std::vector<Listener> m_listeners;
    bool m_running = false;
    bool m_paused = false;

    // Input side.
    std::deque<AudioQueueBufferRef> m_empty;
    AudioQueueBufferRef m_filling = nullptr;
    struct Filled
    {
        AudioQueueBufferRef buffer;
        double sampleTime;
    };
    std::deque<Filled> m_filled;
    double m_capturedFrames = 0.0;
    double m_fillingStart = 0.0;
    uint64_t m_dropped = 0;
    uint64_t m_droppedAtStart = 0;
    std::vector<uint8_t> m_backlog; // a ring of frames waiting for a buffer
    size_t m_backlogHead = 0;       // in frames
    size_t m_backlogFrames = 0;
    bool m_deviceLost = false;
    bool m_inCallback = false;
    bool m_quit = false;
    std::thread m_thread;

    // Output side.
    struct Queued
    {
        AudioQueueBufferRef buffer;
        uint32_t offset;
    };
    std::deque<Queued> m_queued;
    std::vector<AudioQueueBufferRef> m_played;
    bool m_playedPosted = false;
    bool m_draining = false;       // stop(false) accepted: end once the queued audio has played
    bool m_stopAfterStart = false; // stop(false) asked for before start()
    QObject* m_owner = nullptr;
    // Lets hand-backs already posted to the creating thread find out that the queue is gone.
    struct OwnerLink
    {
        AudioQueue* queue = nullptr;
        int depth = 0; // hand-backs running right now
    };
    std::shared_ptr<OwnerLink> m_link;
    std::unique_ptr<PlaybackConverter> m_converter;
    double m_naturalRate = 0.0;

    // Metering and measurements.
    bool m_metering = false;
    std::vector<AudioQueueLevelMeterState> m_meters;
    // Devices hand over audio in pieces of a few milliseconds; the meters are published over
    // windows of about 20 ms so that they do not jitter with the piece size.
    std::vector<double> m_meterSquares;
    std::vector<double> m_meterPeaks;
    size_t m_meterFrames = 0;
    std::chrono::steady_clock::time_point m_startedAt;
    double m_startupLatency = -1.0;
};
