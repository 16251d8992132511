#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/AudioQueue.h"
#include "platform/Preferences.h"
#include "playback/PlayList.h"

// Items show as their description in failure messages.
void PrintTo(const PlayableItemPtr &item, std::ostream *os)
{
    *os << (item ? item->description().toStdString() : std::string("null"));
}

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

const char *const kKeys[] = {"Organize",      "CurrentFolder",   "CurrentArtist", "CurrentAlbum",
                             "CurrentPlaylist", "CurrentFile", "ShuffleMode"};

// A library held as the application holds it: a published list, replaced whole.
struct Library : PlayListLibrary {
    QList<PlayableItemPtr> items;
    int rescans = 0;
    std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const override
    {
        return std::make_shared<const QList<PlayableItemPtr>>(items);
    }
    void loadMusics() override { rescans++; }
};

// Files in a documents folder of their own, a player that plays in real time into nothing,
// and the play list over both.
class PlayListTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("SONAVEL_DOCUMENTS", docs.path().c_str(), 1);
        setenv("SONAVEL_AUDIO_OUTPUT", "null", 1);
        for (const char *key : kKeys)
            Preferences::setObject(key, QVariant());
        player = UniPlayer::create();
        list = std::make_unique<PlayList>(&library, player.get());
    }
    void TearDown() override
    {
        list.reset();
        player.reset();
        AudioQueueWaitForDisposed();
        setenv("SONAVEL_AUDIO_OUTPUT", "null-fast", 1);
    }

    std::string path(const std::string &name) const { return docs.file(name); }

    // A CD-format WAV of `seconds`, with ID3 frames, added to the library.
    PlayableItemPtr add(const std::string &name, float seconds,
                        const std::vector<std::pair<std::string, std::string>> &frames = {})
    {
        std::string full = path(name);
        QDir().mkpath(QFileInfo(q(full)).path());
        writeWav(full, makePcm(44100, 2, 16, uint32_t(seconds * 44100)), frames.empty() ? "" : id3v23(frames));
        PlayableItemPtr item = PlayableItem::itemWithPath(q(full));
        EXPECT_TRUE(item) << name;
        library.items << item;
        return item;
    }

    // A 30-second album with a sheet of three 10-second tracks.
    PlayableItemPtr addAlbum(const std::string &name)
    {
        std::string base = name.substr(0, name.rfind('.'));
        writeFile(path(base + ".cue"), "TITLE \"Live\"\nPERFORMER \"Band\"\nFILE \"x.wav\" WAVE\n"
                                       "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                       "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:10:00\n"
                                       "  TRACK 03 AUDIO\n    INDEX 01 00:20:00\n");
        return add(name, 30);
    }

    void organize(int value, const char *key = nullptr, const QString &companion = QString())
    {
        Preferences::setInteger("Organize", value);
        if (key)
            Preferences::setObject(key, companion.isNull() ? QVariant() : QVariant(companion));
        list->updatePlayList();
    }

    QStringList rowTitles() const
    {
        QStringList titles;
        for (int row = 0; row < list->rowCount(); row++)
            titles << list->rowTitle(row);
        return titles;
    }

    // Plays `item` and holds it paused, so it stays the current item.
    void hold(const PlayableItemPtr &item)
    {
        player->play(item);
        runLoopUntil([&] { return player->playing(); });
        player->pause();
        runLoopUntil([&] { return !player->playing(); });
    }

    TempDir docs;
    Library library;
    std::unique_ptr<UniPlayer> player;
    std::unique_ptr<PlayList> list;
};

