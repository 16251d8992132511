#include "playback/PlayList.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "files/FileSystemObject.h"
#include "files/M3u.h"
#include "metadata/CharacterEncoding.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"

namespace {

const QString kOrganize = QStringLiteral("Organize");
const QString kShuffleMode = QStringLiteral("ShuffleMode");
const QString kCurrentFolder = QStringLiteral("CurrentFolder");
const QString kCurrentArtist = QStringLiteral("CurrentArtist");
const QString kCurrentAlbum = QStringLiteral("CurrentAlbum");
const QString kCurrentPlaylist = QStringLiteral("CurrentPlaylist");
const QString kCurrentFile = QStringLiteral("CurrentFile");

struct ModeRow {
    const char *name;
    const char *image;
};

const ModeRow kModes[] = {
    {SV_TEXT("Default"), "loopnot.png"},
    {SV_TEXT("Shuffle"), "loopshuffle.png"},
    {SV_TEXT("Loop"), "loop.png"},
    {SV_TEXT("Loop on track"), "loop1.png"},
};

// The playlist reader takes lines of at most 999 bytes; a longer one comes back as two entries.
const qsizetype kLongestEntry = 999;

QString documentsDirectory() { return FileSystemObject::sharedObject()->documentsDirectory(); }

// The last name of a path, trailing slashes aside ("Music/Jazz/" gives "Jazz").
QString lastPathComponent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p.mid(p.lastIndexOf('/') + 1);
}

// The path without the extension of its last name ("lists/Party.m3u" gives "lists/Party").
QString deletingPathExtension(const QString &path)
{
    qsizetype slash = path.lastIndexOf('/');
    qsizetype dot = path.lastIndexOf('.');
    return dot > slash + 1 ? path.left(dot) : path;
}

// Whether a path written as one line comes back from the reader as the same single entry.
bool survivesAsEntry(const QByteArray &line)
{
    if (line.isEmpty() || line.size() > kLongestEntry || line.contains('\n') || line.endsWith('\r'))
        return false;
    char first = line.front();
    return first != ' ' && first != '\t' && first != '#' && first != ';';
}

// Every write starts with an empty line (the reader skips it), then one entry per line.
QByteArray entryLines(const QStringList &entries)
{
    QByteArray bytes("\n");
    for (const QString &entry : entries)
        bytes += entry.toUtf8() + '\n';
    return bytes;
}

// The row played for an item: its first track when it has any.
PlayableItemPtr firstPlayable(const PlayableItemPtr &item)
{
    return item && !item->subItems().isEmpty() ? item->subItems().first() : item;
}

}  // namespace

PlayList::PlayList(PlayListLibrary *library, UniPlayer *player, QObject *parent)
    : QAbstractListModel(parent), library_(library), player_(player)
{
    tablet_ = qgetenv("SONAVEL_IDIOM") == "tablet";
    organize_ = int(Preferences::integerForKey(kOrganize));
    player_->setDelegate(this);
    player_->setLocked(currentPlayMode() == PlayModeLoopTrack);
    player_->addEventHandler(this, UniPlayer::action<&PlayList::onPlayPause>(), UniPlayer::EventPaused);
    player_->addEventHandler(this, UniPlayer::action<&PlayList::onPlayPause>(), UniPlayer::EventPlaying);
    player_->addEventHandler(this, UniPlayer::action<&PlayList::onItemChange>(), UniPlayer::EventFileChanged);
    srand(unsigned(time(nullptr)));
}

PlayList::~PlayList()
{
    player_->removeEventHandler(this);
    if (player_->delegate() == this)
        player_->setDelegate(nullptr);
}

const QStringList &PlayList::audioExtensions()
{
    static const QStringList extensions = {"flac", "ape", "wav", "aif", "m4a", "mp3", "wv", "aiff", "aifc"};
    return extensions;
}

// --- Building the list ---

