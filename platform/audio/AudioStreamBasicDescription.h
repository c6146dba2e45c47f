// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Plain descriptions shared by the audio queue, the audio file and the engines.

using OSStatus = int32_t;
constexpr OSStatus noErr = 0;

// Format identifiers and flags of a linear PCM stream.
constexpr uint32_t kAudioFormatLinearPCM = 0x6C70636D; // 'lpcm'
constexpr uint32_t kLinearPCMFormatFlagIsFloat = 1;
constexpr uint32_t kLinearPCMFormatFlagIsBigEndian = 2;
constexpr uint32_t kLinearPCMFormatFlagIsSignedInteger = 4;
constexpr uint32_t kLinearPCMFormatFlagIsPacked = 8;

// What a stream of audio looks like: rate, sample layout and channel count. 40 bytes, passed by
// value.
struct AudioStreamBasicDescription
{
    double mSampleRate = 0.0;
    uint32_t mFormatID = 0;
    uint32_t mFormatFlags = 0;
    uint32_t mBytesPerPacket = 0;
    uint32_t mFramesPerPacket = 0;
    uint32_t mBytesPerFrame = 0;
    uint32_t mChannelsPerFrame = 0;
    uint32_t mBitsPerChannel = 0;
    uint32_t mReserved = 0;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

// One channel's meter reading: linear average (RMS) and peak, each 0.0 to 1.0.
struct AudioQueueLevelMeterState
{
    float mAveragePower = 0.0f;
    float mPeakPower = 0.0f;
};
static_assert(sizeof(AudioQueueLevelMeterState) == 8);

// Describes one packet of a variable-bit-rate stream; constant-bit-rate PCM never needs one.
struct AudioStreamPacketDescription
{
    int64_t mStartOffset = 0;
    uint32_t mVariableFramesInPacket = 0;
    uint32_t mDataByteSize = 0;
};

// The time of the first sample of a captured buffer, in samples since the queue started.
struct AudioTimeStamp
{
    double mSampleTime = 0.0;
};

// Mono 16-bit signed little-endian linear PCM at the given rate: the recording format.
inline AudioStreamBasicDescription monoPCM16Format(double sampleRate)
{
    AudioStreamBasicDescription f;
    f.mSampleRate = sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kLinearPCMFormatFlagIsSignedInteger | kLinearPCMFormatFlagIsPacked;
    f.mBytesPerPacket = 2;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 2;
    f.mChannelsPerFrame = 1;
    f.mBitsPerChannel = 16;
    f.mReserved = 0;
    return f;
}
