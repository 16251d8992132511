// Decodes compressed packets (MP3, AAC, ...) for the output queue with libavcodec.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/AudioFormat.h"

struct SVPacketDecoder;

// Null when the format has no decoder. The cookie is the codec's extradata.
SVPacketDecoder *SVPacketDecoderCreate(const AudioStreamBasicDescription *format,
                                       const void *cookie, uint32_t cookieSize);
// Frames to drop before the first output frame, and frames to output at most (-1: all).
void SVPacketDecoderSetTrim(SVPacketDecoder *decoder, int64_t skipFrames, int64_t keepFrames);
// Frames to output at most in all since the trim was set (-1: all); what was handed out already
// counts against it.
void SVPacketDecoderSetEnd(SVPacketDecoder *decoder, int64_t keepFrames);
// Decodes one buffer of packets (descriptions may be null for constant-size packets) and
// appends interleaved signed 16-bit little-endian PCM at the format's rate and channel count
// to `out`. False on a decoder failure (what decoded before it is kept).
bool SVPacketDecoderDecode(SVPacketDecoder *decoder, const void *data, uint32_t bytes,
                           const AudioStreamPacketDescription *descriptions, uint32_t packets,
                           std::vector<uint8_t> &out);
// Drains frames the codec still holds (end of stream).
void SVPacketDecoderDrain(SVPacketDecoder *decoder, std::vector<uint8_t> &out);
void SVPacketDecoderFree(SVPacketDecoder *decoder);
