#include "platform/audio/PulseAudioDevice.h"

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

} // namespace

class PulseAudioDevice::Stream : public AudioDeviceStream
{
public:
    Stream(pa_threaded_mainloop* loop, pa_context* context, const pa_sample_spec& spec,
           AudioInputHandler* input, AudioOutputHandler* output)
        : m_loop(loop)
        , m_context(context)
        , m_spec(spec)
        , m_input(input)
        , m_output(output)
    {
    }
    ~Stream() override { stop(); }

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
        m_stream = pa_stream_new(m_context, m_input ? "Sonavell recording" : "Sonavell playback",
                                 &m_spec, nullptr);
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
            rc = pa_stream_connect_record(m_stream, nullptr, &attr, flags);
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
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
            if (self->m_input)
                self->m_input->streamInterrupted(true);
            else
                self->m_output->streamInterrupted(true);
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
    pa_stream* m_stream = nullptr;
    pa_operation* m_drainOp = nullptr;
    bool m_stopped = false;
    bool m_ended = false;
    std::vector<int16_t> m_silence;
};

std::shared_ptr<PulseAudioDevice> PulseAudioDevice::connect(QString* why, int timeoutMs)
{
    std::shared_ptr<PulseAudioDevice> device(new PulseAudioDevice);
    device->m_loop = pa_threaded_mainloop_new();
    if (!device->m_loop) {
        *why = QStringLiteral("cannot create the PulseAudio main loop");
        return nullptr;
    }
    device->m_context = pa_context_new(pa_threaded_mainloop_get_api(device->m_loop), "Sonavell");
    if (!device->m_context || pa_threaded_mainloop_start(device->m_loop) < 0) {
        *why = QStringLiteral("cannot start the PulseAudio main loop");
        return nullptr;
    }
    LoopLock lock(device->m_loop);
    pa_context* ctx = device->m_context;
    if (pa_context_connect(ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        *why = QString::fromUtf8(pa_strerror(pa_context_errno(ctx)));
        return nullptr;
    }
    const bool settled = waitLocked(device->m_loop, timeoutMs, [ctx] {
        const auto s = pa_context_get_state(ctx);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    if (!settled || pa_context_get_state(ctx) != PA_CONTEXT_READY) {
        *why = settled ? QString::fromUtf8(pa_strerror(pa_context_errno(ctx)))
                       : QStringLiteral("PulseAudio did not answer in time");
        return nullptr;
    }
    struct Info
    {
        bool done = false;
        uint32_t rate = 0;
        QString name;
    } info;
    pa_operation* op = pa_context_get_server_info(
        ctx,
        [](pa_context*, const pa_server_info* i, void* user) {
            auto* out = static_cast<Info*>(user);
            if (i) {
                out->rate = i->sample_spec.rate;
                out->name = QString::fromUtf8(i->server_name ? i->server_name : "pulseaudio");
            }
            out->done = true;
        },
        &info);
    if (op) {
        waitLocked(device->m_loop, timeoutMs, [&info] { return info.done; });
        pa_operation_unref(op);
    }
    if (info.rate > 0)
        device->m_outputRate = double(info.rate);
    device->m_name = info.name.isEmpty() ? QStringLiteral("pulseaudio") : info.name;
    return device;
}

PulseAudioDevice::~PulseAudioDevice()
{
    if (m_loop) {
        if (m_context) {
            pa_threaded_mainloop_lock(m_loop);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            pa_threaded_mainloop_unlock(m_loop);
        }
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }
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
    return std::make_unique<Stream>(m_loop, m_context, spec, handler, nullptr);
}

std::unique_ptr<AudioDeviceStream> PulseAudioDevice::openOutput(uint32_t channels,
                                                                AudioOutputHandler* handler)
{
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_FLOAT32LE;
    spec.rate = uint32_t(m_outputRate);
    spec.channels = uint8_t(std::clamp<uint32_t>(channels, 1, PA_CHANNELS_MAX));
    if (!handler || !pa_sample_spec_valid(&spec))
        return nullptr;
    return std::make_unique<Stream>(m_loop, m_context, spec, nullptr, handler);
}
