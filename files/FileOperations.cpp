#include "files/FileOperations.h"

#include "files/AlertMessage.h"
#include "files/FileSystemObject.h"
#include "files/OrganizeDelegate.h"
#include "metadata/PlayableItem.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"

namespace {

FileSystemObject *fs() { return FileSystemObject::sharedObject(); }

QString lastPathComponent(const QString &path) { return path.mid(path.lastIndexOf('/') + 1); }

QString folderOf(const QString &path) { return path.left(qMax(path.lastIndexOf('/'), 0)); }

void rescan(OrganizeDelegate *delegate)
{
    if (delegate)
        delegate->loadMusics();
}

// `path` with the prefix `from` replaced by `to`, or null when it is not at or below `from`.
QString moved(const QString &path, const QString &from, const QString &to)
{
    if (path == from)
        return to;
    if (path.startsWith(from + '/'))
        return to + path.mid(from.size());
    return QString();
}

}  // namespace

void showRefusal(const FileOutcome &outcome)
{
    if (outcome.kind == FileOutcome::Refused || outcome.kind == FileOutcome::Incomplete)
        AlertMessage::show(outcome.message);
}

bool isValidName(const QString &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains(QChar(0));
}

void followMove(const QString &from, const QString &to)
{
    const QString docs = fs()->documentsDirectory();
    // A relative folder is relative to the documents folder, and stays relative.
    QString folder = Preferences::stringForKey("CurrentFolder");
    if (!folder.isEmpty()) {
        bool relative = !folder.startsWith('/');
        QString now = moved(relative ? docs + '/' + folder : folder, from, to);
        if (!now.isNull()) {
            if (relative && now.startsWith(docs + '/'))
                now = now.mid(docs.size() + 1);
            Preferences::setObject("CurrentFolder", now);
        }
    }
    QString file = Preferences::stringForKey("CurrentFile");
    if (!file.isEmpty()) {
        QString now = moved(file, from, to);
        if (!now.isNull())
            Preferences::setObject("CurrentFile", now);
    }
}

FileOutcome renameFolder(const QString &path, const QString &name, OrganizeDelegate *delegate)
{
    const QString docs = fs()->documentsDirectory();
    if (path == docs || name == lastPathComponent(path))
        return {};
    if (!isValidName(name))
        return FileOutcome::refused(SVLocalized("Invalid name"));
    const QString target = docs + '/' + name;
    if (fs()->fileExists(target))
        return FileOutcome::refused(SVLocalized("Folder already exists"));
    if (!fs()->moveFile(path, target))
        return FileOutcome::refused(SVLocalized("Can not rename folder"));
    followMove(path, target);
    rescan(delegate);
    return FileOutcome::done(target);
}

FileOutcome renameFile(const QString &path, const QString &name, OrganizeDelegate *delegate)
{
    if (name == lastPathComponent(path))
        return {};
    if (!isValidName(name))
        return FileOutcome::refused(SVLocalized("Invalid name"));
    const QString target = folderOf(path) + '/' + name;
    if (fs()->fileExists(target))
        return FileOutcome::refused(SVLocalized("File already exists"));
    // The library changes when the old or the new name is one it is built from: a file
    // renamed to "x.flac" joins it, a cover renamed to "x.txt" leaves it.
    auto counts = [](const QString &p) {
        return PlayableItem::typeOfAudioFile(p) != PlayableItem::AudioTypeNone || isAccessoryFile(p);
    };
    bool inLibrary = counts(path) || counts(target);
    if (!fs()->moveFile(path, target))
        return FileOutcome::refused(SVLocalized("Can not rename file"));
    followMove(path, target);
    if (inLibrary)
        rescan(delegate);
    return FileOutcome::done(target);
}

FileOutcome checkMovable(const QStringList &items)
{
    for (const QString &item : items) {
        if (fs()->directoryExists(item))
            return FileOutcome::refused(SVLocalized("Can not move folders"));
    }
    return FileOutcome::done();
}

FileOutcome moveToFolder(const QStringList &items, const QString &folder,
                         OrganizeDelegate *delegate)
{
    for (const QString &item : items) {
        QString name = lastPathComponent(item);
        if (fs()->fileExists(folder + '/' + name)) {
            return FileOutcome::refused(QStringLiteral("%1: %2").arg(
                SVLocalized("File already exists in target folder"), name));
        }
    }
    FileOutcome outcome = FileOutcome::done(folder);
    bool anyMoved = false;
    for (const QString &item : items) {
        QString target = folder + '/' + lastPathComponent(item);
        if (!fs()->moveFile(item, target)) {
            outcome = {FileOutcome::Incomplete,
                       QStringLiteral("%1: %2").arg(SVLocalized("Can not move file"),
                                                    lastPathComponent(item)),
                       folder};
            break;
        }
        followMove(item, target);
        anyMoved = true;
    }
    if (anyMoved)
        rescan(delegate);
    return outcome;
}

FileOutcome moveToNewFolder(const QStringList &items, const QString &name,
                            OrganizeDelegate *delegate)
{
    if (name.isEmpty())
        return {};
    if (!isValidName(name))
        return FileOutcome::refused(SVLocalized("Invalid name"));
    const QString folder = fs()->documentsDirectory() + '/' + name;
    if (fs()->fileExists(folder))
        return FileOutcome::refused(SVLocalized("Folder already exists"));
    if (!fs()->createDirectory(folder))
        return FileOutcome::refused(SVLocalized("Can not create folder"));
    return moveToFolder(items, folder, delegate);
}

void removeItems(const QStringList &paths, OrganizeDelegate *delegate, bool rescanAfter)
{
    if (delegate)
        delegate->willRemoveFiles(paths);
    for (const QString &path : paths)
        fs()->removeFileAtPath(path);
    if (rescanAfter)
        rescan(delegate);
}

bool isAccessoryFile(const QString &path)
{
    static const QStringList kExtensions = {"cue", "jpg", "png", "jpeg", "gif", "tif", "tiff"};
    QString name = lastPathComponent(path);
    qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && kExtensions.contains(name.mid(dot + 1).toLower());
}
