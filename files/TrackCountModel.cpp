#include "files/TrackCountModel.h"

#include <QHash>

#include <algorithm>

#include "files/OrganizeDelegate.h"
#include "platform/Localization.h"
#include "platform/Preferences.h"

TrackCountModel::TrackCountModel(Property property, OrganizeDelegate *delegate, QObject *parent)
    : QAbstractListModel(parent), property_(property), delegate_(delegate)
{
    if (delegate_) {
        if (std::shared_ptr<const QList<PlayableItemPtr>> items = delegate_->playableItems())
            build(*items);
    }
}

void TrackCountModel::build(const QList<PlayableItemPtr> &items)
{
    QHash<QString, int> counts;
    for (const PlayableItemPtr &item : items) {
        const QString &name = property_ == Property::Artist ? item->artist() : item->album();
        if (name.isNull())
            continue;
        counts[name] += item->subItems().isEmpty() ? 1 : int(item->subItems().size());
    }
    names_ = counts.keys();
    // Names that differ only in case stay separate rows, next to each other.
    std::sort(names_.begin(), names_.end(), [](const QString &a, const QString &b) {
        int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    counts_.clear();
    for (const QString &name : names_)
        counts_ << counts.value(name);
}

QString TrackCountModel::title() const
{
    return SVLocalized(property_ == Property::Artist ? SV_TEXT("Artists") : SV_TEXT("Albums"));
}

int TrackCountModel::organizeValue() const { return property_ == Property::Artist ? 1 : 2; }

const char *TrackCountModel::currentKey() const
{
    return property_ == Property::Artist ? "CurrentArtist" : "CurrentAlbum";
}

QString TrackCountModel::detail(int row) const
{
    int n = trackCount(row);
    return n > 0 ? SVLocalized("%1 Tracks").arg(n) : QString();
}

bool TrackCountModel::isChecked(int row) const
{
    return Preferences::integerForKey("Organize") == organizeValue() &&
           row >= 0 && row < count() && names_[row] == Preferences::stringForKey(currentKey());
}

int TrackCountModel::currentRow() const
{
    return int(names_.indexOf(Preferences::stringForKey(currentKey())));
}

void TrackCountModel::choose(int row)
{
    if (row < 0 || row >= count())
        return;
    Preferences::setInteger("Organize", organizeValue());
    Preferences::setObject(currentKey(), names_[row]);
    emit dataChanged(index(0), index(count() - 1));
    if (delegate_)
        delegate_->updatePlayList();
}

int TrackCountModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant TrackCountModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return names_[index.row()];
    case Qt::AccessibleDescriptionRole:
        return detail(index.row());
    case Qt::CheckStateRole:
        return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    case CountRole:
        return counts_[index.row()];
    default:
        return QVariant();
    }
}

Qt::ItemFlags TrackCountModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
