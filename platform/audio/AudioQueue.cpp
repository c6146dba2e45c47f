// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/AudioQueue.h"

#include "platform/audio/AudioSession.h"
#include "platform/audio/PlatformAudioLog.h"
#include "platform/audio/PlaybackConverter.h"

#include <QCoreApplication>
#include <QDebug>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Captured audio kept while every buffer is with the application (a file write that stalls on
// a slow disk), in seconds at the queue's rate.
constexpr double kInputBacklogSeconds = 15.0;
} // namespace

struct AudioQueue::Storage
{
    AudioQueueBuffer buffer;
    std::unique_ptr<uint8_t[]> bytes;
};

AudioQueue::AudioQueue(bool input, const AudioStreamBasicDescription& format,
                       std::shared_ptr<AudioDevice> device)
    : m_input(input)
    , m_format(format)
    , m_device(std::move(device))
{
    m_meters.resize(std::max<uint32_t>(1, format.mChannelsPerFrame));
}

AudioQueue::~AudioQueue() = default;

// Queues carry 16-bit linear PCM with at least one channel at a positive rate.
static bool isSupportedFormat(const AudioStreamBasicDescription& format)
{
    return format.mFormatID == kAudioFormatLinearPCM && format.mBitsPerChannel == 16 &&
           format.mChannelsPerFrame >= 1 && format.mSampleRate > 0.0;
}

AudioQueue* AudioQueue::create(bool input, bool hasCallback,
                               const AudioStreamBasicDescription& format, void* userData,
                               std::shared_ptr<AudioDevice> device)
{
    if (!hasCallback || !isSupportedFormat(format))
        return nullptr;
    if (!device)
        device = AudioDevice::defaultDevice();
    auto* q = new AudioQueue(input, format, std::move(device));
    q->m_userData = userData;
    // Played buffers and the loss of the device are handed to the creating thread, through
    // its event loop.
    q->m_owner = new QObject;
    q->m_link = std::make_shared<OwnerLink>();
    q->m_link->queue = q;
    return q;
}

OSStatus AudioQueue::newInput(const AudioStreamBasicDescription& format,
                              AudioQueueInputCallback callback, void* userData,
                              AudioQueueRef* outQueue, std::shared_ptr<AudioDevice> device)
{
    *outQueue = create(true, callback != nullptr, format, userData, std::move(device));
    if (!*outQueue)
        return kAudioQueueErr_InvalidParameter;
    AudioQueue* q = *outQueue;
    q->m_inputCallback = callback;
    q->m_thread = std::thread([q] { q->callbackThread(); });
    return noErr;
}

OSStatus AudioQueue::newOutput(const AudioStreamBasicDescription& format,
                               AudioQueueOutputCallback callback, void* userData,
                               AudioQueueRef* outQueue, std::shared_ptr<AudioDevice> device)
{
    *outQueue = create(false, callback != nullptr, format, userData, std::move(device));
    if (!*outQueue)
        return kAudioQueueErr_InvalidParameter;
    AudioQueue* q = *outQueue;
    q->m_outputCallback = callback;
    q->resetConverter();
    return noErr;
}

OSStatus AudioQueue::dispose(AudioQueueRef queue, bool)
{
    if (!queue)
        return kAudioQueueErr_InvalidParameter;
    std::unique_ptr<AudioDeviceStream> stream;
    {
        std::lock_guard lock(queue->m_mutex);
        queue->m_listeners.clear();
        stream = std::move(queue->m_stream);
    }
    if (stream)
        stream->stop();
    stream.reset();
    if (queue->m_thread.joinable()) {
        {
            std::lock_guard lock(queue->m_mutex);
            queue->m_quit = true;
            queue->m_filled.clear();
            queue->m_backlogFrames = 0;
        }
        queue->m_cv.notify_all();
        if (queue->m_thread.get_id() == std::this_thread::get_id())
            queue->m_thread.detach();
        else
            queue->m_thread.join();
    }
    if (queue->m_owner) {
        // Hand-backs already posted find the link cut; the context object goes now, or later
        // when the queue is disposed from inside one of its own hand-backs.
        queue->m_link->queue = nullptr;
        if (queue->m_owner->thread() == QThread::currentThread() && queue->m_link->depth == 0)
            delete queue->m_owner;
        else
            queue->m_owner->deleteLater();
        queue->m_owner = nullptr;
    }
    delete queue;
    return noErr;
}

