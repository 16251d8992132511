// What a library scan pays per file: building the playable item of a 10-minute MP3 and of a
// 10-minute M4A against a 10-minute FLAC of the same sound, in the same run (files made by
// ffmpeg; 40 hard links to each, so every item is a separate path of one cached file).
// Prints items per second of each and the MP3 and M4A rates as ratios of FLAC's (goal for MP3:
// >= 0.3), the packets read per item (goal: none), and for comparison the cost of an MP3 item
// followed by the packet index that playing or seeking it builds.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QString>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/SVCoreAudioFile.h"
#include "engine/SVFile.h"
#include "metadata/PlayableItem.h"
#include "platform/AudioFileService.h"

namespace {

const int kLinks = 40;

struct Library {
    const char *name;
    const char *extension;
    std::vector<QString> paths;
};
Library gFlac = {"FLAC", "flac", {}};
Library gMp3 = {"MP3", "mp3", {}};
Library gM4a = {"M4A", "m4a", {}};

void buildItems(benchmark::State &state, const Library &library)
{
    for (auto _ : state) {
        for (const QString &path : library.paths) {
            PlayableItemPtr item = PlayableItem::itemWithPath(path);
            if (!item || item->totalTime() < 599.0f) {
                state.SkipWithError("an item was not built");
                return;
            }
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(library.paths.size()));
}

void BM_FlacItems(benchmark::State &state) { buildItems(state, gFlac); }
void BM_Mp3Items(benchmark::State &state) { buildItems(state, gMp3); }
void BM_M4aItems(benchmark::State &state) { buildItems(state, gM4a); }

// An item, then the packet index that the first read of the file builds.
void BM_Mp3ItemsIndexed(benchmark::State &state)
{
    for (auto _ : state) {
        for (const QString &path : gMp3.paths) {
            PlayableItemPtr item = PlayableItem::itemWithPath(path);
            SVFile *f = SVFileOpen(path.toUtf8().constData());
            int64_t skip = 0, keep = -1;
            SVCoreAudioFileTrim(f, &skip, &keep);
            SVFileClose(f);
            if (!item || keep <= 0) {
                state.SkipWithError("an item was not built");
                return;
            }
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(gMp3.paths.size()));
}

bool run(const std::string &command)
{
    if (system(command.c_str()) == 0)
        return true;
    fprintf(stderr, "failed: %s\n", command.c_str());
    return false;
}

bool makeLibrary(const std::string &dir, Library &library, const std::string &encode)
{
    const std::string source = dir + "/source." + library.extension;
    if (!run("ffmpeg -nostdin -v error -y -i " + dir + "/source.wav " + encode +
             " -metadata title=Song -metadata artist=Band -metadata album=Record " + source))
        return false;
    for (int n = 0; n < kLinks; n++) {
        std::string path = dir + "/" + std::to_string(n) + "." + library.extension;
        if (link(source.c_str(), path.c_str()) != 0) {
            perror("link");
            return false;
        }
        library.paths.push_back(QString::fromStdString(path));
    }
    return true;
}

// Alternating repetitions, so a burst of load on the machine falls on every side.
const int kRepetitions = 5;

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string dir = makeBenchDir("itemcost");
    if (dir.empty())
        return 1;
    // Item building reads the encoding preference; keep it away from the real one.
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    // A tone under pink noise: compresses like recorded music, not like silence.
    bool ok = run("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=600 -f lavfi "
                  "-i anoisesrc=d=600:c=pink:r=44100:a=0.1 -filter_complex [0][1]amerge=inputs=2 " +
                  dir + "/source.wav") &&
              makeLibrary(dir, gFlac, "-c:a flac") && makeLibrary(dir, gMp3, "-c:a libmp3lame -b:a 192k") &&
              makeLibrary(dir, gM4a, "-c:a aac -b:a 192k");
    if (!ok) {
        removeBenchDir(dir);
        return 1;
    }

    const uint64_t before = AudioFileServicePacketsRead();
    for (const QString &path : gMp3.paths)
        PlayableItem::itemWithPath(path);
    for (const QString &path : gM4a.paths)
        PlayableItem::itemWithPath(path);
    const double packetsPerItem = double(AudioFileServicePacketsRead() - before) / (2 * kLinks);

    for (int i = 0; i < kRepetitions; i++) {
        benchmark::RegisterBenchmark("FLAC items", BM_FlacItems)->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("MP3 items", BM_Mp3Items)->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("M4A items", BM_M4aItems)->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("MP3 items indexed", BM_Mp3ItemsIndexed)->Unit(benchmark::kMillisecond)->MinTime(0.3);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeBenchDir(dir);

    for (const char *name : {"FLAC items", "MP3 items", "M4A items", "MP3 items indexed"}) {
        if (reporter.best[name] <= 0) {
            fprintf(stderr, "a benchmark did not run\n");
            return 1;
        }
    }
    auto rate = [&](const char *name) { return kLinks / reporter.best[name]; };
    printf("items per second (CPU time, fastest of %d runs): FLAC %.0f, MP3 %.0f, M4A %.0f; MP3 with its packet "
           "index %.0f\n",
           kRepetitions, rate("FLAC items"), rate("MP3 items"), rate("M4A items"), rate("MP3 items indexed"));
    printf("MP3 items at %.3f x FLAC's rate (goal >= 0.3), M4A at %.3f x; packets read per MP3/M4A item: %.1f "
           "(goal 0)\n",
           rate("MP3 items") / rate("FLAC items"), rate("M4A items") / rate("FLAC items"), packetsPerItem);
    return 0;
}
