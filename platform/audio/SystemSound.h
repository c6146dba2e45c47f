// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/audio/AudioStreamBasicDescription.h"

#include <QUrl>

#include <cstdint>

using SystemSoundID = uint32_t;
using AudioServicesSystemSoundCompletionProc = void (*)(SystemSoundID sound, void* userData);

// Short sounds such as the count-in: a WAV file played once through the output side of the
// default audio device. The completion procedure is called on the main thread once the sound
// has finished playing. All calls belong on the main thread.
class SystemSound
{
public:
    static OSStatus createSystemSoundID(const QUrl& fileURL, SystemSoundID* outSound);
    static OSStatus addSystemSoundCompletion(SystemSoundID sound,
                                             AudioServicesSystemSoundCompletionProc proc,
                                             void* userData);
    static OSStatus removeSystemSoundCompletion(SystemSoundID sound);
    // Plays the sound from its start; a sound that cannot be played completes at once.
    static void playSystemSound(SystemSoundID sound);
    static OSStatus disposeSystemSoundID(SystemSoundID sound);

    static constexpr OSStatus kAudioServicesBadSpecifierError = -50;
};