AudioQueue::Storage* AudioQueue::storageFor(AudioQueueBufferRef buffer) const
{
    for (const auto& s : m_buffers)
        if (&s->buffer == buffer)
            return s.get();
    return nullptr;
}

OSStatus AudioQueue::allocateBuffer(uint32_t byteSize, AudioQueueBufferRef* outBuffer)
{
    *outBuffer = nullptr;
    if (byteSize == 0)
        return kAudioQueueErr_InvalidParameter;
    auto s = std::make_unique<Storage>();
    s->bytes = std::make_unique<uint8_t[]>(byteSize);
    std::memset(s->bytes.get(), 0, byteSize);
    s->buffer.mAudioData = s->bytes.get();
    s->buffer.mAudioDataBytesCapacity = byteSize;
    s->buffer.mAudioDataByteSize = 0;
    std::lock_guard lock(m_mutex);
    m_buffers.push_back(std::move(s));
    *outBuffer = &m_buffers.back()->buffer;
    return noErr;
}

OSStatus AudioQueue::enqueueBuffer(AudioQueueBufferRef buffer, uint32_t,
                                   const AudioStreamPacketDescription*)
{
    std::lock_guard lock(m_mutex);
    if (!buffer || !storageFor(buffer) ||
        buffer->mAudioDataByteSize > buffer->mAudioDataBytesCapacity)
        return kAudioQueueErr_InvalidBuffer;
    if (m_input) {
        buffer->mAudioDataByteSize = 0;
        m_empty.push_back(buffer);
        // Audio that waited for a buffer goes first.
        if (m_backlogFrames > 0 && m_running)
            drainBacklog();
        return noErr;
    }
    const uint32_t frameBytes = std::max<uint32_t>(2, m_format.mBytesPerFrame);
    buffer->mAudioDataByteSize -= buffer->mAudioDataByteSize % frameBytes;
    m_queued.push_back({buffer, 0});
    return noErr;
}

OSStatus AudioQueue::start()
{
    std::unique_lock lock(m_mutex);
    if (m_running) {
        if (!m_paused)
            return noErr;
        m_paused = false;
        AudioDeviceStream* stream = m_stream.get();
        lock.unlock();
        return stream && stream->start() ? noErr : kAudioQueueErr_CannotStart;
    }
    if (!m_device)
        return kAudioQueueErr_CannotStart;
    // The device's rate may have changed since the queue was made (a sound server that came
    // back at another rate).
    if (!m_input)
        resetConverter();
    std::unique_ptr<AudioDeviceStream> stream =
        m_input ? m_device->openInput(m_format.mSampleRate, m_format.mChannelsPerFrame, this)
                : m_device->openOutput(m_format.mChannelsPerFrame, this);
    if (!stream)
        return kAudioQueueErr_CannotStart;
    m_running = true;
    m_paused = false;
    m_deviceLost = false;
    m_droppedAtStart = m_dropped;
    m_backlogFrames = 0;
    m_backlogHead = 0;
    if (m_input) {
        const size_t frames = size_t(std::ceil(kInputBacklogSeconds * m_format.mSampleRate));
        m_backlog.resize(frames * m_format.mChannelsPerFrame * 2);
    }
    m_draining = m_stopAfterStart;
    m_stopAfterStart = false;
    m_startedAt = std::chrono::steady_clock::now();
    m_startupLatency = -1.0;
    AudioDeviceStream* raw = stream.get();
    m_stream = std::move(stream);
    lock.unlock();
    if (!raw->start()) {
        lock.lock();
        m_running = false;
        m_draining = false;
        auto failed = std::move(m_stream);
        lock.unlock();
        failed.reset();
        return kAudioQueueErr_CannotStart;
    }
    notifyListeners(kAudioQueueProperty_IsRunning);
    return noErr;
}

OSStatus AudioQueue::pause()
{
    std::unique_lock lock(m_mutex);
    if (!m_running || m_paused)
        return noErr;
    m_paused = true;
    AudioDeviceStream* stream = m_stream.get();
    lock.unlock();
    if (stream)
        stream->pause();
    return noErr;
}

