// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioFile.h"
#include "platform/audio/AudioQueue.h"

#include <QUrl>

#include <atomic>
#include <cstdint>
#include <memory>

class AudioQueueStateDelegate;

// The common base of the recorder and the player: one audio queue, one open audio file, the
// stream description they share, the level meters, a packet cursor into the file, and the
// delegate that hears when the queue starts or stops.
class AudioQueueObject
{
public:
    AudioQueueObject() = default;
    virtual ~AudioQueueObject();
    AudioQueueObject(const AudioQueueObject&) = delete;
    AudioQueueObject& operator=(const AudioQueueObject&) = delete;

    AudioQueueRef queueObject() const { return m_queueObject; }
    void setQueueObject(AudioQueueRef queue) { m_queueObject = queue; }
    // The open file; the subclass opens and closes it.
    AudioFile* audioFileID() const { return m_audioFileID; }
    void setAudioFileID(AudioFile* file) { m_audioFileID = file; }
    const QUrl& audioFileURL() const { return m_audioFileURL; }
    void setAudioFileURL(const QUrl& url) { m_audioFileURL = url; }
    AudioStreamBasicDescription audioFormat() const { return m_audioFormat; }
    void setAudioFormat(AudioStreamBasicDescription format) { m_audioFormat = format; }
    // One entry per channel once metering is enabled; owned by the object.
    AudioQueueLevelMeterState* audioLevels() const { return m_audioLevels.get(); }
    void setAudioLevels(AudioQueueLevelMeterState* levels) { m_audioLevels.reset(levels); }
    int64_t startingPacketNumber() const { return m_startingPacketNumber.load(); }
    void setStartingPacketNumber(int64_t packet) { m_startingPacketNumber.store(packet); }
    AudioQueueStateDelegate* notificationDelegate() const { return m_notificationDelegate; }
    void setNotificationDelegate(AudioQueueStateDelegate* d) { m_notificationDelegate = d; }

    // Allocates one zeroed meter entry per channel and switches the queue's metering on.
    void enableLevelMetering();
    // Channel 0's level and peak, as square roots of the linear values (0.0 to 1.0). A failed
    // meter query reports the previous values again.
    void getAudioLevels(float* audioLevels, float* peakLevels);
    bool isRunning() const;
    // Pauses the queue in place (an interruption); resume starts it again where it stood.
    void pause();
    void resume();
    void incrementStartingPacketNumberBy(uint32_t count);

protected:
    // Registered by the subclasses for kAudioQueueProperty_IsRunning with the engine as user data.
    static void runningStateListener(void* userData, AudioQueueRef queue, AudioQueuePropertyID id);
    // What the listener does: the recorder finalises its file first. Tells the delegate last, as
    // the delegate may destroy the engine.
    virtual void queueRunningStateChanged();
    void notifyDelegate();
    // Closes audioFileID, if open.
    void closeAudioFile();

private:
    AudioQueueRef m_queueObject = nullptr;
    AudioFile* m_audioFileID = nullptr;
    QUrl m_audioFileURL;
    AudioStreamBasicDescription m_audioFormat;
    std::unique_ptr<AudioQueueLevelMeterState[]> m_audioLevels;
    std::atomic<int64_t> m_startingPacketNumber{0};
    AudioQueueStateDelegate* m_notificationDelegate = nullptr;
};
