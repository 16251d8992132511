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
    uint64_t total_frames;            // STREAMINFO's, else found by a scan; 0 while unknown
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
    uint32_t stream_bits;             // the stream's own depth; bits_per_sample is its container
    uint32_t max_block;               // STREAMINFO's maximum block size (a sane one if zero)
    uint32_t max_frame_bytes;         // STREAMINFO's maximum frame size, 0 when not known
    // The length scan: the end of the last frame that decoded without an error.
    bool scanning;
    bool frame_error;
    uint64_t scan_end;
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
void interleaveStereo(unsigned char *p, const FLAC__int32 *const channel[], uint32_t from, uint32_t to,
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

// Any other layout: `bytes`-wide little-endian samples, each shifted up by `shift` so that a
// depth between containers (12, 20 bits) plays at its true level with the low bits zero.
template <uint32_t bytes>
void interleaveAny(unsigned char *p, const FLAC__int32 *const channel[], uint32_t channels, uint32_t from,
                   uint32_t to, uint32_t shift)
{
    for (uint32_t k = from; k < to; k++) {
        for (uint32_t c = 0; c < channels; c++) {
            uint32_t v = (uint32_t)channel[c][k] << shift;
            for (uint32_t b = 0; b < bytes; b++)
                *p++ = (unsigned char)(v >> (8 * b));
        }
    }
}

void interleave(const SVFlacFile *ff, unsigned char *p, const FLAC__int32 *const channel[], uint32_t from,
                uint32_t to)
{
    const uint32_t shift = ff->bits_per_sample - ff->stream_bits;
    if (ff->num_channels == 2 && shift == 0 && (ff->bits_per_sample == 16 || ff->bits_per_sample == 24)) {
        interleaveStereo(p, channel, from, to, ff->bits_per_sample);
        return;
    }
    switch (ff->bits_per_sample) {
    case 8: interleaveAny<1>(p, channel, ff->num_channels, from, to, shift); break;
    case 16: interleaveAny<2>(p, channel, ff->num_channels, from, to, shift); break;
    case 24: interleaveAny<3>(p, channel, ff->num_channels, from, to, shift); break;
    default: interleaveAny<4>(p, channel, ff->num_channels, from, to, shift); break;
    }
}

// A frame in another format than STREAMINFO's cannot be laid out in the announced one:
// the stream ends before it, with one line.
bool frameFits(SVFlacFile *ff, const FLAC__FrameHeader &h)
{
    const char *failed = nullptr;
    if (h.channels != ff->num_channels)
        failed = "frame->header.channels == f->num_channels";
    else if (h.bits_per_sample != ff->stream_bits)
        failed = "frame->header.bits_per_sample == ff->stream_bits";
    else if (h.sample_rate != ff->sample_rate)
        failed = "frame->header.sample_rate == f->sample_rate";
    if (!failed)
        return true;
    SV_FAILED(failed);
    ff->exhausted = true;
    return false;
}

FLAC__StreamDecoderWriteStatus flac_on_frame(const FLAC__StreamDecoder *decoder,
                                             const FLAC__Frame *frame,
                                             const FLAC__int32 *const buffer[], void *client)
{
    SVFlacFile *ff = static_cast<SVFlacFile *>(client);
    assert(ff->decoder == decoder);
    (void)decoder;
    if (ff->scanning) {
        if (!ff->frame_error && frame->header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER)
            ff->scan_end = frame->header.number.sample_number + frame->header.blocksize;
        ff->frame_error = false;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    if (ff->exhausted || !frameFits(ff, frame->header))
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;

    uint32_t b = frameBytes(ff);
    uint32_t n = frame->header.blocksize;
    uint32_t i = (uint32_t)ff->out_filled / b;
    uint32_t cap = (uint32_t)ff->out_capacity / b;
    uint32_t fit = i < cap ? (n < cap - i ? n : cap - i) : 0;
    if (fit > 0) {
        interleave(ff, ff->out + (size_t)i * b, buffer, 0, fit);
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
        interleave(ff, ff->spill, buffer, fit, n);
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
    bool fallback;          // only while the number is still unset
};

const CommentRow kComments[] = {
    {"TITLE", &SVTag::title, nullptr, false},
    {"ALBUM", &SVTag::album, nullptr, false},
    {"ARTIST", &SVTag::artist, nullptr, false},
    {"GENRE", &SVTag::genre, nullptr, false},
    {"CUESHEET", &SVTag::cuesheet, nullptr, false},
    {"TRACKNUMBER", nullptr, &SVTag::track, false},
    {"YEAR", nullptr, &SVTag::year, false},
    // The Vorbis comment field for the year, which flac, ffmpeg and most taggers write;
    // "2004-05-06" gives 2004. YEAR, where a file has it, decides.
    {"DATE", nullptr, &SVTag::year, true},
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
        if (row.number) {
            if (!row.fallback || tag->*row.number == 0)
                tag->*row.number = commentNumber(value, valueLength);
        }
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
        ff->stream_bits = si.bits_per_sample;
        ff->total_frames = si.total_samples;
        // A zero maximum is invalid; the format's largest block keeps the read loop bounded.
        ff->max_block = si.max_blocksize ? si.max_blocksize : FLAC__MAX_BLOCK_SIZE;
        ff->max_frame_bytes = si.max_framesize;
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

// libFLAC skips damaged frames by itself; the length scan must not trust them.
void flac_on_error(const FLAC__StreamDecoder *decoder, FLAC__StreamDecoderErrorStatus status,
                   void *client)
{
    SVFlacFile *ff = static_cast<SVFlacFile *>(client);
    assert(ff->decoder == decoder);
    (void)decoder;
    // A frame whose CRC fails is still handed over (as silence); its number is no proof.
    if (status == FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH)
        ff->frame_error = true;
}

void setLength(SVFlacFile *ff, uint64_t frames)
{
    ff->total_frames = frames;
    ff->duration = (double)(float)((double)frames / ff->sample_rate);
}

// A stream written to a pipe has no length in STREAMINFO. The last frame's number gives it:
// decode the frames within one largest frame of the file's end, once, and go back.
void scanLength(SVFlacFile *ff)
{
    FLAC__uint64 first = 0;
    if (!FLAC__stream_decoder_get_decode_position(ff->decoder, &first) || fseeko(ff->fp, 0, SEEK_END) != 0)
        return;
    const off_t end = ftello(ff->fp);
    // A frame never exceeds its verbatim size (one bit more for a side channel) plus headers;
    // twice that, so a damaged last frame still leaves a whole one before it.
    const uint64_t bound = ff->max_frame_bytes
                               ? ff->max_frame_bytes
                               : (uint64_t)ff->max_block * ff->num_channels * (ff->stream_bits + 1) / 8 + 64;
    if (end < (off_t)first)
        return;
    const off_t from = (uint64_t)(end - (off_t)first) > 2 * bound ? end - (off_t)(2 * bound) : (off_t)first;
    if (!FLAC__stream_decoder_flush(ff->decoder) || fseeko(ff->fp, from, SEEK_SET) != 0)
        return;
    ff->scanning = true;
    ff->frame_error = false;
    ff->scan_end = 0;
    while (FLAC__stream_decoder_get_state(ff->decoder) != FLAC__STREAM_DECODER_END_OF_STREAM &&
           FLAC__stream_decoder_process_single(ff->decoder)) {
    }
    ff->scanning = false;
    // Back to the first frame by hand: libFLAC's seek would want the length being found.
    if (FLAC__stream_decoder_flush(ff->decoder) && fseeko(ff->fp, (off_t)first, SEEK_SET) == 0 &&
        ff->scan_end > 0)
        setLength(ff, ff->scan_end);
}

int32_t flac_read(SVFile *file, void *buffer, int32_t bytes)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    uint32_t b = frameBytes(ff);
    if (bytes <= 0 || (ff->exhausted && ff->spill_pos == ff->spill_size))
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
           ff->spill_pos == ff->spill_size && !ff->exhausted &&
           FLAC__stream_decoder_get_state(ff->decoder) != FLAC__STREAM_DECODER_END_OF_STREAM &&
           FLAC__stream_decoder_process_single(ff->decoder)) {
    }

    int32_t filled = ff->out_filled;
    // libFLAC stops for good on an I/O error or a failed allocation: that is no end of the
    // stream. The frames decoded before it go out first.
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(ff->decoder);
    if (filled == 0 && ff->spill_pos == ff->spill_size &&
        (state == FLAC__STREAM_DECODER_ABORTED || state == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR)) {
        ff->out = nullptr;
        ff->out_capacity = 0;
        return -1;
    }
    ff->position += (uint32_t)filled / b;
    ff->out = nullptr;
    ff->out_capacity = 0;
    ff->out_filled = 0;
    // Neither STREAMINFO nor the scan knew the length: the end read gives it.
    if (ff->total_frames == 0 && !ff->exhausted && ff->spill_pos == ff->spill_size &&
        FLAC__stream_decoder_get_state(ff->decoder) == FLAC__STREAM_DECODER_END_OF_STREAM)
        setLength(ff, ff->position);
    return filled;
}

int flac_seek(SVFile *file, double seconds)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    double t = seconds > 0.0 ? seconds : 0.0;  // NaN goes to 0 too
    // To the nearest frame: a time the caller took from tell() or a frame count comes back
    // to that very frame, whatever the rounding of its seconds.
    double exact = t * ff->sample_rate + 0.5;
    uint64_t frame = exact < 1e19 ? (uint64_t)exact : UINT64_MAX;
    if (ff->total_frames > 0 && frame > ff->total_frames)
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

// Exact, so that a seek to what tell() said lands on the same frame.
double flac_tell(SVFile *file)
{
    assert(file->type == SVFileTypeFlac);
    SVFlacFile *ff = static_cast<SVFlacFile *>(file);
    return ff->sample_rate ? (double)ff->position / ff->sample_rate : 0.0;
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
    // STREAMINFO's five bits allow 1 to 32; the format starts at 4.
    SV_CHECK(ff->stream_bits >= FLAC__MIN_BITS_PER_SAMPLE);
    // STREAMINFO with a zero rate is invalid and would make every time a division by zero.
    SV_CHECK(f->sample_rate > 0);
    // The queue takes 8-, 16-, 24- and 32-bit samples; other depths go left-justified into
    // the next of these.
    f->bits_per_sample = (ff->stream_bits + 7) / 8 * 8;
    // Room for one frame of the largest block, and at least the 8 bytes per sample frame
    // that stereo of up to 32 bits needs.
    f->block_size = ff->max_block * (frameBytes(ff) > 8 ? frameBytes(ff) : 8);
    if (ff->total_frames > 0)
        setLength(ff, ff->total_frames);
    else
        scanLength(ff);
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}
