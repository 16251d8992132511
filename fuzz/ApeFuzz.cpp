// The APE reader (FFmpeg's APE demuxer and decoder behind the decompressor, our frame
// checks) on arbitrary bytes in a file: open, read to the end, seek, read again.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/SVApeFile.h"

namespace {

int gFd = -1;

std::string writeInput(const uint8_t *data, size_t size)
{
    if (gFd < 0 && (gFd = memfd_create("ape-fuzz", 0)) < 0)
        abort();
    if (ftruncate(gFd, 0) != 0 || (size > 0 && pwrite(gFd, data, size, 0) != ssize_t(size)))
        abort();
    return "/proc/self/fd/" + std::to_string(gFd);
}

void readAll(SVFile *f, std::vector<unsigned char> &buffer)
{
    for (int reads = 0; reads < 10000; reads++) {
        int32_t n = f->read(f, buffer.data(), int32_t(buffer.size()));
        if (n == 0)
            return;
        if (n < 0 || size_t(n) > buffer.size() || uint32_t(n) % f->block_size != 0)
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SVFile *f = SVApeFileOpen(writeInput(data, size).c_str());
    if (!f)
        return 0;
    if (f->type != SVFileTypeApe || f->block_size == 0 || f->block_size != f->num_channels * f->bits_per_sample / 8 ||
        !(f->duration >= 0.0) || !SVTagIsEmpty(&f->tag))
        abort();
    std::vector<unsigned char> buffer(65536);
    readAll(f, buffer);
    for (double target : {f->duration / 3, f->duration + 1, 0.0}) {
        f->seek(f, target);
        double t = f->tell(f);
        if (!std::isfinite(t) || t < 0.0)
            abort();
        readAll(f, buffer);
    }
    SVFileClose(f);
    return 0;
}
