// What every benchmark program here shares: the fastest-repetition reporter behind each
// printed ratio, a scratch folder for the files it measures, the process's CPU time, and
// generated audio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Keeps the fastest repetition of each benchmark, the least disturbed by other work on a small
// shared machine. Ratios are taken from CPU time; wall time mostly measures the neighbours.
class BestTimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override;

    std::map<std::string, double> best;      // CPU seconds per iteration
    std::map<std::string, double> bestReal;  // wall seconds per iteration
};

// A new folder under $TMPDIR (or /tmp) named after `name`; empty, with a message, on failure.
std::string makeBenchDir(const char *name);
// Removes the folder and everything in it.
void removeBenchDir(const std::string &dir);

// The CPU seconds this process has used, every thread's (a sink thread's too).
double processCpuSeconds();

// The 44-byte header of a WAV file of stereo integer PCM.
std::string wavHeader(uint32_t rate, uint32_t bits, uint64_t dataBytes);
// A WAV file of `dataBytes` of stereo noise: every byte read counts, none is silence.
bool writeNoiseWav(const std::string &path, uint32_t rate, uint32_t bits, uint64_t dataBytes);

// `seconds` of 24-bit stereo FLAC at `rate`: a tone with mild noise, so that it decodes like
// music rather than like static.
bool writeMusicFlac(const std::string &path, uint32_t rate, uint32_t seconds);
