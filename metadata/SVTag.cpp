#include "metadata/SVTag.h"

#include <cstdlib>
#include <cstring>

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

// PLACEHOLDER: the ID3 parsers are not written yet.
int SVTagParseID3v2(SVTag *tag, const unsigned char *, size_t) { return SVTagClear(tag); }
int SVTagParseID3v1(SVTag *tag, const unsigned char *, size_t) { return SVTagClear(tag); }
char *unicode_string_to_utf8(const unsigned char *, size_t) { return nullptr; }
const char *const SVTagGenres[] = {"Blues"};
const int SVTagGenreCount = 1;
