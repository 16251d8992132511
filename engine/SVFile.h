// The engine's handle of one open audio file: the common head every reader extends,
// the four per-format functions, the type tags and the failure-reporting macro.
#pragma once

#include <cstdint>
#include <cstdio>

#include "metadata/SVTag.h"

enum SVFileType : int32_t {
    SVFileTypeApe = 1,
    SVFileTypeFlac = 2,
    SVFileTypeWav = 3,
    SVFileTypeAiff = 4,
    SVFileTypeCoreAudio = 5,
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

// Reports a failed condition as one line on standard error.
void SVFileReportFailure(const char *unit, int line, const char *condition);

// Prints the one failure line for a condition text, naming this source file and line.
#define SV_FAILED(text) SVFileReportFailure(__FILE_NAME__, __LINE__, text)

// Inside a reader: on a false condition print the failure line and jump to the
// function's `fail:` label, which closes the half-built handle and returns null.
#define SV_CHECK(cond)                                                        \
    do {                                                                      \
        if (!(cond)) {                                                        \
            SV_FAILED(#cond);                                                 \
            goto fail;                                                        \
        }                                                                     \
    } while (0)
