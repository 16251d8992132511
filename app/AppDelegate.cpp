#include "app/AppDelegate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QTemporaryFile>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <set>
#include <thread>

#include "app/ItemCache.h"
#include "files/FileSystemObject.h"
#include "platform/AudioSession.h"
#include "platform/IdleTimer.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"
#include "platform/RunLoop.h"
#include "playback/UniPlayer.h"

namespace {

AppDelegate *gShared = nullptr;

const char kLoadMusics[] = "loadMusics";
const char kTimerOut[] = "onTimerOut";
const double kActiveRescanDelay = 0.5;
const double kFtpRescanDelay = 3.0;
// Scan threads rest this long after every ten items they built, so decoding for playback
// keeps enough processor time.
const auto kScanPause = std::chrono::milliseconds(10);
// Folders deeper than this are not listed: recursion stays bounded whatever is on disk.
const int kMaxFolderDepth = 128;
const int kMaxNumberedNames = 9999;

QString documentsDirectory() { return FileSystemObject::sharedObject()->documentsDirectory(); }

// Case-insensitive order of whole paths; names that differ only in case keep a fixed order.
bool pathBefore(const QString &a, const QString &b)
{
    int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

bool isAudioFileName(const QString &name)
{
    qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && PlayList::audioExtensions().contains(name.mid(dot + 1).toLower());
}

using FolderId = std::pair<dev_t, ino_t>;

void listAudioFiles(const QString &path, bool recursive, int depth, std::set<FolderId> &visited,
                    QStringList &found, bool *listed)
{
    DIR *dir = opendir(QFile::encodeName(path).constData());
    *listed = dir != nullptr;
    if (!dir)
        return;
    const QString prefix = path.endsWith('/') ? path : path + '/';
    while (struct dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        const QString full = prefix + name;
        if (recursive && entry->d_type != DT_REG) {
            struct stat st;
            // Links are followed, as a folder test would; a folder seen before is not listed
            // again, which ends a link back to a parent.
            if (stat(QFile::encodeName(full).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
                bool sub = false;
                if (depth < kMaxFolderDepth && visited.insert({st.st_dev, st.st_ino}).second)
                    listAudioFiles(full, recursive, depth + 1, visited, found, &sub);
                continue;
            }
        }
        if (isAudioFileName(name))
            found << full;
    }
    closedir(dir);
}

// "Song.flac" numbered 2 is "Song 2.flac".
QString numberedName(const QString &name, int number)
{
    qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0)
        return QStringLiteral("%1 %2").arg(name).arg(number);
    return QStringLiteral("%1 %2%3").arg(name.left(dot)).arg(number).arg(name.mid(dot));
}

// Whether `path` already holds what `source` holds: the same file, or the same bytes.
bool holdsSameFile(const QString &path, const QString &source)
{
    struct stat a, b;
    if (stat(QFile::encodeName(path).constData(), &a) != 0 || stat(QFile::encodeName(source).constData(), &b) != 0)
        return false;
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return true;
    if (!S_ISREG(a.st_mode) || a.st_size != b.st_size)
        return false;
    QFile x(path), y(source);
    if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly))
        return false;
    while (!x.atEnd()) {
        QByteArray chunk = x.read(1 << 20);
        if (chunk.isEmpty() || chunk != y.read(chunk.size()))
            return false;
    }
    return true;
}

// A complete copy of `source` under a temporary name inside `folder`, removed with the object;
// null when it cannot be made.
std::unique_ptr<QTemporaryFile> copyIntoFolder(const QString &source, const QString &folder)
{
    auto copy = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/.import-XXXXXX"));
    if (!copy->open())
        return nullptr;
    copy->close();
    std::error_code error;
    namespace fs = std::filesystem;
    if (!fs::copy_file(fs::path(QFile::encodeName(source).toStdString()),
                       fs::path(QFile::encodeName(copy->fileName()).toStdString()),
                       fs::copy_options::overwrite_existing, error))
        return nullptr;
    return copy;
}

