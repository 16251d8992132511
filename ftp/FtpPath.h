// The one gate between the names a client sends and the file system. Every command that
// touches a path gets it from resolve(): already free of "." and "..", with its symbolic links
// resolved, and checked to lie inside the root. Nothing else in ftp/ builds paths from names.
#pragma once

#include <QString>

#include <optional>

namespace FtpPath {

enum class Target {
    // What the name leads to: links are followed (reading, listing, entering, writing a file).
    Followed,
    // The directory entry itself: a link is removed or renamed, not what it points to.
    // The root is never an entry, so it can be neither removed nor renamed.
    Entry,
};

// `root` and `currentDir` are real paths (no links), `currentDir` inside `root`; a root of "/"
// confines nothing. A name beginning with "/" starts at the root, any other at `currentDir`.
// Names with NUL, CR or LF, and names that lead outside the root, are refused (no value).
// Components that do not exist yet are kept as given, after the real path of the part that does.
std::optional<QString> resolve(const QString &root, const QString &currentDir, const QString &name,
                               Target target);

// True when `path` is `root` or below it.
bool isInside(const QString &root, const QString &path);

// The directory as the client sees it: below the root, with a final "/" ("/", "/Music/");
// the whole path when the root is "/".
QString visible(const QString &root, const QString &currentDir);

// The real path of an existing item, or an empty text.
QString realPath(const QString &path);

}  // namespace FtpPath
