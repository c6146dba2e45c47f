// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/PulseAudioDevice.h"

#include "platform/audio/PlatformAudioLog.h"

#include <QDebug>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Waits, with the main loop locked, until the condition holds or the time runs out. The lock is
// given up while waiting so that the main loop's thread can make progress.
template <typename Pred> bool waitLocked(pa_threaded_mainloop* loop, int timeoutMs, Pred done)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        pa_threaded_mainloop_unlock(loop);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pa_threaded_mainloop_lock(loop);
    }
    return true;
}

class LoopLock
{
public:
    explicit LoopLock(pa_threaded_mainloop* loop)
        : m_loop(pa_threaded_mainloop_in_thread(loop) ? nullptr : loop)
    {
        if (m_loop)
            pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock()
    {
        if (m_loop)
            pa_threaded_mainloop_unlock(m_loop);
    }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

constexpr int kStreamTimeoutMs = 3000;
constexpr int kQueryTimeoutMs = 1000;
constexpr pa_usec_t kRetryIntervalUsec = 500 * 1000;

// What the server and its mixers show for us: the application's name, id and icon.
void nameApplication(pa_proplist* properties)
{
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Sonavell");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, SONAVELL_APP_ID);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, SONAVELL_APP_ID);
}

// Runs a query, with the main loop locked, until its operation is done or the time runs out.
bool waitForOperation(pa_threaded_mainloop* loop, pa_operation* op)
{
    if (!op)
        return false;
    const bool done = waitLocked(
        loop, kQueryTimeoutMs, [op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
    if (!done)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    return done;
}

} // namespace

class PulseAudioDevice::Stream : public AudioDeviceStream
{
public:
    Stream(pa_threaded_mainloop* loop, pa_context* context, const pa_sample_spec& spec,
           AudioInputHandler* input, AudioOutputHandler* output, QByteArray source = {})
        : m_loop(loop)
        , m_context(pa_context_ref(context))
        , m_spec(spec)
        , m_input(input)
        , m_output(output)
        , m_source(std::move(source))
    {
    }
    ~Stream() override
    {
        stop();
        LoopLock lock(m_loop);
        pa_context_unref(m_context);
    }

    bool start() override
    {
        LoopLock lock(m_loop);
        if (m_stopped)
            return false;
        if (m_stream) {
            pa_operation* op = pa_stream_cork(m_stream, 0, nullptr, nullptr);
            if (op)
                pa_operation_unref(op);
            return true;
        }
        if (pa_context_get_state(m_context) != PA_CONTEXT_READY)
            return false;
        pa_proplist* properties = pa_proplist_new();
        nameApplication(properties);
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, m_input ? "production" : "music");
        m_stream = pa_stream_new_with_proplist(m_context,
                                               m_input ? "Sonavell recording" : "Sonavell playback",
                                               &m_spec, nullptr, properties);
        pa_proplist_free(properties);
        if (!m_stream)
            return false;
        pa_stream_set_state_callback(m_stream, &Stream::stateCallback, this);
        pa_stream_set_suspended_callback(m_stream, &Stream::suspendedCallback, this);
        pa_buffer_attr attr;
        std::memset(&attr, 0xff, sizeof attr); // every field "server default"
        const auto flags = pa_stream_flags_t(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        int rc;
        if (m_input) {
            attr.fragsize = uint32_t(pa_usec_to_bytes(20 * 1000, &m_spec));
            pa_stream_set_read_callback(m_stream, &Stream::readCallback, this);
            rc = pa_stream_connect_record(
                m_stream, m_source.isEmpty() ? nullptr : m_source.constData(), &attr, flags);
        } else {
            attr.tlength = uint32_t(pa_usec_to_bytes(60 * 1000, &m_spec));
            attr.minreq = uint32_t(pa_usec_to_bytes(10 * 1000, &m_spec));
            pa_stream_set_write_callback(m_stream, &Stream::writeCallback, this);
            rc = pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr);
        }
        if (rc < 0 ||
            !waitLocked(m_loop, kStreamTimeoutMs,
                        [this] {
                            const auto s = pa_stream_get_state(m_stream);
                            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
                        }) ||
            pa_stream_get_state(m_stream) != PA_STREAM_READY) {
            release();
            return false;
        }
        return true;
    }

    void pause() override
    {
        LoopLock lock(m_loop);
        if (!m_stream)
            return;
        pa_operation* op = pa_stream_cork(m_stream, 1, nullptr, nullptr);
        if (op)
            pa_operation_unref(op);
    }

    void flush() override
    {
        LoopLock lock(m_loop);
        if (!m_stream || m_input || m_ended)
            return;
        // The server drops what it holds and asks for new audio at once.
        pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr);
        if (op)
            pa_operation_unref(op);
    }

    void stop() override
    {
        LoopLock lock(m_loop);
        m_stopped = true;
        release();
    }

    double latency() const override
    {
        LoopLock lock(m_loop);
        if (!m_stream)
            return 0.0;
        pa_usec_t usec = 0;
        int negative = 0;
        if (pa_stream_get_latency(m_stream, &usec, &negative) < 0 || negative)
            return 0.0;
        return double(usec) / 1e6;
    }

private:
    // Disconnects the stream; with the main loop locked no callback is running, and with the
    // callbacks cleared none will follow.
    void release()
    {
        if (!m_stream)
            return;
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_suspended_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        if (m_drainOp) {
            pa_operation_cancel(m_drainOp);
            pa_operation_unref(m_drainOp);
            m_drainOp = nullptr;
        }
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }

    static void stateCallback(pa_stream* s, void* user)
    {
        auto* self = static_cast<Stream*>(user);
        const auto state = pa_stream_get_state(s);
        // A stream that ends without our asking (we clear this callback before we end one)
        // has lost the server or been dropped by it.
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
            qCWarning(lcPlatformAudio).noquote()
                << "The sound server ended the" << (self->m_input ? "recording" : "playback")
                << "stream:" << pa_strerror(pa_context_errno(self->m_context));
            if (self->m_input)
                self->m_input->streamLost();
            else
                self->m_output->streamLost();
        }
    }

