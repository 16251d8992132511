// Tag record of one audio file, and the ID3v2/ID3v1 parsers that fill it.
#pragma once

#include <cstddef>
#include <cstdint>

struct SVTag {
    char *title;        // owned, UTF-8 (ID3v1: bytes as stored)
    char *artist;
    char *album;
    char *comment;
    char *genre;
    unsigned char *picture;  // owned bytes of the front-cover image file
    char *cuesheet;     // embedded cue sheet (FLAC CUESHEET comment only)
    int32_t picture_size;
    int32_t year;
    int32_t track;
};

int SVTagClear(SVTag *tag);
bool SVTagIsEmpty(const SVTag *tag);
int SVTagParseID3v2(SVTag *tag, const unsigned char *bytes, size_t size);
int SVTagParseID3v1(SVTag *tag, const unsigned char *bytes, size_t size);
char *unicode_string_to_utf8(const unsigned char *bytes, size_t length);

// The ID3v1 genre names, index = genre number.
extern const char *const SVTagGenres[];
extern const int SVTagGenreCount;