void PlayList::updatePlayList()
{
    std::shared_ptr<const QList<PlayableItemPtr>> published = library_->playableItems();
    const QList<PlayableItemPtr> library = published ? *published : QList<PlayableItemPtr>();

    beginResetModel();
    playList_.clear();
    m3uItems_.clear();
    m3uItemsLookup_.clear();
    organize_ = int(Preferences::integerForKey(kOrganize));
    bool known = true;
    switch (organize_) {
    case OrganizeFolder: {
        QString folder = Preferences::stringForKey(kCurrentFolder);
        if (folder.isEmpty())
            folder = documentsDirectory();
        else if (!folder.startsWith('/'))
            folder = documentsDirectory() + '/' + folder;
        // The shorter length decides: items in every subfolder count, and no separator is
        // needed after the folder's name.
        for (const PlayableItemPtr &item : library) {
            const QString &path = item->path();
            if (path.isEmpty())
                continue;
            qsizetype n = qMin(path.size(), folder.size());
            if (QStringView(path).left(n) == QStringView(folder).left(n))
                takeItem(item);
        }
        break;
    }
    case OrganizeArtist:
    case OrganizeAlbum: {
        QString wanted = Preferences::stringForKey(organize_ == OrganizeArtist ? kCurrentArtist : kCurrentAlbum);
        for (const PlayableItemPtr &item : library) {
            const QString &value = organize_ == OrganizeArtist ? item->artist() : item->album();
            if (!wanted.isNull() && !value.isNull() && value == wanted)
                takeItem(item);
        }
        break;
    }
    case OrganizePlaylist:
        buildFromPlaylist(library);
        break;
    case OrganizeFile: {
        QString file = Preferences::stringForKey(kCurrentFile);
        for (const PlayableItemPtr &item : library) {
            if (!file.isEmpty() && item->path() == file)
                takeItem(item);
        }
        break;
    }
    default:
        known = false;
        break;
    }
    endResetModel();
    if (known)
        setAddButtonVisible(organize_ == OrganizePlaylist);
    updateTitle();
}

void PlayList::takeItem(const PlayableItemPtr &item)
{
    playList_ << item;
    playList_ << item->subItems();
}

void PlayList::buildFromPlaylist(const QList<PlayableItemPtr> &library)
{
    if (Preferences::stringForKey(kCurrentPlaylist).isEmpty())
        return;
    M3uList *list = M3uRead(QFile::encodeName(playlistFilePath()).constData());
    if (!list)
        return;
    const QString folder = directoryOfPlaylistFile(Preferences::stringForKey(kCurrentPlaylist));
    QSet<QString> seen;
    for (int32_t i = 0; i < M3uCount(list); i++) {
        QString entry = CharacterEncoding::parseCString(M3uEntryAt(list, i));
        if (entry.isEmpty())
            continue;
        if (!entry.startsWith('/'))
            entry = QDir::cleanPath(folder + '/' + entry);
        if (seen.contains(entry))
            continue;
        seen.insert(entry);
        m3uItems_ << entry;
    }
    M3uFree(list);
    // A later library item with the same path replaces an earlier one.
    for (const PlayableItemPtr &item : library) {
        if (seen.contains(item->path()))
            m3uItemsLookup_.insert(item->path(), item);
    }
    // Entries without a library item are not shown, but stay in the entries for rewrites.
    for (const QString &entry : m3uItems_) {
        if (PlayableItemPtr item = m3uItemsLookup_.value(entry))
            takeItem(item);
    }
}

void PlayList::updateTitle()
{
    QString title;
    switch (int(Preferences::integerForKey(kOrganize))) {
    case OrganizeFolder: {
        QString folder = Preferences::stringForKey(kCurrentFolder);
        title = folder.isEmpty() ? SVLocalized("All") : lastPathComponent(folder);
        break;
    }
    case OrganizeArtist:
        title = Preferences::stringForKey(kCurrentArtist);
        break;
    case OrganizeAlbum:
        title = Preferences::stringForKey(kCurrentAlbum);
        break;
    case OrganizePlaylist:
        title = deletingPathExtension(Preferences::stringForKey(kCurrentPlaylist));
        break;
    case OrganizeFile: {
        QString file = Preferences::stringForKey(kCurrentFile);
        title = file.isEmpty() ? QString() : lastPathComponent(file);
        break;
    }
    default:
        return;
    }
    if (title != title_) {
        title_ = title;
        emit titleChanged(title_);
    }
}