OSStatus AudioQueue::stop(bool immediate)
{
    std::unique_lock lock(m_mutex);
    if (!m_running) {
        // Asked before start(): an output queue plays what is queued once started, then stops.
        if (!m_input && !immediate)
            m_stopAfterStart = true;
        else
            m_stopAfterStart = false;
        return noErr;
    }
    if (!m_input && !immediate) {
        m_draining = true;
        return noErr;
    }
    // The stream is stopped with the queue unlocked: its thread may be waiting for the lock.
    auto stream = std::move(m_stream);
    lock.unlock();
    if (stream)
        stream->stop();
    stream.reset();
    lock.lock();
    if (!m_running)
        return noErr; // another thread finished the stop meanwhile
    m_running = false;
    m_paused = false;
    m_draining = false;
    if (m_input) {
        // The audio captured so far is handed over before the stop is reported.
        drainBacklog();
        if (m_backlogFrames > 0 && m_filled.empty() && !m_inCallback)
            discardBacklog(); // no buffer is on its way back to carry it
        if (m_backlogFrames == 0 && m_filling) {
            if (m_filling->mAudioDataByteSize > 0)
                m_filled.push_back({m_filling, m_fillingStart});
            else
                m_empty.push_front(m_filling);
            m_filling = nullptr;
        }
        m_cv.notify_all();
        if (m_thread.get_id() != std::this_thread::get_id())
            m_cv.wait(lock, [this] {
                return (m_filled.empty() && !m_inCallback && m_backlogFrames == 0) || m_quit;
            });
        if (m_dropped > m_droppedAtStart)
            qCWarning(lcPlatformAudio).noquote()
                << QStringLiteral("%1 captured frames were lost: the application did not take "
                                  "the audio in time.")
                       .arg(m_dropped - m_droppedAtStart);
    } else {
        m_queued.clear();
        m_played.clear();
        resetConverter();
    }
    clearMeters();
    lock.unlock();
    notifyListeners(kAudioQueueProperty_IsRunning);
    return noErr;
}

void AudioQueue::notifyListeners(AudioQueuePropertyID id)
{
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& l : m_listeners)
            if (l.id == id)
                listeners.push_back(l);
    }
    for (const auto& l : listeners)
        l.proc(l.userData, this, id);
}

OSStatus AudioQueue::getProperty(AudioQueuePropertyID id, void* outData, uint32_t* ioDataSize)
{
    if (!outData || !ioDataSize)
        return kAudioQueueErr_InvalidParameter;
    std::lock_guard lock(m_mutex);
    switch (id) {
    case kAudioQueueProperty_IsRunning: {
        if (*ioDataSize < sizeof(uint32_t))
            return kAudioQueueErr_InvalidPropertySize;
        const uint32_t v = m_running ? 1 : 0;
        std::memcpy(outData, &v, sizeof v);
        *ioDataSize = sizeof v;
        return noErr;
    }
    case kAudioQueueProperty_StreamDescription:
        if (*ioDataSize < sizeof(AudioStreamBasicDescription))
            return kAudioQueueErr_InvalidPropertySize;
        std::memcpy(outData, &m_format, sizeof m_format);
        *ioDataSize = sizeof m_format;
        return noErr;
    case kAudioQueueProperty_EnableLevelMetering: {
        if (*ioDataSize < sizeof(uint32_t))
            return kAudioQueueErr_InvalidPropertySize;
        const uint32_t v = m_metering ? 1 : 0;
        std::memcpy(outData, &v, sizeof v);
        *ioDataSize = sizeof v;
        return noErr;
    }
    case kAudioQueueProperty_CurrentLevelMeter: {
        const size_t n =
            std::min<size_t>(*ioDataSize / sizeof(AudioQueueLevelMeterState), m_meters.size());
        if (n == 0)
            return kAudioQueueErr_InvalidPropertySize;
        std::memcpy(outData, m_meters.data(), n * sizeof(AudioQueueLevelMeterState));
        *ioDataSize = uint32_t(n * sizeof(AudioQueueLevelMeterState));
        return noErr;
    }
    case kAudioQueueProperty_MagicCookie:
        return kAudioQueueErr_InvalidProperty; // linear PCM has none
    default:
        return kAudioQueueErr_InvalidProperty;
    }
}

