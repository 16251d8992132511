#include "playback/Lrc.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Lines are taken in pieces of at most 499 bytes; a longer line goes on as a piece of its own.
const int kPieceSize = 500;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char *skipSpace(const char *p)
{
    while (isSpace(*p))
        p++;
    return p;
}

// A decimal integer as scanf's %d reads it: blanks, a sign, at least one digit. Values out
// of range are clamped instead of overflowing.
const char *scanInt(const char *p, long long *value)
{
    p = skipSpace(p);
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    if (*p < '0' || *p > '9')
        return nullptr;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (v < INT_MAX)
            v = v * 10 + (*p - '0');
    }
    if (v > INT_MAX)
        v = INT_MAX;
    *value = negative ? -v : v;
    return p;
}

// "[m:s.f]" where f always counts hundredths, whatever its digits; the closing bracket
// is not needed for the tag to count.
bool scanTimeTag(const char *p, double *seconds)
{
    long long m, s, f;
    if (*p != '[' || !(p = scanInt(p + 1, &m)) || *p != ':' || !(p = scanInt(p + 1, &s)) ||
        *p != '.' || !scanInt(p + 1, &f))
        return false;
    *seconds = double(m) * 60 + double(s) + double(f) * 0.01;
    return true;
}

// The text after the tags: tabs and line ends dropped, <word times> and [other tags]
// removed with the blanks after them; an unclosed group takes the rest.
char *cleanText(const char *p)
{
    char *text = static_cast<char *>(malloc(strlen(p) + 1));
    if (!text)
        return nullptr;
    size_t n = 0;
    p = skipSpace(p);
    while (*p) {
        char c = *p;
        if (c == '\t' || c == '\n' || c == '\r') {
            p++;
        } else if (c == '<' || c == '[') {
            const char *close = strchr(p, c == '<' ? '>' : ']');
            if (!close)
                break;
            p = skipSpace(close + 1);
        } else {
            text[n++] = c;
            p++;
        }
    }
    text[n] = '\0';
    return text;
}

// Gathers the lines in read order; sorted once at the end, so a long file costs n log n.
struct LineArray {
    LyricLine **lines;
    size_t count;
    size_t capacity;
};

bool appendLine(LineArray *array, LyricLine *line)
{
    if (array->count == array->capacity) {
        size_t capacity = array->capacity ? array->capacity * 2 : 64;
        void *grown = realloc(array->lines, capacity * sizeof(LyricLine *));
        if (!grown)
            return false;
        array->lines = static_cast<LyricLine **>(grown);
        array->capacity = capacity;
    }
    array->lines[array->count++] = line;
    return true;
}

// Chains the lines by ascending time; among equal times the line read last comes first.
void chainSorted(LyricList *list, LineArray *array)
{
    std::reverse(array->lines, array->lines + array->count);
    std::stable_sort(array->lines, array->lines + array->count,
                     [](const LyricLine *a, const LyricLine *b) { return a->time < b->time; });
    LyricLine **link = &list->head;
    for (size_t i = 0; i < array->count; i++) {
        *link = array->lines[i];
        link = &array->lines[i]->next;
    }
    *link = nullptr;
    list->count = int32_t(array->count);
}

void freeLines(LineArray *array)
{
    for (size_t i = 0; i < array->count; i++) {
        free(array->lines[i]->text);
        free(array->lines[i]);
    }
    free(array->lines);
}

}  // namespace

LyricList *LrcParseStream(FILE *stream)
{
    if (!stream)
        return nullptr;
    LyricList *list = static_cast<LyricList *>(calloc(1, sizeof(LyricList)));
    if (!list)
        return nullptr;
    LineArray array = {};
    char piece[kPieceSize];
    while (fgets(piece, sizeof piece, stream)) {
        const char *p = skipSpace(piece);
        double seconds;
        while (scanTimeTag(p, &seconds)) {
            const char *close = strchr(p, ']');
            p = close ? skipSpace(close + 1) : p + strlen(p);
            LyricLine *line = static_cast<LyricLine *>(calloc(1, sizeof(LyricLine)));
            if (line)
                line->time = float(seconds);
            if (!line || !(line->text = cleanText(p)) || !appendLine(&array, line)) {
                if (line)
                    free(line->text);
                free(line);
                freeLines(&array);
                free(list);
                return nullptr;
            }
        }
    }
    if (array.count > INT32_MAX) {
        freeLines(&array);
        free(list);
        return nullptr;
    }
    chainSorted(list, &array);
    free(array.lines);
    return list;
}

LyricList *LrcParseFile(const char *path)
{
    FILE *stream = path ? fopen(path, "rb") : nullptr;
    if (!stream)
        return nullptr;
    LyricList *list = LrcParseStream(stream);
    fclose(stream);
    return list;
}

LyricLine *LrcLineAt(const LyricList *list, int32_t n)
{
    if (!list || n < 0)
        return nullptr;
    LyricLine *line = list->head;
    for (int32_t i = 0; line && i < n; i++)
        line = line->next;
    return line;
}

void LrcFree(LyricList *list)
{
    if (!list)
        return;
    for (LyricLine *line = list->head; line;) {
        LyricLine *next = line->next;
        free(line->text);
        free(line);
        line = next;
    }
    free(list);
}

int32_t lineForTime(const LyricList *list, float seconds)
{
    int32_t found = -1;
    int32_t index = 0;
    for (const LyricLine *line = list ? list->head : nullptr; line && line->time <= seconds;
         line = line->next)
        found = index++;
    return found;
}
