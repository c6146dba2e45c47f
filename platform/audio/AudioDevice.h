// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioDeviceStream.h"

#include <QList>
#include <QString>

#include <memory>

// A capture source the sound server offers: its name (what a take is recorded from, stable
// while the device is plugged in) and the description people read.
struct AudioInputSource
{
    QString name;
    QString description;
};

// A source of captured audio and a sink for played audio: the sound server, or a virtual device
// for tests and for machines without sound.
class AudioDevice
{
public:
    virtual ~AudioDevice() = default;

    // Opens a capture stream of signed 16-bit frames at the given rate and channel count.
    virtual std::unique_ptr<AudioDeviceStream> openInput(double sampleRate, uint32_t channels,
                                                         AudioInputHandler* handler) = 0;
    // Opens a playback stream of float frames at outputSampleRate().
    virtual std::unique_ptr<AudioDeviceStream> openOutput(uint32_t channels,
                                                          AudioOutputHandler* handler) = 0;
    virtual double outputSampleRate() const = 0;
    virtual QString name() const = 0;
    // Whether streams can be opened now. A sound server that is not running (yet, or any more)
    // makes the device unavailable until it answers again.
    virtual bool isAvailable() const { return true; }
    // The capture sources there are now, in the server's order; empty when the device cannot
    // say (the virtual device has only its one generator).
    virtual QList<AudioInputSource> inputSources() const { return {}; }

    // The capture source every stream opened later records from, by name; empty for the
    // server's default source. A source that is not there records from the default instead.
    static void setInputSourceName(const QString& name);
    static QString inputSourceName();

    // The device the program uses: the sound server, which the device keeps trying to reach
    // while it does not answer; or, only when SONAVELL_AUDIO=virtual, a virtual device running
    // on real time.
    static std::shared_ptr<AudioDevice> defaultDevice();
    // Replaces the default device (tests install a virtual device with a manual clock).
    static void setDefaultDevice(std::shared_ptr<AudioDevice> device);
};