void PlayList::setAddButtonVisible(bool visible)
{
    if (visible == addButtonVisible_)
        return;
    addButtonVisible_ = visible;
    emit addButtonVisibleChanged(visible);
}

QString PlayList::directoryOfPlaylistFile(const QString &playlistPath)
{
    qsizetype slash = playlistPath.lastIndexOf('/');
    QString folder = slash < 0 ? QString() : playlistPath.left(qMax<qsizetype>(slash, 1));
    if (playlistPath.startsWith('/'))
        return folder;
    return folder.isEmpty() ? documentsDirectory() : documentsDirectory() + '/' + folder;
}

bool PlayList::playlistMode() const { return organize_ == OrganizePlaylist; }

// Playlist files are named relative to the documents folder, which is also the process's
// current folder; resolving here keeps that true without depending on it.
QString PlayList::playlistFilePath() const
{
    QString name = Preferences::stringForKey(kCurrentPlaylist);
    return name.startsWith('/') ? name : documentsDirectory() + '/' + name;
}

// --- Play modes ---

int PlayList::currentPlayMode() const
{
    // A signed remainder: a negative stored value stays negative, an unknown mode.
    return int(Preferences::integerForKey(kShuffleMode) % 4);
}

QString PlayList::playModeName() const
{
    int mode = currentPlayMode();
    return mode >= 0 ? SVLocalized(kModes[mode].name) : SVLocalized("Unknown");
}

QString PlayList::playModeImageName() const
{
    int mode = currentPlayMode();
    return mode >= 0 ? QLatin1String(kModes[mode].image) : QString();
}

void PlayList::setPlayMode(int mode)
{
    Preferences::setInteger(kShuffleMode, mode);
    player_->setLocked(mode == PlayModeLoopTrack);
    emit playModeChanged();
}

void PlayList::togglePlayMode() { setPlayMode((currentPlayMode() + 1) & 3); }

// --- What plays ---

PlayableItemPtr PlayList::nextItem()
{
    if (playList_.isEmpty())
        return nullptr;
    const int mode = currentPlayMode();
    const PlayableItemPtr current = player_->currentItem();
    PlayableItemPtr candidate;
    if (mode == PlayModeShuffle)
        candidate = playList_.value(randomIndex());
    if ((mode != PlayModeShuffle || !candidate || candidate->isEqualToItem(current)) && current) {
        candidate = nullptr;
        for (qsizetype row = 0; row < playList_.size(); row++) {
            if (!playList_[row]->isEqualToItem(current))
                continue;
            if (row + 1 < playList_.size())
                candidate = playList_[row + 1];
            else if (mode == PlayModeDefault)
                return nullptr;  // the end of the list: playback stops
            else
                candidate = playList_.first();
            break;
        }
    }
    if (!candidate)
        candidate = playList_.first();
    // An album row is never played whole when it has tracks.
    return firstPlayable(candidate);
}

int PlayList::randomIndex() const
{
    if (playList_.isEmpty())
        return 0;
    return int((rand() & 0xFFFF) % playList_.size());
}

void PlayList::previous()
{
    const PlayableItemPtr current = player_->currentItem();
    if (current && player_->currentTime() > current->startTime() + 3.0f)
        player_->seekToTime(current->startTime());
    else if (PlayableItemPtr before = player_->previousItem())
        player_->play(before);
    reloadRows();
}

void PlayList::togglePlayPause()
{
    if (player_->playing()) {
        player_->pause();
    } else if (const PlayableItemPtr current = player_->currentItem()) {
        // In order mode, after the last row has played out, play starts the list over.
        if (currentPlayMode() == PlayModeDefault && !playList_.isEmpty() &&
            current->isEqualToItem(playList_.last()) &&
            player_->currentTime() >= current->startTime() + current->totalTime() - 0.1f)
            player_->play(firstPlayable(playList_.first()));
        else
            player_->play();
    } else {
        player_->play(nextItem());
    }
    onPlayPause();
}

