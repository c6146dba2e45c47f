// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioDevice.h"

#include <QString>

#include <atomic>
#include <memory>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_time_event;
struct pa_mainloop_api;
struct timeval;

// The sound server, through libpulse's asynchronous API on its threaded main loop. Capture
// streams run at the rate the caller asks for (signed 16-bit); playback streams run at the
// server's own rate in float, so the caller converts any other rate itself.
//
// The connection and every stream name the application (its id and icon, as the desktop entry
// does); takes carry the media role "production" and playback "music", so the server's own
// policies (ducking, routing) and mixers treat them as such. Takes record from the source named
// by AudioDevice::inputSourceName(), or from the server's default when it names none or one that
// is not there (said once in the log until the name is found again).
//
// The device outlives the server: when the server goes away (or is not there at start), its
// streams are reported lost, the device becomes unavailable, and it tries to connect again
// every half second until the server answers; streams opened after that work as before.
class PulseAudioDevice : public AudioDevice
{
public:
    // A device connected to the server named by PULSE_SERVER, or the user's default one. Returns
    // null, with the reason in *why, when no server answers within the time-out.
    static std::shared_ptr<PulseAudioDevice> connect(QString* why, int timeoutMs = 3000);
    // A device that is connected, or keeps trying to connect, to that server. It waits up to the
    // time-out for a first answer and logs once when there is none. Null only when libpulse
    // cannot even start its main loop.
    static std::shared_ptr<PulseAudioDevice> open(int timeoutMs = 3000);
    ~PulseAudioDevice() override;

    std::unique_ptr<AudioDeviceStream> openInput(double sampleRate, uint32_t channels,
                                                 AudioInputHandler* handler) override;
    std::unique_ptr<AudioDeviceStream> openOutput(uint32_t channels,
                                                  AudioOutputHandler* handler) override;
    double outputSampleRate() const override { return m_outputRate.load(); }
    QString name() const override { return QStringLiteral("pulseaudio"); }
    bool isAvailable() const override { return m_available.load(); }
    QList<AudioInputSource> inputSources() const override;
    // Waits until the device is connected, up to the time-out; whether it is.
    bool waitUntilAvailable(int timeoutMs) const;

    class Stream;

private:
    PulseAudioDevice() = default;
    // With the main loop locked: a new context that starts connecting; false when libpulse
    // refused at once (the retry timer then tries again).
    bool startContext();
    void dropContext();
    void scheduleRetry();
    // With the main loop locked: the source a take records from, empty for the default one.
    QByteArray captureSource();
    static void contextStateCallback(pa_context* context, void* user);
    static void retryCallback(pa_mainloop_api* api, pa_time_event* event, const timeval* when,
                              void* user);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_time_event* m_retry = nullptr;
    std::atomic<double> m_outputRate{44100.0};
    std::atomic<bool> m_available{false};
    std::atomic<bool> m_settled{false}; // the first attempt has succeeded or failed
    bool m_wasConnected = false;
    bool m_reportedDown = false;
    QString m_lastError;
    QString m_missingSourceReported; // the chosen source last found missing, said once
};