    static void suspendedCallback(pa_stream* s, void* user)
    {
        auto* self = static_cast<Stream*>(user);
        const bool suspended = pa_stream_is_suspended(s) > 0;
        if (self->m_input)
            self->m_input->streamInterrupted(suspended);
        else
            self->m_output->streamInterrupted(suspended);
    }

    static void readCallback(pa_stream* s, size_t, void* user)
    {
        auto* self = static_cast<Stream*>(user);
        const size_t frameBytes = pa_frame_size(&self->m_spec);
        while (pa_stream_readable_size(s) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                break;
            if (data) {
                self->m_input->audioInput(static_cast<const int16_t*>(data), bytes / frameBytes);
            } else {
                // A hole in the capture: keep time with silence.
                self->m_silence.assign(bytes / sizeof(int16_t), 0);
                self->m_input->audioInput(self->m_silence.data(), bytes / frameBytes);
            }
            pa_stream_drop(s);
        }
    }

    static void writeCallback(pa_stream* s, size_t requested, void* user)
    {
        auto* self = static_cast<Stream*>(user);
        if (self->m_ended)
            return;
        const size_t frameBytes = pa_frame_size(&self->m_spec);
        void* buffer = nullptr;
        size_t bytes = requested;
        if (pa_stream_begin_write(s, &buffer, &bytes) < 0 || !buffer)
            return;
        bytes = std::min(bytes, requested);
        const size_t frames = bytes / frameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(s);
            return;
        }
        auto* out = static_cast<float*>(buffer);
        bool end = false;
        size_t got = std::min(frames, self->m_output->audioOutput(out, frames, &end));
        if (!end) {
            std::fill(out + got * self->m_spec.channels, out + frames * self->m_spec.channels,
                      0.0f);
            got = frames;
        }
        if (got > 0)
            pa_stream_write(s, buffer, got * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        else
            pa_stream_cancel_write(s);
        if (end) {
            self->m_ended = true;
            self->m_drainOp = pa_stream_drain(s, &Stream::drainCallback, self);
        }
    }

