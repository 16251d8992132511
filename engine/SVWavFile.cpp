#include "engine/SVWavFile.h"

#include <endian.h>

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "engine/RiffParser.h"
#include "engine/SVPcmFile.h"

namespace {

// The first 16 bytes of a format chunk, in file order (little-endian).
struct WavFormat {
    uint16_t audioFormat;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};
static_assert(sizeof(WavFormat) == 16);

// WAVE_FORMAT_EXTENSIBLE, which sox and ffmpeg write for anything above 16-bit stereo, carries
// the real format code at the head of its sub-format GUID; the rest of the GUID is fixed.
const uint16_t kWaveFormatExtensible = 0xFFFE;
const unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t wav_extensible_format(RiffParser *parser, uint32_t chunk_size)
{
    unsigned char ext[40];
    if (chunk_size < sizeof ext || RiffGetChunkData(parser, ext, sizeof ext) != sizeof ext)
        return kWaveFormatExtensible;
    if (memcmp(ext + 26, kSubFormatTail, sizeof kSubFormatTail) != 0)
        return kWaveFormatExtensible;
    return uint16_t(ext[24] | ext[25] << 8);
}

void wav_format_from_le(WavFormat *fmt)
{
    fmt->audioFormat = le16toh(fmt->audioFormat);
    fmt->channels = le16toh(fmt->channels);
    fmt->sampleRate = le32toh(fmt->sampleRate);
    fmt->byteRate = le32toh(fmt->byteRate);
    fmt->blockAlign = le16toh(fmt->blockAlign);
    fmt->bitsPerSample = le16toh(fmt->bitsPerSample);
}

}  // namespace

SVFile *SVWavFileOpen(const char *path)
{
    RiffParser parser;
    RiffChunkHeader hdr;
    WavFormat fmt{};
    const size_t n = sizeof fmt;
    SVFile *f = nullptr;

    SVPcmFile *wf = SVPcmFileCreate(SVFileTypeWav);
    SV_CHECK(wf != NULL);
    f = wf;
    wf->fp = fopen(path, "rb");
    SV_CHECK(wf->fp != NULL);

    SV_CHECK(RiffInit(&parser, wf->fp, RiffLittleEndian));
    SV_CHECK(IDEQU(parser.hdr.id, "RIFF"));
    SV_CHECK(IDEQU(parser.type_id, "WAVE"));
    while (RiffNextChunk(&parser, &hdr)) {
        if (IDEQU(hdr.id, "fmt ")) {
            SV_CHECK(n <= hdr.size);
            SV_CHECK(n == RiffGetChunkData(&parser, &fmt, n));
            wav_format_from_le(&fmt);
            if (fmt.audioFormat == kWaveFormatExtensible)
                fmt.audioFormat = wav_extensible_format(&parser, hdr.size);
        } else if (IDEQU(hdr.id, "data")) {
            wf->data_pos = parser.chunk_pos;
            wf->data_end = parser.chunk_pos + hdr.size;
        } else if (IDEQU(hdr.id, "ID3 ") || IDEQU(hdr.id, "id3 ")) {
            RiffParseID3Chunk(&parser, &hdr, &f->tag);
        }
    }
    SV_CHECK(fmt.audioFormat == 1);
    SV_CHECK(wf->data_pos != 0);

    f->num_channels = fmt.channels;
    f->sample_rate = fmt.sampleRate;
    f->bits_per_sample = fmt.bitsPerSample;
    f->block_size = fmt.blockAlign;
    f->big_endian = 0;
    // Frame counts, positions and the player's request size are all divided by these.
    SV_CHECK(f->block_size != 0);
    SV_CHECK(f->sample_rate != 0);

    SVPcmFileFinish(wf, UINT64_MAX);
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}