// Links `source` into `folder` under its own name, or the first free numbered one. A link
// never replaces anything, so a different file of the same name is kept as well; where no
// link can be made (another file system, or one without links) a copy is linked instead.
QString bringIntoFolder(const QString &source, const QString &folder)
{
    struct stat st;
    if (stat(QFile::encodeName(source).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QString();
    const QString name = QFileInfo(source).fileName();
    QString from = source;
    std::unique_ptr<QTemporaryFile> copy;
    for (int number = 1; number <= kMaxNumberedNames;) {
        QString target = folder + '/' + (number == 1 ? name : numberedName(name, number));
        if (link(QFile::encodeName(from).constData(), QFile::encodeName(target).constData()) == 0)
            return target;
        if (errno == EEXIST) {
            if (holdsSameFile(target, source))
                return target;
            number++;
            continue;
        }
        if (copy)
            return QString();
        copy = copyIntoFolder(source, folder);
        if (!copy)
            return QString();
        from = copy->fileName();
    }
    return QString();
}

}  // namespace

// What the scan threads share with the application object; kept alive by each thread.
struct AppDelegate::Scanner {
    std::atomic<quint64> loadId{0};
    std::atomic<int> running{0};
    // A scan checks that it is still the newest and publishes in one step, so an older scan
    // can never put its list over a newer one's.
    std::mutex publishing;
    std::atomic<std::shared_ptr<const QList<PlayableItemPtr>>> items;
    std::atomic<std::shared_ptr<const ItemCache>> cache;
    std::atomic<quint64> published{0};
};

AppDelegate::AppDelegate(UniPlayer *player, QObject *parent)
    : QObject(parent), scanner_(std::make_shared<Scanner>()), player_(player ? player : UniPlayer::defaultPlayer())
{
    auto empty = std::make_shared<QList<PlayableItemPtr>>();
    empty->reserve(100);
    scanner_->items.store(std::move(empty));
    playList_ = std::make_unique<PlayList>(this, player_);
    if (!gShared)
        gShared = this;
}

AppDelegate::~AppDelegate()
{
    // Running scans give up at their next file.
    scanner_->loadId.store(std::numeric_limits<quint64>::max());
    RunLoop::cancelAllPerforms(this);
    stopFtpServer();
    playList_.reset();
    if (gShared == this)
        gShared = nullptr;
}

AppDelegate *AppDelegate::shared() { return gShared; }

// --- Start-up ---

void AppDelegate::prepareProcess()
{
    AudioSession::shared()->setCategoryPlayback();
    AudioSession::shared()->setActive(true);
    if (!Preferences::objectForKey(QStringLiteral("CurrentTheme")).isValid())
        Preferences::setObject(QStringLiteral("CurrentTheme"), QStringLiteral("Plain.thm"));
}

void AppDelegate::didFinishLaunching(const QStringList &handedOverFiles)
{
    // Named against the folder the program started in, before that changes.
    QList<QUrl> handedOver;
    for (const QString &file : handedOverFiles)
        handedOver << QUrl::fromUserInput(file, QDir::currentPath(), QUrl::AssumeLocalFile);

    // Playlist files are named relative to the documents folder.
    QDir::setCurrent(documentsDirectory());

    AudioSession *session = AudioSession::shared();
    connect(session, &AudioSession::interruptionBegan, this, &AppDelegate::beginInterruption);
    connect(session, &AudioSession::interruptionEnded, this, &AppDelegate::endInterruptionWithFlags);
    connect(session, &AudioSession::routeChanged, this, &AppDelegate::onAudioRouteChange);
    session->start();

    noMusicWarning_ = true;
    for (const QUrl &url : handedOver)
        importFile(url);
    if (Preferences::integerForKey(QStringLiteral("FTPAutoStart")) != 0)
        startFtpServer();

    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                applicationDidBecomeActive();
        });
    }
    applicationDidBecomeActive();
}

