#include "engine/SVFlacFile.h"

#include <FLAC/stream_decoder.h>
#include <strings.h>

#include <cassert>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct SVFlacFile : SVFile {
    FILE *fp;
    uint64_t total_frames;            // from STREAMINFO; 0 when the encoder did not know it
    FLAC__StreamDecoder *decoder;
    uint64_t position;                // frames handed out so far, or the last seek target
    unsigned char *out;               // the caller's buffer during a read, else null
    int32_t out_capacity;
    int32_t out_filled;
    bool decoder_owns_fp;             // init succeeded: deleting the decoder closes fp
    bool exhausted;                   // nothing to read until the next seek
    // Decoded frames with no room in the caller's buffer: the rest of the target frame that
    // libFLAC delivers inside a seek, or a frame larger than STREAMINFO's maximum.
    unsigned char *spill;
    uint32_t spill_capacity;
    uint32_t spill_size;
    uint32_t spill_pos;
};

uint32_t frameBytes(const SVFlacFile *ff)
{
    return ff->num_channels * ff->bits_per_sample / 8;
}

uint64_t low24(FLAC__int32 v) { return (uint32_t)v & 0xFFFFFF; }

void store64(unsigned char *p, uint64_t v)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(p, &v, 8);
#else
    for (int i = 0; i < 8; i++)
        p[i] = (unsigned char)(v >> (8 * i));
#endif
}

// Interleaves frames [from, to) of a stereo block as 16- or 24-bit little-endian samples.
// Whole 64-bit stores: this loop is most of what the reader adds to libFLAC's own work.
void interleave(unsigned char *p, const FLAC__int32 *const channel[], uint32_t from, uint32_t to,
                uint32_t bits)
{
    const FLAC__int32 *l = channel[0];
    const FLAC__int32 *r = channel[1];
    uint32_t k = from;
    if (bits == 16) {
        for (; k + 2 <= to; k += 2, p += 8)
            store64(p, (uint64_t)(uint16_t)l[k] | (uint64_t)(uint16_t)r[k] << 16 |
                           (uint64_t)(uint16_t)l[k + 1] << 32 | (uint64_t)(uint16_t)r[k + 1] << 48);
        for (; k < to; k++, p += 4) {
            p[0] = (unsigned char)l[k];
            p[1] = (unsigned char)(l[k] >> 8);
            p[2] = (unsigned char)r[k];
            p[3] = (unsigned char)(r[k] >> 8);
        }
    } else {
        // Four frames are 24 bytes: three stores.
        for (; k + 4 <= to; k += 4, p += 24) {
            store64(p, low24(l[k]) | low24(r[k]) << 24 | low24(l[k + 1]) << 48);
            store64(p + 8, low24(l[k + 1]) >> 16 | low24(r[k + 1]) << 8 | low24(l[k + 2]) << 32 |
                               low24(r[k + 2]) << 56);
            store64(p + 16, low24(r[k + 2]) >> 8 | low24(l[k + 3]) << 16 | low24(r[k + 3]) << 40);
        }
        for (; k < to; k++, p += 6) {
            p[0] = (unsigned char)l[k];
            p[1] = (unsigned char)(l[k] >> 8);
            p[2] = (unsigned char)(l[k] >> 16);
            p[3] = (unsigned char)r[k];
            p[4] = (unsigned char)(r[k] >> 8);
            p[5] = (unsigned char)(r[k] >> 16);
        }
    }
}

