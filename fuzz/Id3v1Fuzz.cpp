// ID3v1 parser over arbitrary bytes, and over the first 128 of them marked "TAG".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "metadata/SVTag.h"

namespace {

void checkTag(const SVTag &t)
{
    for (const char *s : {t.title, t.artist, t.album, t.comment})
        if (s && strlen(s) > 30)
            abort();
    if (t.picture || t.picture_size || t.cuesheet)
        abort();
    if (t.year < 0 || t.year > 9999 || t.track < 0 || t.track > 255)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SVTag tag{};
    int result = SVTagParseID3v1(&tag, data, size);
    if (result != 0 && size != 128)
        abort();
    checkTag(tag);

    uint8_t *block = static_cast<uint8_t *>(malloc(128));
    memset(block, 0, 128);
    memcpy(block, data, size < 128 ? size : 128);
    memcpy(block, "TAG", 3);
    if (SVTagParseID3v1(&tag, block, 128) != 1)
        abort();
    checkTag(tag);
    free(block);
    SVTagClear(&tag);
    return 0;
}
