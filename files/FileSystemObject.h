// The application layer's one door to the file system: well-known folders, tests, listings,
// creation, copy, move, removal and the do-not-back-up attribute. Stateless: every operation
// may be called from any thread, on the shared instance or on a private one.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class FileSystemObject {
public:
    // Created on first use under a lock, so concurrent first callers share it; never freed.
    static FileSystemObject *sharedObject();

    // $SONAVEL_DOCUMENTS, else the user's music folder + "/Sonavel"; created when missing.
    QString documentsDirectory() const;
    QString libraryDirectory() const;
    QString homeDirectory() const;
    QString bundleDirectory() const;

    bool fileExists(const QString &path) const;
    bool directoryExists(const QString &path) const;
    // Entry names, hidden ones too, sorted case-insensitively; none when unreadable.
    std::optional<QStringList> contentsOfDirectory(const QString &path) const;
    // Names ending in `suffix` (case-sensitive), in listing order; none when unreadable,
    // empty, or nothing matches.
    std::optional<QStringList> contentsOfDirectoryWithSuffix(const QString &path,
                                                             const QString &suffix) const;
    // contentsOfDirectory split into the entries that are folders (links to folders too) and
    // the others, each part in the same order. The kind comes with the listing where the file
    // system gives it, so a big folder costs no look-up per entry.
    struct DirectoryContents {
        QStringList folders;
        QStringList others;
    };
    std::optional<DirectoryContents> contentsOfDirectoryByKind(const QString &path) const;
    // The folder entries of contentsOfDirectory, as full paths or as names; never none.
    QStringList subDirectories(const QString &path, bool fullPath) const;
    QStringList subDirectories(const QString &path) const { return subDirectories(path, true); }
    qint64 fileSize(const QString &path) const;              // 0 when nothing is there
    QDateTime modificationDate(const QString &path) const;   // invalid when unreadable

    bool createDirectory(const QString &path) const;         // with parents, mode 0777
    bool ensureDirectoryExists(const QString &path) const;
    bool createFile(const QString &path) const;              // empty; truncates an existing one
    bool removeFileAtPath(const QString &path) const;        // a folder goes with its contents
    bool copyFile(const QString &source, const QString &destination) const;
    bool moveFile(const QString &source, const QString &destination) const;

    // Kept as a user extended attribute; false where the file system has none.
    bool addSkipBackupAttributeToItemAtURL(const QUrl &url) const;
    bool removeSkipBackupAttributeToItemAtURL(const QUrl &url) const;
    bool hasSkipBackupAttributeToItemAtURL(const QUrl &url) const;
    bool addSkipBackupAttribute(const QString &path) const;
    bool removeSkipBackupAttribute(const QString &path) const;
    bool hasSkipBackupAttribute(const QString &path) const;
};