FLAC__StreamDecoderWriteStatus flac_on_frame(const FLAC__StreamDecoder *decoder,
                                             const FLAC__Frame *frame,
                                             const FLAC__int32 *const buffer[], void *client)
{
    SVFlacFile *ff = static_cast<SVFlacFile *>(client);
    assert(ff->decoder == decoder);
    (void)decoder;
    // A frame that disagrees with STREAMINFO cannot be laid out in the announced format.
    if (frame->header.channels != ff->num_channels ||
        frame->header.bits_per_sample != ff->bits_per_sample)
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;

    uint32_t b = frameBytes(ff);
    uint32_t n = frame->header.blocksize;
    uint32_t i = (uint32_t)ff->out_filled / b;
    uint32_t cap = (uint32_t)ff->out_capacity / b;
    uint32_t fit = i < cap ? (n < cap - i ? n : cap - i) : 0;
    if (fit > 0) {
        interleave(ff->out + (size_t)i * b, buffer, 0, fit, ff->bits_per_sample);
        ff->out_filled = (int32_t)(b * (i + fit));
    }
    if (fit < n) {
        uint32_t need = (n - fit) * b;
        if (need > ff->spill_capacity) {
            unsigned char *grown = static_cast<unsigned char *>(realloc(ff->spill, need));
            if (!grown)
                return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
            ff->spill = grown;
            ff->spill_capacity = need;
        }
        interleave(ff->spill, buffer, fit, n, ff->bits_per_sample);
        ff->spill_size = need;
        ff->spill_pos = 0;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

// The leading decimal number of a comment value, as strtol reads it, kept within 32 bits.
int32_t commentNumber(const char *value, size_t length)
{
    char text[32];
    size_t n = length < sizeof text - 1 ? length : sizeof text - 1;
    memcpy(text, value, n);
    text[n] = '\0';
    long v = strtol(text, nullptr, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return (int32_t)v;
}

struct CommentRow {
    const char *name;
    char *SVTag::*text;     // first entry wins
    int32_t SVTag::*number; // last entry wins
};

const CommentRow kComments[] = {
    {"TITLE", &SVTag::title, nullptr},
    {"ALBUM", &SVTag::album, nullptr},
    {"ARTIST", &SVTag::artist, nullptr},
    {"GENRE", &SVTag::genre, nullptr},
    {"CUESHEET", &SVTag::cuesheet, nullptr},
    {"TRACKNUMBER", nullptr, &SVTag::track},
    {"YEAR", nullptr, &SVTag::year},
};

void readComment(SVTag *tag, const FLAC__StreamMetadata_VorbisComment_Entry &entry)
{
    const char *text = reinterpret_cast<const char *>(entry.entry);
    if (!text)
        return;
    const char *eq = static_cast<const char *>(memchr(text, '=', entry.length));
    if (!eq)
        return;
    size_t nameLength = (size_t)(eq - text);
    const char *value = eq + 1;
    size_t valueLength = entry.length - nameLength - 1;
    for (const CommentRow &row : kComments) {
        if (strlen(row.name) != nameLength || strncasecmp(text, row.name, nameLength) != 0)
            continue;
        if (row.number)
            tag->*row.number = commentNumber(value, valueLength);
        else if (!(tag->*row.text))
            tag->*row.text = strndup(value, valueLength);
        return;
    }
}

void flac_on_metadata(const FLAC__StreamDecoder *decoder, const FLAC__StreamMetadata *metadata,
                      void *client)
{
    SVFlacFile *ff = static_cast<SVFlacFile *>(client);
    assert(ff->decoder == decoder);
    (void)decoder;
    switch (metadata->type) {
    case FLAC__METADATA_TYPE_STREAMINFO: {
        const FLAC__StreamMetadata_StreamInfo &si = metadata->data.stream_info;
        ff->sample_rate = si.sample_rate;
        ff->num_channels = si.channels;
        ff->bits_per_sample = si.bits_per_sample;
        ff->total_frames = si.total_samples;
        // A zero maximum is invalid; the format's largest block keeps the read loop bounded.
        ff->block_size = (si.max_blocksize ? si.max_blocksize : FLAC__MAX_BLOCK_SIZE) * 8;
        ff->duration = si.sample_rate
                           ? (double)(float)((double)si.total_samples / si.sample_rate)
                           : 0.0;
        ff->big_endian = 0;
        break;
    }
    case FLAC__METADATA_TYPE_VORBIS_COMMENT: {
        const FLAC__StreamMetadata_VorbisComment &vc = metadata->data.vorbis_comment;
        for (FLAC__uint32 k = 0; k < vc.num_comments; k++)
            readComment(&ff->tag, vc.comments[k]);
        break;
    }
    case FLAC__METADATA_TYPE_PICTURE: {
        const FLAC__StreamMetadata_Picture &pic = metadata->data.picture;
        if (pic.type != FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER || pic.data_length == 0 ||
            pic.data_length > INT32_MAX)
            break;
        unsigned char *copy = static_cast<unsigned char *>(malloc(pic.data_length));
        if (!copy)
            break;
        memcpy(copy, pic.data, pic.data_length);
        free(ff->tag.picture);
        ff->tag.picture = copy;
        ff->tag.picture_size = (int32_t)pic.data_length;
        break;
    }
    default:
        break;
    }
}

// libFLAC skips damaged frames by itself; there is nothing to add.
void flac_on_error(const FLAC__StreamDecoder *decoder, FLAC__StreamDecoderErrorStatus,
                   void *client)
{
    assert(static_cast<SVFlacFile *>(client)->decoder == decoder);
    (void)decoder;
    (void)client;
}

int32_t flac_read(SVFile *file, void *buffer, int32_t bytes)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    uint32_t b = frameBytes(ff);
    if (bytes <= 0 || ff->exhausted)
        return 0;

    ff->out = static_cast<unsigned char *>(buffer);
    ff->out_capacity = bytes;
    ff->out_filled = 0;

    if (ff->spill_pos < ff->spill_size) {
        uint32_t held = ff->spill_size - ff->spill_pos;
        uint32_t room = (uint32_t)bytes / b * b;
        uint32_t n = held < room ? held : room;
        memcpy(ff->out, ff->spill + ff->spill_pos, n);
        ff->spill_pos += n;
        ff->out_filled = (int32_t)n;
    }
    // Whole frames only, and none once a frame had to spill: the spill comes out first.
    while ((uint32_t)(ff->out_capacity - ff->out_filled) >= ff->block_size &&
           ff->spill_pos == ff->spill_size &&
           FLAC__stream_decoder_get_state(ff->decoder) != FLAC__STREAM_DECODER_END_OF_STREAM &&
           FLAC__stream_decoder_process_single(ff->decoder)) {
    }

    int32_t filled = ff->out_filled;
    ff->position += (uint32_t)filled / b;
    ff->out = nullptr;
    ff->out_capacity = 0;
    ff->out_filled = 0;
    return filled;
}

int flac_seek(SVFile *file, double seconds)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    double t = seconds > 0.0 ? seconds : 0.0;  // NaN goes to 0 too
    if (t > ff->duration)
        t = ff->duration;
    uint64_t frame = ff->duration > 0.0 ? (uint64_t)(t / ff->duration * (double)ff->total_frames) : 0;
    if (frame > ff->total_frames)
        frame = ff->total_frames;

    ff->position = frame;
    ff->spill_size = 0;
    ff->spill_pos = 0;
    ff->exhausted = false;
    // libFLAC refuses the end itself as a target and would go on from where it was.
    if (ff->total_frames > 0 && frame >= ff->total_frames) {
        ff->exhausted = true;
        return 1;
    }
    if (FLAC__stream_decoder_seek_absolute(ff->decoder, frame))
        return 1;
    // Where libFLAC stopped is unknown; a flush makes later seeks possible again.
    if (FLAC__stream_decoder_get_state(ff->decoder) == FLAC__STREAM_DECODER_SEEK_ERROR)
        FLAC__stream_decoder_flush(ff->decoder);
    ff->spill_size = 0;
    ff->spill_pos = 0;
    ff->exhausted = true;
    return 0;
}

double flac_tell(SVFile *file)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    if (ff->total_frames == 0)
        return ff->sample_rate ? (double)ff->position / ff->sample_rate : 0.0;
    return (double)(float)((double)ff->position / (double)ff->total_frames) * ff->duration;
}

