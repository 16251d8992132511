#include "files/FileSystemObject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/Localization.h"

namespace {

// Linux keeps unprivileged attributes in the "user." namespace.
const char kSkipBackupAttribute[] = "user.com.apple.MobileBackup";

QByteArray nativePath(const QString &path) { return QFile::encodeName(path); }

bool statPath(const QString &path, struct stat *st, bool followLinks = true)
{
    QByteArray p = nativePath(path);
    return (followLinks ? stat(p.constData(), st) : lstat(p.constData(), st)) == 0;
}

// Names of a folder's entries in the order the system lists them, hidden ones included.
std::optional<QStringList> listDirectory(const QString &path)
{
    DIR *dir = opendir(nativePath(path).constData());
    if (!dir)
        return std::nullopt;
    QStringList names;
    while (struct dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        names << QFile::decodeName(entry->d_name);
    }
    closedir(dir);
    return names;
}

bool copyItem(const QString &source, const QString &destination)
{
    struct stat st;
    if (!statPath(source, &st, false))
        return false;
    if (!S_ISDIR(st.st_mode))
        return QFile::copy(source, destination);
    if (mkdir(nativePath(destination).constData(), 0777) != 0)
        return false;
    std::optional<QStringList> names = listDirectory(source);
    if (!names)
        return false;
    for (const QString &name : *names) {
        if (!copyItem(source + "/" + name, destination + "/" + name))
            return false;
    }
    return true;
}

// Absolute, with the links among its folders resolved; the last name is kept as it is, so
// a link there stands for itself.
QString resolvedPath(const QString &path)
{
    QFileInfo info(path);
    QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(info.absolutePath());
    return QDir(folder).filePath(info.fileName());
}

bool isWithin(const QString &inner, const QString &outer)
{
    return inner.startsWith(outer.endsWith('/') ? outer : outer + '/');
}

enum class Overlap { None, Same, Entangled };

// Replacing the destination removes it first: that must never take the source with it (the
// same entry under another spelling, or a folder that holds it), and a folder copied into
// itself would never end.
Overlap overlap(const QString &source, const QString &destination)
{
    QString s = resolvedPath(source), d = resolvedPath(destination);
    if (s == d)
        return Overlap::Same;
    return isWithin(s, d) || isWithin(d, s) ? Overlap::Entangled : Overlap::None;
}

QString expandTilde(const QString &path)
{
    if (path == "~" || path.startsWith("~/"))
        return QDir::homePath() + path.mid(1);
    return path;
}

bool setSkipBackupByte(const QString &path, char value)
{
    return setxattr(nativePath(path).constData(), kSkipBackupAttribute, &value, 1, 0) == 0;
}

}  // namespace

FileSystemObject *FileSystemObject::sharedObject()
{
    static std::mutex lock;
    static FileSystemObject *shared = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    if (!shared)
        shared = new FileSystemObject;
    return shared;
}

QString FileSystemObject::documentsDirectory() const
{
    QString path;
    if (const char *env = getenv("SONAVEL_DOCUMENTS"); env && *env)
        path = expandTilde(QFile::decodeName(env));
    else
        path = QStandardPaths::writableLocation(QStandardPaths::MusicLocation) + "/Sonavel";
    ensureDirectoryExists(path);
    return path;
}

QString FileSystemObject::libraryDirectory() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Sonavel";
}

QString FileSystemObject::homeDirectory() const { return QDir::homePath(); }

QString FileSystemObject::bundleDirectory() const { return SVResourcesPath(); }

bool FileSystemObject::fileExists(const QString &path) const
{
    struct stat st;
    return statPath(path, &st);
}

bool FileSystemObject::directoryExists(const QString &path) const
{
    struct stat st;
    return statPath(path, &st) && S_ISDIR(st.st_mode);
}

