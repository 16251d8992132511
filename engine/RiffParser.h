// Walks the chunks of a RIFF-style container (RIFF/WAVE little-endian, FORM/AIFF big-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// Offsets go through fseek/ftell; a 64-bit long lets them reach RIFF's 4 GiB limit.
static_assert(sizeof(long) >= 8, "file offsets past 2 GiB need a 64-bit long");

enum : uint32_t {
    RiffLittleEndian = 0,
    RiffBigEndian = 1,
};

// Four-character identifier equality: exactly four bytes, case-sensitive.
inline bool IDEQU(const char *a, const char *b) { return memcmp(a, b, 4) == 0; }

struct RiffChunkHeader {
    char id[4];
    uint32_t size;  // host order
};

struct RiffParser {
    RiffChunkHeader hdr;  // the container header; its size does not bound the walk
    char type_id[4];      // form type: "WAVE", "AIFF", "AIFC"
    uint32_t endian;      // byte order of chunk sizes
    uint32_t error;       // 1: no container header; 2: no further chunk header
    int64_t chunk_pos;    // offset of the current chunk's data
    uint64_t next_pos;    // offset of the next chunk header
    FILE *fp;             // owned by the reader, not the parser
};

// Rewinds `fp` and reads the container header and form type.
bool RiffInit(RiffParser *parser, FILE *fp, uint32_t endian);
// Reads the next chunk header into `hdr`; false at the end of the file or on a failed seek.
bool RiffNextChunk(RiffParser *parser, RiffChunkHeader *hdr);
// Reads up to `n` bytes from the start of the current chunk's data; returns the count read.
size_t RiffGetChunkData(RiffParser *parser, void *buffer, size_t n);

struct SVTag;
// Reads an "ID3 " or "id3 " chunk into `tag`; chunks over 1 MiB or cut short are skipped.
void RiffParseID3Chunk(RiffParser *parser, const RiffChunkHeader *hdr, SVTag *tag);
