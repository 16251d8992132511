#include "engine/SVWavFile.h"

#include <endian.h>

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "engine/RiffParser.h"

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

struct SVWavFile : SVFile {
    FILE *fp;
    int64_t data_pos;      // offset of the first sample byte
    int64_t data_end;      // just past the last whole frame present in the file
    uint64_t total_frames;
};

SVWavFile *wav_file(SVFile *file)
{
    assert(file->type == SVFileTypeWav);
    return static_cast<SVWavFile *>(file);
}

int wav_seek(SVFile *file, double seconds)
{
    SVWavFile *wf = wav_file(file);
    double t = seconds > 0 ? seconds : 0;  // NaN goes to the start too
    if (t > wf->duration)
        t = wf->duration;
    uint64_t frame = wf->duration > 0 ? uint64_t(t / wf->duration * double(wf->total_frames)) : 0;
    if (frame > wf->total_frames)
        frame = wf->total_frames;
    return fseek(wf->fp, long(wf->data_pos + int64_t(frame * wf->block_size)), SEEK_SET);
}

double wav_tell(SVFile *file)
{
    SVWavFile *wf = wav_file(file);
    long pos = ftell(wf->fp);
    if (pos <= wf->data_pos || wf->total_frames == 0)
        return 0.0;
    uint64_t frames = uint64_t(pos - wf->data_pos) / wf->block_size;
    return double(frames) / double(wf->total_frames) * wf->duration;
}

int32_t wav_read(SVFile *file, void *buffer, int32_t bytes)
{
    SVWavFile *wf = wav_file(file);
    long pos = ftell(wf->fp);
    if (pos < 0)
        return 0;
    int64_t n = wf->data_end - pos;
    if (n > bytes)
        n = bytes;
    if (n <= 0)
        return 0;
    return int32_t(fread(buffer, 1, size_t(n), wf->fp));
}

void wav_close(SVFile *file)
{
    SVWavFile *wf = wav_file(file);
    if (wf->fp)
        fclose(wf->fp);
    free(wf);
}

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
    long file_end = 0;

    auto *wf = static_cast<SVWavFile *>(calloc(1, sizeof(SVWavFile)));
    SV_CHECK(wf != NULL);
    f = wf;
    f->type = SVFileTypeWav;
    f->seek = wav_seek;
    f->tell = wav_tell;
    f->read = wav_read;
    f->close = wav_close;
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

    // Writers that cannot seek back leave the data size at its maximum, and copies get cut
    // short: count only the whole frames the file really holds, so that the duration is
    // right and a partial last frame never shifts the samples of a following file.
    clearerr(wf->fp);
    if (fseek(wf->fp, 0, SEEK_END) == 0 && (file_end = ftell(wf->fp)) >= 0 &&
        wf->data_end > file_end)
        wf->data_end = file_end;
    if (wf->data_end < wf->data_pos)
        wf->data_end = wf->data_pos;
    wf->total_frames = uint64_t(wf->data_end - wf->data_pos) / f->block_size;
    wf->data_end = wf->data_pos + int64_t(wf->total_frames * f->block_size);
    f->duration = double(wf->total_frames) / f->sample_rate;
    fseek(wf->fp, wf->data_pos, SEEK_SET);
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}
