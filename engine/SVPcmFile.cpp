#include "engine/SVPcmFile.h"

#include <cstdlib>

namespace {

int pcm_seek(SVFile *file, double seconds)
{
    auto *pf = static_cast<SVPcmFile *>(file);
    double t = seconds > 0 ? seconds : 0;  // NaN goes to the start too
    if (t > pf->duration)
        t = pf->duration;
    uint64_t frame = pf->duration > 0 ? uint64_t(t / pf->duration * double(pf->total_frames)) : 0;
    if (frame > pf->total_frames)
        frame = pf->total_frames;
    return fseek(pf->fp, long(pf->data_pos + int64_t(frame * pf->block_size)), SEEK_SET);
}

double pcm_tell(SVFile *file)
{
    auto *pf = static_cast<SVPcmFile *>(file);
    long pos = ftell(pf->fp);
    if (pos <= pf->data_pos || pf->total_frames == 0)
        return 0.0;
    uint64_t frames = uint64_t(pos - pf->data_pos) / pf->block_size;
    return double(frames) / double(pf->total_frames) * pf->duration;
}

int32_t pcm_read(SVFile *file, void *buffer, int32_t bytes)
{
    auto *pf = static_cast<SVPcmFile *>(file);
    long pos = ftell(pf->fp);
    if (pos < 0)
        return 0;
    int64_t n = pf->data_end - pos;
    if (n > bytes)
        n = bytes;
    if (n <= 0)
        return 0;
    clearerr(pf->fp);
    size_t got = fread(buffer, 1, size_t(n), pf->fp);
    // An I/O error is no end: the bytes read before it go out first.
    if (got == 0 && ferror(pf->fp))
        return -1;
    return int32_t(got);
}

void pcm_close(SVFile *file)
{
    auto *pf = static_cast<SVPcmFile *>(file);
    if (pf->fp)
        fclose(pf->fp);
    free(pf);
}

}  // namespace

SVPcmFile *SVPcmFileCreate(int32_t type)
{
    auto *pf = static_cast<SVPcmFile *>(calloc(1, sizeof(SVPcmFile)));
    if (!pf)
        return nullptr;
    pf->type = type;
    pf->seek = pcm_seek;
    pf->tell = pcm_tell;
    pf->read = pcm_read;
    pf->close = pcm_close;
    return pf;
}

void SVPcmFileFinish(SVPcmFile *pf, uint64_t max_frames)
{
    long file_end = 0;
    clearerr(pf->fp);
    // Writers that cannot seek back leave sizes at their maximum, and copies get cut short:
    // count only the whole frames that are there, so that reads, positions and the duration
    // agree and a partial last frame never shifts the samples of a following file.
    if (fseek(pf->fp, 0, SEEK_END) == 0 && (file_end = ftell(pf->fp)) >= 0 && pf->data_end > file_end)
        pf->data_end = file_end;
    if (pf->data_end < pf->data_pos)
        pf->data_end = pf->data_pos;
    pf->total_frames = uint64_t(pf->data_end - pf->data_pos) / pf->block_size;
    if (pf->total_frames > max_frames)
        pf->total_frames = max_frames;
    pf->data_end = pf->data_pos + int64_t(pf->total_frames * pf->block_size);
    pf->duration = double(pf->total_frames) / pf->sample_rate;
    fseek(pf->fp, pf->data_pos, SEEK_SET);
}
