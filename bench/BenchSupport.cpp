#include "BenchSupport.h"

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
