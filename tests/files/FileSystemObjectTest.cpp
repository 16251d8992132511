#include <gtest/gtest.h>

#include <QDir>
#include <QSet>

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "TestSupport.h"
#include "files/FileSystemObject.h"

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

FileSystemObject &fs() { return *FileSystemObject::sharedObject(); }

TEST(FileSystemObject, ListingsSortOrderAndNoneVersusEmpty)
{
    TempDir dir;
    for (const char *name : {"b", "A", "c", ".hidden", "Plain.thm", "Dark.THM", "x.thm"})
        writeFile(dir.file(name), "");
    mkdir(dir.file("Sub").c_str(), 0777);
    mkdir(dir.file("another").c_str(), 0777);

    std::optional<QStringList> all = fs().contentsOfDirectory(q(dir.path()));
    ASSERT_TRUE(all);
    EXPECT_EQ(*all, QStringList({".hidden", "A", "another", "b", "c", "Dark.THM", "Plain.thm",
                                 "Sub", "x.thm"}));

    // The suffix listing keeps the system's order, which readdir shows.
    QStringList systemOrder;
    DIR *d = opendir(dir.path().c_str());
    while (dirent *e = readdir(d)) {
        QString name = e->d_name;
        if (name.endsWith(".thm"))
            systemOrder << name;
    }
    closedir(d);
    std::optional<QStringList> themes = fs().contentsOfDirectoryWithSuffix(q(dir.path()), ".thm");
    ASSERT_TRUE(themes);
    EXPECT_EQ(*themes, systemOrder);
    EXPECT_EQ(QSet<QString>(themes->begin(), themes->end()), QSet<QString>({"Plain.thm", "x.thm"}));

    EXPECT_EQ(fs().subDirectories(q(dir.path()), false), QStringList({"another", "Sub"}));
    EXPECT_EQ(fs().subDirectories(q(dir.path())),
              QStringList({q(dir.file("another")), q(dir.file("Sub"))}));

    TempDir empty;
    EXPECT_FALSE(fs().contentsOfDirectoryWithSuffix(q(empty.path()), ".thm"));
    EXPECT_FALSE(fs().contentsOfDirectoryWithSuffix(q(dir.path()), ".m3u"));
    EXPECT_FALSE(fs().contentsOfDirectoryWithSuffix(q(dir.file("missing")), ".thm"));
    ASSERT_TRUE(fs().contentsOfDirectory(q(empty.path())));
    EXPECT_TRUE(fs().contentsOfDirectory(q(empty.path()))->isEmpty());
    EXPECT_FALSE(fs().contentsOfDirectory(q(dir.file("missing"))));
    EXPECT_TRUE(fs().subDirectories(q(empty.path())).isEmpty());
    EXPECT_TRUE(fs().subDirectories(q(dir.file("missing"))).isEmpty());
}

TEST(FileSystemObject, ExistenceSizeAndDate)
{
    TempDir dir;
    writeFile(dir.file("five"), "12345");
    struct stat st;
    stat(dir.path().c_str(), &st);

    EXPECT_TRUE(fs().fileExists(q(dir.file("five"))));
    EXPECT_TRUE(fs().fileExists(q(dir.path())));
    EXPECT_FALSE(fs().fileExists(q(dir.file("none"))));
    EXPECT_TRUE(fs().directoryExists(q(dir.path())));
    EXPECT_FALSE(fs().directoryExists(q(dir.file("five"))));
    EXPECT_EQ(fs().fileSize(q(dir.file("five"))), 5);
    EXPECT_EQ(fs().fileSize(q(dir.path())), qint64(st.st_size));
    EXPECT_EQ(fs().fileSize(q(dir.file("none"))), 0);
    EXPECT_TRUE(fs().modificationDate(q(dir.file("five"))).isValid());
    EXPECT_FALSE(fs().modificationDate(q(dir.file("none"))).isValid());
}

TEST(FileSystemObject, CreateCopyMoveRemove)
{
    TempDir dir;
    QString deep = q(dir.file("a/b/c"));
    EXPECT_TRUE(fs().createDirectory(deep));
    EXPECT_TRUE(fs().directoryExists(deep));
    EXPECT_TRUE(fs().ensureDirectoryExists(deep));
    writeFile(dir.file("blocker"), "x");
    EXPECT_FALSE(fs().createDirectory(q(dir.file("blocker/sub"))));
    EXPECT_FALSE(fs().ensureDirectoryExists(q(dir.file("blocker"))));

    writeFile(dir.file("full"), "content");
    EXPECT_TRUE(fs().createFile(q(dir.file("full"))));
    EXPECT_EQ(readFile(dir.file("full")), "");
    EXPECT_TRUE(fs().createFile(q(dir.file("new"))));
    EXPECT_TRUE(fs().fileExists(q(dir.file("new"))));
    EXPECT_FALSE(fs().createFile(q(dir.file("missing/new"))));

    writeFile(dir.file("src"), "source");
    writeFile(dir.file("dst"), "old destination, longer");
    EXPECT_TRUE(fs().copyFile(q(dir.file("src")), q(dir.file("dst"))));
    EXPECT_EQ(readFile(dir.file("dst")), "source");
    EXPECT_EQ(readFile(dir.file("src")), "source");

    writeFile(dir.file("a/b/c/song.flac"), "flac");
    EXPECT_TRUE(fs().copyFile(q(dir.file("a")), q(dir.file("copy"))));
    EXPECT_EQ(readFile(dir.file("copy/b/c/song.flac")), "flac");

    writeFile(dir.file("mv"), "moved");
    EXPECT_TRUE(fs().moveFile(q(dir.file("mv")), q(dir.file("dst"))));
    EXPECT_EQ(readFile(dir.file("dst")), "moved");
    EXPECT_FALSE(fs().fileExists(q(dir.file("mv"))));
    EXPECT_FALSE(fs().moveFile(q(dir.file("mv")), q(dir.file("dst"))));
    EXPECT_EQ(readFile(dir.file("dst")), "moved");

    EXPECT_TRUE(fs().removeFileAtPath(q(dir.file("a"))));
    EXPECT_FALSE(fs().fileExists(q(dir.file("a"))));
    EXPECT_TRUE(fs().removeFileAtPath(q(dir.file("dst"))));
    EXPECT_FALSE(fs().removeFileAtPath(q(dir.file("dst"))));
}

