// The library scan over a generated library of 2,000 short FLAC files in 100 album folders
// (each folder with a cover image, every tenth file with a cue sheet of 12 tracks beside it):
// the first scan, which builds every item, against a rescan of the unchanged library, which
// reuses them from the item cache, in the same run. Prints the ratio (goal: >= 20) and the
// worst lateness of a 10 ms main-thread timer during a first scan (goal: <= 50 ms), then checks
// that a changed tag and a new cue sheet are picked up by a rescan.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "platform/AudioQueue.h"
#include "playback/UniPlayer.h"

namespace {

const int kFolders = 100;
const int kFilesPerFolder = 20;
const int kFiles = kFolders * kFilesPerFolder;
const int kCueTracks = 12;
const unsigned kFrames = 4410;  // a tenth of a second: the scan never decodes audio

std::string gRoot;
std::unique_ptr<UniPlayer> gPlayer;
double gWorstTimerDelayMs = 0;

bool writeFlac(const std::string &path, const std::string &title, int n)
{
    FLAC__StreamMetadata *vc = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    const std::string comments[] = {
        "TITLE=" + title, "ARTIST=Artist " + std::to_string(n % 37), "ALBUM=Album " + std::to_string(n / kFilesPerFolder),
        "TRACKNUMBER=" + std::to_string(n % kFilesPerFolder + 1),
    };
    for (const std::string &c : comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        entry.length = FLAC__uint32(c.size());
        entry.entry = reinterpret_cast<FLAC__byte *>(const_cast<char *>(c.data()));
        FLAC__metadata_object_vorbiscomment_append_comment(vc, entry, true);
    }
    FLAC__StreamEncoder *enc = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(enc, 2);
    FLAC__stream_encoder_set_bits_per_sample(enc, 16);
    FLAC__stream_encoder_set_sample_rate(enc, 44100);
    FLAC__stream_encoder_set_compression_level(enc, 0);
    FLAC__stream_encoder_set_metadata(enc, &vc, 1);
    bool ok = FLAC__stream_encoder_init_file(enc, path.c_str(), nullptr, nullptr) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    std::vector<FLAC__int32> samples(kFrames * 2);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = FLAC__int32((i * 7919 + unsigned(n)) % 20000) - 10000;
    ok = ok && FLAC__stream_encoder_process_interleaved(enc, samples.data(), kFrames);
    ok = FLAC__stream_encoder_finish(enc) && ok;
    FLAC__stream_encoder_delete(enc);
    FLAC__metadata_object_delete(vc);
    return ok;
}

bool writeText(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

std::string cueSheet(const std::string &file)
{
    std::string sheet = "PERFORMER \"Band\"\nTITLE \"Live\"\nFILE \"" + file + "\" WAVE\n";
    for (int t = 0; t < kCueTracks; t++) {
        char lines[128];
        snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n    TITLE \"Part %d\"\n    INDEX 01 00:00:%02d\n", t + 1, t + 1, t * 5);
        sheet += lines;
    }
    return sheet;
}

std::string folderOf(int n) { return gRoot + "/Artist " + std::to_string(n / kFilesPerFolder % 10) + "/Album " + std::to_string(n / kFilesPerFolder); }
std::string fileOf(int n) { return folderOf(n) + "/" + std::to_string(n % kFilesPerFolder + 1) + " Song.flac"; }

bool writeLibrary()
{
    std::string cover(20000, '\0');
    for (size_t i = 0; i < cover.size(); i++)
        cover[i] = char(i * 131 + 7);
    for (int n = 0; n < kFiles; n++) {
        if (n % kFilesPerFolder == 0) {
            std::string folder = folderOf(n);
            if (!QDir().mkpath(QString::fromStdString(folder)) ||
                !writeText(folder + "/Album " + std::to_string(n / kFilesPerFolder) + ".jpg", cover))
                return false;
        }
        if (!writeFlac(fileOf(n), "Song " + std::to_string(n), n))
            return false;
        if (n % 10 == 5) {
            std::string flac = fileOf(n);
            if (!writeText(flac.substr(0, flac.size() - 5) + ".cue", cueSheet(flac)))
                return false;
        }
    }
    return true;
}

// Runs one scan of `app` to its completion; its wall time in seconds.
double timedScan(AppDelegate &app)
{
    QEventLoop loop;
    QMetaObject::Connection c = QObject::connect(&app, &AppDelegate::libraryChanged, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    app.loadMusics();
    loop.exec();
    double seconds = double(clock.nsecsElapsed()) / 1e9;
    QObject::disconnect(c);
    return seconds;
}

void BM_FirstScan(benchmark::State &state)
{
    for (auto _ : state) {
        AppDelegate app(gPlayer.get());  // an empty item cache
        // How late a 10 ms main-thread timer fires while the scan runs.
        QElapsedTimer since;
        double worst = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worst = std::max(worst, double(since.nsecsElapsed()) / 1e6 - 10);
            since.restart();
        });
        since.start();
        tick.start(10);
        state.SetIterationTime(timedScan(app));
        gWorstTimerDelayMs = std::max(gWorstTimerDelayMs, worst);
        if (app.playableItems()->size() != kFiles)
            state.SkipWithError("the library is not whole");
    }
}

