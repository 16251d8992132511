#include <gtest/gtest.h>

#include <QSignalSpy>

#include <unistd.h>

#include "LibraryFixture.h"
#include "files/FileSystemObject.h"
#include "files/FolderModel.h"

namespace {

class FolderModelTest : public LibraryTest {};

QStringList names(const FolderModel &model) { return model.fileList(); }

QList<QVariant> column(const FolderModel &model, int role)
{
    QList<QVariant> values;
    for (int row = 0; row < model.rowCount(); row++)
        values << model.data(model.index(row), role);
    return values;
}

TEST_F(FolderModelTest, ListsFoldersFirstCaseInsensitivelyWithHiddenEntries)
{
    make({"b.flac", "c.cue", "Z/", "A/", ".hidden", "a.txt", "x/", "Music/Rock/", "B.wav", "Ärger.flac"});
    // A link counts as what it leads to.
    ASSERT_EQ(symlink(path("Music").c_str(), path("linked").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", path("dangling").c_str()), 0);
    FolderModel model(FolderModel::Kind::Browser, docsPath());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(model.loadFiles());

    EXPECT_EQ(names(model), QStringList({"A", "linked", "Music", "x", "Z", ".hidden", "a.txt", "b.flac",
                                         "B.wav", "c.cue", "dangling", "Ärger.flac"}));
    // The same order as the case-insensitive listing, within each kind.
    QStringList all = *FileSystemObject::sharedObject()->contentsOfDirectory(docsPath());
    QStringList folders = names(model).mid(0, 5), files = names(model).mid(5);
    all.removeIf([&](const QString &n) { return folders.contains(n); });
    EXPECT_EQ(all, files);
    EXPECT_EQ(column(model, Qt::AccessibleTextRole), column(model, Qt::DisplayRole));
    EXPECT_EQ(model.data(model.index(0), Qt::AccessibleDescriptionRole).toString(), "Folder");
    EXPECT_EQ(model.data(model.index(5), Qt::AccessibleDescriptionRole).toString(), "");
    EXPECT_EQ(model.fullPath(7), at("b.flac"));
    EXPECT_EQ(model.title(), "All");
    EXPECT_TRUE(model.isRootDirectory());

    FolderModel music(FolderModel::Kind::Browser, at("Music"));
    ASSERT_TRUE(music.loadFiles());
    EXPECT_EQ(music.title(), "Music");
    EXPECT_EQ(names(music), QStringList({"Rock"}));

    // A folder that went away leaves the list as it was.
    QDir(at("Music")).removeRecursively();
    EXPECT_FALSE(music.loadFiles());
    EXPECT_EQ(names(music), QStringList({"Rock"}));
}

TEST_F(FolderModelTest, SelectModeCountsButtonTitlesAndCheckmarks)
{
    make({"A/", "b.flac", "c.flac"});
    FolderModel model(FolderModel::Kind::Browser, docsPath());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(model.loadFiles());

    // Outside select mode nothing is selectable and no row has a checkmark.
    EXPECT_FALSE(model.toggleRow(1));
    EXPECT_EQ(column(model, Qt::CheckStateRole), QList<QVariant>(3));
    EXPECT_EQ(countedTitle("Move", model.selectedCount()), "Move");
    EXPECT_EQ(countedTitle("Delete", model.selectedCount()), "Delete");

    model.setSelectMode(true);
    EXPECT_EQ(model.title(), "Select Mode");
    ASSERT_TRUE(model.toggleRow(1));
    ASSERT_TRUE(model.toggleRow(2));
    EXPECT_EQ(model.selectedCount(), 2);
    EXPECT_EQ(countedTitle("Move", model.selectedCount()), "Move(2)");
    EXPECT_EQ(countedTitle("Delete", model.selectedCount()), "Delete(2)");
    EXPECT_EQ(model.selectedItems(), QStringList({at("b.flac"), at("c.flac")}));
    EXPECT_EQ(column(model, Qt::CheckStateRole),
              QList<QVariant>({Qt::Unchecked, Qt::Checked, Qt::Checked}));
    EXPECT_FALSE(model.selectionHasFolder());

    // A folder is selectable in select mode, so that the move can refuse it.
    ASSERT_TRUE(model.toggleRow(0));
    EXPECT_TRUE(model.selectionHasFolder());
    EXPECT_EQ(model.selectedCount(), 3);

    for (int row : {0, 1, 2})
        model.toggleRow(row);
    EXPECT_EQ(model.selectedCount(), 0);
    EXPECT_EQ(countedTitle("Move", 0), "Move");

    // Leaving select mode forgets the selection; coming back starts from none.
    model.toggleRow(2);
    model.setSelectMode(false);
    EXPECT_EQ(model.selectedCount(), 0);
    EXPECT_EQ(model.title(), "All");
    model.setSelectMode(true);
    EXPECT_EQ(model.selectedItems(), QStringList());

    // A removed entry takes its selection with it.
    model.toggleRow(1);
    model.removeEntry(1);
    EXPECT_EQ(model.selectedCount(), 0);
    EXPECT_EQ(names(model), QStringList({"A", "c.flac"}));
}

TEST_F(FolderModelTest, ChooserDisablesWhatThePlaylistCannotTakeAndAddsTheSelection)
{
    make({"Sub/", "new.flac", "other.wav", "notes.txt", "LOUD.FLAC"});
    flac("in.flac");  // a library item, so the play list knows it is in the playlist
    writeFile(path("list.m3u"), "\n" + path("in.flac") + "\n");
    Preferences::setInteger("Organize", 3);
    Preferences::setObject("CurrentPlaylist", "list.m3u");
    ASSERT_TRUE(scan());

    FolderModel model(FolderModel::Kind::Chooser, docsPath(), playList());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy spoken(&model, &FolderModel::announcement);
    ASSERT_TRUE(model.loadFiles());
    ASSERT_EQ(names(model), QStringList({"Sub", "in.flac", "list.m3u", "LOUD.FLAC", "new.flac",
                                         "notes.txt", "other.wav"}));
    // Already in the playlist, not audio, or an upper-case extension: grey, not choosable.
    QList<QVariant> disabled = column(model, FolderModel::DisabledRole);
    EXPECT_EQ(disabled, QList<QVariant>({false, true, true, true, false, true, false}));
    EXPECT_FALSE(model.flags(model.index(1)) & Qt::ItemIsEnabled);
    EXPECT_FALSE(model.toggleRow(1));
    EXPECT_FALSE(model.toggleRow(0));  // folders open, they are not chosen
    EXPECT_EQ(model.data(model.index(0), Qt::CheckStateRole), QVariant());

    // Select All takes the files that may be added, never the folder.
    model.selectAllFiles();
    EXPECT_EQ(model.selectedCount(), 2);
    EXPECT_EQ(model.selectedItems(), QStringList({at("new.flac"), at("other.wav")}));
    EXPECT_EQ(countedTitle("Add", model.selectedCount()), "Add(2)");
    EXPECT_EQ(spoken.takeFirst().at(0).toString(), "2 to add\n");

    // When the playlist cannot be written, the selection stays as it was.
    QString listFile = at("list.m3u");
    QFile::rename(listFile, listFile + ".bak");
    QDir().mkdir(listFile);
    EXPECT_FALSE(model.addSelected());
    EXPECT_EQ(model.selectedCount(), 2);
    EXPECT_EQ(model.selectedItems(), QStringList({at("new.flac"), at("other.wav")}));
    QDir().rmdir(listFile);
    QFile::rename(listFile + ".bak", listFile);

    ASSERT_TRUE(model.addSelected());
    EXPECT_EQ(model.selectedCount(), 0);
    EXPECT_EQ(spoken.takeFirst().at(0).toString(), "Added 2\n");
    EXPECT_EQ(column(model, FolderModel::DisabledRole),
              QList<QVariant>({false, true, true, true, true, true, true}));
    EXPECT_EQ(QString::fromStdString(readFile(path("list.m3u"))),
              "\n" + at("in.flac") + "\n\n" + at("new.flac") + "\n" + at("other.wav") + "\n");
    // The play list took them (in playlist mode it rebuilds itself at once).
    EXPECT_EQ(playList()->m3uItems(), QStringList({at("in.flac"), at("new.flac"), at("other.wav")}));
    EXPECT_FALSE(model.addSelected());  // nothing selected: nothing sent

    // Deselecting the last selected file brings back the plain title.
    FolderModel again(FolderModel::Kind::Chooser, docsPath(), playList());
    make({"more.ape"});
    ASSERT_TRUE(again.loadFiles());
    int row = int(again.fileList().indexOf("more.ape"));
    ASSERT_TRUE(again.toggleRow(row));
    EXPECT_EQ(countedTitle("Add", again.selectedCount()), "Add(1)");
    ASSERT_TRUE(again.toggleRow(row));
    EXPECT_EQ(countedTitle("Add", again.selectedCount()), "Add");

    // Without a delegate every file may be chosen, and Add does nothing.
    FolderModel free(FolderModel::Kind::Chooser, docsPath());
    ASSERT_TRUE(free.loadFiles());
    free.selectAllFiles();
    EXPECT_EQ(free.selectedCount(), free.count() - 1);
    EXPECT_FALSE(free.addSelected());
}

}  // namespace
