// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibraryFixture.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/VirtualAudioDevice.h"

#include <memory>

// A library in a scratch directory with the virtual audio device, its clock driven by the test,
// as the microphone and speaker: the end-to-end tests drive the real screens over it.
class EndToEndFixture : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        AudioDevice::setDefaultDevice(device);
    }
    void TearDown() override
    {
        LibraryFixture::TearDown();
        AudioDevice::setDefaultDevice(nullptr);
    }

    std::shared_ptr<VirtualAudioDevice> device =
        std::make_shared<VirtualAudioDevice>(VirtualAudioDevice::Clock::Manual);
};
