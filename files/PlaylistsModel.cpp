#include "files/PlaylistsModel.h"

#include "files/FileSystemObject.h"
#include "files/OrganizeDelegate.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"

namespace {

constexpr int kOrganizePlaylist = 3;

FileSystemObject *fs() { return FileSystemObject::sharedObject(); }

}  // namespace

PlaylistsModel::PlaylistsModel(OrganizeDelegate *delegate, QObject *parent)
    : QAbstractListModel(parent), delegate_(delegate)
{
    updateList();
}

void PlaylistsModel::updateList()
{
    beginResetModel();
    lists_ = fs()->contentsOfDirectoryWithSuffix(fs()->documentsDirectory(), "m3u")
                 .value_or(QStringList());
    endResetModel();
}

void PlaylistsModel::refresh()
{
    updateList();
    setMode(Normal);
}

void PlaylistsModel::setMode(Mode mode)
{
    mode_ = mode;
    emit modeChanged(mode);
}

QString PlaylistsModel::displayNameOf(const QString &fileName)
{
    qsizetype dot = fileName.lastIndexOf('.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString PlaylistsModel::pathOf(const QString &fileName)
{
    return fs()->documentsDirectory() + '/' + fileName;
}

bool PlaylistsModel::isChosen(int row) const
{
    return row >= 0 && row < count() &&
           Preferences::integerForKey("Organize") == kOrganizePlaylist &&
           lists_[row] == Preferences::stringForKey("CurrentPlaylist");
}

int PlaylistsModel::chosenRow() const
{
    for (int row = 0; row < count(); row++) {
        if (isChosen(row))
            return row;
    }
    return -1;
}

void PlaylistsModel::choose(int row)
{
    if (row < 0 || row >= count())
        return;
    Preferences::setInteger("Organize", kOrganizePlaylist);
    Preferences::setObject("CurrentPlaylist", lists_[row]);
    emit dataChanged(index(0), index(count() - 1));
    if (delegate_)
        delegate_->updatePlayList();
}

FileOutcome PlaylistsModel::checkedFileName(const QString &text, QString *fileName) const
{
    if (text.size() < 2)
        return {};
    if (!isValidName(text))
        return FileOutcome::refused(SVLocalized("Invalid name"));
    *fileName = text + ".m3u";
    if (fs()->fileExists(pathOf(*fileName)))
        return FileOutcome::refused(SVLocalized("File already exists"));
    return FileOutcome::done(pathOf(*fileName));
}

FileOutcome PlaylistsModel::addPlaylist(const QString &text)
{
    QString fileName;
    FileOutcome outcome = checkedFileName(text, &fileName);
    if (outcome.kind != FileOutcome::Done)
        return outcome;
    fs()->createFile(outcome.path);
    refresh();
    return outcome;
}

FileOutcome PlaylistsModel::renamePlaylist(int row, const QString &text)
{
    if (row < 0 || row >= count())
        return {};
    QString fileName;
    FileOutcome outcome = checkedFileName(text, &fileName);
    if (outcome.kind != FileOutcome::Done)
        return outcome;
    const QString old = lists_[row];
    if (fs()->moveFile(pathOf(old), outcome.path) &&
        Preferences::stringForKey("CurrentPlaylist") == old) {
        // Otherwise the play list would read a file that is no more and empty itself.
        Preferences::setObject("CurrentPlaylist", fileName);
        if (Preferences::integerForKey("Organize") == kOrganizePlaylist && delegate_)
            delegate_->updatePlayList();
    }
    refresh();
    return outcome;
}

void PlaylistsModel::removePlaylist(int row)
{
    if (row < 0 || row >= count())
        return;
    fs()->removeFileAtPath(pathOf(lists_[row]));
    beginRemoveRows(QModelIndex(), row, row);
    lists_.removeAt(row);
    endRemoveRows();
}

int PlaylistsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant PlaylistsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return displayName(index.row());
    case Qt::AccessibleDescriptionRole:
        return QString();
    case Qt::CheckStateRole:
        return isChosen(index.row()) ? Qt::Checked : Qt::Unchecked;
    case FileNameRole:
        return fileName(index.row());
    default:
        return QVariant();
    }
}

Qt::ItemFlags PlaylistsModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
