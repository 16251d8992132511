// Cue-sheet parser over arbitrary bytes: the track array stays within the cue format's 99
// tracks and every text within one line buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "metadata/CueSheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *stream = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!stream)
        return 0;
    CueSheet *sheet = CueSheetLoadStream(stream);
    fclose(stream);
    if (!sheet)
        abort();
    if (sheet->trackCount < 0 || sheet->trackCount > 99 || (sheet->trackCount > 0) != (sheet->tracks != nullptr))
        abort();
    for (const char *s : {sheet->performer, sheet->title})
        if (s && strlen(s) >= 500)
            abort();
    for (int32_t k = 0; k < sheet->trackCount; k++) {
        const CueTrack &t = sheet->tracks[k];
        for (const char *s : {t.title, t.performer})
            if (s && strlen(s) >= 500)
                abort();
        if (k + 1 == sheet->trackCount && t.duration != 0)
            abort();
    }
    CueSheetFree(sheet);
    return 0;
}
