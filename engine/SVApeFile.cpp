#include "engine/SVApeFile.h"

#include <cassert>
#include <climits>
#include <new>

#include "platform/ApeDecompress.h"

namespace {

struct SVApeFile : SVFile {
    IAPEDecompress *decoder;
    uint64_t position;      // current block
    uint64_t total_frames;  // from the millisecond length, so close to the true block count
};

int32_t ape_read(SVFile *file, void *buffer, int32_t bytes)
{
    assert(file->type == SVFileTypeApe);
    SVApeFile *af = static_cast<SVApeFile *>(file);
    if (bytes <= 0 || af->block_size == 0)
        return 0;
    int64_t retrieved = 0;
    af->decoder->GetData(static_cast<unsigned char *>(buffer), (uint32_t)bytes / af->block_size,
                         &retrieved);
    af->position += (uint64_t)retrieved;
    return (int32_t)(retrieved * af->block_size);
}

int ape_seek(SVFile *file, double seconds)
{
    assert(file->type == SVFileTypeApe);
    SVApeFile *af = static_cast<SVApeFile *>(file);
    double t = seconds > 0.0 ? seconds : 0.0;  // NaN goes to 0 too
    if (t > af->duration)
        t = af->duration;
    uint64_t block =
        af->duration > 0.0 ? (uint64_t)(t / af->duration * (double)af->total_frames) : 0;
    // All 64 bits: a 32-bit block number wraps after 13.5 hours at 44.1 kHz.
    int result = af->decoder->Seek((int64_t)block);
    af->position = block;
    return result == ERROR_SUCCESS;
}

double ape_tell(SVFile *file)
{
    assert(file->type == SVFileTypeApe);
    SVApeFile *af = static_cast<SVApeFile *>(file);
    if (af->total_frames == 0)
        return 0.0;
    return (double)af->position / (double)af->total_frames * af->duration;
}

void ape_close(SVFile *file)
{
    assert(file->type == SVFileTypeApe);
    SVApeFile *af = static_cast<SVApeFile *>(file);
    delete af->decoder;
    delete af;
}

}  // namespace

SVFile *SVApeFileOpen(const char *path)
{
    SVApeFile *af = new (std::nothrow) SVApeFile();
    SVFile *f = af;
    str_utfn *widePath;
    int64_t lengthMs;

    if (!af) {
        SV_FAILED("af != NULL");
        return nullptr;
    }
    widePath = CAPECharacterHelper::GetUTF16FromUTF8(path);
    af->type = SVFileTypeApe;
    af->seek = ape_seek;
    af->tell = ape_tell;
    af->read = ape_read;
    af->close = ape_close;

    af->decoder = CreateIAPEDecompress(widePath, nullptr);
    delete[] widePath;
    SV_CHECK(af->decoder != 0);

    af->sample_rate = (uint32_t)af->decoder->GetInfo(APE_INFO_SAMPLE_RATE, 0, 0);
    af->bits_per_sample = (uint32_t)af->decoder->GetInfo(APE_INFO_BITS_PER_SAMPLE, 0, 0);
    af->num_channels = (uint32_t)af->decoder->GetInfo(APE_INFO_CHANNELS, 0, 0);
    lengthMs = af->decoder->GetInfo(APE_INFO_LENGTH_MS, 0, 0);
    if (lengthMs > INT32_MAX)
        lengthMs = INT32_MAX;
    af->block_size = af->num_channels * af->bits_per_sample / 8;
    af->duration = (double)((float)(int32_t)lengthMs / 1000.0f);
    af->total_frames = (uint64_t)(af->duration * af->sample_rate);
    af->big_endian = 0;
    return f;

fail:
    SVFileClose(f);
    return nullptr;
}
