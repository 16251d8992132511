#include <gtest/gtest.h>

#include "LibraryFixture.h"
#include "files/OrganizeModel.h"
#include "files/PlaylistsModel.h"
#include "files/TrackCountModel.h"

namespace {

class ChoiceModelsTest : public LibraryTest {};

QStringList displayed(const QAbstractItemModel &model, int role = Qt::DisplayRole)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); row++)
        texts << model.data(model.index(row, 0), role).toString();
    return texts;
}

QList<bool> checked(const QAbstractItemModel &model)
{
    QList<bool> marks;
    for (int row = 0; row < model.rowCount(); row++)
        marks << (model.data(model.index(row, 0), Qt::CheckStateRole).toInt() == Qt::Checked);
    return marks;
}

TEST_F(ChoiceModelsTest, PlaylistsAddRenameDeleteAndChoose)
{
    PlaylistsModel model(delegate());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_FALSE(model.hasPlaylists());  // "Edit" and "Rename" are off

    struct Case {
        const char *name;
        QString text;
        FileOutcome::Kind kind;
        QString message;
    };
    const Case adds[] = {
        {"one character", "x", FileOutcome::Nothing, ""},
        {"empty", "", FileOutcome::Nothing, ""},
        {"first", "My Playlist", FileOutcome::Done, ""},
        {"again", "My Playlist", FileOutcome::Refused, "File already exists"},
        {"into a folder", "Sub/list", FileOutcome::Refused, "Invalid name"},
        {"out of the folder", "../list", FileOutcome::Refused, "Invalid name"},
        {"parent", "..", FileOutcome::Refused, "Invalid name"},
        {"two characters", "ab", FileOutcome::Done, ""},
    };
    model.setMode(PlaylistsModel::Editing);
    for (const Case &c : adds) {
        SCOPED_TRACE(c.name);
        FileOutcome outcome = model.addPlaylist(c.text);
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.message, c.message);
    }
    EXPECT_EQ(tree(), QStringList({"ab.m3u", "My Playlist.m3u"}));
    EXPECT_EQ(readFile(path("My Playlist.m3u")), "");
    EXPECT_EQ(model.mode(), PlaylistsModel::Normal);  // back after an add
    EXPECT_TRUE(model.hasPlaylists());
    QStringList names = displayed(model);
    names.sort(Qt::CaseInsensitive);
    EXPECT_EQ(names, QStringList({"ab", "My Playlist"}));
    EXPECT_EQ(displayed(model, Qt::AccessibleTextRole), displayed(model));

    // Choosing one: the preferences say so, it carries the checkmark, the play list plays it.
    flac("a.flac");
    ASSERT_TRUE(scan());
    writeFile(path("My Playlist.m3u"), "\n" + path("a.flac") + "\n");
    int mine = int(model.lists().indexOf("My Playlist.m3u"));
    model.choose(mine);
    EXPECT_EQ(Preferences::integerForKey("Organize"), 3);
    EXPECT_EQ(Preferences::stringForKey("CurrentPlaylist"), "My Playlist.m3u");
    EXPECT_EQ(model.chosenRow(), mine);
    EXPECT_EQ(checked(model).count(true), 1);
    EXPECT_EQ(playList()->title(), "My Playlist");
    EXPECT_EQ(playListPaths(), QStringList({at("a.flac")}));

    // Renames: to its own name or another playlist's, refused; otherwise moved, and the chosen
    // one stays chosen under its new name.
    model.setMode(PlaylistsModel::ChooseRename);
    EXPECT_EQ(model.renamePlaylist(mine, "My Playlist").message, "File already exists");
    EXPECT_EQ(model.renamePlaylist(mine, "ab").message, "File already exists");
    EXPECT_EQ(model.renamePlaylist(mine, "a/b").message, "Invalid name");
    EXPECT_EQ(model.renamePlaylist(mine, "z").kind, FileOutcome::Nothing);
    EXPECT_EQ(model.mode(), PlaylistsModel::ChooseRename);  // refusals leave the mode
    EXPECT_EQ(model.renamePlaylist(mine, "Road").kind, FileOutcome::Done);
    EXPECT_EQ(model.mode(), PlaylistsModel::Normal);
    EXPECT_EQ(tree(), QStringList({"a.flac", "ab.m3u", "Road.m3u"}));
    EXPECT_EQ(readFile(path("Road.m3u")), "\n" + path("a.flac") + "\n");
    EXPECT_EQ(Preferences::stringForKey("CurrentPlaylist"), "Road.m3u");
    EXPECT_EQ(playList()->title(), "Road");
    EXPECT_EQ(playListPaths(), QStringList({at("a.flac")}));

    // Deleting a row removes its file; the choice is left as it was.
    int road = int(model.lists().indexOf("Road.m3u"));
    model.removePlaylist(road);
    EXPECT_EQ(tree(), QStringList({"a.flac", "ab.m3u"}));
    EXPECT_EQ(model.lists(), QStringList({"ab.m3u"}));
    EXPECT_EQ(Preferences::stringForKey("CurrentPlaylist"), "Road.m3u");
    model.removePlaylist(0);
    EXPECT_FALSE(model.hasPlaylists());
}