void AppDelegate::applicationDidBecomeActive()
{
    // The scan number is not reset here: a scan still running from before must never
    // outrank the one started now.
    RunLoop::cancelPerform(this, kLoadMusics, QVariant());
    RunLoop::performAfterDelay(this, kLoadMusics, QVariant(), kActiveRescanDelay, [this] { loadMusics(); });
}

void AppDelegate::openFiles(const QStringList &files)
{
    for (const QString &file : files)
        importFile(QUrl::fromUserInput(file, QDir::currentPath(), QUrl::AssumeLocalFile));
    applicationDidBecomeActive();
}

// --- The library ---

std::shared_ptr<const QList<PlayableItemPtr>> AppDelegate::playableItems() const { return scanner_->items.load(); }

quint64 AppDelegate::loadId() const { return scanner_->loadId.load(); }
quint64 AppDelegate::publishedScan() const { return scanner_->published.load(); }
int AppDelegate::runningScans() const { return scanner_->running.load(); }

void AppDelegate::loadMusics()
{
    const quint64 n = ++scanner_->loadId;
    scanner_->running++;
    RunLoop::detachThread([scanner = scanner_, n, documents = documentsDirectory(), self = QPointer<AppDelegate>(this)] {
        if (loadMusicsCore(*scanner, n, documents)) {
            RunLoop::postToMain([self, n] {
                if (self)
                    self->onLoadMusicsDone(n);
            });
        }
        scanner->running--;
    });
}

bool AppDelegate::loadMusicsCore(Scanner &scanner, quint64 n, const QString &documents)
{
    std::optional<QStringList> paths = getAudioFilesInDirectory(documents, true);
    if (!paths)
        return false;  // the old library stays
    std::sort(paths->begin(), paths->end(), pathBefore);

    ItemCacheBuilder builder(scanner.cache.load(), Preferences::integerForKey(QStringLiteral("PreferedEnc")));
    auto items = std::make_shared<QList<PlayableItemPtr>>();
    items->reserve(std::max<qsizetype>(100, paths->size()));
    int built = 0;
    for (const QString &path : *paths) {
        bool wasBuilt = false;
        if (PlayableItemPtr item = builder.itemForPath(path, &wasBuilt)) {
            items->append(item);
            if (wasBuilt && ++built % 10 == 0)
                std::this_thread::sleep_for(kScanPause);
        }
        if (scanner.loadId.load() > n)
            return false;
    }

    std::lock_guard lock(scanner.publishing);
    if (scanner.loadId.load() > n)
        return false;
    scanner.items.store(std::move(items));
    scanner.cache.store(builder.finish());
    scanner.published.store(n);
    return true;
}

void AppDelegate::onLoadMusicsDone(quint64 n)
{
    if (n < scanner_->loadId.load())
        return;  // a newer scan is under way
    playList_->updatePlayList();
    emit libraryChanged();
    if (playableItems()->isEmpty() && noMusicWarning_) {
        noMusicWarning_ = false;
        if (messageHook_)
            messageHook_(SVLocalized("No music"), SVLocalized("Add lossless music via iTunes file sharing"));
    }
}

std::optional<QStringList> AppDelegate::getAudioFilesInDirectory(const QString &path, bool recursive)
{
    std::set<FolderId> visited;
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) == 0)
        visited.insert({st.st_dev, st.st_ino});
    QStringList found;
    bool listed = false;
    listAudioFiles(path, recursive, 0, visited, found, &listed);
    if (!listed)
        return std::nullopt;
    return found;
}

// --- Files handed over ---

QString AppDelegate::importFile(const QUrl &url)
{
    QString brought;
    if (url.isLocalFile()) {
        const QString inbox = documentsDirectory() + QStringLiteral("/Inbox");
        FileSystemObject::sharedObject()->ensureDirectoryExists(inbox);
        brought = bringIntoFolder(url.toLocalFile(), inbox);
    }
    if (brought.isNull())
        fprintf(stderr, "Import: \"%s\" could not be brought into the Inbox\n", qPrintable(url.toString()));
    // The next rebuilt play list shows the Inbox, where the file is picked up by the rescan.
    Preferences::setInteger(QStringLiteral("Organize"), PlayList::OrganizeFolder);
    Preferences::setObject(QStringLiteral("CurrentFolder"), QStringLiteral("Inbox"));
    return brought;
}

