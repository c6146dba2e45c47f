// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioPlayer.h"

#include <QTimer>

#include <algorithm>

namespace {
// The least time between two hand-backs of a scrub: each one costs the device a flush and a
// refill, and a wheel turned fast sends moves far more often than anyone hears them.
constexpr auto kResetInterval = std::chrono::milliseconds(10);
// The limits chosen by the last calculateSizesFor.
std::atomic<uint32_t> g_maxBufferSize{0};
std::atomic<uint32_t> g_minBufferSize{0};
} // namespace

uint32_t AudioPlayer::maxBufferSize()
{
    return g_maxBufferSize.load();
}

uint32_t AudioPlayer::minBufferSize()
{
    return g_minBufferSize.load();
}

AudioPlayer::AudioPlayer(const QUrl& url, double rateMultiplier,
                         std::shared_ptr<AudioDevice> device)
    : m_device(std::move(device))
    , m_rateMultiplier(rateMultiplier)
{
    setAudioFileURL(url);
    openPlaybackFile(url);
    AudioStreamBasicDescription f = audioFormat();
    f.mSampleRate = f.mSampleRate * rateMultiplier;
    setAudioFormat(f);
    setupPlaybackAudioQueueObject();
    setDonePlayingFile(false);
    setAudioPlayerShouldStopImmediately(false);
}

AudioPlayer::~AudioPlayer()
{
    if (queueObject())
        AudioQueue::dispose(queueObject(), true);
    setQueueObject(nullptr);
    closeAudioFile();
}

void AudioPlayer::openPlaybackFile(const QUrl& url)
{
    std::unique_ptr<AudioFile> file;
    AudioFile::openURL(url.toLocalFile(), AudioFile::kReadPermission, &file);
    if (file) {
        setAudioFormat(file->dataFormat());
        setAudioFileID(file.release());
    }
}

void AudioPlayer::setupPlaybackAudioQueueObject()
{
    AudioQueueRef queue = nullptr;
    AudioQueue::newOutput(audioFormat(), &AudioPlayer::playbackCallback, this, &queue, m_device);
    setQueueObject(queue);
    setGain(1.0f);
    setGainRT(1.0f);
    enableLevelMetering();
    if (queue)
        queue->addPropertyListener(kAudioQueueProperty_IsRunning,
                                   &AudioQueueObject::runningStateListener, this);
    copyMagicCookieToQueue(queue, audioFileID());
}

void AudioPlayer::copyMagicCookieToQueue(AudioQueueRef queue, AudioFile* file)
{
    if (!queue || !file)
        return;
    const uint32_t size = file->magicCookieSize();
    if (size == 0)
        return;
    // Files with a cookie are not read by this player; PCM has none.
}

double AudioPlayer::calculateSizesFor(double seconds)
{
    const uint32_t maxPacketSize = audioFileID() ? audioFileID()->packetSizeUpperBound() : 0;
    const AudioStreamBasicDescription f = audioFormat();
    const double rate = f.mSampleRate;

    uint32_t maxSize;
    uint32_t minSize;
    if (rate == 22050.0) {
        maxSize = 8192;
        minSize = 4096;
    } else if (rate == 11025.0) {
        maxSize = 4096;
        minSize = 2048;
    } else {
        maxSize = 16384;
        minSize = 8192;
    }
    g_maxBufferSize = maxSize;
    g_minBufferSize = minSize;

    uint32_t rawSize;
    if (f.mFramesPerPacket != 0) {
        const double packets = rate / f.mFramesPerPacket * seconds;
        const double bytes = packets * maxPacketSize;
        // Truncated to 32 bits; out-of-range values (never met with real files) saturate.
        rawSize = bytes >= 4294967295.0 ? 0xFFFFFFFFu : bytes > 0.0 ? uint32_t(bytes) : 0u;
    } else {
        rawSize = std::max(maxSize, maxPacketSize);
    }

    if (rawSize > maxSize && rawSize > maxPacketSize)
        m_bufferByteSize = maxSize;
    else if (rawSize < minSize)
        m_bufferByteSize = minSize;
    else
        m_bufferByteSize = rawSize;

    // A file that could not be read has no packet size: nothing is read, nothing divides by 0.
    m_numPacketsToRead = maxPacketSize > 0 ? m_bufferByteSize / maxPacketSize : 0;

    const uint64_t dataBytes = audioFileID() ? audioFileID()->audioDataByteCount() : 0;
    if (!(rate > 0.0))
        return 0.0;
    return double(dataBytes) / (2.0 * rate);
}

