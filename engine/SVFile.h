// The engine's handle of one open audio file: the common head every reader extends,
// the four per-format functions and the type tags. Readers report failures with
// the check macro of platform/Check.h.
#pragma once

#include <cstdint>
#include <cstdio>

#include "metadata/SVTag.h"
#include "platform/Check.h"

enum SVFileType : int32_t {
    SVFileTypeApe = 1,
    SVFileTypeFlac = 2,
    SVFileTypeWav = 3,
    SVFileTypeAiff = 4,
    SVFileTypeCoreAudio = 5,
    SVFileTypeCoreAudioPcm = 6,  // the platform reader decoding a lossless stream to PCM
};

struct SVFile {
    int32_t type;
    uint32_t num_channels;
    uint32_t bits_per_sample;   // 0 for compressed streams of the platform reader
    uint32_t sample_rate;
    uint32_t block_size;        // reads are asked in whole multiples of this
    int32_t big_endian;
    SVTag tag;
    double duration;            // seconds
    SVFile *next;               // the player's chain; null outside the player
    int (*seek)(SVFile *file, double seconds);
    double (*tell)(SVFile *file);
    int32_t (*read)(SVFile *file, void *buffer, int32_t bytes);
    void (*close)(SVFile *file);

};

SVFile *SVFileOpen(const char *path);
void SVFileSeek(SVFile *file, double seconds);
double SVFileTell(SVFile *file);
int32_t SVFileRead(SVFile *file, void *buffer, int32_t bytes);
void SVFileClose(SVFile *file);
