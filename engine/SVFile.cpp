#include "engine/SVFile.h"

#include <strings.h>

#include <cstring>

#include "engine/SVAiffFile.h"
#include "engine/SVApeFile.h"
#include "engine/SVCoreAudioFile.h"
#include "engine/SVFlacFile.h"
#include "engine/SVWavFile.h"

namespace {

struct ReaderRow {
    const char *extension;
    SVFile *(*open)(const char *path);
};

// The only place that knows every reader; the first equal extension decides.
const ReaderRow kReaders[] = {
    {"WAV", SVWavFileOpen},
    {"WV", SVCoreAudioFileOpen},   // WavPack, which the platform service decodes
    {"FLAC", SVFlacFileOpen},
    {"APE", SVApeFileOpen},
    {"AIFF", SVAiffFileOpen},
    {"AIF", SVAiffFileOpen},
    {"AIFC", SVAiffFileOpen},
    {"MP3", SVCoreAudioFileOpen},
    {"M4A", SVCoreAudioFileOpen},
};

}  // namespace

SVFile *SVFileOpen(const char *path)
{
    if (!path)
        return nullptr;
    const char *dot = strrchr(path, '.');
    if (!dot)
        return nullptr;
    for (const ReaderRow &row : kReaders) {
        if (strcasecmp(dot + 1, row.extension) == 0)
            return row.open(path);
    }
    return nullptr;
}

void SVFileSeek(SVFile *file, double seconds)
{
    if (file && file->seek)
        file->seek(file, seconds);
}

double SVFileTell(SVFile *file)
{
    return file && file->tell ? file->tell(file) : 0.0;
}

int32_t SVFileRead(SVFile *file, void *buffer, int32_t bytes)
{
    return file && file->read ? file->read(file, buffer, bytes) : 0;
}

void SVFileClose(SVFile *file)
{
    if (!file || !file->close)
        return;
    SVTagClear(&file->tag);
    file->close(file);
}
