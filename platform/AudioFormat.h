// The stream and packet descriptions that the audio-file service, the platform reader and the
// output queue exchange (40 and 16 bytes, as on the device).
#pragma once

#include <cstdint>

// Four-character format ids.
constexpr uint32_t kAudioFormatLinearPCM = 0x6C70636D;  // 'lpcm'
constexpr uint32_t kAudioFormatMPEGLayer3 = 0x2E6D7033; // '.mp3'
constexpr uint32_t kAudioFormatMPEG4AAC = 0x61616320;   // 'aac '
constexpr uint32_t kAudioFormatAppleLossless = 0x616C6163; // 'alac'

// Format flags for linear PCM.
constexpr uint32_t kAudioFormatFlagIsFloat = 1u << 0;
constexpr uint32_t kAudioFormatFlagIsBigEndian = 1u << 1;
constexpr uint32_t kAudioFormatFlagIsSignedInteger = 1u << 2;
constexpr uint32_t kAudioFormatFlagIsPacked = 1u << 3;

struct AudioStreamBasicDescription {
    double mSampleRate;
    uint32_t mFormatID;
    uint32_t mFormatFlags;
    uint32_t mBytesPerPacket;    // 0 for variable-size packets
    uint32_t mFramesPerPacket;   // 0 for a variable number of frames
    uint32_t mBytesPerFrame;
    uint32_t mChannelsPerFrame;
    uint32_t mBitsPerChannel;
    uint32_t mReserved;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

struct AudioStreamPacketDescription {
    int64_t mStartOffset;             // byte offset of the packet in its buffer
    uint32_t mVariableFramesInPacket;
    uint32_t mDataByteSize;
};
static_assert(sizeof(AudioStreamPacketDescription) == 16);
