#include "engine/SVAiffFile.h"

#include <cassert>
#include <cmath>
#include <cstdlib>

#include "engine/RiffParser.h"
#include "engine/SVPcmFile.h"

namespace {

// The common chunk in file order (big-endian); AIFC adds the compression type.
struct AiffComm {
    unsigned char channels[2];
    unsigned char frames[4];
    unsigned char bits[2];
    unsigned char rate[10];  // 80-bit extended float
    char compression[4];
};
static_assert(sizeof(AiffComm) == 22);

uint32_t be16(const unsigned char *b) { return uint32_t(b[0]) << 8 | b[1]; }
uint32_t be32(const unsigned char *b) { return be16(b) << 16 | be16(b + 2); }
uint64_t be64(const unsigned char *b) { return uint64_t(be32(b)) << 32 | be32(b + 4); }

// The sample rate of an 80-bit extended float, truncated; 0 for values no unsigned 32-bit
// integer holds (negative, too large, infinite), which the caller's range check rejects.
uint32_t aiff_rate(const unsigned char *b)
{
    int exponent = int(be16(b) & 0x7FFF);
    uint64_t mantissa = be64(b + 2);
    if ((b[0] & 0x80) || mantissa == 0)
        return 0;
    // The mantissa has its binary point after the top bit: value = m * 2^(e - 16383 - 63).
    long double value = ldexpl((long double)mantissa, exponent - 16383 - 63);
    if (!(value < 4294967296.0L))
        return 0;
    return uint32_t(value);
}

}  // namespace

SVFile *SVAiffFileOpen(const char *path)
{
    RiffParser parser;
    RiffChunkHeader hdr;
    AiffComm comm{};
    size_t n = 0;
    bool aifc = false;
    unsigned char ssnd[8];
    SVFile *f = nullptr;

    SVPcmFile *wf = SVPcmFileCreate(SVFileTypeAiff);
    SV_CHECK(wf != NULL);
    f = wf;
    f->big_endian = 1;
    wf->fp = fopen(path, "rb");
    SV_CHECK(wf->fp != NULL);

    SV_CHECK(RiffInit(&parser, wf->fp, RiffBigEndian));
    SV_CHECK(IDEQU(parser.hdr.id, "FORM"));
    aifc = IDEQU(parser.type_id, "AIFC");
    if (!aifc)
        SV_CHECK(IDEQU(parser.type_id, "AIFF"));
    while (RiffNextChunk(&parser, &hdr)) {
        if (IDEQU(hdr.id, "COMM")) {
            n = aifc ? 22 : 18;
            SV_CHECK(n <= hdr.size);
            SV_CHECK(n == RiffGetChunkData(&parser, &comm, n));
            f->big_endian = 1;
            if (aifc) {
                if (IDEQU(comm.compression, "sowt"))
                    f->big_endian = 0;
                else
                    SV_CHECK(IDEQU(comm.compression, "NONE"));
            }
        } else if (IDEQU(hdr.id, "SSND")) {
            // The chunk opens with an offset to the first frame and a block size; writers
            // that align their sound data put the alignment gap in the offset.
            wf->data_pos = parser.chunk_pos + 8;
            wf->data_end = parser.chunk_pos + hdr.size;
            if (RiffGetChunkData(&parser, ssnd, sizeof ssnd) == sizeof ssnd)
                wf->data_pos += be32(ssnd);
        } else if (IDEQU(hdr.id, "ID3 ") || IDEQU(hdr.id, "id3 ")) {
            RiffParseID3Chunk(&parser, &hdr, &f->tag);
        }
    }
    clearerr(wf->fp);
    SV_CHECK(0 == fseek(wf->fp, wf->data_pos, SEEK_SET));

    f->num_channels = be16(comm.channels);
    f->bits_per_sample = be16(comm.bits);
    f->block_size = (f->bits_per_sample / 8) * f->num_channels;
    SV_CHECK(f->bits_per_sample == 8 || f->bits_per_sample == 16 || f->bits_per_sample == 24 || f->bits_per_sample == 32);
    // No channels: frame counts, positions and the player's request size divide by this.
    SV_CHECK(f->block_size != 0);
    f->sample_rate = aiff_rate(comm.rate);
    SV_CHECK(f->sample_rate >= 1024 && f->sample_rate < 256 * 1024);

    // The common chunk's frame count may promise more than a cut-short file holds.
    SVPcmFileFinish(wf, be32(comm.frames));
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}
