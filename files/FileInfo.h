// What the file information screen shows about one file: its size, and for an audio file
// its format and tags. Main thread.
#pragma once

#include <QString>

class PlayableItem;

// "1023 Bytes", "1024.0 KB" (up to 1048575), "1.0 MB", and from 1 GiB on "1.0 GB". The size is
// 64-bit: files over 4 GiB are common for hi-res albums.
QString sizeString(qint64 size);

// The footer: "File Size : 1.0 MB\n", then for an item "44100 Hz, 16 bit\n" (each part when
// known), then "Title : ...\n", "Artist", "Album", "Genre", "Year", "Track" lines for what
// the item has. `item` may be none (a file that is not playable).
QString fileInfoFooter(const QString &path, const PlayableItem *item);
