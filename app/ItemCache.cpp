#include "app/ItemCache.h"

#include <QFile>

#include <sys/stat.h>

FileStamp FileStamp::of(const QByteArray &nativePath)
{
    FileStamp stamp;
    struct stat st;
    if (stat(nativePath.constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

ItemCacheBuilder::ItemCacheBuilder(std::shared_ptr<const ItemCache> previous, qint64 encoding)
    : next_(std::make_shared<ItemCache>())
{
    // Cue-sheet texts were decoded with the encoding of their scan: another one rebuilds all.
    if (previous && previous->encoding == encoding)
        previous_ = std::move(previous);
    next_->encoding = encoding;
}

ItemSources ItemCacheBuilder::sourcesOf(const QString &path)
{
    ItemSources sources;
    const QByteArray native = QFile::encodeName(path);
    sources.file = FileStamp::of(native);

    qsizetype folderEnd = path.lastIndexOf('/');
    QString folder = folderEnd <= 0 ? QStringLiteral("/") : path.left(folderEnd);
    auto known = folders_.constFind(folder);
    if (known == folders_.constEnd())
        known = folders_.insert(folder, FileStamp::of(QFile::encodeName(folder)));
    sources.folder = *known;

    // The names itemWithPath looks for: album.flac -> album.cue, then album.flac.cue.
    qsizetype slash = native.lastIndexOf('/');
    qsizetype dot = native.lastIndexOf('.');
    QByteArray beside = (dot > slash ? native.left(dot) : native) + ".cue";
    sources.cueBeside = FileStamp::of(beside);
    sources.cueEmbedded = FileStamp::of(native + ".cue");
    return sources;
}

PlayableItemPtr ItemCacheBuilder::itemForPath(const QString &path, bool *built)
{
    // Stamped before building: a change made while the item is built shows at the next scan.
    ItemSources sources = sourcesOf(path);
    if (previous_) {
        auto cached = previous_->entries.constFind(path);
        if (cached != previous_->entries.constEnd() && cached->sources == sources) {
            *built = false;
            next_->entries.insert(path, *cached);
            return cached->item;
        }
    }
    *built = true;
    PlayableItemPtr item = PlayableItem::itemWithPath(path);
    next_->entries.insert(path, {sources, item});
    return item;
}

std::shared_ptr<const ItemCache> ItemCacheBuilder::finish() { return std::move(next_); }
