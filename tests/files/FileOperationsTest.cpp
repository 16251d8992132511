#include <gtest/gtest.h>

#include <QSignalSpy>

#include <unistd.h>

#include "LibraryFixture.h"
#include "files/FileInfo.h"
#include "files/FileOperations.h"

namespace {

class FileOperationsTest : public LibraryTest {
protected:
    // Whether the operation asked for a rescan; when it did, waits until the scan published
    // and the play list was rebuilt (no event ran since the operation, so none is missed).
    bool rescanned(quint64 before)
    {
        if (app->loadId() == before)
            return false;
        QSignalSpy done(app.get(), &AppDelegate::libraryChanged);
        EXPECT_TRUE(runLoopUntil([&] { return !done.isEmpty(); }, 20000));
        return true;
    }
};

const char kInvalid[] = "Invalid name";

TEST_F(FileOperationsTest, RenameFolder)
{
    make({"Music/Rock/a.txt", "Jazz/", "Taken/"});
    Preferences::setObject("CurrentFolder", at("Music/Rock"));
    Preferences::setObject("CurrentFile", at("Music/Rock/a.txt"));

    struct Case {
        const char *name;
        std::string folder;
        QString newName;
        FileOutcome::Kind kind;
        QString message;
    };
    const QString nul = QString("x") + QChar(0) + "y";
    const Case cases[] = {
        {"unchanged name", "Jazz", "Jazz", FileOutcome::Nothing, ""},
        {"the documents folder itself", "", "Other", FileOutcome::Nothing, ""},
        {"taken name", "Jazz", "Taken", FileOutcome::Refused, "Folder already exists"},
        {"slash would move it elsewhere", "Jazz", "Taken/Jazz", FileOutcome::Refused, kInvalid},
        {"parent", "Jazz", "..", FileOutcome::Refused, kInvalid},
        {"dot", "Jazz", ".", FileOutcome::Refused, kInvalid},
        {"NUL", "Jazz", nul, FileOutcome::Refused, kInvalid},
        {"empty", "Jazz", "", FileOutcome::Refused, kInvalid},
        {"gone meanwhile", "Gone", "Here", FileOutcome::Refused, "Can not rename folder"},
    };
    const QStringList before = tree();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        quint64 scans = app->loadId();
        QString folder = c.folder.empty() ? docsPath() : at(c.folder);
        FileOutcome outcome = renameFolder(folder, c.newName, delegate());
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(tree(), before);
        EXPECT_FALSE(rescanned(scans));
    }
    EXPECT_FALSE(exists("Here"));

    // A folder takes its new name at the top: the library is one level of folders deep. The
    // choices that named it (or a file in it) follow it.
    quint64 scans = app->loadId();
    FileOutcome outcome = renameFolder(at("Music/Rock"), "Pop", delegate());
    EXPECT_EQ(outcome.kind, FileOutcome::Done);
    EXPECT_EQ(outcome.path, at("Pop"));
    EXPECT_EQ(tree(), QStringList({"Jazz/", "Music/", "Pop/", "Taken/"}));
    EXPECT_TRUE(exists("Pop/a.txt"));
    EXPECT_EQ(Preferences::stringForKey("CurrentFolder"), at("Pop"));
    EXPECT_EQ(Preferences::stringForKey("CurrentFile"), at("Pop/a.txt"));
    EXPECT_TRUE(rescanned(scans));

    // A folder named relatively stays relative.
    Preferences::setObject("CurrentFolder", "Jazz");
    ASSERT_EQ(renameFolder(at("Jazz"), "Blues", delegate()).kind, FileOutcome::Done);
    EXPECT_EQ(Preferences::stringForKey("CurrentFolder"), "Blues");
    // Another folder's rename leaves it alone.
    ASSERT_EQ(renameFolder(at("Taken"), "Free", delegate()).kind, FileOutcome::Done);
    EXPECT_EQ(Preferences::stringForKey("CurrentFolder"), "Blues");
}

