// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioRecorder.h"
#include "audio/AudioLog.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

AudioRecorder::AudioRecorder(const QUrl& url, double sampleRate,
                             std::shared_ptr<AudioDevice> device)
{
    qCInfo(lcAudio, "initializing a recorder object.");
    setAudioFormat(monoPCM16Format(sampleRate));

    qCInfo(lcAudio, "***** AudioQueueNewInput ******");
    AudioQueueRef queue = nullptr;
    AudioQueue::newInput(audioFormat(), &AudioRecorder::recordingCallback, this, &queue,
                         std::move(device));
    setQueueObject(queue);
    if (queue) {
        // The file is created with the format the queue actually uses.
        AudioStreamBasicDescription actual = audioFormat();
        uint32_t size = sizeof actual;
        if (queue->getProperty(kAudioQueueProperty_StreamDescription, &actual, &size) == noErr)
            setAudioFormat(actual);
        queue->addPropertyListener(kAudioQueueProperty_IsRunning,
                                   &AudioQueueObject::runningStateListener, this);
    }
    setAudioFileURL(url);
    enableLevelMetering();
}

AudioRecorder::~AudioRecorder()
{
    qCInfo(lcAudio, "***** AudioQueueDispose *****");
    if (queueObject())
        AudioQueue::dispose(queueObject(), true);
    setQueueObject(nullptr);
    closeAudioFile();
}

void AudioRecorder::record()
{
    setupRecording();
    // Without a file to write to, a running take would record nothing while looking normal.
    if (queueObject() && m_setupFailure.isEmpty())
        queueObject()->start();
}

void AudioRecorder::setupRecording()
{
    setStartingPacketNumber(0);
    m_setupFailure.clear();
    const QString path = audioFileURL().toLocalFile();
    closeAudioFile();

    std::unique_ptr<AudioFile> file;
    const OSStatus opened = AudioFile::openURL(path, AudioFile::kReadWritePermission, &file);
    const QFileInfo existing(path);
    if (opened == AudioFile::kAudioFileNotFoundError && existing.exists() && existing.size() > 0) {
        // Something is there that cannot be read as audio: a file with a damaged header, or
        // not a regular file at all. Neither may be overwritten.
        if (!existing.isFile())
            m_setupFailure = QStringLiteral("%1 is not a regular file").arg(existing.fileName());
        else if (!setAsideUnreadableFile(path))
            m_setupFailure = QStringLiteral("%1 cannot be read as audio and could not be "
                                            "moved aside")
                                 .arg(existing.fileName());
    } else if (opened == AudioFile::kAudioFilePermissionsError) {
        m_setupFailure = QStringLiteral("%1 cannot be written").arg(existing.fileName());
    }
    if (!m_setupFailure.isEmpty()) {
        qCWarning(lcAudio).noquote() << "not recording into" << path << ":" << m_setupFailure;
        m_writesEnded = true;
        return;
    }
    if (opened == noErr) {
        // New packets go after the audio already in the file.
        setStartingPacketNumber(int64_t(file->audioDataByteCount() / 2));
        const double fileRate = double(file->fileSampleRate());
        if (fileRate != audioFormat().mSampleRate && queueObject()) {
            // The file's header holds one rate: samples at another rate would play at the
            // wrong speed, so the take continues at the file's own rate.
            qCWarning(lcAudio).noquote()
                << QStringLiteral("appending to %1 at its own rate of %2 Hz "
                                  "rather than %3 Hz")
                       .arg(path, QString::number(fileRate),
                            QString::number(audioFormat().mSampleRate));
            AudioStreamBasicDescription f = audioFormat();
            f.mSampleRate = fileRate;
            if (queueObject()->setProperty(kAudioQueueProperty_StreamDescription, &f, sizeof f) ==
                noErr)
                setAudioFormat(f);
        }
        setAudioFileID(file.release());
    } else if (opened == AudioFile::kAudioFileUnsupportedFormatError) {
        // Audio in another format: appending would corrupt it and replacing it would lose it.
        m_setupFailure =
            QStringLiteral("%1 holds audio in another format").arg(QFileInfo(path).fileName());
        qCWarning(lcAudio).noquote()
            << QStringLiteral("not recording into %1: it holds audio that is "
                              "not mono 16-bit PCM WAV, and appending would "
                              "corrupt it")
                   .arg(path);
        m_writesEnded = true;
        return;
    } else {
        QString why;
        if (AudioFile::createWithURL(path, audioFormat(), &file, &why) != noErr) {
            m_setupFailure = why;
            qCWarning(lcAudio).noquote() << "cannot create" << path << ":" << why;
            m_writesEnded = true;
            return;
        }
        setAudioFileID(file.release());
    }

    copyEncoderMagicCookieToFile(audioFileID(), queueObject());

    if (!queueObject())
        return;
    for (int i = 0; i < kNumberBuffers; ++i) {
        AudioQueueBufferRef buffer = nullptr;
        if (queueObject()->allocateBuffer(kBufferByteSize, &buffer) == noErr)
            queueObject()->enqueueBuffer(buffer, 0, nullptr);
    }
}

