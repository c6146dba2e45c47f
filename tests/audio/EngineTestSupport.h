#pragma once

#include "audio/AudioQueueObject.h"
#include "audio/AudioQueueStateDelegate.h"
#include "platform/audio/AudioTestSupport.h"

#include <functional>

namespace sonavell::test {

// Notes every running-state change an engine reports, with the state it reads at that moment.
class StateRecorder : public AudioQueueStateDelegate
{
public:
    void updateUserInterfaceOnAudioQueueStateChange(AudioQueueObject* engine) override
    {
        states.push_back(engine->isRunning());
        if (onChange)
            onChange(engine);
    }
    std::vector<bool> states;
    std::function<void(AudioQueueObject*)> onChange;
};

} // namespace sonavell::test