TEST_F(FileOperationsTest, RenameFileRescansOnlyForWhatTheLibraryIsBuiltFrom)
{
    make({"Sub/cover.JPG", "Sub/notes.txt", "Sub/taken.txt", "Sub/raw.dat"});
    flac("Sub/song.flac");
    ASSERT_TRUE(scan());
    Preferences::setInteger("Organize", 4);
    Preferences::setObject("CurrentFile", at("Sub/song.flac"));

    struct Case {
        const char *name;
        std::string file;
        QString newName;
        FileOutcome::Kind kind;
        QString message;
        bool rescan;
    };
    const Case cases[] = {
        {"unchanged", "Sub/notes.txt", "notes.txt", FileOutcome::Nothing, "", false},
        {"taken", "Sub/notes.txt", "taken.txt", FileOutcome::Refused, "File already exists", false},
        {"into another folder", "Sub/notes.txt", "../notes.txt", FileOutcome::Refused, kInvalid, false},
        {"parent", "Sub/notes.txt", "..", FileOutcome::Refused, kInvalid, false},
        {"gone meanwhile", "Sub/gone.txt", "here.txt", FileOutcome::Refused, "Can not rename file", false},
        {"a text file", "Sub/notes.txt", "read me.txt", FileOutcome::Done, "", false},
        {"a cover", "Sub/cover.JPG", "front.jpg", FileOutcome::Done, "", true},
        {"into an audio name", "Sub/raw.dat", "raw.wav", FileOutcome::Done, "", true},
        {"an audio file", "Sub/song.flac", "tune.flac", FileOutcome::Done, "", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        quint64 scans = app->loadId();
        FileOutcome outcome = renameFile(at(c.file), c.newName, delegate());
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.message, c.message);
        if (c.kind == FileOutcome::Done) {
            EXPECT_EQ(outcome.path, at("Sub/") + c.newName);
            EXPECT_FALSE(QFileInfo::exists(at(c.file)));
        }
        EXPECT_EQ(rescanned(scans), c.rescan);
    }
    EXPECT_EQ(tree("Sub"), QStringList({"front.jpg", "raw.wav", "read me.txt", "taken.txt", "tune.flac"}));
    EXPECT_EQ(tree(), QStringList({"Sub/"}));
    // The single file chosen to play follows its new name, and the play list shows it.
    EXPECT_EQ(Preferences::stringForKey("CurrentFile"), at("Sub/tune.flac"));
    EXPECT_EQ(playListPaths(), QStringList({at("Sub/tune.flac")}));
}

TEST_F(FileOperationsTest, MoveIntoFolders)
{
    make({"Src/a.txt", "Src/b.txt", "Src/Inner/", "Dest/b.txt", "Empty/"});
    flac("Src/c.flac");
    ASSERT_TRUE(scan());
    const QStringList before = tree("Src");

    EXPECT_EQ(checkMovable({at("Src/a.txt"), at("Src/Inner")}).message, "Can not move folders");
    EXPECT_EQ(checkMovable({at("Src/a.txt"), at("Src/b.txt")}).kind, FileOutcome::Done);

    // One name taken in the target: nothing moves at all.
    FileOutcome taken = moveToFolder({at("Src/a.txt"), at("Src/b.txt")}, at("Dest"), delegate());
    EXPECT_EQ(taken.kind, FileOutcome::Refused);
    EXPECT_EQ(taken.message, "File already exists in target folder: b.txt");
    EXPECT_EQ(tree("Src"), before);
    EXPECT_EQ(tree("Dest"), QStringList({"b.txt"}));

    // New folders: refused names change nothing.
    struct Case {
        const char *name;
        QString folder;
        FileOutcome::Kind kind;
        QString message;
    };
    ASSERT_EQ(symlink("/nonexistent-target", path("Dangling").c_str()), 0);
    const Case cases[] = {
        {"empty name", "", FileOutcome::Nothing, ""},
        {"existing folder", "Dest", FileOutcome::Refused, "Folder already exists"},
        {"slash", "Dest/New", FileOutcome::Refused, kInvalid},
        {"parent", "..", FileOutcome::Refused, kInvalid},
        {"cannot be made", "Dangling", FileOutcome::Refused, "Can not create folder"},
    };
    const QStringList top = tree();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FileOutcome outcome = moveToNewFolder({at("Src/a.txt")}, c.folder, delegate());
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(tree(), top);
        EXPECT_EQ(tree("Src"), before);
    }

    quint64 scans = app->loadId();
    FileOutcome moved = moveToNewFolder({at("Src/a.txt"), at("Src/c.flac")}, "Fresh", delegate());
    EXPECT_EQ(moved.kind, FileOutcome::Done);
    EXPECT_EQ(tree("Fresh"), QStringList({"a.txt", "c.flac"}));
    EXPECT_EQ(tree("Src"), QStringList({"b.txt", "Inner/"}));
    ASSERT_TRUE(rescanned(scans));
    EXPECT_EQ(playListPaths(), QStringList({at("Fresh/c.flac")}));

    // A file that vanished half way: what moved stays moved, the rest stays, and the message
    // names the first that could not go.
    make({"Src/d.txt"});
    FileOutcome half = moveToFolder({at("Src/b.txt"), at("Src/gone.txt"), at("Src/d.txt")},
                                    at("Empty"), delegate());
    EXPECT_EQ(half.kind, FileOutcome::Incomplete);
    EXPECT_EQ(half.message, "Can not move file: gone.txt");
    EXPECT_EQ(tree("Empty"), QStringList({"b.txt"}));
    EXPECT_EQ(tree("Src"), QStringList({"d.txt", "Inner/"}));
}

