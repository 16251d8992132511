// WAV and AIFF readers over arbitrary file contents: open, then seek, tell and read until the
// end. Every input is tried as both containers; reads must stay within the sound data.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/SVAiffFile.h"
#include "engine/SVWavFile.h"

namespace {

// One in-memory file, rewritten for every input; the readers open it by path.
int gFd = -1;
std::string gPath;

void exercise(SVFile *f, size_t fileSize, uint8_t knob)
{
    if (!f)
        return;
    if (f->block_size == 0 || f->sample_rate == 0 || !(f->duration >= 0) || std::isinf(f->duration) ||
        f->next)
        abort();
    static unsigned char buffer[4099];
    const int32_t chunk = 1 + knob % 4099;
    // Seek to a fraction the input picks, and to the clamped ends.
    const double targets[] = {f->duration * (knob / 255.0), -1.0, f->duration + 1.0};
    for (double t : targets) {
        SVFileSeek(f, t);
        double told = SVFileTell(f);
        if (told < 0 || told > f->duration)
            abort();
        size_t total = 0;
        int32_t got;
        while ((got = SVFileRead(f, buffer, chunk)) > 0) {
            if (got > chunk)
                abort();
            total += size_t(got);
            if (total > fileSize)
                abort();  // more sample bytes than the file holds
        }
        if (got < 0)
            abort();
    }
    SVFileClose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gFd = memfd_create("wavaiff-fuzz", 0);
    if (gFd < 0)
        abort();
    gPath = "/proc/self/fd/" + std::to_string(gFd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (ftruncate(gFd, 0) != 0 || pwrite(gFd, data, size, 0) != ssize_t(size))
        abort();
    const uint8_t knob = size ? data[size - 1] : 0;
    exercise(SVWavFileOpen(gPath.c_str()), size, knob);
    exercise(SVAiffFileOpen(gPath.c_str()), size, knob);

    // The same bytes behind the other container's header, so each walk sees every input.
    if (size >= 12) {
        std::string swapped(reinterpret_cast<const char *>(data), size);
        bool riff = memcmp(data, "RIFF", 4) == 0;
        memcpy(&swapped[0], riff ? "FORM" : "RIFF", 4);
        memcpy(&swapped[8], riff ? (data[11] & 1 ? "AIFC" : "AIFF") : "WAVE", 4);
        if (ftruncate(gFd, 0) != 0 || pwrite(gFd, swapped.data(), size, 0) != ssize_t(size))
            abort();
        exercise(riff ? SVAiffFileOpen(gPath.c_str()) : SVWavFileOpen(gPath.c_str()), size, knob);
    }
    return 0;
}