// --- Audio session ---

void AppDelegate::beginInterruption()
{
    wasSpeakerWhenInterrupted_ = isSpeaker();
    wasPlaying_ = player_->playing();
    if (wasPlaying_) {
        player_->pause();
        updatePlayPause();
    }
}

void AppDelegate::endInterruptionWithFlags(uint32_t flags)
{
    if (!(flags & AudioSession::ShouldResume))
        return;
    // Not out loud through the speaker when the headphones went during the interruption.
    bool toSpeaker = isSpeaker() && !wasSpeakerWhenInterrupted_;
    if (wasPlaying_ && !toSpeaker) {
        player_->play();
        updatePlayPause();
    }
    wasPlaying_ = false;
}

void AppDelegate::onAudioRouteChange()
{
    // Headphones pulled out: the music must not go on through the speaker.
    if (isSpeaker() && player_->playing()) {
        player_->pause();
        updatePlayPause();
    }
}

bool AppDelegate::isSpeaker() const { return AudioSession::shared()->currentRouteName() == QLatin1String("Speaker"); }

void AppDelegate::updatePlayPause()
{
    playList_->onPlayPause();
    emit playPauseChanged();
}

// --- Sleep timer ---

void AppDelegate::setSleepTimer(int seconds)
{
    removeSleepTimer();
    // The run loop's timers run on the monotonic clock; the epoch time is for showing.
    RunLoop::performAfterDelay(this, kTimerOut, QVariant(), seconds, [this] { onTimerOut(); });
    sleepTime_ = QDateTime::currentSecsSinceEpoch() + seconds;
    sleepDeadline_ = QDeadlineTimer(qint64(seconds) * 1000);
}

qint64 AppDelegate::sleepRemaining() const
{
    return sleepTime_ ? sleepDeadline_.remainingTime() : 0;
}

void AppDelegate::removeSleepTimer()
{
    sleepTime_ = 0;
    RunLoop::cancelPerform(this, kTimerOut, QVariant());
}

void AppDelegate::onTimerOut()
{
    sleepTime_ = 0;
    player_->sleep();
}

// --- FTP server ---

bool AppDelegate::startFtpServer()
{
    if (ftpd_)
        return true;
    auto server = std::make_unique<FtpServer>(ftpPort_, documentsDirectory(), this);
    if (!server->isListening()) {
        fprintf(stderr, "Failed to start ftpd server\n");
        return false;
    }
    server->setName(QStringLiteral("Sonavel"));
    server->setChangeRoot(true);
    server->setNotificationObject(this);
    ftpd_ = std::move(server);
    // No automatic screen lock while music may be coming in.
    IdleTimer::setIdleTimerDisabled(true);
    emit ftpServerChanged(true);
    return true;
}

void AppDelegate::stopFtpServer()
{
    if (!ftpd_)
        return;
    ftpd_->stopFtpServer();
    ftpd_.reset();
    IdleTimer::setIdleTimerDisabled(false);
    emit ftpServerChanged(false);
}

void AppDelegate::didReceiveFileListChanged()
{
    // A burst of uploads makes one scan, 3 s after the last change.
    RunLoop::cancelPerform(this, kLoadMusics, QVariant());
    RunLoop::performAfterDelay(this, kLoadMusics, QVariant(), kFtpRescanDelay, [this] { loadMusics(); });
}

// --- Screens ---

void AppDelegate::onThemeChange() { emit themeChanged(); }

void AppDelegate::onEncodingChange()
{
    loadMusics();
    playList_->updatePlayList();
}

void AppDelegate::setMessageHook(std::function<void(const QString &, const QString &)> hook)
{
    messageHook_ = std::move(hook);
}
