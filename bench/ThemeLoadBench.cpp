// Loading a 200-line theme file as the theme loader does (new interpreter, open, load,
// free) against reading the same file's characters through the same kind of port without
// reading or evaluating anything, in the same run. Prints the time per load and the ratio
// load / characters: what the reader, interning and evaluation add on top of the input.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "theme/ThmInterpreter.h"
#include "theme/ThmObject.h"
#include "theme/ThmPort.h"

namespace {

const int kLines = 200;
std::string gPath;
int gEntries;  // association list entries the file holds

// Shaped like a shipped theme: a comment, a few definitions, one quoted association list
// of colour lists, insets, booleans as dotted pairs and image names.
std::string themeText()
{
    std::string s = "; Generated theme for the load benchmark\n";
    s += "(define grey 128)\n(define (half x) (/ x 2))\n(define inset (+ 10 2.5))\n";
    s += "(define (shade c k) (* c k))\n'(\n";
    int lines = 6;
    const char *parts[] = {"list", "cell", "header", "footer", "toolbar", "slider", "badge"};
    const char *what[] = {"title", "subtitle", "background", "separator", "detail"};
    for (int i = 0; lines < kLines - 1; i++, lines++, gEntries++) {
        std::string key = std::string(parts[i % 7]) + "-" + what[(i / 7) % 5] + "-" + std::to_string(i);
        char line[160];
        switch (i % 4) {
        case 0:
            snprintf(line, sizeof line, "  (%s-color %d %d %d 255)\n", key.c_str(), i % 256, (i * 7) % 256,
                     (i * 13) % 256);
            break;
        case 1:
            snprintf(line, sizeof line, "  (%s-inset-portrait %d %d.5 %d 40) ; insets\n", key.c_str(), i % 50,
                     i % 20, i % 30);
            break;
        case 2:
            snprintf(line, sizeof line, "  (%s-visible . %s)\n", key.c_str(), i % 3 ? "#t" : "#f");
            break;
        default:
            snprintf(line, sizeof line, "  (%s-image . \"Theme/%s \\\"%d\\\".png\")\n", key.c_str(), key.c_str(), i);
            break;
        }
        s += line;
    }
    s += ")\n";
    return s;
}

void BM_PortCharacters(benchmark::State &state)
{
    ThmObject *path = ThmStringFromUTF8(gPath.c_str());
    for (auto _ : state) {
        ThmObject *port = ThmOpenFile(path);
        if (!port) {
            state.SkipWithError("cannot open the file");
            break;
        }
        long count = 0;
        while (ThmPortRead(port) >= 0)
            count++;
        ThmRelease(port);
        benchmark::DoNotOptimize(count);
    }
    ThmRelease(path);
}

void BM_ThemeLoad(benchmark::State &state)
{
    ThmObject *path = ThmStringFromUTF8(gPath.c_str());
    for (auto _ : state) {
        ThmInterpreter *interp = ThmNewInterpreter();
        ThmObject *port = ThmOpenFile(path);
        if (!port) {
            ThmFreeInterpreter(interp);
            state.SkipWithError("cannot open the file");
            break;
        }
        ThmObject *value = ThmLoad(interp, port);
        ThmRelease(port);
        ThmFreeInterpreter(interp);
        int entries = 0;
        for (ThmObject *p = value; ThmIsPair(p); p = p->pair.cdr)
            entries++;
        ThmRelease(value);
        if (entries != gEntries) {
            state.SkipWithError("the theme did not load");
            break;
        }
    }
    ThmRelease(path);
}

// Alternating repetitions, so a burst of load on the machine falls on both sides.
const int kRepetitions = 5;

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string dir = makeBenchDir("themebench");
    if (dir.empty())
        return 1;
    gPath = dir + "/Bench.thm";
    std::string text = themeText();
    FILE *f = fopen(gPath.c_str(), "w");
    bool written = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f)
        written = fclose(f) == 0 && written;
    if (!written) {
        fprintf(stderr, "cannot write %s\n", gPath.c_str());
        removeBenchDir(dir);
        return 1;
    }
    for (int i = 0; i < kRepetitions; i++) {
        benchmark::RegisterBenchmark("port characters", BM_PortCharacters)->Unit(benchmark::kMicrosecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("theme load", BM_ThemeLoad)->Unit(benchmark::kMicrosecond)->MinTime(0.3);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeBenchDir(dir);

    auto base = reporter.bestReal.find("port characters");
    auto load = reporter.bestReal.find("theme load");
    if (base == reporter.bestReal.end() || load == reporter.bestReal.end() || base->second <= 0) {
        fprintf(stderr, "a benchmark did not run\n");
        return 1;
    }
    printf("theme load of %d lines (%zu bytes, %d entries): %.1f us per load\n", kLines, text.size(), gEntries,
           load->second * 1e6);
    printf("theme load / port characters time ratio: %.2f (fastest of %d runs each)\n", load->second / base->second,
           kRepetitions);
    return 0;
}
