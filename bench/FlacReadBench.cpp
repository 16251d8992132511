// Decoding a FLAC file through SVFileRead against a bare libFLAC decode of the same file
// (its stream decoder over the same file, a write callback that only looks at the samples),
// for 16-bit 44.1 kHz and 24-bit 96 kHz stereo, in the same run. Prints SVFileRead's
// throughput as a ratio of the bare decoder's (1.0: nothing added).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/SVFile.h"

namespace {

const int kSeconds = 60;
const int32_t kChunk = 65536 * 4;  // the player's buffer: several maximal 16-bit frames

struct Format {
    const char *name;
    unsigned bits;
    unsigned rate;
};
const Format kFormats[] = {{"16/44.1", 16, 44100}, {"24/96", 24, 96000}};

std::map<std::string, std::string> gPaths;  // format name -> file
std::map<std::string, uint64_t> gBytes;     // format name -> decoded PCM bytes

// A tone under noise: compresses like recorded music, not like silence.
bool writeFlac(const std::string &path, const Format &f)
{
    FLAC__StreamEncoder *e = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(e, 2);
    FLAC__stream_encoder_set_bits_per_sample(e, f.bits);
    FLAC__stream_encoder_set_sample_rate(e, f.rate);
    FLAC__stream_encoder_set_compression_level(e, 5);
    if (FLAC__stream_encoder_init_file(e, path.c_str(), nullptr, nullptr) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        FLAC__stream_encoder_delete(e);
        return false;
    }
    const int32_t peak = (1 << (f.bits - 1)) - 1;
    std::vector<FLAC__int32> block(2 * 4096);
    uint32_t x = 1;
    uint64_t phase = 0;
    bool ok = true;
    for (uint64_t left = uint64_t(f.rate) * kSeconds; ok && left > 0;) {
        unsigned n = unsigned(left < 4096 ? left : 4096);
        for (unsigned i = 0; i < n; i++, phase++) {
            int32_t tone = int32_t(peak / 2 * ((phase * 440 * 2 % f.rate) < f.rate ? 1 : -1) / 4);
            for (unsigned c = 0; c < 2; c++) {
                x = x * 1103515245u + 12345;
                block[2 * i + c] = tone + int32_t((x >> 8) % uint32_t(peak / 8)) - peak / 16;
            }
        }
        ok = FLAC__stream_encoder_process_interleaved(e, block.data(), n);
        left -= n;
    }
    ok = FLAC__stream_encoder_finish(e) && ok;
    FLAC__stream_encoder_delete(e);
    return ok;
}

FLAC__StreamDecoderWriteStatus bareWrite(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                         const FLAC__int32 *const buffer[], void *client)
{
    auto *sum = static_cast<uint64_t *>(client);
    *sum += uint32_t(buffer[0][0]) + uint32_t(buffer[1][frame->header.blocksize - 1]);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}
void bareError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *) {}

void BM_Libflac(benchmark::State &state, const std::string &format)
{
    for (auto _ : state) {
        uint64_t sum = 0;
        FLAC__StreamDecoder *d = FLAC__stream_decoder_new();
        if (FLAC__stream_decoder_init_file(d, gPaths[format].c_str(), bareWrite, nullptr, bareError, &sum) !=
                FLAC__STREAM_DECODER_INIT_STATUS_OK ||
            !FLAC__stream_decoder_process_until_end_of_stream(d)) {
            state.SkipWithError("libFLAC failed");
            FLAC__stream_decoder_delete(d);
            break;
        }
        FLAC__stream_decoder_delete(d);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gBytes[format]));
}

void BM_SVFileRead(benchmark::State &state, const std::string &format)
{
    std::vector<char> buffer(kChunk);
    for (auto _ : state) {
        SVFile *f = SVFileOpen(gPaths[format].c_str());
        if (!f) {
            state.SkipWithError("SVFileOpen failed");
            break;
        }
        uint64_t total = 0;
        int32_t n;
        while ((n = SVFileRead(f, buffer.data(), kChunk)) > 0)
            total += uint64_t(n);
        SVFileClose(f);
        benchmark::DoNotOptimize(total);
        if (total != gBytes[format])
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gBytes[format]));
}

// Alternating repetitions, so a burst of load on the machine falls on both sides.
const int kRepetitions = 5;

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string dir = makeBenchDir("flacbench");
    if (dir.empty())
        return 1;
    bool ok = true;
    for (const Format &f : kFormats) {
        std::string path = dir + "/" + std::to_string(f.bits) + ".flac";
        gPaths[f.name] = path;
        gBytes[f.name] = uint64_t(f.rate) * kSeconds * 2 * (f.bits / 8);
        ok = ok && writeFlac(path, f);
    }
    if (ok) {
        for (int i = 0; i < kRepetitions; i++) {
            for (const Format &f : kFormats) {
                std::string name = f.name;
                benchmark::RegisterBenchmark(("libFLAC " + name).c_str(), BM_Libflac, name)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.5);
                benchmark::RegisterBenchmark(("SVFileRead " + name).c_str(), BM_SVFileRead, name)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.5);
            }
        }
    }
    BestTimeReporter reporter;
    if (ok)
        benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeBenchDir(dir);
    if (!ok) {
        fprintf(stderr, "cannot write the FLAC files\n");
        return 1;
    }

    int status = 0;
    for (const Format &f : kFormats) {
        auto base = reporter.best.find(std::string("libFLAC ") + f.name);
        auto ours = reporter.best.find(std::string("SVFileRead ") + f.name);
        if (base == reporter.best.end() || ours == reporter.best.end() || ours->second <= 0) {
            fprintf(stderr, "a %s benchmark did not run\n", f.name);
            status = 1;
            continue;
        }
        printf("%s: SVFileRead / bare libFLAC throughput ratio %.3f by CPU time (fastest of %d runs each; "
               "expect >= 0.95)\n",
               f.name, base->second / ours->second, kRepetitions);
    }
    return status;
}
