#include "metadata/SVTag.h"

#include "metadata/CharacterEncoding.h"

#include <cstdlib>
#include <cstring>

#include "platform/Check.h"

// The ID3v1 genre list as extended by Winamp, in its published order and spelling
// (typos included: "Psychadelic", "Bebob").
const char *const SVTagGenres[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop",
    "Jazz", "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap",
    "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska", "Death Metal", "Pranks",
    "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance",
    "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise",
    "Alternative Rock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic",
    "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40",
    "Christian Rap", "Pop/Funk", "Jungle", "Native US", "Cabaret", "New Wave", "Psychadelic",
    "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka",
    "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk",
    "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde",
    "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire",
    "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul",
    "Freestyle", "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance Hall",
    "Goa", "Drum & Bass", "Club - House", "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk",
    "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover",
    "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime",
    "JPop", "Synthpop",
};
const int SVTagGenreCount = int(sizeof SVTagGenres / sizeof SVTagGenres[0]);
static_assert(sizeof SVTagGenres / sizeof SVTagGenres[0] == 148, "ID3v1 genres 0..147");

int SVTagClear(SVTag *tag)
{
    free(tag->title);
    free(tag->artist);
    free(tag->album);
    free(tag->comment);
    free(tag->genre);
    free(tag->picture);
    free(tag->cuesheet);
    memset(tag, 0, sizeof *tag);
    return 0;
}

bool SVTagIsEmpty(const SVTag *tag)
{
    return !tag->title && !tag->artist && !tag->album && !tag->comment && !tag->genre &&
           !tag->picture && !tag->cuesheet && tag->picture_size == 0 && tag->year == 0 &&
           tag->track == 0;
}

