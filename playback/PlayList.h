// The play list behind the main screen: which items are to be played (a folder, an artist, an
// album, a saved playlist or one file, as the preferences say), the four play modes and what
// comes next in each, "previous", play/pause with the start-over rule, the rows and their
// texts, and the edits of a playlist file. The screen only binds it: the rows are this model's,
// and the signals say when the title, the buttons or the selection change. Main thread only.
#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

#include "files/OrganizeDelegate.h"
#include "files/SVFileChooserDelegate.h"
#include "metadata/PlayableItem.h"
#include "playback/UniPlayer.h"

// Where the play list takes its items from: the application object.
class PlayListLibrary {
public:
    // Main thread. The published library; a list is never changed once published.
    virtual std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const = 0;
    // Main thread. Asks for a rescan after a file was removed.
    virtual void loadMusics() = 0;

protected:
    ~PlayListLibrary() = default;
};

// What the now-playing screen steps through: the play list.
class PlayingSource {
public:
    // Main thread. The item to play after the current one, or null.
    virtual PlayableItemPtr nextItem() = 0;
    // Main thread. Restarts the current item, or goes back to the one played before it.
    virtual void previous() = 0;

protected:
    ~PlayingSource() = default;
};

// Also what the main menu's screens and the file chooser act on.
class PlayList : public QAbstractListModel,
                 public UniPlayerDelegate,
                 public PlayingSource,
                 public OrganizeDelegate,
                 public SVFileChooserDelegate {
    Q_OBJECT
public:
    // What the list is built from: the preference "Organize".
    enum Organize { OrganizeFolder = 0, OrganizeArtist = 1, OrganizeAlbum = 2, OrganizePlaylist = 3, OrganizeFile = 4 };
    enum PlayMode { PlayModeDefault = 0, PlayModeShuffle = 1, PlayModeLoop = 2, PlayModeLoopTrack = 3 };
    // Besides Qt::DisplayRole and Qt::AccessibleTextRole (the title line) and
    // Qt::AccessibleDescriptionRole (the detail line).
    enum Role {
        DetailRole = Qt::UserRole + 1,  // QString, the detail line
        IndentationRole,                // int
        PlayingRole,                    // bool: the row of the player's current item
        PlaceholderRole,                // bool: the row shown for an empty playlist
        WholeFileRole,                  // bool: a whole file (deletable; movable in playlist mode)
    };

    // Neither is owned; both outlive the play list. Becomes the player's delegate and locks
    // the player for "Loop on track". The library's list is read at each updatePlayList().
    PlayList(PlayListLibrary *library, UniPlayer *player, QObject *parent = nullptr);
    ~PlayList() override;

    // The extensions of audio files, lower case: what the library scan lists and what may be
    // added to a playlist.
    static const QStringList &audioExtensions();

    // Building the list.
    void updatePlayList() override;
    void updateTitle();
    const QString &title() const { return title_; }
    const QList<PlayableItemPtr> &playList() const { return playList_; }
    // In playlist mode: the file's entries as absolute paths, without duplicates, and the
    // library items found for them. Empty otherwise.
    const QStringList &m3uItems() const { return m3uItems_; }
    const QHash<QString, PlayableItemPtr> &m3uItemsLookup() const { return m3uItemsLookup_; }
    bool addButtonVisible() const { return addButtonVisible_; }
    // The folder that relative entries of the playlist file at `playlistPath` resolve against.
    static QString directoryOfPlaylistFile(const QString &playlistPath);

    // Play modes: the preference "ShuffleMode", read each time.
    int currentPlayMode() const;
    QString playModeName() const;       // localised; also the mode button's accessible name
    QString playModeImageName() const;  // "loopnot.png", ...; empty for an unknown mode
    void setPlayMode(int mode);
    void togglePlayMode();

    // What plays: UniPlayerDelegate, and the now-playing screen's source.
    PlayableItemPtr nextItem() override;
    int randomIndex() const;
    void previous() override;
    void togglePlayPause();
    // The next item, played when there is one (the remote control's next-track).
    void playNext();
    void playItem(const PlayableItemPtr &item);
    // A tapped row: its first track when it has any, else its item.
    void selectRow(int row);

    // The buttons' state (onPlayPause tells when it changes).
    bool isPlaying() const;
    QString playPauseImageName() const;   // "pause-small.png" while playing, else "play-small.png"
    // The now-playing button: hidden without a current item; "nowplaying.png" / "Now playing"
    // while playing, "paused.png" / "Paused" otherwise.
    bool showsNowPlayingButton() const;
    QString nowPlayingImageName() const;
    QString nowPlayingLabel() const;

    // Rows.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    PlayableItemPtr itemAtRow(int row) const;  // null for the placeholder row
    bool isPlaceholderRow(int row) const;
    QString rowTitle(int row) const;
    QString rowDetail(int row) const;
    int rowIndentation(int row) const;
    int rowHeight() const { return tablet_ ? 64 : 52; }
    bool canEditRow(int row) const;
    bool canMoveRow(int row) const;
    int playingRow() const;  // the first row of the player's current item, or -1
    // Phone (indentation 0 and 2) or tablet (1 and 3); from SONAVEL_IDIOM at first.
    void setTablet(bool tablet);

    // Edits. Deleting a row removes its playlist entry in playlist mode; otherwise the file
    // itself, followed by a rescan of the library.
    bool deleteRow(int row);
    // Moves a playlist entry from row `from` so that it ends at row `to`.
    void moveRowTo(int from, int to);
    bool shouldInclude(const QString &path) const override;
    bool addFiles(const QStringList &paths) override;
    bool removeItemFromPlaylist(const PlayableItemPtr &item);

    // For the screens that change files: the library and its rescan, and a warning before
    // files or folders go (the now-playing button goes with the playing file).
    std::shared_ptr<const QList<PlayableItemPtr>> playableItems() const override
    {
        return library_->playableItems();
    }
    void loadMusics() override { library_->loadMusics(); }
    void willRemoveFiles(const QStringList &paths) override;

    // Player events (registered with the player; public for the screens too).
    void onPlayPause();
    void onItemChange();

signals:
    void titleChanged(const QString &title);
    void addButtonVisibleChanged(bool visible);
    void playModeChanged();
    // The play/pause and now-playing buttons are to be redrawn.
    void playStateChanged();
    // The current item changed: select and scroll to `row` (-1: no row of it).
    void currentItemChanged(int row);
    // The file of the playing item was deleted: the now-playing button goes.
    void nowPlayingButtonRemoved();

private:
    bool playlistMode() const;
    QString playlistFilePath() const;
    void reloadRows();
    void setAddButtonVisible(bool visible);
    void takeItem(const PlayableItemPtr &item);
    void buildFromPlaylist(const QList<PlayableItemPtr> &library);
    bool writePlaylist(const QByteArray &bytes);

    PlayListLibrary *library_;
    UniPlayer *player_;
    QList<PlayableItemPtr> playList_;
    QStringList m3uItems_;
    QHash<QString, PlayableItemPtr> m3uItemsLookup_;
    QString title_;
    int organize_ = 0;  // "Organize" as the rows were built
    bool addButtonVisible_ = false;
    bool tablet_ = false;
};
