#pragma once

#include "platform/audio/AudioDevice.h"

#include <QString>

#include <memory>

struct pa_threaded_mainloop;
struct pa_context;

// The sound server, through libpulse's asynchronous API on its threaded main loop. Capture
// streams run at the rate the caller asks for (signed 16-bit); playback streams run at the
// server's own rate in float, so the caller converts any other rate itself.
class PulseAudioDevice : public AudioDevice
{
public:
    // Connects to the server named by PULSE_SERVER, or the user's default one. Returns null, with
    // the reason in *why, when no server answers within the time-out.
    static std::shared_ptr<PulseAudioDevice> connect(QString* why, int timeoutMs = 3000);
    ~PulseAudioDevice() override;

    std::unique_ptr<AudioDeviceStream> openInput(double sampleRate, uint32_t channels,
                                                 AudioInputHandler* handler) override;
    std::unique_ptr<AudioDeviceStream> openOutput(uint32_t channels,
                                                  AudioOutputHandler* handler) override;
    double outputSampleRate() const override { return m_outputRate; }
    QString name() const override { return m_name; }

    class Stream;

private:
    PulseAudioDevice() = default;

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    double m_outputRate = 44100.0;
    QString m_name;
};