    static void drainCallback(pa_stream*, int, void* user)
    {
        auto* self = static_cast<Stream*>(user);
        if (self->m_drainOp) {
            pa_operation_unref(self->m_drainOp);
            self->m_drainOp = nullptr;
        }
        self->m_output->outputDrained();
    }

    pa_threaded_mainloop* const m_loop;
    pa_context* const m_context;
    const pa_sample_spec m_spec;
    AudioInputHandler* const m_input;
    AudioOutputHandler* const m_output;
    const QByteArray m_source; // the capture source by name; empty for the default
    pa_stream* m_stream = nullptr;
    pa_operation* m_drainOp = nullptr;
    bool m_stopped = false;
    bool m_ended = false;
    std::vector<int16_t> m_silence;
};

std::shared_ptr<PulseAudioDevice> PulseAudioDevice::connect(QString* why, int timeoutMs)
{
    std::shared_ptr<PulseAudioDevice> device = open(timeoutMs);
    if (!device) {
        *why = QStringLiteral("cannot start the PulseAudio main loop");
        return nullptr;
    }
    if (!device->isAvailable()) {
        LoopLock lock(device->m_loop);
        *why = device->m_lastError.isEmpty() ? QStringLiteral("PulseAudio did not answer in time")
                                             : device->m_lastError;
        return nullptr;
    }
    return device;
}

std::shared_ptr<PulseAudioDevice> PulseAudioDevice::open(int timeoutMs)
{
    std::shared_ptr<PulseAudioDevice> device(new PulseAudioDevice);
    device->m_loop = pa_threaded_mainloop_new();
    if (!device->m_loop) {
        qCWarning(lcPlatformAudio) << "Cannot create the PulseAudio main loop; no sound device.";
        return nullptr;
    }
    {
        LoopLock lock(device->m_loop);
        if (!device->startContext())
            device->scheduleRetry();
    }
    if (pa_threaded_mainloop_start(device->m_loop) < 0) {
        qCWarning(lcPlatformAudio) << "Cannot start the PulseAudio main loop; no sound device.";
        return nullptr;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!device->m_settled.load() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!device->isAvailable()) {
        LoopLock lock(device->m_loop);
        if (!device->m_reportedDown) {
            device->m_reportedDown = true;
            qCWarning(lcPlatformAudio).noquote()
                << "No sound server answers (" +
                       (device->m_lastError.isEmpty() ? QStringLiteral("no answer in time")
                                                      : device->m_lastError) +
                       "); recording and playing wait until one does.";
        }
    }
    return device;
}

bool PulseAudioDevice::startContext()
{
    pa_proplist* properties = pa_proplist_new();
    nameApplication(properties);
    m_context =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Sonavell", properties);
    pa_proplist_free(properties);
    if (!m_context) {
        m_lastError = QStringLiteral("cannot create a PulseAudio context");
        m_settled = true;
        return false;
    }
    pa_context_set_state_callback(m_context, &PulseAudioDevice::contextStateCallback, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_lastError = QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
        dropContext();
        m_settled = true;
        return false;
    }
    return true;
}

void PulseAudioDevice::dropContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    // Streams still open hold their own reference; they have been told they are lost.
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseAudioDevice::scheduleRetry()
{
    if (m_retry)
        return;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    struct timeval when;
    m_retry = api->time_new(api, pa_timeval_add(pa_gettimeofday(&when), kRetryIntervalUsec),
                            &PulseAudioDevice::retryCallback, this);
}

void PulseAudioDevice::retryCallback(pa_mainloop_api* api, pa_time_event* event,
                                     const struct timeval*, void* user)
{
    auto* self = static_cast<PulseAudioDevice*>(user);
    api->time_free(event);
    self->m_retry = nullptr;
    self->dropContext();
    if (!self->startContext())
        self->scheduleRetry();
}

