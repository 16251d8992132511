// What the now-playing screen costs while music plays: the share of one core the whole process
// takes (the sink thread included) while 24-bit 96 kHz FLAC plays in real time into `null`,
// first with no screen shown (the baseline: the engine, the output queue and the player) and
// then with the now-playing screen shown offscreen, with a cover and a lyrics file whose line
// changes every three seconds, in the same run. The phases alternate and the least disturbed
// one of each kind counts. Prints both shares, the screen's own part and the ratio.
// Arguments: seconds per phase (default 8), phases of each kind (default 2).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "platform/ui/Device.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "playback/PlayingViewController.h"
#include "playback/UniPlayer.h"

namespace {

// The process's share of one core while the run loop runs for `seconds`.
double cpuShare(double seconds)
{
    const double before = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return (processCpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
}

}  // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
    QApplication app(argc, argv);
    const double phaseSeconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 8.0;
    const int phases = argc > 2 ? std::max(1, atoi(argv[2])) : 2;

    const std::string dir = makeBenchDir("nowplaying");
    if (dir.empty())
        return 1;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    Preferences::reset();
    Preferences::setObject("CurrentTheme", "Plain.thm");
    // Long enough for every phase; it repeats when it ends.
    const uint32_t songSeconds = uint32_t(std::ceil(phaseSeconds * 2 * phases)) + 10;
    const std::string song = dir + "/Hi-Res.flac";
    std::string lyrics;
    for (uint32_t t = 0; t < songSeconds; t += 3)
        lyrics += QString::asprintf("[%02u:%02u.00]line at %u seconds\n", t / 60, t % 60, t).toStdString();
    FILE *lrc = fopen((dir + "/Hi-Res.lrc").c_str(), "w");
    QImage cover(1000, 1000, QImage::Format_RGB32);
    cover.fill(QColor(40, 90, 160));
    if (!writeMusicFlac(song, 96000, songSeconds) || !lrc || fputs(lyrics.c_str(), lrc) < 0 || fclose(lrc) != 0 ||
        !cover.save(QString::fromStdString(dir + "/Hi-Res.jpg"))) {
        fprintf(stderr, "cannot write the test files in %s\n", dir.c_str());
        removeBenchDir(dir);
        return 1;
    }

    std::unique_ptr<UniPlayer> player = UniPlayer::create();
    PlayableItemPtr item = PlayableItem::itemWithPath(QString::fromStdString(song));
    if (!player || !item) {
        fprintf(stderr, "cannot play %s\n", song.c_str());
        removeBenchDir(dir);
        return 1;
    }
    player->setLocked(true);  // the song repeats should a phase outlast it
    player->play(item);

    Window window;
    auto *root = new ViewController;
    auto *nav = new NavigationController(root);
    window.setRootViewController(nav);
    window.show();
    cpuShare(1.0);  // playback and the window settle

    double without = 1e9, with = 1e9;
    bool shown = false;
    for (int i = 0; i < phases; i++) {
        without = std::min(without, cpuShare(phaseSeconds));
        auto *screen = new PlayingViewController(nullptr, nullptr, player.get());
        nav->pushViewController(screen);
        shown = shown || (screen->isAppearing() && screen->lrcView());
        cpuShare(0.5);  // the push and the first paint are not the steady state
        with = std::min(with, cpuShare(phaseSeconds));
        nav->popViewController();
    }
    player->pause();
    player.reset();
    AudioQueueWaitForDisposed();
    removeBenchDir(dir);

    if (!shown) {
        fprintf(stderr, "the now-playing screen did not show with its lyrics\n");
        return 1;
    }
    printf("real-time playback of 24/96 FLAC into null, %.0f s phases, least disturbed of %d:\n", phaseSeconds,
           phases);
    printf("  without a screen shown: %.2f %% of a core\n", 100 * without);
    printf("  now-playing screen shown (offscreen, cover, lyrics every 3 s): %.2f %% of a core (goal < 3 %%)\n",
           100 * with);
    printf("  the screen's own part: %.2f %% of a core; with / without ratio %.2f\n", 100 * (with - without),
           with / without);
    return 0;
}