std::unique_ptr<AppDelegate> gWarm;

void BM_Rescan(benchmark::State &state)
{
    for (auto _ : state) {
        state.SetIterationTime(timedScan(*gWarm));
        if (gWarm->playableItems()->size() != kFiles)
            state.SkipWithError("the library is not whole");
    }
}

// A changed tag and a new cue sheet must show after a rescan of the warm cache.
bool changesArePickedUp()
{
    const int tagged = 42, sheeted = 77;
    if (!writeFlac(fileOf(tagged), "Changed Title", tagged))
        return false;
    std::string flac = fileOf(sheeted);
    if (!writeText(flac.substr(0, flac.size() - 5) + ".cue", cueSheet(flac)))
        return false;
    timedScan(*gWarm);
    bool titleSeen = false, sheetSeen = false;
    for (const PlayableItemPtr &item : *gWarm->playableItems()) {
        if (item->path() == QString::fromStdString(fileOf(tagged)))
            titleSeen = item->title() == "Changed Title";
        if (item->path() == QString::fromStdString(fileOf(sheeted)))
            sheetSeen = item->subItems().size() == kCueTracks;
    }
    printf("rescan after a changed tag: %s; after a new cue sheet: %s\n", titleSeen ? "picked up" : "MISSED",
           sheetSeen ? "picked up" : "MISSED");
    return titleSeen && sheetSeen;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string base = makeBenchDir("scan");
    if (base.empty())
        return 1;
    // Item building reads the encoding preference; keep it away from the real one.
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    gRoot = base + "/Documents";
    setenv("SONAVEL_DOCUMENTS", gRoot.c_str(), 1);
    setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!writeLibrary()) {
        fprintf(stderr, "cannot write the library\n");
        removeBenchDir(base);
        return 1;
    }
    gPlayer = UniPlayer::create();
    gWarm = std::make_unique<AppDelegate>(gPlayer.get());
    timedScan(*gWarm);

    // First scans take seconds each (the prescribed pauses alone are two): three of them.
    for (int i = 0; i < 3; i++) {
        benchmark::RegisterBenchmark("first scan", BM_FirstScan)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
        benchmark::RegisterBenchmark("rescan", BM_Rescan)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    bool picked = changesArePickedUp();
    gWarm.reset();
    gPlayer.reset();
    AudioQueueWaitForDisposed();
    removeBenchDir(base);

    auto first = reporter.bestReal.find("first scan");
    auto rescan = reporter.bestReal.find("rescan");
    if (first == reporter.bestReal.end() || rescan == reporter.bestReal.end() || rescan->second <= 0) {
        fprintf(stderr, "a benchmark did not run\n");
        return 1;
    }
    printf("library of %d files: first scan %.0f ms, rescan of the unchanged library %.1f ms: %.0fx faster "
           "(wall time, fastest of 3 runs each; goal >= 20)\n",
           kFiles, first->second * 1e3, rescan->second * 1e3, first->second / rescan->second);
    printf("worst lateness of a 10 ms main-thread timer during a first scan: %.1f ms (goal <= 50)\n", gWorstTimerDelayMs);
    return picked ? 0 : 1;
}
