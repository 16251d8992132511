// Lyric parser over arbitrary bytes; checks the chain is sorted and counted right.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "playback/Lrc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *stream = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!stream)
        return 0;
    LyricList *list = LrcParseStream(stream);
    fclose(stream);
    if (!list)
        return 0;
    int32_t n = 0;
    for (LyricLine *line = list->head; line; line = line->next, n++) {
        if (line->next && line->next->time < line->time)
            abort();
        if (strlen(line->text) >= 500)
            abort();
    }
    if (n != list->count)
        abort();
    int32_t last = lineForTime(list, 1e30f);
    if (last != list->count - 1)
        abort();
    LrcLineAt(list, list->count / 2);
    LrcFree(list);
    return 0;
}