TEST(FileSystemObject, CopyAndMoveNeverRemoveTheirOwnSource)
{
    TempDir dir;
    ASSERT_TRUE(fs().createDirectory(q(dir.file("music/album"))));
    writeFile(dir.file("music/album/song.flac"), "audio");
    symlink(dir.file("music").c_str(), dir.file("link").c_str());
    struct Row {
        const char *name;
        std::string source, destination;
        bool result;
    } rows[] = {
        {"a file onto itself", "music/album/song.flac", "music/album/song.flac", true},
        {"onto itself, spelt otherwise", "music/album/song.flac", "music/./album/../album/song.flac", true},
        {"onto itself through a linked folder", "music/album/song.flac", "link/album/song.flac", true},
        {"onto the folder that holds it", "music/album/song.flac", "music", false},
        {"a folder into itself", "music", "music/album/inner", false},
        {"a folder onto its own subfolder", "music", "music/album", false},
    };
    for (const Row &row : rows) {
        QString source = q(dir.file(row.source)), destination = q(dir.file(row.destination));
        EXPECT_EQ(fs().copyFile(source, destination), row.result) << "copy " << row.name;
        EXPECT_EQ(readFile(dir.file("music/album/song.flac")), "audio") << "copy " << row.name;
        EXPECT_EQ(fs().moveFile(source, destination), row.result) << "move " << row.name;
        EXPECT_EQ(readFile(dir.file("music/album/song.flac")), "audio") << "move " << row.name;
        EXPECT_FALSE(fs().fileExists(q(dir.file("music/album/inner")))) << row.name;
    }
}

TEST(FileSystemObject, SkipBackupAttribute)
{
    TempDir dir;
    writeFile(dir.file("song.flac"), "x");
    QString path = q(dir.file("song.flac"));
    EXPECT_FALSE(fs().hasSkipBackupAttribute(path));
    EXPECT_TRUE(fs().addSkipBackupAttribute(path));
    EXPECT_TRUE(fs().hasSkipBackupAttribute(path));
    EXPECT_TRUE(fs().hasSkipBackupAttributeToItemAtURL(QUrl::fromLocalFile(path)));

    EXPECT_TRUE(fs().removeSkipBackupAttributeToItemAtURL(QUrl::fromLocalFile(path)));
    EXPECT_FALSE(fs().hasSkipBackupAttribute(path));
    char value = 7;
    EXPECT_EQ(getxattr(path.toLocal8Bit().constData(), "user.com.apple.MobileBackup", &value, 1), 1)
        << "the attribute stays, holding 0";
    EXPECT_EQ(value, 0);

    struct Row {
        const char *name;
        QString path;
    } rows[] = {
        {"missing file", q(dir.file("none"))},
        {"file system without user attributes", "/proc/version"},
    };
    for (const Row &row : rows) {
        EXPECT_FALSE(fs().addSkipBackupAttribute(row.path)) << row.name;
        EXPECT_FALSE(fs().removeSkipBackupAttribute(row.path)) << row.name;
        EXPECT_FALSE(fs().hasSkipBackupAttribute(row.path)) << row.name;
    }
    EXPECT_FALSE(fs().addSkipBackupAttributeToItemAtURL(QUrl("http://example.org/x")));
}

TEST(FileSystemObject, DocumentsFolderIsCreated)
{
    TempDir dir;
    std::string saved = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";

    setenv("SONAVEL_DOCUMENTS", dir.file("docs/inner").c_str(), 1);
    EXPECT_EQ(fs().documentsDirectory(), q(dir.file("docs/inner")));
    EXPECT_TRUE(fs().directoryExists(q(dir.file("docs/inner"))));

    // Without the variable: the music folder named by the user's folder settings.
    unsetenv("SONAVEL_DOCUMENTS");
    mkdir(dir.file("config").c_str(), 0777);
    writeFile(dir.file("config/user-dirs.dirs"), "XDG_MUSIC_DIR=\"" + dir.file("music") + "\"\n");
    mkdir(dir.file("music").c_str(), 0777);
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    QString documents = fs().documentsDirectory();
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    EXPECT_EQ(documents, q(dir.file("music/Sonavel")));
    EXPECT_TRUE(fs().directoryExists(q(dir.file("music/Sonavel"))));
}

}  // namespace