void flac_close(SVFile *file)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    if (ff->decoder)
        FLAC__stream_decoder_delete(ff->decoder);
    if (ff->fp && !ff->decoder_owns_fp)
        fclose(ff->fp);
    free(ff->spill);
    delete ff;
}

}  // namespace

SVFile *SVFlacFileOpen(const char *path)
{
    SVFlacFile *ff = new (std::nothrow) SVFlacFile();
    SVFile *f = ff;
    FLAC__StreamDecoderInitStatus status;

    SV_CHECK(ff != NULL);
    ff->type = SVFileTypeFlac;
    ff->seek = flac_seek;
    ff->tell = flac_tell;
    ff->read = flac_read;
    ff->close = flac_close;

    ff->fp = fopen(path, "rb");
    SV_CHECK(ff->fp != NULL);
    ff->decoder = FLAC__stream_decoder_new();
    SV_CHECK(ff->decoder != NULL);
    FLAC__stream_decoder_set_metadata_respond(ff->decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    FLAC__stream_decoder_set_metadata_respond(ff->decoder, FLAC__METADATA_TYPE_SEEKTABLE);
    FLAC__stream_decoder_set_metadata_respond(ff->decoder, FLAC__METADATA_TYPE_CUESHEET);
    FLAC__stream_decoder_set_metadata_respond(ff->decoder, FLAC__METADATA_TYPE_PICTURE);

    status = FLAC__stream_decoder_init_FILE(ff->decoder, ff->fp, flac_on_frame, flac_on_metadata,
                                            flac_on_error, ff);
    if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        SV_FAILED("status == FLAC__STREAM_DECODER_SEARCH_FOR_METADATA");
        goto fail;
    }
    ff->decoder_owns_fp = true;
    SV_CHECK(FLAC__stream_decoder_process_until_end_of_metadata(ff->decoder));
    SV_CHECK(f->bits_per_sample == 16 || f->bits_per_sample == 24);
    SV_CHECK(f->num_channels == 2);
    // STREAMINFO with a zero rate is invalid and would make every time a division by zero.
    SV_CHECK(f->sample_rate > 0);
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}
