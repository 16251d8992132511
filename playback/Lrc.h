// Parser of LRC lyric files: lines that start with one or more "[mm:ss.xx]" time tags,
// kept as a chain sorted by time. Text stays raw bytes until it is shown.
#pragma once

#include <cstdint>
#include <cstdio>

struct LyricLine {
    char *text;        // owned, zero-terminated, tags and tabs removed
    float time;        // seconds
    LyricLine *next;
};

struct LyricList {
    LyricLine *head;   // ascending time; among equal times the line read last comes first
    int32_t count;
};

// Null when the file cannot be opened or memory runs out; a file without a timed line
// gives an empty list.
LyricList *LrcParseFile(const char *path);
// The same over an open stream, which stays open and belongs to the caller.
LyricList *LrcParseStream(FILE *stream);
LyricLine *LrcLineAt(const LyricList *list, int32_t n);   // n from 0; null out of range
void LrcFree(LyricList *list);                             // null is accepted

// Index of the last line whose time is not after `seconds`; -1 before the first line or
// without lines.
int32_t lineForTime(const LyricList *list, float seconds);
