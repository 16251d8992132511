// The library scan's item cache: each item kept with stamps of what it was built from, so a
// rescan rebuilds only what changed. The sources of an item are the audio file, its folder
// (a cover or cue sheet created, renamed or removed beside it changes the folder) and the two
// cue sheets itemWithPath reads (album.cue, and album.flac.cue for an embedded sheet). An
// unchanged file's item is reused as it is: items are not changed once published.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

#include "metadata/PlayableItem.h"

// Enough of a file-system entry's status to tell that it changed.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    bool operator==(const FileStamp &) const = default;
    static FileStamp of(const QByteArray &nativePath);
};

struct ItemSources {
    FileStamp file;
    FileStamp folder;
    FileStamp cueBeside;
    FileStamp cueEmbedded;

    bool operator==(const ItemSources &) const = default;
};

struct ItemCacheEntry {
    ItemSources sources;
    PlayableItemPtr item;  // null: the file gives no item
};

// The items of one completed scan by path, and the preferred text encoding their cue-sheet
// texts were decoded with. Not changed once complete; shared between scans.
struct ItemCache {
    qint64 encoding = 0;
    QHash<QString, ItemCacheEntry> entries;
};

// Gathers the items of one scan on its thread, taking those of the previous scan's cache
// whose sources are unchanged.
class ItemCacheBuilder {
public:
    // `previous` may be null; it is ignored when it was made with another encoding.
    ItemCacheBuilder(std::shared_ptr<const ItemCache> previous, qint64 encoding);

    // The item for `path`, null when the file gives none; `*built` tells whether it was
    // built now rather than reused.
    PlayableItemPtr itemForPath(const QString &path, bool *built);
    // What was gathered, as the cache for the next scan.
    std::shared_ptr<const ItemCache> finish();

private:
    ItemSources sourcesOf(const QString &path);

    std::shared_ptr<const ItemCache> previous_;
    std::shared_ptr<ItemCache> next_;
    QHash<QString, FileStamp> folders_;  // each folder is stamped once per scan
};