namespace {

typedef const unsigned char *Bytes;

// Text-encoding byte of ID3v2 frames.
enum {
    kEncodingLatin1 = 0,
    kEncodingUtf16 = 1,    // with a byte-order mark; little-endian without one
    kEncodingUtf16BE = 2,  // ID3v2.4, no byte-order mark
    kEncodingUtf8 = 3,     // ID3v2.4
};

char *copyBytes(Bytes p, size_t n)
{
    char *s = static_cast<char *>(malloc(n + 1));
    if (!s)
        return nullptr;
    memcpy(s, p, n);
    s[n] = 0;
    return s;
}

// Plain ISO-8859-1: bytes 0x80..0xFF are U+0080..U+00FF.
char *latin1Bytes_to_utf8(Bytes p, size_t n)
{
    char *s = static_cast<char *>(malloc(2 * n + 1));
    if (!s)
        return nullptr;
    char *o = s;
    for (size_t i = 0; i < n; i++) {
        if (p[i] < 0x80) {
            *o++ = char(p[i]);
        } else {
            *o++ = char(0xC0 | (p[i] >> 6));
            *o++ = char(0x80 | (p[i] & 0x3F));
        }
    }
    *o = 0;
    return s;
}

// Text up to the first NUL or `limit`; null when that is no byte at all (then *out is left
// alone), else *out goes past the NUL when there was one.
char *latin1_to_utf8(Bytes p, Bytes limit, Bytes *out)
{
    Bytes q = p;
    while (q < limit && *q)
        q++;
    if (q == p)
        return nullptr;
    *out = q < limit ? q + 1 : q;
    return latin1Bytes_to_utf8(p, size_t(q - p));
}

// ID3v2.4 encoding 3. Bytes that are not valid UTF-8 (a writer that put Latin-1 under the
// UTF-8 mark) are read as ISO-8859-1, so the record's text is always UTF-8.
char *utf8_copy(Bytes p, Bytes limit, Bytes *out)
{
    Bytes q = p;
    while (q < limit && *q)
        q++;
    if (q == p)
        return nullptr;
    *out = q < limit ? q + 1 : q;
    size_t n = size_t(q - p);
    const bool utf8 = CharacterEncoding::isValidUtf8(reinterpret_cast<const char *>(p), n);
    return utf8 ? copyBytes(p, n) : latin1Bytes_to_utf8(p, n);
}

size_t utf8_unit_width(unsigned unit)
{
    return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
}

// One 16-bit unit on its own: surrogate pairs are not combined (each half becomes three
// bytes); stored titles were made this way.
char *utf8_put_unit(char *o, unsigned unit)
{
    if (unit < 0x80) {
        *o++ = char(unit);
    } else if (unit < 0x800) {
        *o++ = char(0xC0 | (unit >> 6));
        *o++ = char(0x80 | (unit & 0x3F));
    } else {
        *o++ = char(0xE0 | (unit >> 12));
        *o++ = char(0x80 | ((unit >> 6) & 0x3F));
        *o++ = char(0x80 | (unit & 0x3F));
    }
    return o;
}

// The units of `bytes` (an odd last byte is not a unit) in the given byte order.
char *units_to_utf8(Bytes bytes, size_t length, bool bigEndian)
{
    size_t units = length / 2;
    auto unitAt = [&](size_t i) -> unsigned {
        Bytes u = bytes + 2 * i;
        return bigEndian ? unsigned(u[0] << 8 | u[1]) : unsigned(u[1] << 8 | u[0]);
    };
    size_t size = 1;
    for (size_t i = 0; i < units; i++)
        size += utf8_unit_width(unitAt(i));
    char *s = static_cast<char *>(malloc(size));
    if (!s)
        return nullptr;
    char *o = s;
    for (size_t i = 0; i < units; i++)
        o = utf8_put_unit(o, unitAt(i));
    *o = 0;
    return s;
}

// Scans 16-bit units up to a zero unit or until fewer than 2 bytes remain; null when no unit
// comes before the stop (then *out is left alone), else *out goes past the terminator when
// there was one.
Bytes scan_utf16(Bytes p, Bytes limit, Bytes *out)
{
    Bytes q = p;
    while (limit - q >= 2 && (q[0] | q[1]))
        q += 2;
    if (q == p)
        return nullptr;
    *out = limit - q >= 2 ? q + 2 : q;
    return q;
}

char *utf16_to_utf8(Bytes p, Bytes limit, Bytes *out)
{
    Bytes stop = scan_utf16(p, limit, out);
    return stop ? unicode_string_to_utf8(p, size_t(stop - p)) : nullptr;
}

// ID3v2.4 encoding 2: big-endian units without a byte-order mark (one is skipped if there).
char *utf16be_to_utf8(Bytes p, Bytes limit, Bytes *out)
{
    Bytes stop = scan_utf16(p, limit, out);
    if (!stop)
        return nullptr;
    if (stop - p >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        p += 2;
    return units_to_utf8(p, size_t(stop - p), true);
}

// Just past the terminator of a string in a frame's text encoding, also when it is empty.
Bytes id3_skip_string(unsigned encoding, Bytes p, Bytes limit)
{
    if (encoding == kEncodingUtf16 || encoding == kEncodingUtf16BE) {
        while (limit - p >= 2 && (p[0] | p[1]))
            p += 2;
        return limit - p >= 2 ? p + 2 : p;
    }
    while (p < limit && *p)
        p++;
    return p < limit ? p + 1 : p;
}

// One NUL-terminated string in a frame's text encoding.
//
// Reading encodings 2 and 3 as ISO-8859-1 like 0 would turn every non-ASCII title
// that ffmpeg, mutagen and other ID3v2.4 writers store as UTF-8 into mojibake ("Café" into
// "CafÃ©") and mis-splits UTF-16BE strings at their first zero byte, so they are read as
// ID3v2.4 defines them.
char *id3_read_string(unsigned encoding, Bytes p, Bytes limit, Bytes *out)
{
    *out = id3_skip_string(encoding, p, limit);
    switch (encoding) {
    case kEncodingUtf16: return utf16_to_utf8(p, limit, out);
    case kEncodingUtf16BE: return utf16be_to_utf8(p, limit, out);
    case kEncodingUtf8: return utf8_copy(p, limit, out);
    default: return latin1_to_utf8(p, limit, out);
    }
}

char *id3_read_text(Bytes body, size_t size)
{
    if (size == 0)
        return nullptr;
    Bytes after = body + 1;
    return id3_read_string(body[0], body + 1, body + size, &after);
}

// Leading decimal digits ("3/12" gives 3); 0 when there are none. Saturates instead of
// overflowing.
int32_t leading_number(const char *s, size_t maxDigits)
{
    int32_t n = 0;
    for (size_t i = 0; i < maxDigits && s[i] >= '0' && s[i] <= '9'; i++)
        n = n > (INT32_MAX - 9) / 10 ? INT32_MAX : n * 10 + (s[i] - '0');
    return n;
}

int32_t id3_read_number(Bytes body, size_t size)
{
    char *text = id3_read_text(body, size);
    if (!text)
        return 0;
    int32_t n = leading_number(text, SIZE_MAX);
    free(text);
    return n;
}

// "(n)" references become genre names joined with "/": "(17)(18)" is "Rock/Techno",
// "(17)Live" is "Rock/Live", "Pop(13)" is "Pop/Pop".
char *id3_read_genre(Bytes body, size_t size)
{
    if (size < 2)
        return nullptr;
    char *text = id3_read_text(body, size);
    if (!text)
        return nullptr;
    char out[256];
    size_t n = 0;
    const char *t = text;
    while (*t && n < 255) {
        if (t[0] == '(' && t[1] >= '0' && t[1] <= '9') {
            const char *d = t + 1;
            int number = 0;
            for (; *d >= '0' && *d <= '9'; d++) {
                if (number <= 1000)  // anything above 147 stops anyway
                    number = number * 10 + (*d - '0');
            }
            if (number >= SVTagGenreCount)
                break;
            const char *name = SVTagGenres[number];
            size_t length = strlen(name);
            if (n + length > 253)
                break;
            if (n > 0)
                out[n++] = '/';
            memcpy(out + n, name, length);
            n += length;
            if (*d != ')')
                break;
            t = d + 1;
            if (*t && *t != '(' && n <= 254)
                out[n++] = '/';
            continue;
        }
        out[n++] = *t++;
    }
    free(text);
    return copyBytes(reinterpret_cast<Bytes>(out), n);
}

// a + separator + b (b is released); either alone when the other is null.
char *join_with_separator(char *a, char *b, const char *separator)
{
    if (!a)
        return b;
    if (!b)
        return a;
    size_t la = strlen(a), ls = strlen(separator), lb = strlen(b);
    char *joined = static_cast<char *>(realloc(a, la + ls + lb + 1));
    if (!joined) {
        free(b);
        return a;
    }
    memcpy(joined + la, separator, ls);
    memcpy(joined + la + ls, b, lb + 1);
    free(b);
    return joined;
}

// Encoding byte, 3-byte language (skipped), description, text: "description=text".
char *id3_read_comment(Bytes body, size_t size)
{
    if (size < 4)
        return nullptr;
    Bytes limit = body + size;
    Bytes after = body + 4;
    // ffmpeg and mutagen leave the description empty: the text alone is the comment then.
    char *description = id3_read_string(body[0], body + 4, limit, &after);
    Bytes rest = after;
    char *text = id3_read_string(body[0], after, limit, &rest);
    if (!description)
        return text;
    if (!text)
        return description;
    return join_with_separator(description, text, "=");
}

enum PictureKind { kPictureV2, kPictureApic };

// Only the front cover (picture type 3) is taken; its bytes are the rest of the frame after
// the description.
void id3_read_picture(SVTag *tag, Bytes body, size_t size, PictureKind kind)
{
    if (size < 1)
        return;
    Bytes limit = body + size;
    unsigned encoding = body[0];
    Bytes type;
    if (kind == kPictureV2) {
        if (size < 5)
            return;
        type = body + 4;  // after the 3-character image format
    } else {
        Bytes after = body + 1;
        char *mime = latin1_to_utf8(body + 1, limit, &after);
        if (!mime)
            return;
        free(mime);
        type = after;
    }
    if (type >= limit || *type != 3)
        return;
    // The description is skipped, empty or not: an empty one is what most writers store.
    Bytes data = id3_skip_string(encoding, type + 1, limit);
    if (data >= limit)
        return;
    size_t n = size_t(limit - data);
    unsigned char *picture = static_cast<unsigned char *>(malloc(n));
    if (!picture)
        return;
    memcpy(picture, data, n);
    free(tag->picture);
    tag->picture = picture;
    tag->picture_size = int32_t(n);  // below 2^28: bounded by the tag's synchsafe size
}

uint32_t synchsafe(Bytes p)
{
    return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 |
           uint32_t(p[2] & 0x7F) << 7 | uint32_t(p[3] & 0x7F);
}

uint32_t bigEndian32(Bytes p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

enum FrameAction { kTitle, kArtist, kAlbum, kGenre, kTrack, kYear, kComment, kPicture };

struct FrameRow {
    char id34[5];  // versions 3 and 4
    char id2[4];   // version 2
    FrameAction action;
};

// TDRC is ID3v2.4's recording time ("2019-05-01"), which replaces TYER; ffmpeg and
// mutagen write only TDRC in version 4, so it gives the year too.
const FrameRow kFrames[] = {
    {"TIT2", "TT2", kTitle},   {"TPE1", "TP1", kArtist},   {"TALB", "TAL", kAlbum},
    {"TCON", "TCO", kGenre},   {"TRCK", "TRK", kTrack},    {"TYER", "TYE", kYear},
    {"TDRC", "", kYear},       {"COMM", "COM", kComment},  {"APIC", "PIC", kPicture},
};

void applyFrame(SVTag *tag, const FrameRow &row, bool version2, Bytes body, size_t size)
{
    switch (row.action) {
    case kTitle: if (!tag->title) tag->title = id3_read_text(body, size); break;
    case kArtist: if (!tag->artist) tag->artist = id3_read_text(body, size); break;
    case kAlbum: if (!tag->album) tag->album = id3_read_text(body, size); break;
    case kGenre: if (!tag->genre) tag->genre = id3_read_genre(body, size); break;
    case kTrack: tag->track = id3_read_number(body, size); break;
    case kYear: tag->year = id3_read_number(body, size); break;
    case kComment: {
        char *comment = id3_read_comment(body, size);
        if (comment)
            tag->comment = join_with_separator(tag->comment, comment, ";\n");
        break;
    }
    case kPicture:
        if (!tag->picture)
            id3_read_picture(tag, body, size, version2 ? kPictureV2 : kPictureApic);
        break;
    }
}

const FrameRow *findFrame(Bytes id, bool version2)
{
    for (const FrameRow &row : kFrames) {
        const char *want = version2 ? row.id2 : row.id34;
        size_t n = version2 ? 3 : 4;
        if (want[0] && memcmp(id, want, n) == 0)
            return &row;
    }
    return nullptr;
}

// Whether a frame that ends at offset `q` is followed by something a walk can continue
// from: the end of the frames, padding, or a frame header with a proper identifier.
bool landsOnFrameBoundary(Bytes bytes, size_t q, size_t length)
{
    if (q >= length)
        return q == length;
    Bytes p = bytes + q;
    if (length - q < 10) {
        for (; q < length; q++) {
            if (bytes[q])
                return false;
        }
        return true;  // short padding
    }
    if (!(p[0] | p[1] | p[2] | p[3]))
        return true;  // padding
    for (int i = 0; i < 4; i++) {
        bool ok = (p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9');
        if (!ok)
            return false;
    }
    return true;
}

// ID3v2.4 frame sizes are synchsafe; some old writers put plain integers there. Take the
// synchsafe reading unless only the plain one lands on a frame boundary.
size_t v4FrameSize(Bytes bytes, size_t pos, size_t length)
{
    Bytes s = bytes + pos + 4;
    size_t plain = bigEndian32(s);
    if ((s[0] | s[1] | s[2] | s[3]) & 0x80)
        return plain;  // not a synchsafe integer at all
    size_t safe = synchsafe(s);
    if (safe == plain || landsOnFrameBoundary(bytes, pos + 10 + safe, length))
        return safe;
    if (landsOnFrameBoundary(bytes, pos + 10 + plain, length))
        return plain;
    return safe;
}

// Undoes unsynchronisation: the writer put a 0x00 after each 0xFF that could read as an MPEG
// sync (or as such a 0x00), so each FF 00 pair reads as FF. Returns the length written to `out` (at most `size`).
size_t resynchronise(Bytes in, size_t size, unsigned char *out)
{
    size_t n = 0;
    for (size_t i = 0; i < size; i++) {
        out[n++] = in[i];
        if (in[i] == 0xFF && i + 1 < size && in[i + 1] == 0x00)
            i++;
    }
    return n;
}

// ID3v2.4 frame format flags (the frame header's last byte).
enum : unsigned {
    kFrameGrouping = 0x40,      // one group byte before the data
    kFrameCompressed = 0x08,
    kFrameEncrypted = 0x04,
    kFrameUnsynchronised = 0x02,
    kFrameDataLength = 0x01,    // a 4-byte data length before the data
};

// Applies one version-4 frame whose format flags are set: its data resynchronised and the
// additions before it skipped. Compressed and encrypted data cannot be read here.
void applyV4Frame(SVTag *tag, const FrameRow &row, unsigned formatFlags, bool unsynchronised, Bytes body,
                  size_t size)
{
    if (formatFlags & (kFrameCompressed | kFrameEncrypted))
        return;
    unsigned char *plain = nullptr;
    if (unsynchronised) {
        plain = static_cast<unsigned char *>(malloc(size));
        if (!plain)
            return;
        size = resynchronise(body, size, plain);
        body = plain;
    }
    size_t skip = (formatFlags & kFrameGrouping ? 1 : 0) + (formatFlags & kFrameDataLength ? 4 : 0);
    if (size > skip)
        applyFrame(tag, row, false, body + skip, size - skip);
    free(plain);
}

}  // namespace

char *unicode_string_to_utf8(const unsigned char *bytes, size_t length)
{
    if (length < 2)
        return nullptr;
    if (bytes[0] == 0xFE && bytes[1] == 0xFF)
        return units_to_utf8(bytes + 2, length - 2, true);
    if (bytes[0] == 0xFF && bytes[1] == 0xFE)
        return units_to_utf8(bytes + 2, length - 2, false);
    return units_to_utf8(bytes, length, false);
}

int SVTagParseID3v2(SVTag *tag, const unsigned char *bytes, size_t size)
{
    SVTagClear(tag);
    if (size < 14) {
        SV_FAILED("size >= 14");
        return 0;
    }
    if (memcmp(bytes, "ID3", 3) != 0) {
        SV_FAILED("strncmp(hdr->id, \"ID3\", 3) == 0");
        return 0;
    }
    const unsigned version = bytes[3];
    const unsigned flags = bytes[5];
    size_t tagSize = synchsafe(bytes + 6);
    switch (version) {
    case 4: {
        size_t deduction = (flags & 0x10) ? 20 : 10;  // footer present
        if (size < deduction || tagSize != size - deduction) {
            SV_FAILED("hdr->size == size - deduction");
            return 0;
        }
        break;
    }
    case 3:
    case 2:
        if (tagSize != size - 10) {
            SV_FAILED("hdr->size == size - 10");
            return 0;
        }
        break;
    default:
        SV_FAILED("0");
        return 0;
    }

    // Versions 2 and 3 unsynchronise the whole tag after its header (flag 0x80): read a
    // resynchronised copy. Version 4 does it frame by frame.
    const bool unsynchronised = flags & 0x80;
    unsigned char *copy = nullptr;
    if (unsynchronised && version < 4) {
        copy = static_cast<unsigned char *>(malloc(10 + tagSize));
        if (!copy)
            return 1;  // out of memory: no fields
        memcpy(copy, bytes, 10);
        tagSize = resynchronise(bytes + 10, tagSize, copy + 10);
        bytes = copy;
    }
    size_t start = 10;
    if (version == 4 && (flags & 0x40))
        start = 10 + size_t(synchsafe(bytes + 10));  // the size counts its own 4 bytes
    else if (version == 3 && (flags & 0x40) && tagSize >= 4)
        start = 14 + size_t(bigEndian32(bytes + 10));  // the size leaves out its 4 bytes

    // Frames end where the footer starts; walk positions are offsets so that an extended
    // header size beyond the tag cannot form a pointer past it.
    const bool version2 = version == 2;
    const size_t headerSize = version2 ? 6 : 10;
    const size_t length = 10 + tagSize;
    size_t pos = start;
    while (pos <= length && length - pos >= headerSize) {
        Bytes header = bytes + pos;
        size_t frameSize;
        if (version2)
            frameSize = size_t(header[3]) << 16 | size_t(header[4]) << 8 | header[5];
        else if (version == 4)
            frameSize = v4FrameSize(bytes, pos, length);
        else
            frameSize = bigEndian32(header + 4);
        size_t left = length - pos - headerSize;
        if (frameSize == 0 || frameSize > left)
            break;
        if (const FrameRow *row = findFrame(header, version2)) {
            const bool v4Flagged = version == 4 && (unsynchronised || header[9] != 0);
            if (v4Flagged)
                applyV4Frame(tag, *row, header[9], unsynchronised || (header[9] & kFrameUnsynchronised),
                             header + headerSize, frameSize);
            else
                applyFrame(tag, *row, version2, header + headerSize, frameSize);
        }
        pos += headerSize + frameSize;
    }
    free(copy);
    return 1;
}

int SVTagParseID3v1(SVTag *tag, const unsigned char *bytes, size_t size)
{
    SVTagClear(tag);
    if (size != 128 || memcmp(bytes, "TAG", 3) != 0)
        return 0;
    // Fixed fields, copied byte for byte (no character set is assumed).
    auto field = [&](size_t offset, size_t length) -> char * {
        if (bytes[offset] == 0)
            return nullptr;
        char *s = static_cast<char *>(calloc(length + 1, 1));
        if (s)
            memcpy(s, bytes + offset, length);
        return s;
    };
    tag->title = field(3, 30);
    tag->artist = field(33, 30);
    tag->album = field(63, 30);
    tag->comment = field(97, 29);
    char year[5] = {};
    memcpy(year, bytes + 93, 4);
    tag->year = leading_number(year, 4);
    tag->track = bytes[126];
    if (bytes[127] < SVTagGenreCount)
        tag->genre = copyBytes(reinterpret_cast<Bytes>(SVTagGenres[bytes[127]]),
                               strlen(SVTagGenres[bytes[127]]));
    return 1;
}
