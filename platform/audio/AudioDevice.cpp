#include "platform/audio/AudioDevice.h"

#include "platform/audio/PlatformAudioLog.h"
#include "platform/audio/PulseAudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"

#include <QDebug>

#include <mutex>

namespace {
std::mutex g_defaultMutex;
std::shared_ptr<AudioDevice> g_defaultDevice;
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
    QString why;
    g_defaultDevice = PulseAudioDevice::connect(&why);
    if (!g_defaultDevice) {
        qCWarning(lcPlatformAudio).noquote() << "Sonavell: no sound server answered (" + why +
                                                    "); using the virtual audio device instead.";
        g_defaultDevice = std::make_shared<VirtualAudioDevice>();
    }
    return g_defaultDevice;
}

void AudioDevice::setDefaultDevice(std::shared_ptr<AudioDevice> device)
{
    std::lock_guard lock(g_defaultMutex);
    g_defaultDevice = std::move(device);
}