OSStatus AudioQueue::getPropertySize(AudioQueuePropertyID id, uint32_t* outDataSize)
{
    if (!outDataSize)
        return kAudioQueueErr_InvalidParameter;
    std::lock_guard lock(m_mutex);
    switch (id) {
    case kAudioQueueProperty_IsRunning:
    case kAudioQueueProperty_EnableLevelMetering:
        *outDataSize = sizeof(uint32_t);
        return noErr;
    case kAudioQueueProperty_StreamDescription:
        *outDataSize = sizeof(AudioStreamBasicDescription);
        return noErr;
    case kAudioQueueProperty_CurrentLevelMeter:
        *outDataSize = uint32_t(m_meters.size() * sizeof(AudioQueueLevelMeterState));
        return noErr;
    case kAudioQueueProperty_MagicCookie:
        *outDataSize = 0;
        return noErr;
    default:
        *outDataSize = 0;
        return kAudioQueueErr_InvalidProperty;
    }
}

OSStatus AudioQueue::setProperty(AudioQueuePropertyID id, const void* data, uint32_t dataSize)
{
    if (!data)
        return kAudioQueueErr_InvalidParameter;
    std::lock_guard lock(m_mutex);
    switch (id) {
    case kAudioQueueProperty_EnableLevelMetering: {
        if (dataSize != sizeof(uint32_t))
            return kAudioQueueErr_InvalidPropertySize;
        uint32_t v;
        std::memcpy(&v, data, sizeof v);
        m_metering = v != 0;
        if (!m_metering)
            clearMeters();
        return noErr;
    }
    case kAudioQueueProperty_StreamDescription: {
        // Only the rate of a queue that is not running may change.
        if (dataSize != sizeof(AudioStreamBasicDescription))
            return kAudioQueueErr_InvalidPropertySize;
        if (m_running)
            return kAudioQueueErr_InvalidRunState;
        AudioStreamBasicDescription f;
        std::memcpy(&f, data, sizeof f);
        if (!(f.mSampleRate > 0.0) || f.mChannelsPerFrame != m_format.mChannelsPerFrame ||
            f.mBitsPerChannel != m_format.mBitsPerChannel)
            return kAudioQueueErr_InvalidParameter;
        m_format.mSampleRate = f.mSampleRate;
        if (!m_input)
            resetConverter();
        return noErr;
    }
    default:
        return kAudioQueueErr_InvalidProperty;
    }
}

OSStatus AudioQueue::addPropertyListener(AudioQueuePropertyID id,
                                         AudioQueuePropertyListenerProc proc, void* userData)
{
    if (!proc || id != kAudioQueueProperty_IsRunning)
        return kAudioQueueErr_InvalidParameter;
    std::lock_guard lock(m_mutex);
    m_listeners.push_back({id, proc, userData});
    return noErr;
}

OSStatus AudioQueue::removePropertyListener(AudioQueuePropertyID id,
                                            AudioQueuePropertyListenerProc proc, void* userData)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_listeners, [&](const Listener& l) {
        return l.id == id && l.proc == proc && l.userData == userData;
    });
    return noErr;
}

double AudioQueue::startupLatency() const
{
    std::lock_guard lock(m_mutex);
    return m_startupLatency;
}

double AudioQueue::deviceLatency() const
{
    std::unique_lock lock(m_mutex);
    AudioDeviceStream* stream = m_stream.get();
    if (!stream)
        return 0.0;
    lock.unlock();
    // The stream stays alive: only stop() and dispose() on this thread replace it.
    return stream->latency();
}

uint64_t AudioQueue::droppedFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void AudioQueue::markFirstIo()
{
    if (m_startupLatency < 0.0)
        m_startupLatency =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_startedAt).count();
}

void AudioQueue::clearMeters()
{
    std::fill(m_meters.begin(), m_meters.end(), AudioQueueLevelMeterState{});
    m_meterSquares.assign(m_meters.size(), 0.0);
    m_meterPeaks.assign(m_meters.size(), 0.0);
    m_meterFrames = 0;
}

template <typename Sample>
void AudioQueue::updateMeters(const Sample* samples, size_t frames, double fullScale)
{
    const size_t channels = m_meters.size();
    m_meterSquares.resize(channels, 0.0);
    m_meterPeaks.resize(channels, 0.0);
    for (size_t i = 0; i < frames; ++i) {
        for (size_t c = 0; c < channels; ++c) {
            const double v = double(samples[i * channels + c]);
            m_meterSquares[c] += v * v;
            m_meterPeaks[c] = std::max(m_meterPeaks[c], std::fabs(v));
        }
    }
    m_meterFrames += frames;
    const double rate = m_input ? m_format.mSampleRate : m_device->outputSampleRate();
    if (double(m_meterFrames) < rate / 50.0)
        return;
    for (size_t c = 0; c < channels; ++c) {
        const double rms = std::sqrt(m_meterSquares[c] / double(m_meterFrames)) / fullScale;
        m_meters[c].mAveragePower = float(std::min(1.0, rms));
        m_meters[c].mPeakPower = float(std::min(1.0, m_meterPeaks[c] / fullScale));
        m_meterSquares[c] = 0.0;
        m_meterPeaks[c] = 0.0;
    }
    m_meterFrames = 0;
}

