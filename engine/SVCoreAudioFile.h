// Reader of the formats the platform's audio-file service opens. MP3 and M4A: packets handed
// out undecoded, which the player's output queue decodes (type SVFileTypeCoreAudio, no read
// function). WavPack, which the service decodes itself: PCM with a read function, like the
// other PCM readers (type SVFileTypeCoreAudioPcm).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/SVFile.h"
#include "platform/AudioFormat.h"

SVFile *SVCoreAudioFileOpen(const char *path);

// Reads whole packets into `buffer`. `*descriptions` receives a new array (the caller frees it
// with free()) for variable-packet formats, else null; `*packets` the number of packets read.
int32_t SVCoreAudioFileRead(SVFile *file, void *buffer, int32_t bytes,
                            AudioStreamPacketDescription **descriptions, uint32_t *packets);
// As SVCoreAudioFileRead, but no more than `maxPackets` packets.
int32_t SVCoreAudioFileReadPackets(SVFile *file, void *buffer, int32_t bytes, uint32_t maxPackets,
                                   AudioStreamPacketDescription **descriptions, uint32_t *packets);
// Packets from the current one through the one holding the last frame before `seconds`: what
// a read must take to play up to there. 0 when reading is past it already.
uint32_t SVCoreAudioFilePacketsBefore(SVFile *file, double seconds);

// The file's stream description, or null for another kind of handle.
const AudioStreamBasicDescription *SVCoreAudioFileFormat(SVFile *file);
// The codec's magic cookie (the codec's extradata); empty when the format has none.
std::vector<uint8_t> SVCoreAudioFileMagicCookie(SVFile *file);
// For a queue that starts at the current read position: how many decoded frames to drop
// first (encoder priming) and how many to keep at most (-1: no limit), so the output ends at
// the stream's real length.
void SVCoreAudioFileTrim(SVFile *file, int64_t *skipFrames, int64_t *keepFrames);
