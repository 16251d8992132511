// Cue-sheet parser: the album title and performer and one record per track with its start
// and duration, read from a ".cue" file. Texts are the raw bytes of the sheet (no character
// set is assumed); callers decode them with CharacterEncoding::parseCString.
// Plain procedural; any thread (each call has its own file handle and record).
#pragma once

#include <cstdint>
#include <cstdio>

struct CueTrack {
    float start;      // seconds from the start of the audio file, whole seconds
    float duration;   // next track's start minus this one's; 0 for the last track
    char *title;      // owned raw bytes, or null
    char *performer;  // owned raw bytes, or null
};

struct CueSheet {
    int32_t trackCount;  // the largest TRACK number (1..99) in the sheet, 0 when none
    char *performer;     // album performer: the first unindented PERFORMER line
    char *title;         // album title: the first unindented TITLE line
    CueTrack *tracks;    // trackCount records, filled in section order
};

// Null when the file cannot be opened (or the track array cannot be allocated).
CueSheet *CueSheetLoad(const char *path);
// The same over an open, rewindable stream, which stays open (tests and fuzzing).
CueSheet *CueSheetLoadStream(FILE *f);
void CueSheetFree(CueSheet *sheet);
