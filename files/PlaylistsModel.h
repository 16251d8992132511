// The playlists screen's rows and what its buttons and prompts do: the playlist files of the
// documents folder (every name ending in "m3u", in the folder's listing order), shown by
// their names without the extension; the chosen one (while "Organize" is 3) carries a
// checkmark. Choosing one makes the play list play it. Main thread.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include "files/FileOperations.h"

class OrganizeDelegate;

class PlaylistsModel : public QAbstractListModel {
    Q_OBJECT
public:
    // What tapping a row does.
    enum Mode {
        Normal = 0,       // choose the playlist
        ChooseRename = 1, // ask for its new name
        Editing = 2,      // nothing (rows show their delete controls)
    };
    // Besides Qt::DisplayRole and Qt::AccessibleTextRole (the display name),
    // Qt::AccessibleDescriptionRole (empty) and Qt::CheckStateRole (the chosen one).
    enum Role { FileNameRole = Qt::UserRole + 1 };

    // The delegate (not owned) rebuilds the play list after a choice.
    explicit PlaylistsModel(OrganizeDelegate *delegate, QObject *parent = nullptr);

    // Reads the list of playlists again.
    void updateList();
    // updateList, the rows anew and back to Normal.
    void refresh();

    Mode mode() const { return mode_; }
    void setMode(Mode mode);
    // "Edit" and "Rename" need a playlist to act on.
    bool hasPlaylists() const { return !lists_.isEmpty(); }

    int count() const { return int(lists_.size()); }
    const QStringList &lists() const { return lists_; }
    QString fileName(int row) const { return lists_.value(row); }
    QString displayName(int row) const { return displayNameOf(fileName(row)); }
    static QString displayNameOf(const QString &fileName);
    // The file of the playlist in the documents folder.
    static QString pathOf(const QString &fileName);
    bool isChosen(int row) const;
    int chosenRow() const;

    // Normal mode's tap: "Organize" 3, "CurrentPlaylist" the row's file, the play list rebuilt.
    void choose(int row);

    // The prompts' OK. A text of fewer than 2 characters does nothing; "Invalid name" for a
    // text that is not one file name; "File already exists" when the playlist's file does.
    // Adding creates the empty file; renaming moves the row's file (and a chosen playlist
    // stays chosen under its new name). Both refresh.
    FileOutcome addPlaylist(const QString &text);
    FileOutcome renamePlaylist(int row, const QString &text);
    // Removes the playlist's file and its row.
    void removePlaylist(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void modeChanged(PlaylistsModel::Mode mode);

private:
    FileOutcome checkedFileName(const QString &text, QString *fileName) const;

    OrganizeDelegate *delegate_;
    QStringList lists_;
    Mode mode_ = Normal;
};
