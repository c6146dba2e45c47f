// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioQueueObject.h"

#include "audio/AudioQueueStateDelegate.h"

#include <cmath>

AudioQueueObject::~AudioQueueObject()
{
    closeAudioFile();
}

void AudioQueueObject::enableLevelMetering()
{
    const uint32_t channels = m_audioFormat.mChannelsPerFrame;
    m_audioLevels.reset(new AudioQueueLevelMeterState[channels > 0 ? channels : 1]());
    if (!m_queueObject)
        return;
    const uint32_t on = 1;
    m_queueObject->setProperty(kAudioQueueProperty_EnableLevelMetering, &on, sizeof on);
}

void AudioQueueObject::getAudioLevels(float* audioLevels, float* peakLevels)
{
    if (!m_audioLevels)
        return;
    if (m_queueObject) {
        uint32_t size = m_audioFormat.mChannelsPerFrame * sizeof(AudioQueueLevelMeterState);
        if (size > 0)
            m_queueObject->getProperty(kAudioQueueProperty_CurrentLevelMeter, m_audioLevels.get(),
                                       &size);
    }
    *audioLevels = std::sqrt(m_audioLevels[0].mAveragePower);
    *peakLevels = std::sqrt(m_audioLevels[0].mPeakPower);
}

bool AudioQueueObject::isRunning() const
{
    if (!m_queueObject)
        return false;
    uint32_t running = 0;
    uint32_t size = sizeof running;
    if (m_queueObject->getProperty(kAudioQueueProperty_IsRunning, &running, &size) != noErr)
        return false;
    return (running & 0xFF) != 0;
}

void AudioQueueObject::incrementStartingPacketNumberBy(uint32_t count)
{
    m_startingPacketNumber.fetch_add(int64_t(count));
}

void AudioQueueObject::runningStateListener(void* userData, AudioQueueRef, AudioQueuePropertyID)
{
    static_cast<AudioQueueObject*>(userData)->queueRunningStateChanged();
}

void AudioQueueObject::queueRunningStateChanged()
{
    notifyDelegate();
}

void AudioQueueObject::notifyDelegate()
{
    if (m_notificationDelegate)
        m_notificationDelegate->updateUserInterfaceOnAudioQueueStateChange(this);
}

void AudioQueueObject::closeAudioFile()
{
    delete m_audioFileID;
    m_audioFileID = nullptr;
}

void AudioQueueObject::pause()
{
    if (queueObject())
        queueObject()->pause();
}

void AudioQueueObject::resume()
{
    if (queueObject())
        queueObject()->start();
}