TEST_F(FileOperationsTest, RemoveFilesAndFolders)
{
    make({"Dir/x.txt", "y.txt"});
    // A second of sound, played in real time into a WAV file.
    QDir().mkpath(at("Dir"));
    ASSERT_TRUE(writeFlac(path("Dir/song.flac"), makePcm(44100, 2, 16, 44100)));
    flac("keep.flac");
    ASSERT_TRUE(scan());
    ASSERT_EQ(playListPaths(), QStringList({at("Dir/song.flac"), at("keep.flac")}));

    QSignalSpy gone(playList(), &PlayList::nowPlayingButtonRemoved);
    removeItems({at("y.txt")}, delegate());
    EXPECT_TRUE(gone.isEmpty());  // nothing plays

    TempDir out;
    setenv("SONAVEL_AUDIO_OUTPUT", ("wav:" + out.file("heard.wav")).c_str(), 1);
    player->play(playList()->playList().first());
    ASSERT_TRUE(runLoopUntil([&] { return player->playing(); }));
    quint64 scans = app->loadId();
    removeItems({at("Dir")}, delegate());
    EXPECT_EQ(gone.size(), 1);
    EXPECT_EQ(tree(), QStringList({"keep.flac"}));
    ASSERT_TRUE(rescanned(scans));
    EXPECT_EQ(playListPaths(), QStringList({at("keep.flac")}));

    // The removed file plays to its end: the engine holds it open.
    EXPECT_TRUE(player->playing());
    auto heard = [&] { return QFileInfo(q(out.file("heard.wav"))).size(); };
    EXPECT_TRUE(runLoopUntil([&] { return heard() >= 44 + 44100 * 4; }, 10000)) << heard();
}

TEST(FileInfo, SizeStringBoundaries)
{
    struct Case {
        qint64 size;
        const char *text;
    };
    const Case cases[] = {
        {0, "0 Bytes"},
        {1023, "1023 Bytes"},
        {1024, "1.0 KB"},
        {1048575, "1024.0 KB"},
        {1048576, "1.0 MB"},
        {1073741823, "1024.0 MB"},
        {1073741824, "1.0 GB"},
        {4294967296, "4.0 GB"},             // 32 bits would read 0
        {5368709120 + 104857600, "5.1 GB"}, // and this 100.0 MB
    };
    for (const Case &c : cases)
        EXPECT_EQ(sizeString(c.size), c.text) << c.size;
}

TEST_F(FileOperationsTest, FileInfoFooter)
{
    flac("tagged.flac", {"TITLE=Song", "ARTIST=Band", "ALBUM=Live", "GENRE=Rock", "YEAR=1999",
                         "TRACKNUMBER=7"});
    flac("bare.flac");
    writeFile(path("notes.txt"), std::string(1500, 'x'));

    PlayableItemPtr tagged = PlayableItem::itemWithPath(at("tagged.flac"));
    ASSERT_TRUE(tagged);
    QString size = sizeString(QFileInfo(at("tagged.flac")).size());
    EXPECT_EQ(fileInfoFooter(at("tagged.flac"), tagged.get()),
              "File Size : " + size + "\n44100 Hz, 16 bit\nTitle : Song\nArtist : Band\n"
              "Album : Live\nGenre : Rock\nYear : 1999\nTrack : 7\n");

    PlayableItemPtr bare = PlayableItem::itemWithPath(at("bare.flac"));
    ASSERT_TRUE(bare);
    EXPECT_EQ(fileInfoFooter(at("bare.flac"), bare.get()),
              "File Size : " + sizeString(QFileInfo(at("bare.flac")).size()) + "\n44100 Hz, 16 bit\n");

    EXPECT_FALSE(PlayableItem::itemWithPath(at("notes.txt")));
    EXPECT_EQ(fileInfoFooter(at("notes.txt"), nullptr), "File Size : 1.5 KB\n");
}

}  // namespace