TEST_F(PlayListTest, BuiltForEachOrganizeValue)
{
    add("Music/a.wav", 1, {{"TIT2", "A"}, {"TPE1", "Xavier"}});
    add("Music/Jazz/b.wav", 1, {{"TIT2", "B"}});
    add("Music2/c.wav", 1, {{"TIT2", "C"}, {"TPE1", "Xavier"}});
    addAlbum("album.wav");
    add("other.wav", 1, {{"TIT2", "O"}, {"TALB", "Live"}});

    struct Row {
        const char *name;
        int organize;
        const char *key;
        QString value;
        QStringList titles;
        QString title;
    } rows[] = {
        {"no folder: the whole library", 0, "CurrentFolder", QString(),
         {"A", "B", "C", "Live", "", "Two", "", "O"}, "All"},
        {"empty folder: the whole library", 0, "CurrentFolder", "", {"A", "B", "C", "Live", "", "Two", "", "O"}, "All"},
        {"relative folder: subfolders and a sibling sharing the prefix", 0, "CurrentFolder", "Music",
         {"A", "B", "C"}, "Music"},
        {"absolute folder", 0, "CurrentFolder", q(path("Music/Jazz")), {"B"}, "Jazz"},
        {"artist", 1, "CurrentArtist", "Xavier", {"A", "C"}, "Xavier"},
        {"absent artist matches no item without one", 1, "CurrentArtist", QString(), {}, ""},
        {"album: the sheet's title, with the tracks", 2, "CurrentAlbum", "Live", {"Live", "", "Two", "", "O"}, "Live"},
        {"single file", 4, "CurrentFile", q(path("other.wav")), {"O"}, "other.wav"},
        {"no file", 4, "CurrentFile", QString(), {}, ""},
    };
    for (const Row &row : rows) {
        organize(row.organize, row.key, row.value);
        EXPECT_EQ(rowTitles(), row.titles) << row.name;
        EXPECT_EQ(list->title(), row.title) << row.name;
        EXPECT_FALSE(list->addButtonVisible()) << row.name;
    }

    // An unknown value: no rows, the title and the add button stay as they were.
    organize(3, "CurrentPlaylist", "mix.m3u");
    organize(9);
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(list->title(), "mix");
    EXPECT_TRUE(list->addButtonVisible());
}

