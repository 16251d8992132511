// Playlist reader over arbitrary bytes, with cursor walks both ways.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "files/M3u.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *stream = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!stream)
        return 0;
    M3uList *list = M3uReadStream(stream);
    fclose(stream);
    int32_t count = M3uCount(list);
    for (int32_t i = 0; i <= count; i++)
        M3uEntryAt(list, i);
    for (int32_t i = count; i >= -1; i -= 3)
        M3uEntryAt(list, i);
    M3uFree(list);
    return 0;
}
