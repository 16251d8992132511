// Listing a folder of 10,000 entries (100 folders, 9,900 files of mixed-case names) as the
// folder browser and the file chooser list it (folders first, case-insensitive, hidden entries,
// the chooser asking the play list about every file) against a bare QDir listing of the same
// folder with the same order, in the same run. Prints the times and the ratio
// QDir / ours (at least 0.5: ours at most twice the bare listing), then the time to open the
// folder browser and the file chooser on that folder, offscreen, until their rows are shown.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "files/FolderModel.h"
#include "files/SVFileChooser.h"
#include "files/SVFolderViewController.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "playback/PlayList.h"
#include "playback/UniPlayer.h"

namespace {

const int kFolders = 100;
const int kFiles = 9900;
QString gDir;
PlayList *gPlayList;

// An empty library: the chooser's question is about the playlist, not the library.
struct EmptyLibrary : PlayListLibrary {
    std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const override
    {
        return std::make_shared<const QList<PlayableItemPtr>>();
    }
    void loadMusics() override {}
};

bool makeEntries(const QString &dir)
{
    const char *const kinds[] = {"flac", "APE", "wav", "m4a", "cue", "jpg"};
    for (int i = 0; i < kFolders; i++) {
        if (!QDir().mkpath(QStringLiteral("%1/%2 Album %3").arg(dir, i % 2 ? "live" : "Studio").arg(i)))
            return false;
    }
    for (int i = 0; i < kFiles; i++) {
        QFile f(QStringLiteral("%1/%2 Track %3.%4")
                    .arg(dir, i % 3 ? "the" : "The").arg(i, 5, 10, QChar('0')).arg(kinds[i % 6]));
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

void BM_QDirListing(benchmark::State &state)
{
    for (auto _ : state) {
        QStringList names = QDir(gDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                                 QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
        if (names.size() != kFolders + kFiles) {
            state.SkipWithError("QDir listed the wrong number of entries");
            break;
        }
    }
}

void BM_FolderBrowserListing(benchmark::State &state)
{
    for (auto _ : state) {
        FolderModel model(FolderModel::Kind::Browser, gDir);
        if (!model.loadFiles() || model.count() != kFolders + kFiles || !model.isFolder(kFolders - 1)) {
            state.SkipWithError("the browser listed the wrong entries");
            break;
        }
    }
}

void BM_FileChooserListing(benchmark::State &state)
{
    for (auto _ : state) {
        FolderModel model(FolderModel::Kind::Chooser, gDir, gPlayList);
        if (!model.loadFiles() || model.count() != kFolders + kFiles || !model.isDisabled(kFolders + 1)) {
            state.SkipWithError("the chooser listed the wrong entries");
            break;
        }
    }
}

// Milliseconds from making the screen to its rows shown in a laid-out window.
double openMs(const std::function<ViewController *()> &make)
{
    QElapsedTimer timer;
    timer.start();
    Window window;
    ViewController *screen = make();
    window.setRootViewController(new NavigationController(screen));
    window.show();
    QCoreApplication::processEvents();
    auto *table = static_cast<TableViewController *>(screen)->tableView();
    if (table->tableModel()->rowCount() != kFolders + kFiles)
        return -1;
    table->viewport()->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

const int kRepetitions = 5;

}  // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    const std::string dir = makeBenchDir("folderbench");
    if (dir.empty())
        return 1;
    gDir = QString::fromStdString(dir) + "/Music";
    // Preferences of their own, so the play list's playlist mode touches nothing of the user's.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir + "/config"));
    qputenv("SONAVEL_DOCUMENTS", gDir.toUtf8());
    Preferences::reset();
    if (!makeEntries(gDir)) {
        fprintf(stderr, "cannot make the folder's entries\n");
        removeBenchDir(dir);
        return 1;
    }
    Preferences::setInteger("Organize", 3);
    Preferences::setObject("CurrentPlaylist", "none.m3u");
    EmptyLibrary library;
    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    auto playList = std::make_unique<PlayList>(&library, player.get());
    playList->updatePlayList();
    gPlayList = playList.get();

    for (int i = 0; i < kRepetitions; i++) {
        benchmark::RegisterBenchmark("QDir listing", BM_QDirListing)->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("folder browser listing", BM_FolderBrowserListing)->Unit(benchmark::kMillisecond)->MinTime(0.3);
        benchmark::RegisterBenchmark("file chooser listing", BM_FileChooserListing)->Unit(benchmark::kMillisecond)->MinTime(0.3);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    Device::setAnimationsEnabled(false);
    double browserOpen = 1e9, chooserOpen = 1e9;
    for (int i = 0; i < kRepetitions; i++) {
        browserOpen = std::min(browserOpen, openMs([] { return new SVFolderViewController(gDir, gPlayList); }));
        chooserOpen = std::min(chooserOpen, openMs([] { return new SVFileChooser(gDir, gPlayList); }));
    }
    playList.reset();
    player.reset();
    AudioQueueWaitForDisposed();
    removeBenchDir(dir);

    auto base = reporter.best.find("QDir listing");
    auto browser = reporter.best.find("folder browser listing");
    auto chooser = reporter.best.find("file chooser listing");
    if (base == reporter.best.end() || browser == reporter.best.end() || chooser == reporter.best.end() ||
        browserOpen < 0 || chooserOpen < 0) {
        fprintf(stderr, "a benchmark did not run\n");
        return 1;
    }
    printf("listing %d entries: QDir %.1f ms, folder browser %.1f ms, file chooser %.1f ms\n", kFolders + kFiles,
           base->second * 1e3, browser->second * 1e3, chooser->second * 1e3);
    printf("QDir / folder browser time ratio: %.2f, QDir / file chooser: %.2f (goal >= 0.5; fastest of %d runs)\n",
           base->second / browser->second, base->second / chooser->second, kRepetitions);
    printf("opening the screen on that folder, offscreen: folder browser %.0f ms, file chooser %.0f ms "
           "(goal < 200 ms)\n", browserOpen, chooserOpen);
    return 0;
}