bool AudioRecorder::setAsideUnreadableFile(const QString& path)
{
    const QString aside = path + QStringLiteral(".unreadable-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    if (QFileInfo::exists(aside) || !QFile::rename(path, aside)) {
        qCWarning(lcAudio).noquote() << "cannot move the unreadable" << path << "aside to" << aside;
        return false;
    }
    qCWarning(lcAudio).noquote() << path << "cannot be read as audio; moved it aside to" << aside
                                 << "and recording into a new file";
    return true;
}

void AudioRecorder::stop()
{
    if (queueObject())
        queueObject()->stop(true);
}

void AudioRecorder::copyEncoderMagicCookieToFile(AudioFile* file, AudioQueueRef queue)
{
    if (!file || !queue)
        return;
    uint32_t size = 0;
    if (queue->getPropertySize(kAudioQueueProperty_MagicCookie, &size) != noErr || size == 0)
        return;
    std::unique_ptr<uint8_t[]> cookie(new uint8_t[size]);
    if (queue->getProperty(kAudioQueueProperty_MagicCookie, cookie.get(), &size) == noErr)
        file->setMagicCookie(cookie.get(), size);
}

QString AudioRecorder::stopReason() const
{
    return m_stopReason;
}

void AudioRecorder::recordingCallback(void* userData, AudioQueueRef queue,
                                      AudioQueueBufferRef buffer, const AudioTimeStamp*,
                                      uint32_t numPackets, const AudioStreamPacketDescription*)
{
    auto* self = static_cast<AudioRecorder*>(userData);
    AudioFile* file = self->audioFileID();
    if (numPackets > 0 && file && !self->m_writesEnded) {
        uint32_t written = numPackets;
        const OSStatus status =
            file->writePackets(self->startingPacketNumber(), &written, buffer->mAudioData);
        self->incrementStartingPacketNumberBy(written);
        if (status == AudioFile::kAudioFileTooLargeError)
            self->endTakeOnOwnAccord(
                QStringLiteral("recording stopped: %1 reached the 4 GiB size limit of a WAV file")
                    .arg(file->path()));
        else if (status != noErr)
            self->endTakeOnOwnAccord(
                QStringLiteral("recording stopped: writing to %1 failed (disk full?)")
                    .arg(file->path()));
    }
    if (self->isRunning())
        queue->enqueueBuffer(buffer, 0, nullptr);
}

void AudioRecorder::endTakeOnOwnAccord(const QString& reason)
{
    // Runs on the queue's thread, which stop() waits for; the stop itself is made on the thread
    // that owns the recorder, exactly as the controller would make it.
    m_writesEnded = true;
    m_stopReason = reason;
    qCWarning(lcAudio).noquote() << reason;
    QMetaObject::invokeMethod(
        &m_mainThreadContext,
        [this] {
            if (!isRunning())
                return;
            setStopping(true);
            stop();
        },
        Qt::QueuedConnection);
}

void AudioRecorder::queueRunningStateChanged()
{
    if (stopping()) {
        copyEncoderMagicCookieToFile(audioFileID(), queueObject());
        closeAudioFile();
    }
    notifyDelegate();
}