// ---- input side -----------------------------------------------------------------------------

void AudioQueue::audioInput(const int16_t* frames, size_t frameCount)
{
    std::lock_guard lock(m_mutex);
    if (!m_running || frameCount == 0)
        return;
    markFirstIo();
    if (m_metering)
        updateMeters(frames, frameCount, 32768.0);
    const uint32_t frameBytes = m_format.mChannelsPerFrame * 2;
    const auto* src = reinterpret_cast<const uint8_t*>(frames);
    size_t remaining = frameCount;
    if (m_backlogFrames > 0)
        drainBacklog();
    if (m_backlogFrames == 0) {
        const size_t n = fillBuffers(src, remaining);
        src += n * frameBytes;
        remaining -= n;
    }
    if (remaining > 0)
        keepInBacklog(src, remaining);
}

size_t AudioQueue::fillBuffers(const uint8_t* src, size_t frameCount)
{
    const uint32_t frameBytes = m_format.mChannelsPerFrame * 2;
    size_t done = 0;
    while (done < frameCount) {
        if (!m_filling) {
            if (m_empty.empty())
                break;
            m_filling = m_empty.front();
            m_empty.pop_front();
            m_filling->mAudioDataByteSize = 0;
            m_fillingStart = m_capturedFrames;
        }
        const uint32_t room =
            (m_filling->mAudioDataBytesCapacity - m_filling->mAudioDataByteSize) / frameBytes;
        const size_t n = std::min<size_t>(room, frameCount - done);
        std::memcpy(static_cast<uint8_t*>(m_filling->mAudioData) + m_filling->mAudioDataByteSize,
                    src + done * frameBytes, n * frameBytes);
        m_filling->mAudioDataByteSize += uint32_t(n * frameBytes);
        done += n;
        m_capturedFrames += double(n);
        if (m_filling->mAudioDataBytesCapacity - m_filling->mAudioDataByteSize < frameBytes) {
            m_filled.push_back({m_filling, m_fillingStart});
            m_filling = nullptr;
            m_cv.notify_all();
        }
    }
    return done;
}

void AudioQueue::keepInBacklog(const uint8_t* src, size_t frameCount)
{
    const uint32_t frameBytes = m_format.mChannelsPerFrame * 2;
    const size_t capacity = m_backlog.size() / frameBytes;
    const size_t kept = std::min(frameCount, capacity - m_backlogFrames);
    for (size_t i = 0; i < kept;) {
        // The free space may wrap around the end of the ring.
        const size_t tail = (m_backlogHead + m_backlogFrames) % capacity;
        const size_t n = std::min(kept - i, capacity - tail);
        std::memcpy(m_backlog.data() + tail * frameBytes, src + i * frameBytes, n * frameBytes);
        m_backlogFrames += n;
        i += n;
    }
    if (kept < frameCount) {
        // Even the backlog is full: the application has not taken audio for a long time.
        if (m_dropped == m_droppedAtStart)
            qCWarning(lcPlatformAudio) << "The recording backlog is full; captured audio is "
                                          "being dropped.";
        m_dropped += frameCount - kept;
        m_capturedFrames += double(frameCount - kept);
    }
}

void AudioQueue::drainBacklog()
{
    const uint32_t frameBytes = m_format.mChannelsPerFrame * 2;
    const size_t capacity = m_backlog.size() / frameBytes;
    while (m_backlogFrames > 0) {
        const size_t run = std::min(m_backlogFrames, capacity - m_backlogHead);
        const size_t n = fillBuffers(m_backlog.data() + m_backlogHead * frameBytes, run);
        m_backlogHead = (m_backlogHead + n) % capacity;
        m_backlogFrames -= n;
        if (n < run)
            break;
    }
    if (m_backlogFrames == 0)
        m_backlogHead = 0;
}

