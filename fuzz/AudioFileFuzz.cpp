// The platform reader over the audio-file service (our MP3 frame header reading, FFmpeg's MP3,
// MP4 and WavPack demuxers, our packet index, ID3 search and trim, the WavPack decoding) on
// arbitrary bytes in a file: open, read every packet and decode it (or read the PCM), seek,
// translate positions.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/SVCoreAudioFile.h"
#include "platform/PacketDecoder.h"

namespace {

int gFd = -1;

std::string writeInput(const uint8_t *data, size_t size)
{
    if (gFd < 0 && (gFd = memfd_create("audio-file-fuzz", 0)) < 0)
        abort();
    if (ftruncate(gFd, 0) != 0 || (size > 0 && pwrite(gFd, data, size, 0) != ssize_t(size)))
        abort();
    return "/proc/self/fd/" + std::to_string(gFd);
}

// A decoded (WavPack) stream: whole frames of PCM, no more than its length.
void readPcmRest(SVFile *f)
{
    const uint32_t frame = f->num_channels * f->bits_per_sample / 8;
    const int32_t chunk = int32_t(frame) * 5000;
    std::vector<uint8_t> buffer(static_cast<size_t>(chunk));
    uint64_t total = 0;
    for (int reads = 0; reads < 100000; reads++) {
        int32_t n = f->read(f, buffer.data(), chunk);
        if (n < 0 || n > chunk || uint32_t(n) % frame != 0)
            abort();
        if (n == 0)
            return;
        total += uint64_t(n) / frame;
        if (total > uint64_t(f->duration * f->sample_rate) + 1)
            abort();
    }
    abort();  // a read loop that never ends
}

// Reads and decodes from the current position to the end.
void playRest(SVFile *f)
{
    if (f->type == SVFileTypeCoreAudioPcm) {
        readPcmRest(f);
        return;
    }
    const AudioStreamBasicDescription *format = SVCoreAudioFileFormat(f);
    std::vector<uint8_t> cookie = SVCoreAudioFileMagicCookie(f);
    SVPacketDecoder *decoder = SVPacketDecoderCreate(format, cookie.data(), uint32_t(cookie.size()));
    int64_t skip = 0, keep = -1;
    SVCoreAudioFileTrim(f, &skip, &keep);
    if (skip < 0)
        abort();
    SVPacketDecoderSetTrim(decoder, skip, keep);
    const int32_t chunk = int32_t(f->block_size) * 8;
    std::vector<uint8_t> buffer(static_cast<size_t>(chunk)), pcm;
    size_t decoded = 0;
    for (int reads = 0; reads < 10000; reads++) {
        AudioStreamPacketDescription *descriptions = nullptr;
        uint32_t packets = 0;
        int32_t n = SVCoreAudioFileRead(f, buffer.data(), chunk, &descriptions, &packets);
        if (n < 0 || n > chunk)
            abort();
        for (uint32_t k = 0; descriptions && k < packets; k++)
            if (descriptions[k].mStartOffset < 0 || uint64_t(descriptions[k].mStartOffset) + descriptions[k].mDataByteSize > uint64_t(n))
                abort();
        if (n > 0)
            SVPacketDecoderDecode(decoder, buffer.data(), uint32_t(n), descriptions, packets, pcm);
        free(descriptions);
        decoded += pcm.size();
        pcm.clear();
        if (n == 0)
            break;
    }
    SVPacketDecoderDrain(decoder, pcm);
    decoded += pcm.size();
    // The trim holds, whatever the packets decode to.
    if (keep >= 0 && decoded > size_t(keep) * f->num_channels * 2)
        abort();
    SVPacketDecoderFree(decoder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SVFile *f = SVCoreAudioFileOpen(writeInput(data, size).c_str());
    if (!f)
        return 0;
    if ((f->type != SVFileTypeCoreAudio && f->type != SVFileTypeCoreAudioPcm) || f->num_channels == 0 ||
        f->block_size == 0 || !(f->duration >= 0.0))
        abort();
    playRest(f);
    for (double target : {f->duration / 2, f->duration + 1, 0.0}) {
        f->seek(f, target);
        double t = f->tell(f);
        if (!std::isfinite(t) || t < 0.0 || t > f->duration * 1.000001 + 1e-9)
            abort();
        playRest(f);
    }
    SVFileClose(f);
    return 0;
}
