// The handle shared by the uncompressed readers (WAV, AIFF): whole frames of sample bytes
// between two offsets of one stdio stream, read as they are stored.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/SVFile.h"

struct SVPcmFile : SVFile {
    FILE *fp;
    int64_t data_pos;      // offset of the first sample byte
    int64_t data_end;      // just past the last whole frame present in the file
    uint64_t total_frames;
};

// A zeroed handle whose entries are the functions below; null when out of memory.
SVPcmFile *SVPcmFileCreate(int32_t type);
// Cuts the sound data to the whole frames the file really holds (and to at most
// `max_frames`), sets the frame count and the duration, and goes to the first frame. Needs
// block_size and sample_rate to be non-zero.
void SVPcmFileFinish(SVPcmFile *pf, uint64_t max_frames);