void AudioQueue::discardBacklog()
{
    if (m_backlogFrames == 0)
        return;
    m_dropped += m_backlogFrames;
    m_capturedFrames += double(m_backlogFrames);
    m_backlogFrames = 0;
    m_backlogHead = 0;
}

void AudioQueue::callbackThread()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_quit || !m_filled.empty(); });
        if (m_quit)
            break;
        const Filled f = m_filled.front();
        m_filled.pop_front();
        m_inCallback = true;
        const uint32_t frameBytes = m_format.mChannelsPerFrame * 2;
        lock.unlock();
        AudioTimeStamp ts;
        ts.mSampleTime = f.sampleTime;
        m_inputCallback(m_userData, this, f.buffer, &ts, f.buffer->mAudioDataByteSize / frameBytes,
                        nullptr);
        lock.lock();
        m_inCallback = false;
        if (!m_running && m_backlogFrames > 0 && !m_quit) {
            // A stop while audio still waited for a buffer: the buffer just handed over carries
            // it, as the application gives none back to a stopped queue.
            if (std::find(m_empty.begin(), m_empty.end(), f.buffer) == m_empty.end())
                m_empty.push_back(f.buffer);
            drainBacklog();
            if (m_backlogFrames == 0 && m_filling) {
                if (m_filling->mAudioDataByteSize > 0)
                    m_filled.push_back({m_filling, m_fillingStart});
                else
                    m_empty.push_front(m_filling);
                m_filling = nullptr;
            }
        }
        m_cv.notify_all();
    }
    m_inCallback = false;
    m_cv.notify_all();
}

void AudioQueue::streamInterrupted(bool began)
{
    // The session decides what an interruption means for the application.
    AudioSession::instance().reportInterruption(began);
}

void AudioQueue::streamLost()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
        m_deviceLost = true;
    }
    // The queue stops on its creating thread, as if its owner had stopped it there.
    postToOwner(&AudioQueue::stopAfterLoss);
}

void AudioQueue::stopAfterLoss()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || !m_deviceLost)
            return;
    }
    stop(true);
}

bool AudioQueue::deviceLost() const
{
    std::lock_guard lock(m_mutex);
    return m_deviceLost;
}

bool AudioQueue::deviceAvailable() const
{
    return m_device && m_device->isAvailable();
}

// ---- output side ----------------------------------------------------------------------------

void AudioQueue::resetConverter()
{
    m_converter.reset();
    if (!m_device || m_input)
        return;
    const double deviceRate = m_device->outputSampleRate();
    const bool stretch = m_naturalRate > 0.0 && m_naturalRate != m_format.mSampleRate;
    if (deviceRate != m_format.mSampleRate || stretch) {
        m_converter =
            PlaybackConverter::create(m_format.mSampleRate, deviceRate, m_format.mChannelsPerFrame,
                                      stretch ? m_naturalRate : 0.0);
        if (!m_converter)
            qCWarning(lcPlatformAudio).noquote()
                << "No converter for" << m_format.mSampleRate << "Hz; the audio plays unconverted.";
    }
}

size_t AudioQueue::takeQueued(float* dst, size_t maxFrames)
{
    const uint32_t channels = m_format.mChannelsPerFrame;
    const uint32_t frameBytes = channels * 2;
    size_t taken = 0;
    while (taken < maxFrames && !m_queued.empty()) {
        Queued& head = m_queued.front();
        const uint32_t available = (head.buffer->mAudioDataByteSize - head.offset) / frameBytes;
        const size_t n = std::min<size_t>(available, maxFrames - taken);
        const auto* src = reinterpret_cast<const int16_t*>(
            static_cast<const uint8_t*>(head.buffer->mAudioData) + head.offset);
        float* out = dst + taken * channels;
        for (size_t i = 0; i < n * channels; ++i)
            out[i] = float(src[i]) * (1.0f / 32768.0f);
        head.offset += uint32_t(n * frameBytes);
        taken += n;
        if (head.offset >= head.buffer->mAudioDataByteSize) {
            m_played.push_back(head.buffer);
            m_queued.pop_front();
        }
    }
    return taken;
}

size_t AudioQueue::produceOutput(float* out, size_t frames)
{
    if (!m_converter)
        return takeQueued(out, frames);
    // Buffers taken into the converter count as played: it holds only what the output asked
    // for needs, a few milliseconds.
    return m_converter->convert(
        out, frames, [this](float* dst, size_t maxFrames) { return takeQueued(dst, maxFrames); },
        m_draining);
}

