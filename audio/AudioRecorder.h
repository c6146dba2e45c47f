// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioQueueObject.h"

#include <QObject>

#include <atomic>

// Records the microphone through an input queue into a WAV file of mono 16-bit PCM, appending
// to the file when it already holds audio in that format.
class AudioRecorder : public AudioQueueObject
{
public:
    static constexpr uint32_t kBufferByteSize = 65536;
    static constexpr int kNumberBuffers = 3;

    // Makes the input queue at the given rate (11025, 22050 or 44100 Hz) on the default device,
    // or on the given one.
    AudioRecorder(const QUrl& url, double sampleRate, std::shared_ptr<AudioDevice> device = {});
    ~AudioRecorder() override;

    void record();
    void setupRecording();
    void stop();
    void copyEncoderMagicCookieToFile(AudioFile* file, AudioQueueRef queue);

    bool stopping() const { return m_stopping.load(); }
    void setStopping(bool stopping) { m_stopping.store(stopping); }

    // Why the take ended by itself (the 4 GiB limit, a failed write), or empty.
    QString stopReason() const;
    // Why record() could not start the take because of its file (it cannot be created, or it
    // holds audio that must not be changed), or empty. The queue is then not started.
    QString setupFailure() const { return m_setupFailure; }

    static void recordingCallback(void* userData, AudioQueueRef queue, AudioQueueBufferRef buffer,
                                  const AudioTimeStamp* startTime, uint32_t numPackets,
                                  const AudioStreamPacketDescription* packetDescs);

protected:
    void queueRunningStateChanged() override;

private:
    void endTakeOnOwnAccord(const QString& reason);

    // Renames a file that cannot be read as audio to "<name>.unreadable-<timestamp>", so that
    // the take does not overwrite it. False when it could not be moved.
    bool setAsideUnreadableFile(const QString& path);

    std::atomic<bool> m_stopping{false};
    QString m_setupFailure;
    std::atomic<bool> m_writesEnded{false};
    QString m_stopReason; // written on the queue's thread before the stop is posted
    QObject m_mainThreadContext;
};