TEST_F(PlayListTest, CueAlbumRows)
{
    QAbstractItemModelTester tester(list.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    PlayableItemPtr album = addAlbum("album.wav");
    organize(0);
    ASSERT_EQ(list->rowCount(), 4);

    struct Row {
        int row;
        const char *title;
        const char *detail;
        int phone, tablet;
        bool editable;
    } rows[] = {
        {0, "Live", "00:30, album.wav", 0, 1, true},
        {1, "", "Track 01, 00:10", 2, 3, false},
        {2, "Two", "Track 02, 00:10", 2, 3, false},
        {3, "", "Track 03, 00:10", 2, 3, false},
    };
    for (const Row &r : rows) {
        QModelIndex index = list->index(r.row);
        EXPECT_EQ(index.data(Qt::AccessibleTextRole).toString(), r.title) << r.row;
        EXPECT_EQ(index.data(Qt::AccessibleDescriptionRole).toString(), r.detail) << r.row;
        EXPECT_EQ(list->rowIndentation(r.row), r.phone) << r.row;
        EXPECT_EQ(list->canEditRow(r.row), r.editable) << r.row;
        EXPECT_FALSE(list->canMoveRow(r.row)) << r.row;
    }
    list->setTablet(true);
    for (const Row &r : rows)
        EXPECT_EQ(list->index(r.row).data(PlayList::IndentationRole).toInt(), r.tablet) << r.row;

    // Tapping the album plays its first track, and that row is marked.
    QSignalSpy changed(list.get(), &PlayList::currentItemChanged);
    list->selectRow(0);
    EXPECT_TRUE(player->currentItem()->isEqualToItem(album->subItems()[0]));
    EXPECT_TRUE(runLoopUntil([&] { return !changed.isEmpty(); }));
    EXPECT_EQ(changed.last().at(0).toInt(), 1);
    EXPECT_TRUE(list->index(1).data(PlayList::PlayingRole).toBool());
    EXPECT_FALSE(list->index(0).data(PlayList::PlayingRole).toBool());
}

TEST_F(PlayListTest, NextItemPerMode)
{
    PlayableItemPtr a = add("a.wav", 20);
    PlayableItemPtr album = addAlbum("b.wav");
    PlayableItemPtr c = add("c.wav", 20);
    organize(0);  // rows: a, album, its three tracks, c
    const QList<PlayableItemPtr> &tracks = album->subItems();

    struct Row {
        const char *name;
        int mode;
        PlayableItemPtr current;
        PlayableItemPtr next;
    } rows[] = {
        {"default: after a file, the album's first track", 0, a, tracks[0]},
        {"default: tracks row by row", 0, tracks[1], tracks[2]},
        {"default: after the album's last track", 0, tracks[2], c},
        {"default: the end stops", 0, c, nullptr},
        {"loop: the end starts over", 2, c, a},
        {"loop on track: explicit steps loop", 3, c, a},
        {"unknown mode steps as loop", -1, c, a},
    };
    for (const Row &row : rows) {
        Preferences::setInteger("ShuffleMode", row.mode);
        hold(row.current);
        PlayableItemPtr next = list->nextItem();
        EXPECT_EQ(next, row.next) << row.name;
    }

    // Shuffle never repeats the current row when there is another: with two rows the other
    // one comes, whatever the random pick.
    library.items = {a, c};
    organize(0);
    Preferences::setInteger("ShuffleMode", 1);
    for (const PlayableItemPtr &current : {a, c}) {
        hold(current);
        for (int i = 0; i < 20; i++)
            ASSERT_EQ(list->nextItem(), current == a ? c : a);
    }

    // Looping back to an album at the top gives its first track.
    library.items = {album, a};
    organize(0);
    Preferences::setInteger("ShuffleMode", 2);
    hold(a);
    EXPECT_EQ(list->nextItem(), tracks[0]);
}

TEST_F(PlayListTest, PlayModes)
{
    struct Row {
        const char *name;
        const char *image;
        bool locked;
    } rows[] = {
        {"Shuffle", "loopshuffle.png", false},
        {"Loop", "loop.png", false},
        {"Loop on track", "loop1.png", true},
        {"Default", "loopnot.png", false},
    };
    EXPECT_EQ(list->playModeName(), "Default");
    for (const Row &row : rows) {
        list->togglePlayMode();
        EXPECT_EQ(list->playModeName(), row.name);
        EXPECT_EQ(list->playModeImageName(), row.image) << row.name;
        EXPECT_EQ(player->locked(), row.locked) << row.name;
    }
    Preferences::setInteger("ShuffleMode", -1);
    EXPECT_EQ(list->playModeName(), "Unknown");
    EXPECT_EQ(list->playModeImageName(), "");
    list->togglePlayMode();
    EXPECT_EQ(list->currentPlayMode(), 0);
}

TEST_F(PlayListTest, PreviousRestartsOrGoesBack)
{
    PlayableItemPtr album = addAlbum("album.wav");
    organize(0);
    const PlayableItemPtr &one = album->subItems()[0];
    const PlayableItemPtr &two = album->subItems()[1];
    hold(one);
    hold(two);

    // Five seconds into the track: back to its start.
    player->seekToTime(15);
    list->previous();
    EXPECT_EQ(player->currentItem(), two);
    EXPECT_NEAR(player->currentTime(), 10, 0.5);

    // Two seconds into it: the item played before.
    player->seekToTime(12);
    list->previous();
    EXPECT_EQ(player->currentItem(), one);
}

TEST_F(PlayListTest, PlayPauseStartsOverAfterTheLastRow)
{
    PlayableItemPtr first = addAlbum("a.wav");
    PlayableItemPtr last = add("z.wav", 3);
    organize(0);

    // Nothing played yet: play takes the first playable row.
    list->togglePlayPause();
    EXPECT_EQ(player->currentItem(), first->subItems()[0]);
    EXPECT_TRUE(runLoopUntil([&] { return player->playing(); }));

    // Paused in the middle of the last row: play resumes it.
    list->playItem(last);
    runLoopUntil([&] { return player->playing(); });
    list->togglePlayPause();
    EXPECT_TRUE(runLoopUntil([&] { return !player->playing(); }));
    list->togglePlayPause();
    EXPECT_EQ(player->currentItem(), last);

    // Played out in order mode: the player stops on it, and play starts the list over with
    // the first row's first track.
    ASSERT_TRUE(runLoopUntil([&] { return !player->playing(); }, 10000));
    EXPECT_EQ(player->currentItem(), last);
    list->togglePlayPause();
    EXPECT_EQ(player->currentItem(), first->subItems()[0]);
}

TEST_F(PlayListTest, PlaylistEditsOnDisk)
{
    PlayableItemPtr a = add("a.wav", 1, {{"TIT2", "A"}});
    PlayableItemPtr b = add("sub/b.wav", 1, {{"TIT2", "B"}});
    PlayableItemPtr c = add("c.wav", 1, {{"TIT2", "C"}});
    PlayableItemPtr d = add("d.wav", 1, {{"TIT2", "D"}});
    const std::string file = path("mix.m3u");
    // Comments, a blank-led absolute entry, a relative one, a duplicate, a missing file.
    writeFile(file, "#EXTM3U\n#EXTINF:1,A\n  " + path("a.wav") + "\nsub/b.wav\n" + path("a.wav") + "\n/gone.wav\n");
    organize(3, "CurrentPlaylist", "mix.m3u");
    QAbstractItemModelTester tester(list.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(rowTitles(), QStringList({"A", "B"}));
    EXPECT_EQ(list->m3uItems(), QStringList({q(path("a.wav")), q(path("sub/b.wav")), "/gone.wav"}));
    EXPECT_EQ(list->title(), "mix");
    EXPECT_TRUE(list->addButtonVisible());
    EXPECT_TRUE(list->canMoveRow(0));

    struct Include {
        std::string path;
        bool expected;
    } includes[] = {{path("c.wav"), true}, {path("a.wav"), false}, {path("X.WAV"), false}, {path("notes.txt"), false}};
    for (const Include &row : includes)
        EXPECT_EQ(list->shouldInclude(q(row.path)), row.expected) << row.path;

    // A name with a line feed would become two entries: it is left out, the rest is added.
    EXPECT_TRUE(list->addFiles({q(path("c.wav")), q(path("bad\n.wav"))}));
    EXPECT_EQ(rowTitles(), QStringList({"A", "B", "C"}));
    EXPECT_FALSE(list->addFiles({q(path("only\nbad.wav"))}));
    EXPECT_EQ(readFile(file).find("bad"), std::string::npos);

    // The third shown row to the top; the entry without a library item keeps its place.
    list->moveRowTo(2, 0);
    EXPECT_EQ(rowTitles(), QStringList({"C", "A", "B"}));
    EXPECT_EQ(readFile(file), "\n" + path("c.wav") + "\n" + path("a.wav") + "\n" + path("sub/b.wav") + "\n/gone.wav\n");
    list->moveRowTo(0, 2);
    EXPECT_EQ(rowTitles(), QStringList({"A", "B", "C"}));

    // The file is replaced, never rewritten in place: a second name of the old file keeps
    // the old contents whole.
    const std::string before = readFile(file);
    ASSERT_EQ(link(file.c_str(), path("old.m3u").c_str()), 0);
    EXPECT_TRUE(list->deleteRow(0));
    EXPECT_EQ(readFile(path("old.m3u")), before);
    EXPECT_EQ(readFile(file), "\n" + path("sub/b.wav") + "\n" + path("c.wav") + "\n/gone.wav\n");
    EXPECT_EQ(rowTitles(), QStringList({"B", "C"}));
    EXPECT_EQ(library.rescans, 0);
    EXPECT_TRUE(QFileInfo::exists(q(path("a.wav"))));

    EXPECT_TRUE(list->addFiles({q(path("d.wav"))}));
    list->moveRowTo(2, 0);
    EXPECT_EQ(rowTitles(), QStringList({"D", "B", "C"}));

    // An empty playlist shows the row that says how to fill it.
    writeFile(file, "");
    list->updatePlayList();
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->rowTitle(0), "Tap on add button to add music.");
    EXPECT_EQ(list->rowDetail(0), "");
    EXPECT_TRUE(list->index(0).data(PlayList::PlaceholderRole).toBool());
    EXPECT_FALSE(list->canEditRow(0));
}

TEST_F(PlayListTest, PlaylistFileFolders)
{
    struct Row {
        QString playlist;
        QString folder;
    } rows[] = {
        {"mix.m3u", q(docs.path())},
        {"lists/mix.m3u", q(path("lists"))},
        {"/elsewhere/lists/mix.m3u", "/elsewhere/lists"},
        {"/mix.m3u", "/"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PlayList::directoryOfPlaylistFile(row.playlist), row.folder) << row.playlist.toStdString();

    // A relative entry of a playlist in a subfolder resolves against that subfolder.
    PlayableItemPtr b = add("lists/b.wav", 1, {{"TIT2", "B"}});
    writeFile(path("lists/mix.m3u"), "b.wav\n../lists/b.wav\n");
    organize(3, "CurrentPlaylist", "lists/mix.m3u");
    EXPECT_EQ(rowTitles(), QStringList({"B"}));
}

TEST_F(PlayListTest, DeletingAFileRow)
{
    PlayableItemPtr a = add("a.wav", 20, {{"TIT2", "A"}});
    PlayableItemPtr b = add("b.wav", 20, {{"TIT2", "B"}});
    organize(0);
    hold(a);
    QSignalSpy removed(list.get(), &PlayList::nowPlayingButtonRemoved);

    EXPECT_TRUE(list->deleteRow(1));
    EXPECT_FALSE(QFileInfo::exists(q(path("b.wav"))));
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(library.rescans, 1);

    // The playing file: the now-playing button goes, playback is left alone.
    EXPECT_TRUE(list->deleteRow(0));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(player->currentItem(), a);
    EXPECT_EQ(library.rescans, 2);
}

}  // namespace
