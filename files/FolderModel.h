// The entries of one folder as the folder browser and the file chooser list them: sub-folders
// first, then every other entry, each group sorted case-insensitively, hidden entries too.
// One flag word per entry holds its selection (and, in the chooser, whether it may not be
// chosen); no item is built for an entry, so a folder of thousands lists at once. Main thread.
//
// Browser: entries are selected only in select mode, any entry (a selected folder is refused
// later, by the move). Chooser: files are selected at any time unless disabled (not an audio
// file, or already in the playlist); folders are opened, never selected.
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QStringList>

class SVFileChooserDelegate;

class FolderModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Kind { Browser, Chooser };
    // Besides Qt::DisplayRole and Qt::AccessibleTextRole (the name),
    // Qt::AccessibleDescriptionRole ("Folder" for a folder) and Qt::CheckStateRole (where a
    // row can carry a checkmark).
    enum Role {
        FolderRole = Qt::UserRole + 1,  // bool
        DisabledRole,                   // bool: a chooser entry that cannot be chosen
        PathRole,                       // QString: the full path
    };

    // The chooser asks `chooserDelegate` (not owned, may be none) which files it may take.
    FolderModel(Kind kind, const QString &path, SVFileChooserDelegate *chooserDelegate = nullptr,
                QObject *parent = nullptr);

    Kind kind() const { return kind_; }
    const QString &path() const { return path_; }
    // After the folder itself was renamed; loadFiles reads it again.
    void setPath(const QString &path) { path_ = path; }
    bool isRootDirectory() const;
    // Browser: "Select Mode" in select mode, else "All" at the root and the folder's name
    // elsewhere. Chooser: "All" or the folder's name.
    QString title() const;

    // Reads the folder again; the selection is cleared. When the folder cannot be read the
    // list stays as it was and the answer is false.
    bool loadFiles();

    int count() const { return int(names_.size()); }
    const QStringList &fileList() const { return names_; }
    QString name(int row) const { return names_.value(row); }
    QString fullPath(int row) const;
    bool isFolder(int row) const { return row >= 0 && row < folders_; }
    bool isSelected(int row) const;
    bool isDisabled(int row) const;

    // Browser only: entering or leaving select mode clears the selection.
    bool selectMode() const { return selectMode_; }
    void setSelectMode(bool on);

    // Selects or deselects a row; false when the row cannot be selected now.
    bool toggleRow(int row);
    // Chooser: selects every file that may be chosen. Folders are left out: the playlist
    // reads each line as a file, so a folder's path would only be a dead entry.
    void selectAllFiles();
    int selectedCount() const { return selectedCount_; }
    // Full paths of the selected entries, in list order.
    QStringList selectedItems() const;
    bool selectionHasFolder() const;

    // Chooser "Add": hands the selected files to the delegate; when it took them they become
    // disabled and unselected, "Added %d" is announced and the answer is true. Without a
    // delegate or a selection, or when the delegate refuses, nothing changes.
    bool addSelected();

    // Browser: the entry is gone from the folder (a swipe delete).
    void removeEntry(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // The selected count changed; the buttons that show it are to be updated.
    void selectedCountChanged(int count);
    // A line for a screen reader to speak ("3 to add", "Added 3"), when one runs.
    void announcement(const QString &text);

private:
    enum : quint32 { Selected = 1, Disabled = 2 };
    void setSelectedCount(int count);
    void clearSelection();
    bool hasCheckmarks(int row) const;

    Kind kind_;
    QString path_;
    SVFileChooserDelegate *chooserDelegate_;
    QStringList names_;
    int folders_ = 0;        // the first entries are the folders
    QList<quint32> flags_;   // one per entry
    int selectedCount_ = 0;
    bool selectMode_ = false;
};

// A button's title with the count of what it acts on: the word alone for 0, else
// "Move(3)" (the localised word and the count).
QString countedTitle(const char *word, int count);
