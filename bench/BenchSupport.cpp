#include "BenchSupport.h"

#include <FLAC/stream_encoder.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

void keepBest(std::map<std::string, double> &m, const std::string &name, double value)
{
    auto it = m.find(name);
    if (it == m.end() || value < it->second)
        m[name] = value;
}

}  // namespace

void BestTimeReporter::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
            continue;
        keepBest(best, run.run_name.function_name, run.cpu_accumulated_time / double(run.iterations));
        keepBest(bestReal, run.run_name.function_name, run.real_accumulated_time / double(run.iterations));
    }
}

std::string makeBenchDir(const char *name)
{
    const char *tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/sonavel-" + name + "-XXXXXX";
    if (!mkdtemp(dir.data())) {
        perror("mkdtemp");
        return {};
    }
    return dir;
}

void removeBenchDir(const std::string &dir)
{
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string wavHeader(uint32_t rate, uint32_t bits, uint64_t dataBytes)
{
    const uint32_t frame = 2 * bits / 8;
    std::string head = "RIFF";
    auto put = [&head](uint64_t v, int bytes) {
        for (int i = 0; i < bytes; i++)
            head += char(v >> (8 * i));
    };
    put(36 + dataBytes, 4);
    head += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // integer PCM
    put(2, 2);  // channels
    put(rate, 4);
    put(uint64_t(rate) * frame, 4);  // bytes a second
    put(frame, 2);
    put(bits, 2);
    head += "data";
    put(dataBytes, 4);
    return head;
}

bool writeNoiseWav(const std::string &path, uint32_t rate, uint32_t bits, uint64_t dataBytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const std::string head = wavHeader(rate, bits, dataBytes);
    bool ok = fwrite(head.data(), 1, head.size(), f) == head.size();
    // A block of whole frames, written again and again.
    std::vector<char> block(size_t(2 * bits / 8) * 65536);
    uint32_t x = 12345;
    for (char &c : block) {
        x = x * 1103515245u + 12345;
        c = char(x >> 16);
    }
    for (uint64_t left = dataBytes; ok && left > 0;) {
        size_t n = size_t(std::min<uint64_t>(left, block.size()));
        ok = fwrite(block.data(), 1, n, f) == n;
        left -= n;
    }
    return fclose(f) == 0 && ok;
}

bool writeMusicFlac(const std::string &path, uint32_t rate, uint32_t seconds)
{
    FLAC__StreamEncoder *e = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(e, 2);
    FLAC__stream_encoder_set_bits_per_sample(e, 24);
    FLAC__stream_encoder_set_sample_rate(e, rate);
    FLAC__stream_encoder_set_compression_level(e, 5);
    bool ok = FLAC__stream_encoder_init_file(e, path.c_str(), nullptr, nullptr) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    std::vector<FLAC__int32> pcm(2 * 4096);
    uint32_t x = 1;
    double phase = 0;
    for (uint64_t done = 0; ok && done < uint64_t(rate) * seconds; done += 4096) {
        for (size_t i = 0; i < 4096; i++) {
            x = x * 1103515245u + 12345;
            phase += 0.031;
            const int32_t v = int32_t(3000000.0 * std::sin(phase)) + int32_t(x >> 20) - 2048;
            pcm[2 * i] = v;
            pcm[2 * i + 1] = -v;
        }
        ok = FLAC__stream_encoder_process_interleaved(e, pcm.data(), 4096);
    }
    ok = FLAC__stream_encoder_finish(e) && ok;
    FLAC__stream_encoder_delete(e);
    return ok;
}