void PulseAudioDevice::contextStateCallback(pa_context* context, void* user)
{
    auto* self = static_cast<PulseAudioDevice*>(user);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_operation* op = pa_context_get_server_info(
            context,
            [](pa_context*, const pa_server_info* info, void* data) {
                auto* device = static_cast<PulseAudioDevice*>(data);
                if (info && info->sample_spec.rate > 0)
                    device->m_outputRate = double(info->sample_spec.rate);
                // Available once the rate of playback streams is known.
                device->m_available = true;
                device->m_settled = true;
            },
            self);
        if (op) {
            pa_operation_unref(op);
        } else {
            self->m_available = true;
            self->m_settled = true;
        }
        if (self->m_wasConnected || self->m_reportedDown)
            qCInfo(lcPlatformAudio) << "The sound server answers again.";
        self->m_wasConnected = true;
        self->m_reportedDown = false;
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        self->m_lastError = QString::fromUtf8(pa_strerror(pa_context_errno(context)));
        if (self->m_available.exchange(false)) {
            self->m_reportedDown = true;
            qCWarning(lcPlatformAudio).noquote()
                << "Lost the sound server (" + self->m_lastError + "); trying to reconnect.";
        }
        self->m_settled = true;
        self->scheduleRetry();
        break;
    default:
        break;
    }
}

PulseAudioDevice::~PulseAudioDevice()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_retry) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
        api->time_free(m_retry);
        m_retry = nullptr;
    }
    dropContext();
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseAudioDevice::waitUntilAvailable(int timeoutMs) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!isAvailable()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::unique_ptr<AudioDeviceStream> PulseAudioDevice::openInput(double sampleRate, uint32_t channels,
                                                               AudioInputHandler* handler)
{
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = uint32_t(std::lround(sampleRate));
    spec.channels = uint8_t(std::clamp<uint32_t>(channels, 1, PA_CHANNELS_MAX));
    if (!handler || !pa_sample_spec_valid(&spec))
        return nullptr;
    LoopLock lock(m_loop);
    if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
        return nullptr;
    return std::make_unique<Stream>(m_loop, m_context, spec, handler, nullptr, captureSource());
}

QByteArray PulseAudioDevice::captureSource()
{
    const QString wanted = AudioDevice::inputSourceName();
    if (wanted.isEmpty())
        return {};
    const QByteArray name = wanted.toUtf8();
    bool found = false;
    const bool answered =
        waitForOperation(m_loop, pa_context_get_source_info_by_name(
                                     m_context, name.constData(),
                                     [](pa_context*, const pa_source_info* info, int, void* data) {
                                         if (info)
                                             *static_cast<bool*>(data) = true;
                                     },
                                     &found));
    if (found) {
        m_missingSourceReported.clear();
        return name;
    }
    if (m_missingSourceReported != wanted) {
        m_missingSourceReported = wanted;
        qCWarning(lcPlatformAudio).noquote()
            << (answered ? "The chosen input device \"" + wanted +
                               "\" is not there; recording from the default input instead."
                         : "The sound server did not say whether the input device \"" + wanted +
                               "\" is there; recording from the default input instead.");
    }
    return {};
}

QList<AudioInputSource> PulseAudioDevice::inputSources() const
{
    QList<AudioInputSource> sources;
    LoopLock lock(m_loop);
    if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
        return sources;
    waitForOperation(
        m_loop, pa_context_get_source_info_list(
                    m_context,
                    [](pa_context*, const pa_source_info* info, int, void* data) {
                        // A sink's monitor records what is played, not a
                        // microphone: it is left out of the choice.
                        if (!info || info->monitor_of_sink != PA_INVALID_INDEX)
                            return;
                        const QString name = QString::fromUtf8(info->name);
                        const QString description = info->description && *info->description
                                                        ? QString::fromUtf8(info->description)
                                                        : name;
                        static_cast<QList<AudioInputSource>*>(data)->append({name, description});
                    },
                    &sources));
    return sources;
}

std::unique_ptr<AudioDeviceStream> PulseAudioDevice::openOutput(uint32_t channels,
                                                                AudioOutputHandler* handler)
{
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_FLOAT32LE;
    spec.rate = uint32_t(m_outputRate.load());
    spec.channels = uint8_t(std::clamp<uint32_t>(channels, 1, PA_CHANNELS_MAX));
    if (!handler || !pa_sample_spec_valid(&spec))
        return nullptr;
    LoopLock lock(m_loop);
    if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
        return nullptr;
    return std::make_unique<Stream>(m_loop, m_context, spec, nullptr, handler);
}
