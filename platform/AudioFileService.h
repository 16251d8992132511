// The audio-file service the platform reader is written against, over libavformat: opens
// MP3 and M4A (and what else libavformat demuxes into MP3, AAC or ALAC packets), answers
// the properties the reader asks for and reads packets with their descriptions.
//
// The estimated duration comes from the container (MP4) or the first frame (an MP3's Xing,
// Info or VBRI header with its LAME delays, else its bit rate); the packet table from the
// packets themselves.
//
// Frames are counted on the stream's real timeline: frame 0 is the first sample after the
// encoder's priming, and the last frame is the last one before its end padding. Packets are
// numbered from 0 in file order. Not thread-safe: one thread at a time per file.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/AudioFormat.h"

using OSStatus = int32_t;

struct OpaqueAudioFileID;
using AudioFileID = OpaqueAudioFileID *;

constexpr OSStatus noErr = 0;
constexpr OSStatus kAudioFileUnspecifiedError = 0x7768743F;         // 'wht?'
constexpr OSStatus kAudioFileUnsupportedFileTypeError = 0x7479703F; // 'typ?'
constexpr OSStatus kAudioFileUnsupportedDataFormatError = 0x666D743F; // 'fmt?'
constexpr OSStatus kAudioFileUnsupportedPropertyError = 0x7074793F; // 'pty?'
constexpr OSStatus kAudioFileBadPropertySizeError = 0x2173697A;     // '!siz'
constexpr OSStatus kAudioFileInvalidPacketOffsetError = 0x70636B3F; // 'pck?'
constexpr OSStatus kAudioFileNotOpenError = -38;
constexpr OSStatus kAudioFileEndOfFileError = -39;

enum AudioFilePropertyID : uint32_t {
    kAudioFilePropertyDataFormat = 0x64666D74,            // 'dfmt' AudioStreamBasicDescription
    kAudioFilePropertyPacketSizeUpperBound = 0x706B7562,  // 'pkub' uint32_t
    kAudioFilePropertyMaximumPacketSize = 0x70737A65,     // 'psze' uint32_t
    kAudioFilePropertyEstimatedDuration = 0x65647572,     // 'edur' double, seconds
    kAudioFilePropertyID3Tag = 0x69643374,                // 'id3t' raw ID3v2 or ID3v1 bytes
    kAudioFilePropertyInfoDictionary = 0x696E666F,        // 'info' AudioFileInfoDictionary *
    kAudioFilePropertyFrameToPacket = 0x6672706B,         // 'frpk' AudioFramePacketTranslation
    kAudioFilePropertyPacketToFrame = 0x706B6672,         // 'pkfr' AudioFramePacketTranslation
    kAudioFilePropertyMagicCookieData = 0x6D676963,       // 'mgic' the codec's extradata
    kAudioFilePropertyAudioDataPacketCount = 0x70636E74,  // 'pcnt' uint64_t
    kAudioFilePropertyPacketTableInfo = 0x706E666F,       // 'pnfo' AudioFilePacketTableInfo
};

// In: mFrame (FrameToPacket) or mPacket (PacketToFrame); out: the other two fields.
struct AudioFramePacketTranslation {
    int64_t mFrame;
    int64_t mPacket;
    uint32_t mFrameOffsetInPacket;
};

// How many decoded frames are priming before frame 0 and padding after the last frame.
struct AudioFilePacketTableInfo {
    int64_t mNumberValidFrames;
    int32_t mPrimingFrames;
    int32_t mRemainderFrames;
};

// The info dictionary: the container's metadata under the device's keys ("artist", "title",
// "album", "comments", "genre", "track number", "year", "approximate duration in seconds").
// Values are strings, as the device gives them; numbers are possible in the type.
struct AudioFileInfoValue {
    bool isNumber = false;
    std::string string;
    int64_t number = 0;
};
struct AudioFileInfoDictionary {
    std::map<std::string, AudioFileInfoValue> values;
};
// Null when the key is missing.
const AudioFileInfoValue *AudioFileInfoDictionaryGetValue(const AudioFileInfoDictionary *dictionary,
                                                          const char *key);
void AudioFileInfoDictionaryRelease(AudioFileInfoDictionary *dictionary);

// Opens a UTF-8 file-system path for reading; the type is found from the content.
OSStatus AudioFileOpenPath(const char *path, AudioFileID *outFile);
OSStatus AudioFileClose(AudioFileID file);

// The size in bytes the property's value has (0 for an ID3 tag or cookie the file lacks).
OSStatus AudioFileGetPropertyInfo(AudioFileID file, AudioFilePropertyID property, uint32_t *outSize,
                                  uint32_t *isWritable);
// `*ioSize` in: room in `data`; out: bytes written. The info dictionary comes as a new
// dictionary the caller releases.
OSStatus AudioFileGetProperty(AudioFileID file, AudioFilePropertyID property, uint32_t *ioSize,
                              void *data);

// Reads up to `*ioNumPackets` whole packets from `startPacket` into `buffer` (room for
// `*ioNumPackets` maximum-size packets), with a description of each when `descriptions` is
// not null. Past the last packet: noErr with 0 packets and 0 bytes.
OSStatus AudioFileReadPackets(AudioFileID file, bool useCache, uint32_t *outNumBytes,
                              AudioStreamPacketDescription *descriptions, int64_t startPacket,
                              uint32_t *ioNumPackets, void *buffer);

// Packets demuxed so far by every file of the service, from any thread. Opening a file and
// asking for its format, duration, tags and cookie reads none: the packet index is built when
// packets, their positions or the priming are first asked for.
uint64_t AudioFileServicePacketsRead();

// The libavcodec codec id (an AVCodecID) for a stream description's format id; 0 for none.
int AudioFileServiceCodecFor(uint32_t formatID);

// Opens a local file with libavformat, read only as one of `formats` (demuxer names, comma
// separated): a file whose content is a playlist or another format is refused, and nothing
// but the file itself is ever read (no URLs, no files it names). libavformat's result code.
struct AVFormatContext;
int AudioFileServiceOpenInput(AVFormatContext **context, const char *path, const char *formats);