OSStatus AudioQueue::reset()
{
    if (m_input)
        return kAudioQueueErr_InvalidParameter;
    std::vector<AudioQueueBufferRef> handBack;
    AudioDeviceStream* stream = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return noErr;
        // Buffers already played but not yet handed back go first, as they would have.
        handBack.swap(m_played);
        for (const Queued& q : m_queued)
            handBack.push_back(q.buffer);
        m_queued.clear();
        if (m_converter)
            m_converter->clear();
        stream = m_stream.get();
    }
    std::shared_ptr<OwnerLink> link = m_link;
    ++link->depth;
    for (AudioQueueBufferRef b : handBack) {
        // The callback may stop or dispose of the queue.
        if (!link->queue)
            break;
        {
            std::lock_guard lock(m_mutex);
            if (!m_running)
                break;
        }
        m_outputCallback(m_userData, this, b);
    }
    --link->depth;
    if (!link->queue)
        return noErr;
    {
        std::lock_guard lock(m_mutex);
        // Only the stream that was running before the hand-backs: a callback that stopped the
        // queue has ended it.
        if (!m_running || m_stream.get() != stream)
            return noErr;
    }
    // The device's buffered audio goes only now: flushed earlier, it would be replaced by
    // silence while the callbacks refill, and the new audio would queue up behind that.
    if (stream)
        stream->flush();
    return noErr;
}

OSStatus AudioQueue::setNaturalRate(double sampleRate)
{
    if (m_input || !(sampleRate >= 0.0))
        return kAudioQueueErr_InvalidParameter;
    std::lock_guard lock(m_mutex);
    if (m_running)
        return kAudioQueueErr_InvalidRunState;
    m_naturalRate = sampleRate;
    resetConverter();
    return noErr;
}

size_t AudioQueue::audioOutput(float* frames, size_t frameCount, bool* endOfStream)
{
    std::lock_guard lock(m_mutex);
    *endOfStream = false;
    if (!m_running || m_paused)
        return 0;
    const size_t produced = produceOutput(frames, frameCount);
    if (produced > 0) {
        markFirstIo();
        if (m_metering)
            updateMeters(frames, produced, 1.0);
    }
    if (m_draining && m_queued.empty() && (!m_converter || m_converter->flushed()))
        *endOfStream = true;
    if (!m_played.empty() && !m_playedPosted) {
        m_playedPosted = true;
        postToOwner(&AudioQueue::deliverPlayed);
    }
    return produced;
}

void AudioQueue::outputDrained()
{
    postToOwner(&AudioQueue::finishDrain);
}

void AudioQueue::postToOwner(void (AudioQueue::*method)())
{
    // The hand-back reaches the queue through the link, never through a pointer of its own: a
    // queue disposed of from another thread leaves its context object to deleteLater, and
    // hand-backs posted before that must find the queue gone rather than touch freed memory.
    if (m_owner)
        QMetaObject::invokeMethod(
            m_owner,
            [link = m_link, method] {
                if (!link->queue)
                    return;
                ++link->depth;
                (link->queue->*method)();
                --link->depth;
            },
            Qt::QueuedConnection);
}

void AudioQueue::deliverPlayed()
{
    std::vector<AudioQueueBufferRef> played;
    {
        std::lock_guard lock(m_mutex);
        m_playedPosted = false;
        if (!m_running)
            return;
        played.swap(m_played);
    }
    // The callback may stop or even dispose of the queue; check before each further buffer.
    std::shared_ptr<OwnerLink> link = m_link;
    for (AudioQueueBufferRef b : played) {
        if (!link->queue)
            return;
        {
            std::lock_guard lock(m_mutex);
            if (!m_running)
                return;
        }
        m_outputCallback(m_userData, this, b);
    }
}

void AudioQueue::finishDrain()
{
    std::unique_lock lock(m_mutex);
    if (!m_running || !m_draining)
        return;
    auto stream = std::move(m_stream);
    lock.unlock();
    if (stream)
        stream->stop();
    stream.reset();
    lock.lock();
    m_running = false;
    m_paused = false;
    m_draining = false;
    m_queued.clear();
    m_played.clear();
    resetConverter();
    clearMeters();
    lock.unlock();
    notifyListeners(kAudioQueueProperty_IsRunning);
}
