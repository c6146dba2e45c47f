// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/AudioFile.h"
#include "platform/audio/PlatformAudioLog.h"

#include <QDebug>
#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<uint64_t> g_audioDataByteLimit{AudioFile::kRiffAudioDataByteLimit};
std::mutex g_hookMutex;
std::shared_ptr<const std::function<void()>> g_beforeWrite;

bool isWaveContainer(int format)
{
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

bool isRecordingLayout(const SF_INFO& info)
{
    return (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
           (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && info.channels == 1;
}

// Opens a regular file only. O_NONBLOCK keeps open() from waiting on a FIFO (or a device) that
// was put at the path; fstat then tells what was opened, and the flag is cleared for the
// ordinary reads and writes of a regular file. Returns the descriptor, or -1 with errno set.
int openRegularFile(const QString& path, int flags)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int fileFlags = ::fcntl(fd, F_GETFL);
    if (fileFlags < 0 || ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// libsndfile on a descriptor that it owns from then on: it closes it with the file, and also
// when it cannot open it.
SNDFILE* openSoundFile(const QString& path, int openFlags, int mode, SF_INFO* info)
{
    const int fd = openRegularFile(path, openFlags);
    if (fd < 0)
        return nullptr;
    return sf_open_fd(fd, mode, info, SF_TRUE);
}

} // namespace

struct AudioFile::Handle
{
    SNDFILE* sf = nullptr;
    SF_INFO info{};
    ~Handle()
    {
        if (sf)
            sf_close(sf);
    }
};

AudioFile::AudioFile(QString path, std::unique_ptr<Handle> handle, bool writable)
    : m_path(std::move(path))
    , m_handle(std::move(handle))
    , m_writable(writable)
{
    m_fileChannels = m_handle->info.channels;
    m_fileRate = m_handle->info.samplerate;
    m_frames = m_handle->info.frames;
    m_recordingFormat = isRecordingLayout(m_handle->info);
    const int subtype = m_handle->info.format & SF_FORMAT_SUBMASK;
    m_floatData = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    // Float data read as integers is clipped rather than wrapped.
    sf_command(m_handle->sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (m_writable) {
        // Rewrites the RIFF and data sizes after every write: the file is always complete.
        sf_command(m_handle->sf, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    }
}

AudioFile::~AudioFile() = default;

OSStatus AudioFile::openURL(const QString& path, Permission permission,
                            std::unique_ptr<AudioFile>* outFile)
{
    outFile->reset();
    auto probe = std::make_unique<Handle>();
    probe->sf = openSoundFile(path, O_RDONLY, SFM_READ, &probe->info);
    if (!probe->sf)
        return kAudioFileNotFoundError;
    if (!isWaveContainer(probe->info.format) || probe->info.channels < 1 ||
        probe->info.samplerate < 1)
        return kAudioFileUnsupportedFormatError;
    if (permission == kReadPermission) {
        outFile->reset(new AudioFile(path, std::move(probe), false));
        return noErr;
    }
    if (!isRecordingLayout(probe->info))
        return kAudioFileUnsupportedFormatError;
    probe.reset();
    auto handle = std::make_unique<Handle>();
    handle->sf = openSoundFile(path, O_RDWR, SFM_RDWR, &handle->info);
    if (!handle->sf)
        return kAudioFilePermissionsError;
    outFile->reset(new AudioFile(path, std::move(handle), true));
    return noErr;
}

OSStatus AudioFile::createWithURL(const QString& path, const AudioStreamBasicDescription& format,
                                  std::unique_ptr<AudioFile>* outFile, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return kAudioFilePermissionsError;
    };
    outFile->reset();
    if (format.mFormatID != kAudioFormatLinearPCM || format.mChannelsPerFrame != 1 ||
        format.mBitsPerChannel != 16 || !(format.mSampleRate >= 1.0))
        return kAudioFileUnsupportedFormatError;
    auto handle = std::make_unique<Handle>();
    handle->info.samplerate = int(std::lround(format.mSampleRate));
    handle->info.channels = 1;
    handle->info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    // The file is emptied only once it is known to be a regular file.
    const int fd = openRegularFile(path, O_RDWR | O_CREAT);
    if (fd < 0)
        return fail(errno == EINVAL ? QStringLiteral("it is not a regular file")
                                    : QString::fromLocal8Bit(std::strerror(errno)));
    if (::ftruncate(fd, 0) != 0) {
        const int saved = errno;
        ::close(fd);
        return fail(QString::fromLocal8Bit(std::strerror(saved)));
    }
    handle->sf = sf_open_fd(fd, SFM_WRITE, &handle->info, SF_TRUE);
    if (!handle->sf)
        return fail(QString::fromUtf8(sf_strerror(nullptr)));
    handle->info.frames = 0;
    outFile->reset(new AudioFile(path, std::move(handle), true));
    (*outFile)->m_writePos = 0;
    return noErr;
}

AudioStreamBasicDescription AudioFile::dataFormat() const
{
    return monoPCM16Format(double(m_fileRate));
}

OSStatus AudioFile::setMagicCookie(const void*, uint32_t size)
{
    return size == 0 ? noErr : kAudioFileUnsupportedFormatError;
}

uint64_t AudioFile::audioDataByteLimit()
{
    return g_audioDataByteLimit.load();
}

void AudioFile::setAudioDataByteLimit(uint64_t bytes)
{
    g_audioDataByteLimit.store(bytes);
}

void AudioFile::setBeforeWriteHook(std::function<void()> hook)
{
    std::lock_guard lock(g_hookMutex);
    g_beforeWrite = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
}

OSStatus AudioFile::writePackets(int64_t startingPacket, uint32_t* ioNumPackets, const void* data)
{
    std::shared_ptr<const std::function<void()>> hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_beforeWrite;
    }
    if (hook)
        (*hook)();
    const uint32_t asked = *ioNumPackets;
    *ioNumPackets = 0;
    if (!m_writable)
        return kAudioFilePermissionsError;
    if (startingPacket < 0 || startingPacket > m_frames)
        return kAudioFileInvalidPacketOffsetError;
    OSStatus status = noErr;
    int64_t count = asked;
    const int64_t limitPackets = int64_t(audioDataByteLimit() / 2);
    if (startingPacket + count > limitPackets) {
        count = std::max<int64_t>(0, limitPackets - startingPacket);
        status = kAudioFileTooLargeError;
    }
    if (count == 0)
        return status;
    if (m_writePos != startingPacket) {
        if (sf_seek(m_handle->sf, startingPacket, SEEK_SET | SFM_WRITE) != startingPacket) {
            m_writePos = -1;
            return kAudioFileInvalidPacketOffsetError;
        }
        m_writePos = startingPacket;
    }
    errno = 0;
    const sf_count_t written =
        sf_write_short(m_handle->sf, static_cast<const short*>(data), sf_count_t(count));
    const int savedErrno = errno;
    if (written > 0) {
        m_writePos += written;
        m_frames = std::max(m_frames, m_writePos);
    }
    *ioNumPackets = uint32_t(std::max<sf_count_t>(0, written));
    if (written < count) {
        m_writePos = -1;
        qCWarning(lcPlatformAudio).noquote()
            << "AudioFile: writing" << m_path << "failed:"
            << (savedErrno ? QString::fromLocal8Bit(std::strerror(savedErrno))
                           : QString::fromUtf8(sf_strerror(m_handle->sf)));
        return kAudioFileWriteError;
    }
    return status;
}

OSStatus AudioFile::readPackets(int64_t startingPacket, uint32_t* ioNumPackets, void* outData,
                                uint32_t* outNumBytes)
{
    const uint32_t asked = *ioNumPackets;
    *ioNumPackets = 0;
    if (outNumBytes)
        *outNumBytes = 0;
    if (startingPacket < 0)
        return kAudioFileInvalidPacketOffsetError;
    if (startingPacket >= m_frames || asked == 0)
        return noErr;
    const sf_count_t want = std::min<sf_count_t>(asked, m_frames - startingPacket);
    if (m_readPos != startingPacket) {
        const int whence = m_writable ? (SEEK_SET | SFM_READ) : SEEK_SET;
        if (sf_seek(m_handle->sf, startingPacket, whence) != startingPacket) {
            m_readPos = -1;
            return kAudioFileInvalidPacketOffsetError;
        }
    }
    sf_count_t got = 0;
    auto* out = static_cast<int16_t*>(outData);
    const int channels = m_fileChannels;
    if (m_floatData) {
        // Full scale is +-1.0; libsndfile would truncate it to 0 when asked for integers.
        m_floatScratch.resize(size_t(want) * size_t(channels));
        got = sf_readf_float(m_handle->sf, m_floatScratch.data(), want);
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0.0f;
            for (int c = 0; c < channels; ++c)
                sum += m_floatScratch[size_t(i) * size_t(channels) + size_t(c)];
            const float v = std::clamp(sum / float(channels) * 32767.0f, -32768.0f, 32767.0f);
            out[i] = int16_t(std::lrint(v));
        }
    } else if (channels == 1) {
        got = sf_readf_short(m_handle->sf, out, want);
    } else {
        m_mixScratch.resize(size_t(want) * size_t(channels));
        got = sf_readf_short(m_handle->sf, m_mixScratch.data(), want);
        for (sf_count_t i = 0; i < got; ++i) {
            int sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += m_mixScratch[size_t(i) * size_t(channels) + size_t(c)];
            out[i] = int16_t(sum / channels);
        }
    }
    if (got < 0)
        got = 0;
    m_readPos = startingPacket + got;
    *ioNumPackets = uint32_t(got);
    if (outNumBytes)
        *outNumBytes = uint32_t(got * 2);
    return noErr;
}
