// Building playable items for a library of 1,000 small FLAC files (tags and a front cover;
// 100 of them with a cue sheet of 12 tracks beside them) against a bare loop that opens each
// file with libFLAC and reads its metadata, in the same run. Prints items per second as a
// ratio of the bare loop's files per second (1.0: building an item costs nothing more).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "LibraryGenerator.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "metadata/PlayableItem.h"

namespace {

const int kFiles = 1000;
const int kWithCue = 100;
const int kCueTracks = 12;

std::vector<std::string> gPaths;

bool writeFlac(const std::string &path, int n, const std::string &cover)
{
    return library::writeTaggedFlac(path,
                                    {"TITLE=Song " + std::to_string(n), "ARTIST=Artist " + std::to_string(n % 37),
                                     "ALBUM=Album " + std::to_string(n / 10), "GENRE=Jazz", "DATE=1999",
                                     "TRACKNUMBER=" + std::to_string(n % 10 + 1)},
                                    n, cover);
}

bool writeCue(const std::string &path, int n)
{
    std::string sheet = "PERFORMER \"Band\"\nTITLE \"Live " + std::to_string(n) + "\"\nFILE \"x.flac\" WAVE\n";
    for (int t = 0; t < kCueTracks; t++) {
        char lines[128];
        snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n    TITLE \"Part %d\"\n    INDEX 01 00:00:%02d\n",
                 t + 1, t + 1, t * 5);
        sheet += lines;
    }
    return library::writeText(path, sheet);
}

void onMetadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *client)
{
    *static_cast<uint64_t *>(client) += metadata->length;
}

FLAC__StreamDecoderWriteStatus onFrame(const FLAC__StreamDecoder *, const FLAC__Frame *,
                                       const FLAC__int32 *const[], void *)
{
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void onError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *) {}

void BM_BareLibFlac(benchmark::State &state)
{
    for (auto _ : state) {
        uint64_t seen = 0;
        for (const std::string &path : gPaths) {
            FLAC__StreamDecoder *decoder = FLAC__stream_decoder_new();
            FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
            FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_PICTURE);
            if (FLAC__stream_decoder_init_file(decoder, path.c_str(), onFrame, onMetadata, onError, &seen) !=
                    FLAC__STREAM_DECODER_INIT_STATUS_OK ||
                !FLAC__stream_decoder_process_until_end_of_metadata(decoder))
                state.SkipWithError("libFLAC could not read a file");
            FLAC__stream_decoder_delete(decoder);
        }
        benchmark::DoNotOptimize(seen);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFiles);
}

void BM_ItemWithPath(benchmark::State &state)
{
    for (auto _ : state) {
        qsizetype tracks = 0;
        for (const std::string &path : gPaths) {
            PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromStdString(path));
            if (!item || !item->hasEmbeddedCoverImage()) {
                state.SkipWithError("an item was not built");
                break;
            }
            tracks += item->subItems().size();
        }
        if (tracks != kWithCue * kCueTracks)
            state.SkipWithError("cue sheets were not all read");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFiles);
}

// Alternating repetitions, so a burst of load on the machine falls on both sides.
const int kRepetitions = 5;

}  // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // Item building reads the encoding preference; keep it away from the real one.
    qputenv("XDG_CONFIG_HOME", QDir(dir.path()).filePath("config").toLocal8Bit());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    std::string cover(24000, '\0');
    for (size_t i = 0; i < cover.size(); i++)
        cover[i] = char(i * 131 + 7);
    for (int n = 0; n < kFiles; n++) {
        std::string base = dir.path().toStdString() + "/song" + std::to_string(n);
        gPaths.push_back(base + ".flac");
        if (!writeFlac(gPaths.back(), n, cover) || (n % (kFiles / kWithCue) == 0 && !writeCue(base + ".cue", n))) {
            fprintf(stderr, "cannot write the library\n");
            return 1;
        }
    }

    for (int i = 0; i < kRepetitions; i++) {
        benchmark::RegisterBenchmark("bare libFLAC", BM_BareLibFlac)->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("itemWithPath", BM_ItemWithPath)->Unit(benchmark::kMillisecond)->MinTime(0.3);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto base = reporter.best.find("bare libFLAC");
    auto ours = reporter.best.find("itemWithPath");
    if (base == reporter.best.end() || ours == reporter.best.end() || ours->second <= 0) {
        fprintf(stderr, "a benchmark did not run\n");
        return 1;
    }
    printf("itemWithPath: %.0f items/s; bare libFLAC: %.0f files/s (CPU time); ratio %.3f by CPU "
           "time, %.3f by wall time (fastest of %d runs each; expect >= 0.8)\n",
           kFiles / ours->second, kFiles / base->second, base->second / ours->second,
           reporter.bestReal["bare libFLAC"] / reporter.bestReal["itemWithPath"], kRepetitions);
    return 0;
}
