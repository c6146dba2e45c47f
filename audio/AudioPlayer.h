// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioQueueObject.h"

#include <atomic>
#include <chrono>
#include <memory>

class QTimer;

// Plays a WAV file through an output queue, at a multiple of its rate (speed and pitch change
// together, unless setPreservesPitch keeps the pitch), with a software gain, and in scrub mode
// with a read position the caller may move at any moment. Also measures a clip without playing
// it (calculateSizesFor).
class AudioPlayer : public AudioQueueObject
{
public:
    static constexpr int kNumberBuffers = 3;

    AudioPlayer(const QUrl& url, double rateMultiplier, std::shared_ptr<AudioDevice> device = {});
    ~AudioPlayer() override;

    void openPlaybackFile(const QUrl& url);
    void setupPlaybackAudioQueueObject();
    void copyMagicCookieToQueue(AudioQueueRef queue, AudioFile* file);
    double calculateSizesFor(double seconds);
    void setupAudioQueueBuffers();
    void playAt(uint64_t packetPosition);
    void stop();
    // Moves the read position (startPos := the position, the cursor to 0) and, while the queue
    // runs, has it heard at once: the queued buffers come back and are refilled from there, and
    // the device drops the audio it holds. Moves less than 10 ms after the last hand-back only
    // set the position; the hand-back for them follows 10 ms after the last one.
    void scrubTo(uint64_t packetPosition);
    // Whether the speed keeps the file's pitch (a time-stretcher makes it); before playAt.
    void setPreservesPitch(bool preserve);
    bool preservesPitch() const { return m_preservesPitch; }

    // The buffer limits chosen by the last calculateSizesFor, by effective sample rate.
    static uint32_t maxBufferSize();
    static uint32_t minBufferSize();

    AudioQueueBufferRef const* buffers() const { return m_buffers; }
    uint32_t bufferByteSize() const { return m_bufferByteSize; }
    void setBufferByteSize(uint32_t size) { m_bufferByteSize = size; }
    uint32_t numPacketsToRead() const { return m_numPacketsToRead; }
    void setNumPacketsToRead(uint32_t n) { m_numPacketsToRead = n; }
    AudioStreamPacketDescription* packetDescriptions() const { return m_packetDescriptions; }
    void setPacketDescriptions(AudioStreamPacketDescription* d) { m_packetDescriptions = d; }
    float gain() const { return m_gain; }
    void setGain(float gain) { m_gain = gain; }
    float gainRT() const { return m_gainRT.load(); }
    void setGainRT(float gain) { m_gainRT.store(gain); }
    uint64_t startPos() const { return m_startPos.load(); }
    void setStartPos(uint64_t pos) { m_startPos.store(pos); }
    bool isScrubbing() const { return m_isScrubbing.load(); }
    void setIsScrubbing(bool scrubbing) { m_isScrubbing.store(scrubbing); }
    bool donePlayingFile() const { return m_donePlayingFile.load(); }
    void setDonePlayingFile(bool done) { m_donePlayingFile.store(done); }
    bool audioPlayerShouldStopImmediately() const { return m_stopImmediately.load(); }
    void setAudioPlayerShouldStopImmediately(bool now) { m_stopImmediately.store(now); }

    static void playbackCallback(void* userData, AudioQueueRef queue, AudioQueueBufferRef buffer);

    // Applies the gain to 16-bit samples in place: multiplied, limited to -32767..32767 and
    // truncated toward zero.
    static void applyGain(int16_t* samples, uint32_t count, float gain);

private:
    AudioQueueBufferRef m_buffers[kNumberBuffers] = {};
    uint32_t m_bufferByteSize = 0;
    uint32_t m_numPacketsToRead = 0;
    AudioStreamPacketDescription* m_packetDescriptions = nullptr;
    float m_gain = 1.0f;
    std::atomic<float> m_gainRT{1.0f};
    std::atomic<uint64_t> m_startPos{0};
    std::atomic<bool> m_isScrubbing{false};
    std::atomic<bool> m_donePlayingFile{false};
    std::atomic<bool> m_stopImmediately{false};
    std::shared_ptr<AudioDevice> m_device;
    double m_rateMultiplier = 1.0;
    bool m_preservesPitch = false;
    std::chrono::steady_clock::time_point m_lastReset;
    std::unique_ptr<QTimer> m_resetTimer; // the hand-back for moves that came too soon
    void resetQueue();
};
