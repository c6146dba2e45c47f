// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/AudioDevice.h"

#include "platform/audio/PulseAudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"

#include <mutex>

namespace {
std::mutex g_defaultMutex;
std::shared_ptr<AudioDevice> g_defaultDevice;
QString g_inputSourceName; // guarded by g_defaultMutex
} // namespace

std::shared_ptr<AudioDevice> AudioDevice::defaultDevice()
{
    std::lock_guard lock(g_defaultMutex);
    if (g_defaultDevice)
        return g_defaultDevice;
    if (qEnvironmentVariable("SONAVELL_AUDIO") == QLatin1String("virtual")) {
        g_defaultDevice = std::make_shared<VirtualAudioDevice>();
        return g_defaultDevice;
    }
    // Takes of pure silence that look normal would be worse than no take: without a sound
    // server, recording and playing are refused until one answers.
    g_defaultDevice = PulseAudioDevice::open();
    return g_defaultDevice;
}

void AudioDevice::setDefaultDevice(std::shared_ptr<AudioDevice> device)
{
    std::lock_guard lock(g_defaultMutex);
    g_defaultDevice = std::move(device);
}

void AudioDevice::setInputSourceName(const QString& name)
{
    std::lock_guard lock(g_defaultMutex);
    g_inputSourceName = name;
}

QString AudioDevice::inputSourceName()
{
    std::lock_guard lock(g_defaultMutex);
    return g_inputSourceName;
}
