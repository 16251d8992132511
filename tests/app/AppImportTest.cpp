#include "AppFixture.h"

#include <QUrl>

#include <sys/stat.h>

#include "platform/RunLoop.h"

namespace {

struct stat statOf(const std::string &path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st;
}

QStringList inboxNames(const std::string &inbox)
{
    QStringList names = QDir(q(inbox)).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

TEST_F(AppTest, ImportLinksIntoTheInboxAndNeverDropsAFile)
{
    TempDir outside;
    writeFile(outside.file("song.flac"), "first song");
    QDir().mkpath(q(outside.file("other")));
    writeFile(outside.file("other/song.flac"), "another song");
    writeFile(outside.file("other/copy.flac"), "first song");
    const std::string inbox = path("Inbox");

    struct Row {
        const char *name;
        std::string source;
        std::string landed;  // "" when nothing may land
    } rows[] = {
        {"a hard link named like the file", outside.file("song.flac"), "song.flac"},
        {"the same file again: nothing new", outside.file("song.flac"), "song.flac"},
        {"another file of that name: a free name", outside.file("other/song.flac"), "song 2.flac"},
        {"a file there already: nothing new", outside.file("other/song.flac"), "song 2.flac"},
        {"missing file", outside.file("missing.flac"), ""},
    };
    for (const Row &row : rows) {
        Preferences::setObject("CurrentFolder", QVariant());
        QString landed = app->importFile(QUrl::fromLocalFile(q(row.source)));
        if (row.landed.empty()) {
            EXPECT_TRUE(landed.isNull()) << row.name;
            continue;
        }
        EXPECT_EQ(landed, q(inbox + "/" + row.landed)) << row.name;
        EXPECT_EQ(statOf(landed.toStdString()).st_ino, statOf(row.source).st_ino) << row.name;
        EXPECT_EQ(Preferences::stringForKey("CurrentFolder"), "Inbox") << row.name;
        EXPECT_EQ(Preferences::integerForKey("Organize"), 0) << row.name;
    }
    EXPECT_EQ(inboxNames(inbox), QStringList({"song 2.flac", "song.flac"}));
    EXPECT_EQ(readFile(inbox + "/song.flac"), "first song");
    EXPECT_EQ(readFile(inbox + "/song 2.flac"), "another song");

    // The same bytes under the same name count as there already.
    QDir().mkpath(q(outside.file("copy")));
    writeFile(outside.file("copy/song.flac"), "first song");
    EXPECT_EQ(app->importFile(QUrl::fromLocalFile(q(outside.file("copy/song.flac")))), q(inbox + "/song.flac"));
    EXPECT_EQ(inboxNames(inbox).size(), 2);

    // Handed over while running: imported, and a rescan follows.
    app->openFiles({QUrl::fromLocalFile(q(outside.file("other/copy.flac"))).toString()});
    EXPECT_TRUE(QFileInfo::exists(q(inbox + "/copy.flac")));
    EXPECT_EQ(RunLoop::pendingPerforms(app.get()), 1);
}

TEST_F(AppTest, ImportCopiesAcrossFileSystems)
{
    // Shared memory is another file system than the temporary folder on most machines.
    char pattern[] = "/dev/shm/sonavel-import-XXXXXX";
    if (!mkdtemp(pattern))
        GTEST_SKIP() << "no /dev/shm";
    const std::string other = pattern;
    if (statOf(other).st_dev == statOf(docs.path()).st_dev) {
        QDir(q(other)).removeRecursively();
        GTEST_SKIP() << "/dev/shm is on the same file system";
    }
    const std::string bytes(300000, 'x');
    writeFile(other + "/far.flac", bytes);
    writeFile(other + "/song.flac", "from afar");
    QDir().mkpath(q(path("Inbox")));
    writeFile(path("Inbox/song.flac"), "already here");

    QString landed = app->importFile(QUrl::fromLocalFile(q(other + "/far.flac")));
    EXPECT_EQ(landed, q(path("Inbox/far.flac")));
    EXPECT_EQ(readFile(path("Inbox/far.flac")), bytes);
    EXPECT_EQ(app->importFile(QUrl::fromLocalFile(q(other + "/song.flac"))), q(path("Inbox/song 2.flac")));
    EXPECT_EQ(readFile(path("Inbox/song 2.flac")), "from afar");
    EXPECT_EQ(readFile(path("Inbox/song.flac")), "already here");
    // No half-made copy is left behind, and the originals stay.
    EXPECT_EQ(inboxNames(path("Inbox")), QStringList({"far.flac", "song 2.flac", "song.flac"}));
    EXPECT_EQ(readFile(other + "/far.flac"), bytes);
    QDir(q(other)).removeRecursively();
}

}  // namespace
