// The application object: start-up, the library and its background scans, files handed over
// by other programs, the audio session's interruptions and route changes, the sleep timer and
// the FTP server. It makes no widgets: main() shows the window, builds the screens over
// playListController() and connects them to the signals and the message hook here.
// Main thread, unless a member says otherwise.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

#include "ftp/FtpServer.h"
#include "playback/PlayList.h"

class UniPlayer;

class AppDelegate : public QObject, public PlayListLibrary, public FtpServerNotification {
    Q_OBJECT
public:
    static constexpr quint16 kFtpPort = 40021;

    // `player` null means UniPlayer::defaultPlayer(). Makes the play list (the player's
    // delegate) and an empty library. The first one made is shared() until it goes.
    explicit AppDelegate(UniPlayer *player = nullptr, QObject *parent = nullptr);
    ~AppDelegate() override;
    // The application's delegate, for the screens; null before main() made it.
    static AppDelegate *shared();

    // Before the event loop runs: the audio session's category and activation, and
    // "CurrentTheme" set to "Plain.thm" when absent.
    static void prepareProcess();
    // Once the window is up: the documents folder becomes the current folder, the audio
    // session's handlers are installed, the files handed over at launch (paths relative to the
    // folder the program was started in, or file URLs) are imported, the FTP server starts when
    // "FTPAutoStart" says so, and the first scan is scheduled.
    void didFinishLaunching(const QStringList &handedOverFiles = {});
    // Becoming active (connected to QGuiApplication's state; also once after launch): a
    // rescan 0.5 s later, replacing one still pending.
    void applicationDidBecomeActive();
    // Files handed over while running (absolute paths or file URLs): imported, then a rescan.
    void openFiles(const QStringList &files);

    // --- The library ---
    // The published library: replaced whole by each completed scan, never changed in place.
    // Any thread.
    std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const override;
    PlayList *playListController() const { return playList_.get(); }
    // Starts a scan on a new thread; only the newest scan publishes.
    void loadMusics() override;
    // The audio files in `path` (its subfolders too when `recursive`), full paths in listing
    // order; none when it cannot be listed. Each folder is visited once, so links that loop
    // back end there. Any thread.
    static std::optional<QStringList> getAudioFilesInDirectory(const QString &path, bool recursive);
    // The number of the latest requested scan; the scan whose library is published; scans
    // whose threads have not ended yet (for tests and benchmarks). Any thread.
    quint64 loadId() const;
    quint64 publishedScan() const;
    int runningScans() const;

    // --- Files handed over ---
    // Brings a local file into the documents folder's "Inbox" by a hard link, or by a copy
    // where no link can be made, under a free name when another file has its name; then the
    // play list is set to show the Inbox. The new path, or null when it could not be brought
    // in (the file stays where it was).
    QString importFile(const QUrl &url);

    // --- Audio session ---
    void beginInterruption();
    void endInterruptionWithFlags(uint32_t flags);
    void onAudioRouteChange();
    bool isSpeaker() const;
    // Tells the screens that playback started or stopped.
    void updatePlayPause();

    // --- Sleep timer ---
    void setSleepTimer(int seconds);
    void removeSleepTimer();
    void onTimerOut();
    // When the timer fires, in seconds since the epoch; 0 while none runs. For showing only:
    // the wall clock may be set meanwhile.
    qint64 sleepTime() const { return sleepTime_; }
    // Milliseconds until the timer fires, by the monotonic clock the timer itself runs on;
    // 0 while none runs.
    qint64 sleepRemaining() const;

    // --- FTP server ---
    bool startFtpServer();
    void stopFtpServer();
    FtpServer *ftpd() const { return ftpd_.get(); }
    // Called by the server on the main run loop after an upload, a delete or a rename: one
    // rescan 3 s after the last.
    void didReceiveFileListChanged() override;
    // The port startFtpServer() listens on (kFtpPort unless a test moves it).
    void setFtpPort(quint16 port) { ftpPort_ = port; }

    // --- Screens ---
    void onThemeChange();
    void onEncodingChange();
    // Shows a message (title, text) to the user: set by main() to the alert helper. The
    // "No music" message goes through it.
    void setMessageHook(std::function<void(const QString &title, const QString &message)> hook);

signals:
    // A completed scan's library was published and the play list rebuilt from it.
    void libraryChanged();
    // The theme preference changed: themed screens reload their theme.
    void themeChanged();
    // Playback started or stopped by the application (interruptions, route changes).
    void playPauseChanged();
    void ftpServerChanged(bool running);

private:
    struct Scanner;
    // The scan itself, on its own thread: true when it published its library, which it does
    // unless a newer scan was asked for.
    static bool loadMusicsCore(Scanner &scanner, quint64 n, const QString &documents);
    void onLoadMusicsDone(quint64 n);

    std::shared_ptr<Scanner> scanner_;  // shared with the scan threads, which may outlive this
    UniPlayer *player_;
    std::unique_ptr<PlayList> playList_;
    std::unique_ptr<FtpServer> ftpd_;
    quint16 ftpPort_ = kFtpPort;
    bool noMusicWarning_ = true;
    bool wasPlaying_ = false;
    bool wasSpeakerWhenInterrupted_ = false;
    qint64 sleepTime_ = 0;
    QDeadlineTimer sleepDeadline_;
    std::function<void(const QString &, const QString &)> messageHook_;
};
