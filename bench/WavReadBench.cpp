// Reading a 200 MB WAV file through SVFileRead against plain fread of the same sample bytes,
// both from the page cache, in the same run. Prints SVFileRead's throughput as a ratio of
// fread's (1.0: no cost over the C library).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/SVFile.h"

namespace {

const uint32_t kDataBytes = 200u * 1000 * 1000;  // 16-bit stereo 44.1 kHz: about 19 minutes
const int32_t kChunk = 65536;                    // what the player asks for at a time
const long kDataPos = 44;

std::string gPath;

void BM_Fread(benchmark::State &state)
{
    std::vector<char> buffer(kChunk);
    for (auto _ : state) {
        FILE *f = fopen(gPath.c_str(), "rb");
        if (!f || fseek(f, kDataPos, SEEK_SET) != 0) {
            state.SkipWithError("cannot open the file");
            break;
        }
        uint64_t total = 0;
        size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), f)) > 0)
            total += n;
        fclose(f);
        benchmark::DoNotOptimize(total);
        if (total != kDataBytes)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kDataBytes);
}

void BM_SVFileRead(benchmark::State &state)
{
    std::vector<char> buffer(kChunk);
    for (auto _ : state) {
        SVFile *f = SVFileOpen(gPath.c_str());
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
        if (total != kDataBytes)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kDataBytes);
}

// Alternating repetitions, so a burst of load on the machine falls on both sides.
const int kRepetitions = 5;

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string dir = makeBenchDir("wavbench");
    if (dir.empty())
        return 1;
    gPath = dir + "/album.wav";
    if (!writeNoiseWav(gPath, 44100, 16, kDataBytes)) {
        fprintf(stderr, "cannot write %s\n", gPath.c_str());
        removeBenchDir(dir);
        return 1;
    }
    for (int i = 0; i < kRepetitions; i++) {
        benchmark::RegisterBenchmark("fread", BM_Fread)->Unit(benchmark::kMillisecond)->MinTime(0.5);
        benchmark::RegisterBenchmark("SVFileRead", BM_SVFileRead)->Unit(benchmark::kMillisecond)->MinTime(0.5);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeBenchDir(dir);

    auto base = reporter.best.find("fread");
    auto ours = reporter.best.find("SVFileRead");
    if (base == reporter.best.end() || ours == reporter.best.end() || ours->second <= 0) {
        fprintf(stderr, "a benchmark did not run\n");
        return 1;
    }
    printf("SVFileRead / fread throughput ratio: %.3f by CPU time, %.3f by wall time "
           "(fastest of %d runs each; expect >= 0.95)\n",
           base->second / ours->second,
           reporter.bestReal["fread"] / reporter.bestReal["SVFileRead"], kRepetitions);
    return 0;
}