void AudioPlayer::setupAudioQueueBuffers()
{
    calculateSizesFor(1.0);
    if (!queueObject())
        return;
    for (int i = 0; i < kNumberBuffers; ++i) {
        if (queueObject()->allocateBuffer(m_bufferByteSize, &m_buffers[i]) != noErr)
            break;
        playbackCallback(this, queueObject(), m_buffers[i]);
        if (donePlayingFile())
            break;
    }
}

void AudioPlayer::playAt(uint64_t packetPosition)
{
    setStartPos(packetPosition);
    setupAudioQueueBuffers();
    if (queueObject())
        queueObject()->start();
}

void AudioPlayer::stop()
{
    closeAudioFile();
    if (queueObject())
        queueObject()->stop(audioPlayerShouldStopImmediately());
}

void AudioPlayer::scrubTo(uint64_t packetPosition)
{
    setStartPos(packetPosition);
    setStartingPacketNumber(0);
    if (!queueObject() || !isRunning())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastReset >= kResetInterval) {
        if (m_resetTimer)
            m_resetTimer->stop();
        resetQueue();
        return;
    }
    if (!m_resetTimer) {
        m_resetTimer = std::make_unique<QTimer>();
        m_resetTimer->setSingleShot(true);
        m_resetTimer->setTimerType(Qt::PreciseTimer);
        m_resetTimer->callOnTimeout([this] { resetQueue(); });
    }
    if (!m_resetTimer->isActive())
        m_resetTimer->start(std::chrono::duration_cast<std::chrono::milliseconds>(
                                kResetInterval - (now - m_lastReset)) +
                            std::chrono::milliseconds(1));
}

void AudioPlayer::resetQueue()
{
    m_lastReset = std::chrono::steady_clock::now();
    if (queueObject())
        queueObject()->reset();
}

void AudioPlayer::setPreservesPitch(bool preserve)
{
    if (!queueObject() || !(m_rateMultiplier > 0.0))
        return;
    // The file's own rate is the one whose pitch the stretcher keeps.
    const double fileRate = audioFormat().mSampleRate / m_rateMultiplier;
    if (queueObject()->setNaturalRate(preserve ? fileRate : 0.0) == noErr)
        m_preservesPitch = preserve;
}

void AudioPlayer::applyGain(int16_t* samples, uint32_t count, float gain)
{
    for (uint32_t i = 0; i < count; ++i) {
        float v = float(samples[i]) * gain;
        if (v > 32767.0f)
            v = 32767.0f;
        else if (v < -32767.0f)
            v = -32767.0f;
        samples[i] = int16_t(v); // truncation toward zero
    }
}

void AudioPlayer::playbackCallback(void* userData, AudioQueueRef queue, AudioQueueBufferRef buffer)
{
    auto* self = static_cast<AudioPlayer*>(userData);
    if (self->donePlayingFile() && !self->isScrubbing())
        return;

    uint32_t numPackets = self->m_numPacketsToRead;
    uint32_t numBytes = 0;
    // The capacity bounds the read even if the sizes were changed after the buffers were made.
    numPackets = std::min(numPackets, buffer->mAudioDataBytesCapacity / 2);
    AudioFile* file = self->audioFileID();
    if (file && numPackets > 0)
        file->readPackets(int64_t(self->startPos() + uint64_t(self->startingPacketNumber())),
                          &numPackets, buffer->mAudioData, &numBytes);
    else
        numPackets = 0;

    if (numPackets == 0) {
        if (!self->isScrubbing())
            self->setDonePlayingFile(true);
        if (!self->audioPlayerShouldStopImmediately() && !self->isScrubbing())
            self->stop();
        return;
    }

    buffer->mAudioDataByteSize = numBytes;
    if (numBytes == buffer->mAudioDataBytesCapacity)
        applyGain(static_cast<int16_t*>(buffer->mAudioData), numBytes / 2, self->gainRT());

    if (self->m_packetDescriptions)
        queue->enqueueBuffer(buffer, numPackets, self->m_packetDescriptions);
    else
        queue->enqueueBuffer(buffer, 0, nullptr);
    self->incrementStartingPacketNumberBy(numPackets);
}