TEST_F(ChoiceModelsTest, ArtistAndAlbumCountsAndChoice)
{
    // A cue album counts its tracks; items without the property are left out; names that
    // differ in case are separate rows, side by side.
    flac("Live/live.flac", {"ARTIST=Band", "ALBUM=Live"});
    writeFile(path("Live/live.cue"), "PERFORMER \"Band\"\nTITLE \"Live\"\nFILE \"live.flac\" WAVE\n"
                                     "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                     "  TRACK 02 AUDIO\n    INDEX 01 00:00:03\n"
                                     "  TRACK 03 AUDIO\n    INDEX 01 00:00:06\n");
    flac("one.flac", {"ARTIST=Band", "ALBUM=Single"});
    flac("two.flac", {"ARTIST=band", "ALBUM=Single"});
    flac("three.flac", {"ARTIST=Alpha"});
    flac("none.flac");
    ASSERT_TRUE(scan());

    TrackCountModel artists(TrackCountModel::Property::Artist, delegate());
    QAbstractItemModelTester tester(&artists, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(artists.title(), "Artists");
    EXPECT_EQ(displayed(artists), QStringList({"Alpha", "Band", "band"}));
    EXPECT_EQ(displayed(artists, Qt::AccessibleDescriptionRole),
              QStringList({"1 Tracks", "4 Tracks", "1 Tracks"}));

    TrackCountModel albums(TrackCountModel::Property::Album, delegate());
    EXPECT_EQ(displayed(albums), QStringList({"Live", "Single"}));
    EXPECT_EQ(displayed(albums, Qt::AccessibleDescriptionRole), QStringList({"3 Tracks", "2 Tracks"}));

    // The stored choice is found; its checkmark shows only while the play list is built
    // from this list.
    Preferences::setInteger("Organize", 2);
    Preferences::setObject("CurrentArtist", "Band");
    Preferences::setObject("CurrentAlbum", "Live");
    EXPECT_EQ(artists.currentRow(), 1);
    EXPECT_EQ(checked(artists), QList<bool>({false, false, false}));
    EXPECT_EQ(checked(albums), QList<bool>({true, false}));

    artists.choose(2);
    EXPECT_EQ(Preferences::integerForKey("Organize"), 1);
    EXPECT_EQ(Preferences::stringForKey("CurrentArtist"), "band");
    EXPECT_EQ(checked(artists), QList<bool>({false, false, true}));
    EXPECT_EQ(checked(albums), QList<bool>({false, false}));
    EXPECT_EQ(playListPaths(), QStringList({at("two.flac")}));
    EXPECT_EQ(playList()->title(), "band");

    albums.choose(0);
    EXPECT_EQ(Preferences::stringForKey("CurrentAlbum"), "Live");
    EXPECT_EQ(playList()->playList().size(), 4);  // the album and its three tracks
}

TEST_F(ChoiceModelsTest, MainMenuRows)
{
    OrganizeModel menu(false);
    QAbstractItemModelTester tester(&menu, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(displayed(menu), QStringList({"Files", "Artists", "Albums", "Playlists", "Settings",
                                            "Help Center"}));
    EXPECT_EQ(displayed(menu, OrganizeModel::ImageRole),
              QStringList({"files.png", "artists.png", "albums.png", "lists.png", "settings.png",
                           "help.png"}));
    Preferences::setObject("CurrentArtist", "Band");
    Preferences::setObject("CurrentAlbum", "Live");
    struct Case {
        int organize;
        QStringList details;
    };
    const Case cases[] = {
        {0, {"", "", "", "", "", ""}},
        {1, {"", "Band", "", "", "", ""}},
        {2, {"", "", "Live", "", "", ""}},
    };
    for (const Case &c : cases) {
        Preferences::setInteger("Organize", c.organize);
        menu.reload();
        EXPECT_EQ(displayed(menu, Qt::AccessibleDescriptionRole), c.details) << c.organize;
    }
}

}  // namespace