std::optional<QStringList> FileSystemObject::contentsOfDirectory(const QString &path) const
{
    std::optional<QStringList> names = listDirectory(path);
    if (names) {
        std::stable_sort(names->begin(), names->end(), [](const QString &a, const QString &b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
    }
    return names;
}

std::optional<FileSystemObject::DirectoryContents> FileSystemObject::contentsOfDirectoryByKind(
    const QString &path) const
{
    DIR *dir = opendir(nativePath(path).constData());
    if (!dir)
        return std::nullopt;
    struct Entry {
        QString name, key;
    };
    QList<Entry> folders, others;
    const QByteArray prefix = nativePath(path) + '/';
    while (struct dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            folder = stat((prefix + entry->d_name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        QString name = QFile::decodeName(entry->d_name);
        // Folded once here rather than at every comparison of the sort: the same order as
        // comparing case-insensitively.
        QString key = name.toCaseFolded();
        (folder ? folders : others).append({std::move(name), std::move(key)});
    }
    closedir(dir);
    DirectoryContents contents;
    for (auto [list, names] : {std::pair{&folders, &contents.folders}, std::pair{&others, &contents.others}}) {
        std::stable_sort(list->begin(), list->end(),
                         [](const Entry &a, const Entry &b) { return a.key < b.key; });
        names->reserve(list->size());
        for (const Entry &e : *list)
            names->append(e.name);
    }
    return contents;
}

std::optional<QStringList> FileSystemObject::contentsOfDirectoryWithSuffix(
    const QString &path, const QString &suffix) const
{
    std::optional<QStringList> names = listDirectory(path);
    if (!names)
        return std::nullopt;
    QStringList matching;
    for (const QString &name : *names) {
        if (name.endsWith(suffix, Qt::CaseSensitive))
            matching << name;
    }
    if (matching.isEmpty())
        return std::nullopt;
    return matching;
}

QStringList FileSystemObject::subDirectories(const QString &path, bool fullPath) const
{
    QStringList folders;
    std::optional<QStringList> names = contentsOfDirectory(path);
    if (!names)
        return folders;
    for (const QString &name : *names) {
        QString full = path + "/" + name;
        if (directoryExists(full))
            folders << (fullPath ? full : name);
    }
    return folders;
}

qint64 FileSystemObject::fileSize(const QString &path) const
{
    struct stat st;
    return statPath(path, &st) ? qint64(st.st_size) : 0;
}

QDateTime FileSystemObject::modificationDate(const QString &path) const
{
    struct stat st;
    if (!statPath(path, &st))
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1000000);
}

bool FileSystemObject::createDirectory(const QString &path) const
{
    return QDir().mkpath(path) && directoryExists(path);
}

bool FileSystemObject::ensureDirectoryExists(const QString &path) const
{
    return directoryExists(path) || createDirectory(path);
}

bool FileSystemObject::createFile(const QString &path) const
{
    FILE *f = fopen(nativePath(path).constData(), "w");
    if (!f)
        return false;
    fclose(f);
    return true;
}

bool FileSystemObject::removeFileAtPath(const QString &path) const
{
    struct stat st;
    if (!statPath(path, &st, false))
        return false;
    if (S_ISDIR(st.st_mode))
        return QDir(path).removeRecursively();
    return unlink(nativePath(path).constData()) == 0;
}

bool FileSystemObject::copyFile(const QString &source, const QString &destination) const
{
    struct stat st;
    switch (overlap(source, destination)) {
    case Overlap::Same:
        return statPath(source, &st, false);  // already its own copy
    case Overlap::Entangled:
        return false;
    case Overlap::None:
        break;
    }
    if (statPath(destination, &st, false))
        removeFileAtPath(destination);
    return copyItem(source, destination);
}

bool FileSystemObject::moveFile(const QString &source, const QString &destination) const
{
    struct stat st;
    if (!statPath(source, &st, false))
        return false;
    switch (overlap(source, destination)) {
    case Overlap::Same:
        return true;
    case Overlap::Entangled:
        return false;
    case Overlap::None:
        break;
    }
    if (statPath(destination, &st, false))
        removeFileAtPath(destination);
    if (rename(nativePath(source).constData(), nativePath(destination).constData()) == 0)
        return true;
    // Across file systems a rename cannot work; copy and remove instead.
    if (errno != EXDEV || !copyItem(source, destination))
        return false;
    return removeFileAtPath(source);
}

bool FileSystemObject::addSkipBackupAttributeToItemAtURL(const QUrl &url) const
{
    return url.isLocalFile() && addSkipBackupAttribute(url.toLocalFile());
}

bool FileSystemObject::removeSkipBackupAttributeToItemAtURL(const QUrl &url) const
{
    return url.isLocalFile() && removeSkipBackupAttribute(url.toLocalFile());
}

bool FileSystemObject::hasSkipBackupAttributeToItemAtURL(const QUrl &url) const
{
    return url.isLocalFile() && hasSkipBackupAttribute(url.toLocalFile());
}

bool FileSystemObject::addSkipBackupAttribute(const QString &path) const
{
    return setSkipBackupByte(path, 1);
}

bool FileSystemObject::removeSkipBackupAttribute(const QString &path) const
{
    return setSkipBackupByte(path, 0);
}

bool FileSystemObject::hasSkipBackupAttribute(const QString &path) const
{
    char value = 0;
    ssize_t n = getxattr(nativePath(path).constData(), kSkipBackupAttribute, &value, 1);
    return n == 1 && value == 1;
}
