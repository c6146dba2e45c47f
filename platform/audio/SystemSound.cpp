// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/SystemSound.h"

#include "platform/audio/AudioFile.h"
#include "platform/audio/AudioQueue.h"

#include <QCoreApplication>

#include <map>
#include <memory>

namespace {

struct Sound
{
    SystemSoundID id = 0;
    QString path;
    AudioServicesSystemSoundCompletionProc proc = nullptr;
    void* userData = nullptr;
    std::unique_ptr<AudioFile> file;
    AudioQueueRef queue = nullptr;
    int64_t position = 0;
    bool ending = false;
};

std::map<SystemSoundID, std::unique_ptr<Sound>>& sounds()
{
    static std::map<SystemSoundID, std::unique_ptr<Sound>> map;
    return map;
}

SystemSoundID g_nextID = 4096;

void releasePlayback(Sound* s)
{
    if (s->queue)
        AudioQueue::dispose(s->queue, true);
    s->queue = nullptr;
    s->file.reset();
}

void completeLater(SystemSoundID id)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [id] {
            auto it = sounds().find(id);
            if (it == sounds().end())
                return;
            Sound* s = it->second.get();
            releasePlayback(s);
            if (s->proc)
                s->proc(id, s->userData);
        },
        Qt::QueuedConnection);
}

void fillBuffer(void* userData, AudioQueueRef queue, AudioQueueBufferRef buffer)
{
    auto* s = static_cast<Sound*>(userData);
    if (s->ending || !s->file)
        return;
    uint32_t packets = buffer->mAudioDataBytesCapacity / 2;
    uint32_t bytes = 0;
    s->file->readPackets(s->position, &packets, buffer->mAudioData, &bytes);
    if (packets == 0) {
        s->ending = true;
        queue->stop(false);
        return;
    }
    buffer->mAudioDataByteSize = bytes;
    s->position += packets;
    queue->enqueueBuffer(buffer);
}

void runningChanged(void* userData, AudioQueueRef queue, AudioQueuePropertyID)
{
    auto* s = static_cast<Sound*>(userData);
    uint32_t running = 0;
    uint32_t size = sizeof running;
    queue->getProperty(kAudioQueueProperty_IsRunning, &running, &size);
    if (!running)
        completeLater(s->id);
}

} // namespace

OSStatus SystemSound::createSystemSoundID(const QUrl& fileURL, SystemSoundID* outSound)
{
    std::unique_ptr<AudioFile> probe;
    const OSStatus status =
        AudioFile::openURL(fileURL.toLocalFile(), AudioFile::kReadPermission, &probe);
    if (status != noErr)
        return status;
    auto s = std::make_unique<Sound>();
    s->id = g_nextID++;
    s->path = fileURL.toLocalFile();
    *outSound = s->id;
    sounds()[s->id] = std::move(s);
    return noErr;
}

OSStatus SystemSound::addSystemSoundCompletion(SystemSoundID sound,
                                               AudioServicesSystemSoundCompletionProc proc,
                                               void* userData)
{
    auto it = sounds().find(sound);
    if (it == sounds().end())
        return kAudioServicesBadSpecifierError;
    it->second->proc = proc;
    it->second->userData = userData;
    return noErr;
}

OSStatus SystemSound::removeSystemSoundCompletion(SystemSoundID sound)
{
    return addSystemSoundCompletion(sound, nullptr, nullptr);
}

void SystemSound::playSystemSound(SystemSoundID sound)
{
    auto it = sounds().find(sound);
    if (it == sounds().end())
        return;
    Sound* s = it->second.get();
    releasePlayback(s);
    s->position = 0;
    s->ending = false;
    if (AudioFile::openURL(s->path, AudioFile::kReadPermission, &s->file) != noErr) {
        completeLater(sound);
        return;
    }
    const AudioStreamBasicDescription format = s->file->dataFormat();
    if (AudioQueue::newOutput(format, &fillBuffer, s, &s->queue) != noErr) {
        completeLater(sound);
        return;
    }
    s->queue->addPropertyListener(kAudioQueueProperty_IsRunning, &runningChanged, s);
    // Three buffers of a tenth of a second each.
    const uint32_t bytes = std::max<uint32_t>(2, uint32_t(format.mSampleRate / 10.0) * 2);
    for (int i = 0; i < 3 && !s->ending; ++i) {
        AudioQueueBufferRef buffer = nullptr;
        if (s->queue->allocateBuffer(bytes, &buffer) == noErr)
            fillBuffer(s, s->queue, buffer);
    }
    if (s->queue->start() != noErr)
        completeLater(sound);
}

OSStatus SystemSound::disposeSystemSoundID(SystemSoundID sound)
{
    auto it = sounds().find(sound);
    if (it == sounds().end())
        return kAudioServicesBadSpecifierError;
    releasePlayback(it->second.get());
    sounds().erase(it);
    return noErr;
}
