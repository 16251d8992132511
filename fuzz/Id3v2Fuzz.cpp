// ID3v2 parser over arbitrary bytes: once as given (header checks), once with the header
// made consistent (version 2..4, size = what follows) so the frame walk sees every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "metadata/SVTag.h"

namespace {

void checkTag(const SVTag &t)
{
    for (const char *s : {t.title, t.artist, t.album, t.comment, t.genre})
        if (s)
            (void)strlen(s);  // terminated inside its block (ASan)
    if (t.genre && strlen(t.genre) > 255)
        abort();
    if ((t.picture == nullptr) != (t.picture_size == 0) || t.picture_size < 0)
        abort();
    if (t.picture)
        (void)t.picture[t.picture_size - 1];
    if (t.cuesheet)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SVTag tag{};
    SVTagParseID3v2(&tag, data, size);
    checkTag(tag);

    if (size >= 10) {
        // An exact-size heap copy, so reading one byte past the tag is caught.
        std::vector<uint8_t> copy(data, data + size);
        memcpy(copy.data(), "ID3", 3);
        copy[3] = uint8_t(2 + copy[3] % 3);
        size_t body = size - 10;
        if (copy[3] == 4 && (copy[5] & 0x10) && body >= 10)
            body -= 10;  // footer
        else
            copy[5] &= uint8_t(~0x10);
        if (body < (1u << 28)) {
            copy[6] = uint8_t(body >> 21 & 0x7F);
            copy[7] = uint8_t(body >> 14 & 0x7F);
            copy[8] = uint8_t(body >> 7 & 0x7F);
            copy[9] = uint8_t(body & 0x7F);
            if (size >= 14 && SVTagParseID3v2(&tag, copy.data(), size) != 1)
                abort();
            checkTag(tag);
        }
    }
    SVTagClear(&tag);
    return 0;
}
