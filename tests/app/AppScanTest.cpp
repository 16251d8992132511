#include "AppFixture.h"

#include <QTimer>

#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/RunLoop.h"

namespace {

TEST_F(AppTest, ListsAudioFilesOnceEach)
{
    flac("album.flac");
    writeFile(path("album.cue"), "FILE \"album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                 "  TRACK 02 AUDIO\n    INDEX 01 00:00:05\n");
    writeFile(path("cover.jpg"), imageBytes(4, 4, "JPG"));
    writeFile(path("notes.txt"), "x");
    flac("sub/Song.FLAC");
    flac("sub/song.flac");
    flac("sub/.hidden.flac");
    writeFile(path("sub/tone.aifc"), "not really");
    // A link back to a parent, and a second name of a folder: each folder is listed once.
    ASSERT_EQ(symlink("..", path("sub/up").c_str()), 0);
    ASSERT_EQ(symlink(path("sub").c_str(), path("alias").c_str()), 0);

    std::optional<QStringList> found = AppDelegate::getAudioFilesInDirectory(q(docs.path()), true);
    ASSERT_TRUE(found);
    found->sort();
    QStringList under;
    for (const QString &file : *found)
        under << file.mid(int(docs.path().size()) + 1);
    // The alias may be met before the folder itself; either name, never both.
    EXPECT_EQ(under.size(), 5) << under.join(' ').toStdString();
    EXPECT_TRUE(under.contains("album.flac"));
    for (const char *name : {"Song.FLAC", "song.flac", ".hidden.flac", "tone.aifc"})
        EXPECT_TRUE(under.contains(QString("sub/") + name) != under.contains(QString("alias/") + name)) << name;

    std::optional<QStringList> top = AppDelegate::getAudioFilesInDirectory(q(docs.path()), false);
    ASSERT_TRUE(top);
    EXPECT_EQ(*top, QStringList({q(path("album.flac"))}));
    EXPECT_FALSE(AppDelegate::getAudioFilesInDirectory(q(path("missing")), true));
    QDir().mkpath(q(path("empty")));
    EXPECT_EQ(AppDelegate::getAudioFilesInDirectory(q(path("empty")), true), QStringList());

    // The album is one item with its tracks; the cue sheet, the image and the text are none,
    // and a file the engine cannot open is left out.
    ASSERT_TRUE(scan());
    QList<PlayableItemPtr> items = library();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->path(), q(path("album.flac")));
    EXPECT_EQ(items[0]->subItems().size(), 2);
}

TEST_F(AppTest, OnlyTheNewestScanPublishesAWholeLibrary)
{
    const int kFiles = 60;
    for (int i = 0; i < kFiles; i++)
        flac("f" + std::to_string(i) + ".flac");

    // Readers on the main thread and on another thread only ever see the empty library or
    // the whole one.
    std::atomic<bool> halfSeen{false}, reading{true};
    std::thread reader([&] {
        while (reading) {
            qsizetype n = app->playableItems()->size();
            if (n != 0 && n != kFiles)
                halfSeen = true;
        }
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        qsizetype n = app->playableItems()->size();
        if (n != 0 && n != kFiles)
            halfSeen = true;
    });
    poll.start(1);

    QSignalSpy done(app.get(), &AppDelegate::libraryChanged);
    app->loadMusics();
    app->loadMusics();
    EXPECT_TRUE(runLoopUntil([&] { return app->runningScans() == 0; }, 20000));
    QCoreApplication::processEvents();  // a completion is posted before its thread ends
    reading = false;
    reader.join();

    EXPECT_FALSE(halfSeen);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(app->publishedScan(), 2u);
    EXPECT_EQ(app->playableItems()->size(), kFiles);
    EXPECT_EQ(app->playListController()->rowCount(), kFiles);
}

TEST_F(AppTest, RescanReusesWhatDidNotChange)
{
    flac("a/tagged.flac", {"TITLE=One"});
    flac("b/album.flac");
    writeFile(path("b/album.cue"), "FILE \"album.flac\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"First\"\n    INDEX 01 00:00:00\n");
    flac("c/lone.flac");
    flac("d/covered.flac", {"ALBUM=Covered"});
    flac("e/untouched.flac");
    flac("f/gone.flac");
    ASSERT_TRUE(scan());
    QHash<QString, PlayableItemPtr> before;
    for (const PlayableItemPtr &item : library())
        before.insert(item->path(), item);
    ASSERT_EQ(before.size(), 6);

    // Nothing changed: every item is the very same object.
    ASSERT_TRUE(scan());
    for (const PlayableItemPtr &item : library())
        EXPECT_EQ(item, before.value(item->path())) << item->path().toStdString();

    flac("a/tagged.flac", {"TITLE=Two"});
    writeFile(path("b/album.cue"), "FILE \"album.flac\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Renamed\"\n    INDEX 01 00:00:00\n");
    writeFile(path("c/lone.cue"), "FILE \"lone.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                  "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    writeFile(path("d/Covered.png"), imageBytes(4, 4, "PNG"));
    ASSERT_EQ(unlink(path("f/gone.flac").c_str()), 0);
    ASSERT_TRUE(scan());
    QHash<QString, PlayableItemPtr> after;
    for (const PlayableItemPtr &item : library())
        after.insert(item->path(), item);

    struct Row {
        const char *name;
        const char *file;
        bool rebuilt;
    } rows[] = {
        {"changed tag", "a/tagged.flac", true},
        {"cue sheet edited in place", "b/album.flac", true},
        {"new cue sheet beside it", "c/lone.flac", true},
        {"new cover beside it", "d/covered.flac", true},
        {"unchanged", "e/untouched.flac", false},
    };
    for (const Row &row : rows) {
        PlayableItemPtr item = after.value(q(path(row.file)));
        ASSERT_TRUE(item) << row.name;
        EXPECT_EQ(item != before.value(q(path(row.file))), row.rebuilt) << row.name;
    }
    EXPECT_EQ(after.value(q(path("a/tagged.flac")))->title(), "Two");
    EXPECT_EQ(after.value(q(path("b/album.flac")))->subItems().value(0)->title(), "Renamed");
    EXPECT_EQ(after.value(q(path("c/lone.flac")))->subItems().size(), 2);
    EXPECT_FALSE(after.contains(q(path("f/gone.flac"))));

    // Cue-sheet texts are decoded with the preferred encoding: another one rebuilds them all.
    Preferences::setInteger("PreferedEnc", 1);
    ASSERT_TRUE(scan());
    EXPECT_NE(library().value(0), after.value(library().value(0)->path()));
}

TEST_F(AppTest, RescansAreDebounced)
{
    // Becoming active, then three FTP changes in a row: one scan, 3 s after the last.
    app->applicationDidBecomeActive();
    for (int i = 0; i < 3; i++) {
        runLoopUntil([] { return false; }, 100);
        app->didReceiveFileListChanged();
    }
    EXPECT_EQ(RunLoop::pendingPerforms(app.get()), 1);
    EXPECT_EQ(app->loadId(), 0u);
    EXPECT_TRUE(runLoopUntil([&] { return app->loadId() == 1; }, 10000));
    EXPECT_EQ(RunLoop::pendingPerforms(app.get()), 0);
}

TEST_F(AppTest, NoMusicIsSaidOncePerRun)
{
    QStringList said;
    app->setMessageHook([&](const QString &title, const QString &message) { said << title << message; });
    ASSERT_TRUE(scan());
    ASSERT_TRUE(scan());
    EXPECT_EQ(said, QStringList({"No music", "Add lossless music via iTunes file sharing"}));
}

}  // namespace
