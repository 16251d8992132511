#include "files/FolderModel.h"

#include "files/FileSystemObject.h"
#include "files/SVFileChooserDelegate.h"
#include "platform/Localization.h"

QString countedTitle(const char *word, int count)
{
    if (count <= 0)
        return SVLocalized(word);
    return QStringLiteral("%1(%2)").arg(SVLocalized(word)).arg(count);
}

FolderModel::FolderModel(Kind kind, const QString &path, SVFileChooserDelegate *chooserDelegate,
                         QObject *parent)
    : QAbstractListModel(parent), kind_(kind), path_(path), chooserDelegate_(chooserDelegate)
{
}

bool FolderModel::isRootDirectory() const
{
    return path_ == FileSystemObject::sharedObject()->documentsDirectory();
}

QString FolderModel::title() const
{
    if (selectMode_)
        return SVLocalized("Select Mode");
    if (isRootDirectory())
        return SVLocalized("All");
    return path_.mid(path_.lastIndexOf('/') + 1);
}

QString FolderModel::fullPath(int row) const
{
    return path_ + '/' + names_.value(row);
}

bool FolderModel::isSelected(int row) const
{
    return row >= 0 && row < flags_.size() && (flags_[row] & Selected);
}

bool FolderModel::isDisabled(int row) const
{
    return row >= 0 && row < flags_.size() && (flags_[row] & Disabled);
}

bool FolderModel::loadFiles()
{
    std::optional<FileSystemObject::DirectoryContents> contents =
        FileSystemObject::sharedObject()->contentsOfDirectoryByKind(path_);
    if (!contents)
        return false;
    QList<quint32> flags(contents->folders.size(), 0u);
    flags.reserve(contents->folders.size() + contents->others.size());
    for (const QString &name : contents->others) {
        bool enabled = kind_ == Kind::Browser || !chooserDelegate_ ||
                       chooserDelegate_->shouldInclude(path_ + '/' + name);
        flags << (enabled ? 0u : quint32(Disabled));
    }
    beginResetModel();
    folders_ = int(contents->folders.size());
    names_ = contents->folders + contents->others;
    flags_ = std::move(flags);
    endResetModel();
    setSelectedCount(0);
    return true;
}

void FolderModel::setSelectMode(bool on)
{
    if (kind_ != Kind::Browser || on == selectMode_)
        return;
    selectMode_ = on;
    clearSelection();
    if (!names_.isEmpty())
        emit dataChanged(index(0), index(count() - 1));
}

void FolderModel::clearSelection()
{
    for (quint32 &f : flags_)
        f &= ~quint32(Selected);
    setSelectedCount(0);
}

bool FolderModel::toggleRow(int row)
{
    if (row < 0 || row >= count())
        return false;
    if (kind_ == Kind::Browser ? !selectMode_ : (isFolder(row) || isDisabled(row)))
        return false;
    flags_[row] ^= Selected;
    setSelectedCount(selectedCount_ + ((flags_[row] & Selected) ? 1 : -1));
    emit dataChanged(index(row), index(row));
    return true;
}

void FolderModel::selectAllFiles()
{
    if (kind_ != Kind::Chooser)
        return;
    int marked = 0;
    for (int row = folders_; row < count(); row++) {
        if (!(flags_[row] & Disabled)) {
            flags_[row] |= Selected;
            marked++;
        }
    }
    if (count() > 0)
        emit dataChanged(index(0), index(count() - 1));
    setSelectedCount(marked);
}

QStringList FolderModel::selectedItems() const
{
    QStringList paths;
    for (int row = 0; row < count(); row++) {
        if (flags_[row] & Selected)
            paths << fullPath(row);
    }
    return paths;
}

bool FolderModel::selectionHasFolder() const
{
    for (int row = 0; row < folders_; row++) {
        if (flags_[row] & Selected)
            return true;
    }
    return false;
}

bool FolderModel::addSelected()
{
    if (!chooserDelegate_ || selectedCount_ <= 0)
        return false;
    QStringList paths = selectedItems();
    if (!chooserDelegate_->addFiles(paths))
        return false;
    for (quint32 &f : flags_) {
        if (f & Selected)
            f = Disabled;
    }
    emit dataChanged(index(0), index(count() - 1));
    emit announcement(SVLocalized("Added %1\n").arg(paths.size()));
    setSelectedCount(0);
    return true;
}

void FolderModel::removeEntry(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    bool wasSelected = flags_[row] & Selected;
    names_.removeAt(row);
    flags_.removeAt(row);
    if (row < folders_)
        folders_--;
    endRemoveRows();
    if (wasSelected)
        setSelectedCount(selectedCount_ - 1);
}

void FolderModel::setSelectedCount(int count)
{
    count = qMax(count, 0);
    bool changed = count != selectedCount_;
    selectedCount_ = count;
    if (kind_ == Kind::Chooser && changed && count > 0)
        emit announcement(SVLocalized("%1 to add\n").arg(count));
    emit selectedCountChanged(count);
}

bool FolderModel::hasCheckmarks(int row) const
{
    return kind_ == Kind::Browser ? selectMode_ : !isFolder(row);
}

int FolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FolderModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return names_[row];
    case Qt::AccessibleDescriptionRole:
        return isFolder(row) ? SVLocalized("Folder") : QString();
    case Qt::CheckStateRole:
        if (!hasCheckmarks(row))
            return QVariant();
        return isSelected(row) ? Qt::Checked : Qt::Unchecked;
    case FolderRole:
        return isFolder(row);
    case DisabledRole:
        return isDisabled(row);
    case PathRole:
        return fullPath(row);
    default:
        return QVariant();
    }
}

Qt::ItemFlags FolderModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isDisabled(index.row()))
        return Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
