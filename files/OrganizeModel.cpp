#include "files/OrganizeModel.h"

#include <QDir>
#include <QUrl>

#include "platform/Localization.h"
#include "platform/Preferences.h"

namespace {

struct MenuRow {
    const char *text;
    const char *image;
};

const MenuRow kRows[OrganizeModel::RowCount] = {
    {SV_TEXT("Files"), "files.png"},         {SV_TEXT("Artists"), "artists.png"},
    {SV_TEXT("Albums"), "albums.png"},       {SV_TEXT("Playlists"), "lists.png"},
    {SV_TEXT("Settings"), "settings.png"},   {SV_TEXT("Help Center"), "help.png"},
};

}  // namespace

OrganizeModel::OrganizeModel(bool settingsAvailable, QObject *parent)
    : QAbstractListModel(parent), settingsAvailable_(settingsAvailable)
{
}

QString OrganizeModel::text(int row) const
{
    return row >= 0 && row < RowCount ? SVLocalized(kRows[row].text) : QString();
}

QString OrganizeModel::imageName(int row) const
{
    return row >= 0 && row < RowCount ? QString::fromLatin1(kRows[row].image) : QString();
}

QString OrganizeModel::detail(int row) const
{
    qint64 organize = Preferences::integerForKey("Organize");
    if (row == Artists && organize == 1)
        return Preferences::stringForKey("CurrentArtist");
    if (row == Albums && organize == 2)
        return Preferences::stringForKey("CurrentAlbum");
    return QString();
}

void OrganizeModel::reload()
{
    emit dataChanged(index(0), index(RowCount - 1));
}

int OrganizeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : RowCount;
}

QVariant OrganizeModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(row);
    case Qt::AccessibleDescriptionRole:
        return detail(row);
    case ImageRole:
        return imageName(row);
    case DisclosureRole:
        return hasDisclosure(row);
    default:
        return QVariant();
    }
}

Qt::ItemFlags OrganizeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return isEnabled(index.row()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                                  : Qt::ItemNeverHasChildren;
}

QString helpPageAddress()
{
    QString address = SVLocalized("help/index.html");
    if (address.contains(QLatin1String("://")))
        return address;
    return QUrl::fromLocalFile(QDir::cleanPath(SVResourcesPath() + "/" + address)).toString();
}
