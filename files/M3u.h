// Reader of playlist files: one audio path per line, as bytes; blank lines and lines whose
// first non-blank byte is '#' or ';' (extended-M3U directives) are skipped.
#pragma once

#include <cstdint>
#include <cstdio>

struct M3uEntry {
    char *text;        // owned, zero-terminated, without the line end
    M3uEntry *next;
};

struct M3uList {
    M3uEntry *head;
    int32_t count;
    int32_t cursor_index;   // position of the last M3uEntryAt, so ascending reads step once
    M3uEntry *cursor;
};

// A file that cannot be opened reads as an empty list; null only when memory runs out.
M3uList *M3uRead(const char *path);
// The same over an open stream, which stays open and belongs to the caller.
M3uList *M3uReadStream(FILE *stream);
int32_t M3uCount(const M3uList *list);
const char *M3uEntryAt(M3uList *list, int32_t n);   // null when n is out of range
void M3uFree(M3uList *list);                        // null is accepted
