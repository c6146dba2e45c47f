// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AudioQueueObject;

// Told each time an engine's queue starts or stops running. The message carries no state: the
// receiver asks the engine's isRunning(). It may arrive on any thread; an immediate stop has
// delivered it before the stop call returns, and the receiver may destroy the engine in it.
class AudioQueueStateDelegate
{
public:
    virtual ~AudioQueueStateDelegate() = default;
    virtual void updateUserInterfaceOnAudioQueueStateChange(AudioQueueObject* engine) = 0;
};