void PlayList::playNext()
{
    if (PlayableItemPtr next = nextItem())
        player_->play(next);
}

void PlayList::playItem(const PlayableItemPtr &item)
{
    reloadRows();
    player_->play(item);
}

void PlayList::selectRow(int row)
{
    if (PlayableItemPtr item = itemAtRow(row))
        playItem(firstPlayable(item));
}

bool PlayList::isPlaying() const { return player_->playing(); }

QString PlayList::playPauseImageName() const
{
    return isPlaying() ? QStringLiteral("pause-small.png") : QStringLiteral("play-small.png");
}

bool PlayList::showsNowPlayingButton() const { return player_->currentItem() != nullptr; }

QString PlayList::nowPlayingImageName() const
{
    return isPlaying() ? QStringLiteral("nowplaying.png") : QStringLiteral("paused.png");
}

QString PlayList::nowPlayingLabel() const
{
    return isPlaying() ? SVLocalized("Now playing") : SVLocalized("Paused");
}

void PlayList::onPlayPause() { emit playStateChanged(); }

void PlayList::onItemChange()
{
    reloadRows();
    emit currentItemChanged(playingRow());
}

// --- Rows ---

int PlayList::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    int n = int(playList_.size());
    // An empty playlist shows a row that says how to fill it.
    return playlistMode() ? qMax(n, 1) : n;
}

QVariant PlayList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount())
        return QVariant();
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return rowTitle(row);
    case Qt::AccessibleDescriptionRole:
    case DetailRole:
        return rowDetail(row);
    case IndentationRole:
        return rowIndentation(row);
    case PlayingRole: {
        PlayableItemPtr item = itemAtRow(row);
        return item && item->isEqualToItem(player_->currentItem());
    }
    case PlaceholderRole:
        return isPlaceholderRow(row);
    case WholeFileRole:
        return canEditRow(row);
    default:
        return QVariant();
    }
}

Qt::ItemFlags PlayList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isPlaceholderRow(index.row()))
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (canMoveRow(index.row()))
        f |= Qt::ItemIsDragEnabled;
    return f;
}

PlayableItemPtr PlayList::itemAtRow(int row) const { return playList_.value(row); }

bool PlayList::isPlaceholderRow(int row) const { return playlistMode() && playList_.isEmpty() && row == 0; }

QString PlayList::rowTitle(int row) const
{
    if (isPlaceholderRow(row))
        return SVLocalized("Tap on add button to add music.");
    PlayableItemPtr item = itemAtRow(row);
    return item ? item->title() : QString();
}

QString PlayList::rowDetail(int row) const
{
    PlayableItemPtr item = itemAtRow(row);
    if (!item)
        return QString();
    QString duration = PlayableItem::humanTime(item->totalTime());
    if (item->ownFile())
        return QStringLiteral("%1, %2").arg(duration, lastPathComponent(item->path()));
    return QStringLiteral("%1 %2, %3")
        .arg(SVLocalized("Track"), QString::asprintf("%02d", item->trackNumber()), duration);
}

int PlayList::rowIndentation(int row) const
{
    PlayableItemPtr item = itemAtRow(row);
    bool track = item && !item->ownFile();
    return (tablet_ ? 1 : 0) + (track ? 2 : 0);
}

bool PlayList::canEditRow(int row) const
{
    PlayableItemPtr item = itemAtRow(row);
    return item && item->ownFile();
}

bool PlayList::canMoveRow(int row) const { return playlistMode() && canEditRow(row); }

int PlayList::playingRow() const
{
    const PlayableItemPtr &current = player_->currentItem();
    if (!current)
        return -1;
    for (qsizetype row = 0; row < playList_.size(); row++) {
        if (playList_[row]->isEqualToItem(current))
            return int(row);
    }
    return -1;
}

