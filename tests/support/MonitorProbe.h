// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioQueue.h"
#include "platform/audio/AudioStreamBasicDescription.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace sonavell::test {

// Listens to the sink's monitor through an input queue of small buffers (about 3 ms each) and
// notes when a level first arrives: the arrival of the buffer holding it. The capture's own
// delivery (up to a fragment of 20 ms) is included, so the times are upper bounds. Used by the
// PulseAudio tests and the audio benchmark.
class MonitorProbe
{
public:
    using Clock = std::chrono::steady_clock;

    explicit MonitorProbe(std::shared_ptr<AudioDevice> device)
    {
        AudioQueue::newInput(monoPCM16Format(44100), &MonitorProbe::onInput, this, &m_queue,
                             std::move(device));
        if (!m_queue)
            return;
        for (int i = 0; i < 8; ++i) {
            AudioQueueBufferRef b = nullptr;
            m_queue->allocateBuffer(2 * 128, &b);
            m_queue->enqueueBuffer(b);
        }
        m_started = m_queue->start() == noErr;
    }
    ~MonitorProbe()
    {
        if (m_queue)
            AudioQueue::dispose(m_queue, true);
    }
    MonitorProbe(const MonitorProbe&) = delete;
    MonitorProbe& operator=(const MonitorProbe&) = delete;

    // Whether the monitor is being recorded.
    bool running() const { return m_queue && m_started; }
    // Watches for `level` from now on.
    void arm(int16_t level)
    {
        std::lock_guard lock(m_mutex);
        m_level = level;
        m_found = false;
    }
    // Seconds from `since` until the armed level was played; -1 when it was not within the
    // time-out.
    double waitHeard(Clock::time_point since, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            QCoreApplication::processEvents();
            {
                std::lock_guard lock(m_mutex);
                if (m_found)
                    return std::chrono::duration<double>(m_heardAt - since).count();
            }
            QThread::usleep(500);
        }
        return -1.0;
    }

private:
    static void onInput(void* user, AudioQueueRef queue, AudioQueueBufferRef buffer,
                        const AudioTimeStamp*, uint32_t frames, const AudioStreamPacketDescription*)
    {
        auto* self = static_cast<MonitorProbe*>(user);
        const auto now = Clock::now();
        const auto* s = static_cast<const int16_t*>(buffer->mAudioData);
        std::lock_guard lock(self->m_mutex);
        for (uint32_t i = 0; i + 4 <= frames && !self->m_found; ++i) {
            if (std::all_of(s + i, s + i + 4,
                            [&](int16_t v) { return std::abs(v - self->m_level) < 60; })) {
                self->m_heardAt = now;
                self->m_found = true;
            }
        }
        queue->enqueueBuffer(buffer);
    }

    AudioQueueRef m_queue = nullptr;
    bool m_started = false;
    std::mutex m_mutex;
    int16_t m_level = 0;
    bool m_found = true;
    Clock::time_point m_heardAt;
};

} // namespace sonavell::test
