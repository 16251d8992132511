// The folder browser's changes to the files of the library: rename a folder or a file, move
// files into a folder (an existing one or a new one), delete. Each answers what it did; a
// refusal carries the one localised message to show. Every change ends with the delegate's
// rescan, so the play list follows. Main thread.
//
// Folders are renamed and created at the top of the documents folder, whatever folder the
// browser shows: the library is one level of folders deep.
#pragma once

#include <QString>
#include <QStringList>

class OrganizeDelegate;

struct FileOutcome {
    enum Kind {
        Done,      // the change was made (`path`: where a renamed entry is now)
        Nothing,   // nothing to do (an unchanged name, an empty one where that means "no")
        Refused,   // `message` says why; nothing was changed
        Incomplete,  // a move failed half way: what moved stays moved, `message` names the
                     // first file that could not
    };
    Kind kind = Nothing;
    QString message;
    QString path;

    static FileOutcome done(const QString &path = QString()) { return {Done, QString(), path}; }
    static FileOutcome refused(const QString &message) { return {Refused, message, QString()}; }
    // Whether files were changed (so the screen that asked has done its job).
    bool changed() const { return kind == Done || kind == Incomplete; }
};

// Shows the message of a refusal or an incomplete move (AlertMessage); nothing otherwise.
void showRefusal(const FileOutcome &outcome);

// A typed name must stay one entry of the folder it is typed for: no "/" or NUL, not "."
// or "..", not empty.
bool isValidName(const QString &name);

// The folder at `path` gets the top-level name `name`. Nothing at the documents folder
// itself or for an unchanged name; "Folder already exists" when something has that name;
// "Can not rename folder" when the move fails. The folder preferences follow the move.
FileOutcome renameFolder(const QString &path, const QString &name, OrganizeDelegate *delegate);

// The file at `path` gets `name` in its own folder. Nothing for an unchanged name; "File
// already exists"; "Can not rename file". The rescan runs only for audio files and the side
// files items are built from (cue sheets, covers).
FileOutcome renameFile(const QString &path, const QString &name, OrganizeDelegate *delegate);

// "Can not move folders" when one of the items is a folder.
FileOutcome checkMovable(const QStringList &items);

// Moves every item (full paths of files) into `folder` under its own name. When the folder
// already holds one of the names, "File already exists in target folder: NAME" and nothing
// moves. A move that fails half way leaves what has moved where it is and says "Can not move
// file: NAME" for the first item that could not move.
FileOutcome moveToFolder(const QStringList &items, const QString &folder,
                         OrganizeDelegate *delegate);

// Creates the top-level folder `name` and moves the items into it. Nothing for an empty
// name; "Folder already exists"; "Can not create folder".
FileOutcome moveToNewFolder(const QStringList &items, const QString &name,
                            OrganizeDelegate *delegate);

// Removes the files and folders (with their contents); the rescan runs when `rescan` says so.
void removeItems(const QStringList &paths, OrganizeDelegate *delegate, bool rescan = true);

// Whether the file is one that items are built from besides the audio file: a cue sheet or
// a cover image (by its lower-cased extension).
bool isAccessoryFile(const QString &path);

// After an entry moved from `from` to `to`: "CurrentFolder" and "CurrentFile" that named it
// or something inside it name the new place, so the play list keeps showing the same music.
void followMove(const QString &from, const QString &to);