void PlayList::setTablet(bool tablet)
{
    tablet_ = tablet;
    reloadRows();
}

void PlayList::reloadRows()
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1));
}

// --- Edits ---

void PlayList::willRemoveFiles(const QStringList &paths)
{
    const PlayableItemPtr &current = player_->currentItem();
    if (!current)
        return;
    for (const QString &path : paths) {
        if (current->path() == path || current->path().startsWith(path + '/')) {
            emit nowPlayingButtonRemoved();
            return;
        }
    }
}

bool PlayList::deleteRow(int row)
{
    PlayableItemPtr item = itemAtRow(row);
    if (!item || !item->ownFile())
        return false;
    if (playlistMode())
        return removeItemFromPlaylist(item);
    willRemoveFiles({item->path()});
    // Playback goes on; the rescan rebuilds the list when it is done.
    bool removed = FileSystemObject::sharedObject()->removeFileAtPath(item->path());
    library_->loadMusics();
    return removed;
}

void PlayList::moveRowTo(int from, int to)
{
    if (from == to || !canMoveRow(from))
        return;
    to = qBound(0, to, int(playList_.size()));
    auto wholeFilesAbove = [this](int row) {
        int n = 0;
        for (int r = 0; r < row; r++)
            n += playList_[r]->ownFile();
        return n;
    };
    const int i = wholeFilesAbove(from);
    const int j = wholeFilesAbove(to);
    if (i == j)
        return;
    // Rows are matched to the file's entries by path: entries without a library item have
    // no row, so counting rows cannot index the entries.
    QList<PlayableItemPtr> wholeFiles;
    for (const PlayableItemPtr &item : playList_) {
        if (item->ownFile())
            wholeFiles << item;
    }
    const QString moved = wholeFiles[i]->path();
    const QString target = wholeFiles[qMin(j, int(wholeFiles.size()) - 1)]->path();
    QStringList entries = m3uItems_;
    entries.removeOne(moved);
    qsizetype at = entries.indexOf(target);
    if (at < 0)
        return;
    entries.insert(j < i ? at : at + 1, moved);
    // A file that cannot be rewritten stays as it was; the rebuild undoes the move on screen.
    writePlaylist(entryLines(entries));
    updatePlayList();
}

bool PlayList::shouldInclude(const QString &path) const
{
    QString name = lastPathComponent(path);
    qsizetype dot = name.lastIndexOf('.');
    if (dot < 0 || !audioExtensions().contains(name.mid(dot + 1)))
        return false;
    return !m3uItemsLookup_.contains(path);
}

bool PlayList::addFiles(const QStringList &paths)
{
    QByteArray lines;
    for (const QString &path : paths) {
        QByteArray line = path.toUtf8();
        // A line feed in a name would make two entries of it, and so would a name longer
        // than a line the reader takes: such a path is left out, never written broken.
        if (!survivesAsEntry(line)) {
            fprintf(stderr, "Playlist: a path that cannot be one line of a playlist is left out\n");
            continue;
        }
        lines += line + '\n';
    }
    if (lines.isEmpty())
        return false;
    QByteArray bytes;
    QFile current(playlistFilePath());
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            return false;
        bytes = current.readAll();
        if (current.error() != QFileDevice::NoError)
            return false;
    }
    if (!writePlaylist(bytes + '\n' + lines))
        return false;
    updatePlayList();
    return true;
}

bool PlayList::removeItemFromPlaylist(const PlayableItemPtr &item)
{
    if (!item || !item->ownFile())
        return false;
    QStringList remaining;
    for (const QString &entry : m3uItems_) {
        if (entry != item->path())
            remaining << entry;
    }
    // A file that cannot be rewritten stays as it was, and the rebuild shows it so.
    writePlaylist(entryLines(remaining));
    updatePlayList();
    return true;
}

// The new contents go to a temporary file in the same folder that replaces the old one only
// once complete, so a crash or a full disk never leaves a truncated playlist.
bool PlayList::writePlaylist(const QByteArray &bytes)
{
    QSaveFile out(playlistFilePath());
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
