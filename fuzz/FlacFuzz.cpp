// The FLAC reader (libFLAC's metadata and frame parsing plus our callbacks) on arbitrary
// bytes in a file: open, read to the end, seek, read again. Checks that reads are whole
// frames within the request, positions stay in range and tag strings are sound.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/SVFlacFile.h"

namespace {

// The input lives in a memory file, reached by path as the reader wants.
const std::string &inputPath()
{
    static std::string path;
    if (path.empty()) {
        int fd = memfd_create("flac-fuzz", 0);
        if (fd < 0)
            abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    return path;
}

void writeInput(const uint8_t *data, size_t size)
{
    int fd = atoi(inputPath().c_str() + strlen("/proc/self/fd/"));
    if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != ssize_t(size)))
        abort();
}

void checkText(const char *text)
{
    if (text && strlen(text) > (1u << 24))
        abort();
}

// Reads to the end in requests of `chunk` bytes; returns the bytes read.
uint64_t readAll(SVFile *f, std::vector<unsigned char> &buffer, int32_t chunk)
{
    const uint32_t frame = f->num_channels * f->bits_per_sample / 8;
    uint64_t total = 0;
    for (int reads = 0; reads < 100000; reads++) {
        int32_t n = f->read(f, buffer.data(), chunk);
        if (n == 0)
            return total;
        if (n < 0 || n > chunk || uint32_t(n) % frame != 0)
            abort();
        total += uint64_t(n);
    }
    abort();  // a read loop that never ends
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeInput(data, size);
    SVFile *f = SVFlacFileOpen(inputPath().c_str());
    if (!f)
        return 0;
    if (f->type != SVFileTypeFlac || f->num_channels < 1 || f->num_channels > 8 || f->bits_per_sample % 8 != 0 ||
        f->bits_per_sample < 8 || f->bits_per_sample > 32 || f->block_size == 0 || !(f->duration >= 0.0))
        abort();
    checkText(f->tag.title);
    checkText(f->tag.artist);
    checkText(f->tag.album);
    checkText(f->tag.genre);
    checkText(f->tag.cuesheet);
    if ((f->tag.picture == nullptr) != (f->tag.picture_size == 0) || f->tag.picture_size < 0)
        abort();

    const int32_t chunk = int32_t(f->block_size) * 2;
    std::vector<unsigned char> buffer(static_cast<size_t>(chunk));
    readAll(f, buffer, chunk);
    if (f->read(f, buffer.data(), int32_t(f->block_size) - 1) != 0)
        abort();
    for (double target : {f->duration / 2, 0.0, f->duration + 1}) {
        f->seek(f, target);
        double t = f->tell(f);
        if (!std::isfinite(t) || t < 0.0 || (f->duration > 0 && t > f->duration * 1.000001))
            abort();
        readAll(f, buffer, chunk);
    }
    SVFileClose(f);
    return 0;
}
