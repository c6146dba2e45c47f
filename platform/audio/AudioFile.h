// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioStreamBasicDescription.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A WAV file read or written as numbered packets, over libsndfile.
//
// Only regular files are opened; a FIFO or a device at the path is refused without waiting.
// Reading presents any WAV that libsndfile understands (8/16/24/32-bit, float, any channel count
// and rate) as the engines' packet stream: mono 16-bit signed PCM at the file's rate, one packet
// per frame, several channels mixed down to one. Writing (a new file, or appending to an existing
// one) is limited to mono 16-bit PCM WAV, the recording format. While a file is written, its
// header is brought up to date after every write, so a process that dies at any moment leaves a
// valid file holding everything written so far.
class AudioFile
{
public:
    enum Permission
    {
        kReadPermission,
        kReadWritePermission
    };

    // Result codes besides noErr.
    static constexpr OSStatus kAudioFileUnspecifiedError = -1;
    static constexpr OSStatus kAudioFileNotFoundError = -2;          // missing or unreadable
    static constexpr OSStatus kAudioFileUnsupportedFormatError = -3; // readable, wrong format
    static constexpr OSStatus kAudioFileWriteError = -4;    // the disk refused (full, quota)
    static constexpr OSStatus kAudioFileTooLargeError = -5; // past the 4 GiB RIFF limit
    static constexpr OSStatus kAudioFileInvalidPacketOffsetError = -6;
    static constexpr OSStatus kAudioFilePermissionsError = -7;

    ~AudioFile();
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    // Opens an existing WAV file. Read-write access is granted only to a mono 16-bit PCM WAV
    // file; any other audio file answers kAudioFileUnsupportedFormatError and is left untouched.
    static OSStatus openURL(const QString& path, Permission permission,
                            std::unique_ptr<AudioFile>* outFile);
    // Creates a mono 16-bit PCM WAV file, replacing a regular file at the path; anything else
    // there (a FIFO, a device, a folder) is refused. On failure *error, when given, says why.
    static OSStatus createWithURL(const QString& path, const AudioStreamBasicDescription& format,
                                  std::unique_ptr<AudioFile>* outFile, QString* error = nullptr);

    const QString& path() const { return m_path; }
    // The packet stream the engines see (mono 16-bit PCM at the file's rate).
    AudioStreamBasicDescription dataFormat() const;
    // The file's own layout, for diagnostics.
    int fileChannels() const { return m_fileChannels; }
    int fileSampleRate() const { return m_fileRate; }
    bool isRecordingFormat() const { return m_recordingFormat; }

    uint64_t audioDataByteCount() const { return uint64_t(m_frames) * 2; }
    int64_t audioDataPacketCount() const { return m_frames; }
    uint32_t packetSizeUpperBound() const { return 2; }
    // PCM has no magic cookie.
    uint32_t magicCookieSize() const { return 0; }
    OSStatus setMagicCookie(const void* data, uint32_t size);

    // Writes *ioNumPackets packets at startingPacket, which must not lie beyond the end of the
    // audio. On return *ioNumPackets holds the packets written; fewer than asked come with
    // kAudioFileWriteError or kAudioFileTooLargeError, and the file stays valid.
    OSStatus writePackets(int64_t startingPacket, uint32_t* ioNumPackets, const void* data);
    // Reads up to *ioNumPackets packets from startingPacket. Past the end reads nothing (noErr).
    OSStatus readPackets(int64_t startingPacket, uint32_t* ioNumPackets, void* outData,
                         uint32_t* outNumBytes);

    // The most audio data a file may hold; a RIFF file's sizes are 32-bit. Tests lower it.
    static uint64_t audioDataByteLimit();
    static void setAudioDataByteLimit(uint64_t bytes);
    static constexpr uint64_t kRiffAudioDataByteLimit = 0xFFFFFFFFull - 4096;

    // Runs on the writing thread before every writePackets, as a slow disk would delay it; tests
    // stall writes with it. None by default; an empty function removes it.
    static void setBeforeWriteHook(std::function<void()> hook);

private:
    struct Handle;
    AudioFile(QString path, std::unique_ptr<Handle> handle, bool writable);

    QString m_path;
    std::unique_ptr<Handle> m_handle;
    bool m_writable = false;
    bool m_recordingFormat = false;
    int m_fileChannels = 0;
    int m_fileRate = 0;
    int64_t m_frames = 0;
    int64_t m_readPos = -1;
    int64_t m_writePos = -1;
    bool m_floatData = false; // float samples are read as float and scaled here
    std::vector<int16_t> m_mixScratch;
    std::vector<float> m_floatScratch;
};
