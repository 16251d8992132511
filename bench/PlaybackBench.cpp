// The engine's own cost: playing a WAV file through SVPlayer (the refills on the main run loop,
// the output queue, its sink thread) into `null-fast`, against reading the same file with
// SVFileRead alone, in the same run. Process CPU time, so the sink thread counts. Prints the
// ratio (1.0: the engine and queue cost nothing over the reader). Also measured once: the start
// latency (SVPlayFile to the first frames reaching the sink) and the share of a core taken by
// 10 s of 24-bit 96 kHz FLAC played into `null` at real-time pace.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/SVFile.h"
#include "engine/SVPlayer.h"
#include "platform/AudioQueue.h"

namespace {

struct Source {
    const char *name;
    uint32_t rate, bits, seconds;
    std::string path;
};

Source gSources[] = {
    {"16-bit 44.1 kHz", 44100, 16, 120, ""},
    {"24-bit 96 kHz", 96000, 24, 40, ""},
};

void BM_Read(benchmark::State &state, const Source *src)
{
    std::vector<char> buffer(65536);
    for (auto _ : state) {
        SVFile *f = SVFileOpen(src->path.c_str());
        if (!f) {
            state.SkipWithError("SVFileOpen failed");
            break;
        }
        uint64_t total = 0;
        int32_t n;
        while ((n = SVFileRead(f, buffer.data(), int32_t(buffer.size()))) > 0)
            total += uint64_t(n);
        SVFileClose(f);
        benchmark::DoNotOptimize(total);
        if (total != uint64_t(src->rate) * src->bits / 4 * src->seconds) {
            state.SkipWithError("short read");
            break;
        }
    }
}

struct Playback {
    SVPlayer *player = nullptr;
    QEventLoop *loop = nullptr;
    bool failed = false;
};

// Main run loop: the queue stopped after the end of the file.
void onEvent(void *user_data, int32_t event)
{
    auto *p = static_cast<Playback *>(user_data);
    if (event == SVEventError)
        p->failed = true;
    if (event == SVEventError || (event == SVEventPaused && SVGetStatus(p->player) == SVStatusEnded))
        p->loop->quit();
}

// Plays the whole file and returns once the queue has stopped; false on an error.
bool playToEnd(const std::string &path)
{
    QEventLoop loop;
    Playback p;
    p.player = SVCreate();
    p.loop = &loop;
    SVSetCallback(p.player, onEvent, &p);
    SVPlayFile(p.player, SVFileOpen(path.c_str()));
    if (!p.failed)
        loop.exec();
    SVDestroy(p.player);
    AudioQueueWaitForDisposed();
    return !p.failed;
}

void BM_Play(benchmark::State &state, const Source *src)
{
    setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    for (auto _ : state) {
        if (!playToEnd(src->path)) {
            state.SkipWithError("playback failed");
            break;
        }
    }
}

// SVPlayFile to the first frames the sink has taken, over several starts; the median and the worst.
void measureStartLatency(const std::string &path)
{
    setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
    std::vector<double> ms;
    for (int i = 0; i < 15; i++) {
        SVPlayer *player = SVCreate();
        SVFile *file = SVFileOpen(path.c_str());
        const auto start = std::chrono::steady_clock::now();
        SVPlayFile(player, file);
        const auto deadline = start + std::chrono::seconds(2);
        while (player->queue && AudioQueuePlayedFrames(player->queue) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        SVDestroy(player);
        AudioQueueWaitForDisposed();
    }
    std::sort(ms.begin(), ms.end());
    printf("start latency (24/96 FLAC, SVPlayFile to the sink): median %.2f ms, worst %.2f ms (goal <= 20 ms)\n",
           ms[ms.size() / 2], ms.back());
}

void measureRealTimeCost(const std::string &path, uint32_t seconds)
{
    setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
    const double before = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = playToEnd(path);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processCpuSeconds() - before;
    printf("real-time playback of %u s of 24/96 FLAC into null: %.2f s wall, %.3f s CPU = %.2f %% of a core "
           "per second of audio (goal <= 1 %%)%s\n",
           seconds, wall, cpu, 100.0 * cpu / seconds, ok ? "" : " [playback failed]");
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const std::string dir = makeBenchDir("playbench");
    if (dir.empty())
        return 1;
    const std::string flac = dir + "/hires.flac";
    const uint32_t flacSeconds = 10;
    bool ok = writeMusicFlac(flac, 96000, flacSeconds);
    for (Source &src : gSources) {
        src.path = dir + "/" + std::to_string(src.bits) + "-" + std::to_string(src.rate) + ".wav";
        ok = ok && writeNoiseWav(src.path, src.rate, src.bits, uint64_t(src.rate) * src.bits / 4 * src.seconds);
    }
    if (!ok) {
        fprintf(stderr, "cannot write the test files in %s\n", dir.c_str());
        removeBenchDir(dir);
        return 1;
    }

    const int repetitions = 3;
    for (int i = 0; i < repetitions; i++) {
        for (Source &src : gSources) {
            benchmark::RegisterBenchmark((std::string("read ") + src.name).c_str(), BM_Read, &src)
                ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
            benchmark::RegisterBenchmark((std::string("play ") + src.name).c_str(), BM_Play, &src)
                ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
        }
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    int status = 0;
    for (const Source &src : gSources) {
        const double read = reporter.best[std::string("read ") + src.name];
        const double play = reporter.best[std::string("play ") + src.name];
        if (read <= 0 || play <= 0) {
            fprintf(stderr, "a benchmark did not run for %s\n", src.name);
            status = 1;
            continue;
        }
        printf("%s, %u s: engine+queue / SVFileRead CPU ratio %.2f (%.2f ms CPU per second of audio, "
               "%.2f for the reader alone)\n",
               src.name, src.seconds, play / read, 1000 * play / src.seconds, 1000 * read / src.seconds);
    }
    measureStartLatency(flac);
    measureRealTimeCost(flac, flacSeconds);

    removeBenchDir(dir);
    return status;
}
