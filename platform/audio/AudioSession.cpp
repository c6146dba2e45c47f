// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/AudioSession.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <mutex>

namespace {
std::mutex g_mutex;
AudioSession::InterruptionListener g_listener = nullptr;
void* g_userData = nullptr;
std::atomic<uint32_t> g_category{0};
std::atomic<bool> g_active{false};
std::atomic<bool> g_interrupted{false};
} // namespace

AudioSession& AudioSession::instance()
{
    static AudioSession session;
    return session;
}

void AudioSession::initialize(InterruptionListener listener, void* userData)
{
    std::lock_guard lock(g_mutex);
    g_listener = listener;
    g_userData = userData;
}

void AudioSession::setCategory(uint32_t category)
{
    g_category = category;
}

uint32_t AudioSession::category() const
{
    return g_category;
}

void AudioSession::setActive(bool active)
{
    g_active = active;
}

bool AudioSession::isActive() const
{
    return g_active;
}

bool AudioSession::isInterrupted() const
{
    return g_interrupted;
}

void AudioSession::reportInterruption(bool began)
{
    if (g_interrupted.exchange(began) == began)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        deliver(began);
        return;
    }
    QMetaObject::invokeMethod(
        app, [this, began] { deliver(began); }, Qt::QueuedConnection);
}

void AudioSession::deliver(bool began)
{
    InterruptionListener listener;
    void* userData;
    {
        std::lock_guard lock(g_mutex);
        listener = g_listener;
        userData = g_userData;
    }
    if (listener)
        listener(userData, began ? kAudioSessionBeginInterruption : kAudioSessionEndInterruption);
}
