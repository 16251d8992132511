#include "metadata/CueSheet.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

// The sheet is read line by line through a 500-byte buffer, so a longer line comes in pieces
// of at most 499 bytes, each matched as a line of its own. Four keywords, upper case only,
// matched with the rules of formatted scanning:
//
//   PERFORMER "%[^"]     TITLE "%[^"]     TRACK %d     INDEX %d %d:%d
//
// (a blank in a pattern matches any run of white space, also none; a capture stops at the
// next double quote or, without one, runs to the end of what was read, line end included.)

namespace {

const int kLineBuffer = 500;
const int kMaxTrack = 99;  // the cue format numbers tracks 01..99

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char *skipBlanks(const char *s)
{
    while (isBlank(*s))
        s++;
    return s;
}

// The blank-stripped line: leading spaces and tabs only.
const char *stripLine(const char *s)
{
    while (*s == ' ' || *s == '\t')
        s++;
    return s;
}

bool matchKeyword(const char **s, const char *keyword)
{
    size_t n = strlen(keyword);
    if (strncmp(*s, keyword, n) != 0)
        return false;
    *s += n;
    return true;
}

// KEYWORD "text: the capture (at least one byte) up to the next double quote.
bool matchQuoted(const char *s, const char *keyword, const char **capture, size_t *length)
{
    if (!matchKeyword(&s, keyword))
        return false;
    s = skipBlanks(s);
    if (*s != '"')
        return false;
    s++;
    const char *end = s;
    while (*end && *end != '"')
        end++;
    if (end == s)
        return false;
    *capture = s;
    *length = size_t(end - s);
    return true;
}

// %d: white space, an optional sign, at least one digit. Saturates at +-2^31-1 where
// formatted scanning would overflow.
bool scanInt(const char **s, long *value)
{
    const char *p = skipBlanks(*s);
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    if (*p < '0' || *p > '9')
        return false;
    long n = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        n = n * 10 + (*p - '0');
        if (n > 2147483647L)
            n = 2147483647L;
    }
    *value = negative ? -n : n;
    *s = p;
    return true;
}

// TRACK %d, with numbers outside 1..99 not taken for a TRACK line at all: they must not
// size the track array (TRACK 2000000000).
bool matchTrack(const char *s, long *number)
{
    if (!matchKeyword(&s, "TRACK") || !scanInt(&s, number))
        return false;
    return *number >= 1 && *number <= kMaxTrack;
}

// INDEX %d %d:%d: index number, minutes, seconds; the frames that follow are not read.
bool matchIndex(const char *s, long *index, long *minutes, long *seconds)
{
    return matchKeyword(&s, "INDEX") && scanInt(&s, index) && scanInt(&s, minutes) &&
           *s++ == ':' && scanInt(&s, seconds);
}

char *copyText(const char *text, size_t length)
{
    char *s = static_cast<char *>(malloc(length + 1));
    if (s) {
        memcpy(s, text, length);
        s[length] = 0;
    }
    return s;
}

void replaceText(char **field, const char *text, size_t length)
{
    free(*field);
    *field = copyText(text, length);
}

// To the start of the text, past a UTF-8 byte-order mark (Windows editors write one),
// which would otherwise hide an album line on the first line.
void rewindText(FILE *f)
{
    rewind(f);
    unsigned char bom[3];
    if (fread(bom, 1, 3, f) != 3 || memcmp(bom, "\xEF\xBB\xBF", 3) != 0)
        rewind(f);
}

bool readLine(FILE *f, char *line)
{
    return fgets(line, kLineBuffer, f) != nullptr;
}

}  // namespace

CueSheet *CueSheetLoad(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return nullptr;
    struct stat st;
    CueSheet *sheet = nullptr;
    if (fstat(fileno(f), &st) == 0 && !S_ISDIR(st.st_mode))  // fopen opens folders too
        sheet = CueSheetLoadStream(f);
    fclose(f);
    return sheet;
}

CueSheet *CueSheetLoadStream(FILE *f)
{
    CueSheet *sheet = static_cast<CueSheet *>(calloc(1, sizeof(CueSheet)));
    if (!sheet)
        return nullptr;
    char line[kLineBuffer];
    const char *capture;
    size_t length;
    long number;

    // Pass 1: the album's performer and title (the first ones at the very start of a line;
    // indented ones belong to tracks) and the largest track number.
    rewindText(f);
    while (readLine(f, line)) {
        if (!sheet->performer && matchQuoted(line, "PERFORMER", &capture, &length))
            sheet->performer = copyText(capture, length);
        else if (!sheet->title && matchQuoted(line, "TITLE", &capture, &length))
            sheet->title = copyText(capture, length);
        else if (matchTrack(stripLine(line), &number) && number > sheet->trackCount)
            sheet->trackCount = int32_t(number);
    }

    if (sheet->trackCount > 0) {
        sheet->tracks = static_cast<CueTrack *>(calloc(size_t(sheet->trackCount), sizeof(CueTrack)));
        if (!sheet->tracks) {
            CueSheetFree(sheet);
            return nullptr;
        }
    }

    // Pass 2: sections fill the records in the order they appear, whatever their numbers.
    rewindText(f);
    bool more = false;
    while (readLine(f, line)) {
        if (matchTrack(stripLine(line), &number)) {
            more = true;
            break;
        }
    }
    for (int32_t k = 0; k < sheet->trackCount && more; k++) {
        CueTrack *track = &sheet->tracks[k];
        more = false;
        while (readLine(f, line)) {
            const char *s = stripLine(line);
            long index, minutes, seconds;
            if (matchTrack(s, &number)) {
                more = true;
                break;
            }
            if (matchQuoted(s, "TITLE", &capture, &length)) {
                replaceText(&track->title, capture, length);
            } else if (matchQuoted(s, "PERFORMER", &capture, &length)) {
                replaceText(&track->performer, capture, length);
            } else if (matchIndex(s, &index, &minutes, &seconds)) {
                if (index == 1)  // the pregap INDEX 00 and later indexes do not move the start
                    track->start = float(double(minutes) * 60 + double(seconds));
            }
        }
    }

    for (int32_t k = 0; k + 1 < sheet->trackCount; k++)
        sheet->tracks[k].duration = sheet->tracks[k + 1].start - sheet->tracks[k].start;
    return sheet;
}

void CueSheetFree(CueSheet *sheet)
{
    if (!sheet)
        return;
    for (int32_t k = 0; k < sheet->trackCount && sheet->tracks; k++) {
        free(sheet->tracks[k].title);
        free(sheet->tracks[k].performer);
    }
    free(sheet->tracks);
    free(sheet->performer);
    free(sheet->title);
    free(sheet);
}
