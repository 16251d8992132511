// What every benchmark program here shares: the fastest-repetition reporter behind each
// printed ratio, and a scratch folder for the files it measures.
#pragma once

#include <benchmark/benchmark.h>

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
