// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The application's audio session: the category it asked for, whether it is active, and the
// interruption listener. An interruption begins when the sound server suspends or loses one of
// the application's streams and ends when the stream comes back; tests raise both directly. The
// listener is always called on the main thread.
class AudioSession
{
public:
    using InterruptionListener = void (*)(void* userData, uint32_t interruptionState);

    static constexpr uint32_t kAudioSessionEndInterruption = 0;
    static constexpr uint32_t kAudioSessionBeginInterruption = 1;
    static constexpr uint32_t kAudioSessionCategory_MediaPlayback = 0x6D656469; // 'medi'
    static constexpr uint32_t kAudioSessionCategory_RecordAudio = 0x72656361;   // 'reca'

    static AudioSession& instance();

    // Installs the interruption listener (one per application; a second call replaces it).
    void initialize(InterruptionListener listener, void* userData);
    void setCategory(uint32_t category);
    uint32_t category() const;
    void setActive(bool active);
    bool isActive() const;
    bool isInterrupted() const;

    // Reports the start or end of an interruption; repeated reports of the same state are
    // ignored. Safe from any thread.
    void reportInterruption(bool began);

private:
    AudioSession() = default;
    void deliver(bool began);
};
