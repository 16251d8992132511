#include "platform/ui/TableModel.h"

#include <algorithm>

TableModel::TableModel(QObject *parent) : QAbstractListModel(parent)
{
    starts_ = {0};
}

void TableModel::setDataSource(TableDataSource *source)
{
    source_ = source;
}

TableModel::Item TableModel::fetch(IndexPath path) const
{
    return {source_->cellForRow(path), source_->heightForRow(path)};
}

void TableModel::reload()
{
    beginResetModel();
    sections_.clear();
    items_.clear();
    if (source_) {
        const int count = std::max(0, source_->numberOfSections());
        for (int s = 0; s < count; s++) {
            Section sec{source_->titleForHeader(s), source_->titleForFooter(s),
                        std::max(0, source_->numberOfRows(s))};
            if (!sec.header.isEmpty())
                items_.append(Item());
            for (int r = 0; r < sec.rows; r++)
                items_.append(fetch({s, r}));
            if (!sec.footer.isEmpty())
                items_.append(Item());
            sections_.append(sec);
        }
    }
    computeStarts();
    endResetModel();
}

void TableModel::computeStarts()
{
    starts_.resize(sections_.size() + 1);
    int at = 0;
    for (int s = 0; s < sections_.size(); s++) {
        starts_[s] = at;
        at += (sections_[s].header.isEmpty() ? 0 : 1) + sections_[s].rows +
              (sections_[s].footer.isEmpty() ? 0 : 1);
    }
    starts_[sections_.size()] = at;
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(items_.size());
}

bool TableModel::valid(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() &&
           index.row() < items_.size();
}

int TableModel::section(int row) const
{
    // The last section starting at or before the row.
    auto it = std::upper_bound(starts_.begin(), starts_.end() - 1, row);
    return int(it - starts_.begin()) - 1;
}

TableModel::Kind TableModel::kind(int row) const
{
    const int s = section(row);
    if (s < 0 || s >= sections_.size())
        return Kind::Row;
    const Section &sec = sections_[s];
    int offset = row - start(s);
    if (!sec.header.isEmpty()) {
        if (offset == 0)
            return Kind::Header;
        offset--;
    }
    return offset < sec.rows ? Kind::Row : Kind::Footer;
}

IndexPath TableModel::pathForRow(int row) const
{
    const int s = section(row);
    if (s < 0 || s >= sections_.size())
        return {};
    return {s, row - start(s) - (sections_[s].header.isEmpty() ? 0 : 1)};
}

int TableModel::rowForPath(IndexPath path) const
{
    if (path.section < 0 || path.section >= sections_.size() || path.row < 0 ||
        path.row >= sections_[path.section].rows)
        return -1;
    return start(path.section) + (sections_[path.section].header.isEmpty() ? 0 : 1) + path.row;
}

QModelIndex TableModel::indexForPath(IndexPath path) const
{
    const int row = rowForPath(path);
    return row < 0 ? QModelIndex() : index(row);
}

int TableModel::numberOfRows(int section) const
{
    return section >= 0 && section < sections_.size() ? sections_[section].rows : 0;
}

bool TableModel::isFirstInSection(int row) const
{
    return row == start(section(row));
}

bool TableModel::isLastInSection(int row) const
{
    return row == start(section(row) + 1) - 1;
}

TableCell TableModel::cell(int row) const
{
    return row >= 0 && row < items_.size() ? items_[row].cell : TableCell();
}

QString TableModel::headerOrFooterText(int row) const
{
    const int s = section(row);
    if (s < 0 || s >= sections_.size())
        return {};
    switch (kind(row)) {
    case Kind::Header:
        return sections_[s].header;
    case Kind::Footer:
        return sections_[s].footer;
    case Kind::Row:
        break;
    }
    return {};
}

int TableModel::rowHeight(int row) const
{
    return row >= 0 && row < items_.size() ? items_[row].height : 0;
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!valid(index))
        return {};
    const int row = index.row();
    if (kind(row) != Kind::Row) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return headerOrFooterText(row);
        return {};
    }
    const TableCell &c = items_[row].cell;
    switch (role) {
    case Qt::DisplayRole:
        return c.text;
    case Qt::AccessibleTextRole:
        return c.accessibleText.isEmpty() ? c.text : c.accessibleText;
    case Qt::AccessibleDescriptionRole:
        return c.accessibleDescription.isEmpty() ? c.detailText : c.accessibleDescription;
    case Qt::CheckStateRole:
        if (c.accessory == TableCell::Accessory::Checkmark)
            return int(Qt::Checked);
        if (c.accessory == TableCell::Accessory::Switch)
            return int(c.switchOn ? Qt::Checked : Qt::Unchecked);
        return {};
    case Qt::DecorationRole:
        return c.image.isNull() ? QVariant() : QVariant(c.image);
    case Qt::ForegroundRole:
        return c.textColor.isValid() ? QVariant(c.textColor) : QVariant();
    default:
        return {};
    }
}

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !source_ || !(flags(index) & Qt::ItemIsUserCheckable))
        return false;
    const IndexPath path = pathForRow(index.row());
    source_->switchToggled(path, value.toInt() == Qt::Checked);
    rowsChanged({path});
    return true;
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!valid(index))
        return Qt::NoItemFlags;
    if (kind(index.row()) != Kind::Row)
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    const TableCell &c = items_[index.row()].cell;
    if (!c.enabled)
        return Qt::ItemNeverHasChildren;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (c.accessory == TableCell::Accessory::Switch)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void TableModel::rowsChanged(const QList<IndexPath> &paths)
{
    if (!source_)
        return;
    for (const IndexPath &p : paths) {
        const int r = rowForPath(p);
        if (r < 0)
            continue;
        items_[r] = fetch(p);
        emit dataChanged(index(r), index(r));
    }
}

void TableModel::removeRows(const QList<IndexPath> &paths)
{
    QList<int> rows;
    for (const IndexPath &p : paths) {
        const int r = rowForPath(p);
        if (r >= 0 && !rows.contains(r))
            rows.append(r);
    }
    // From the bottom up, so the rows above keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int r : rows) {
        const int s = section(r);
        beginRemoveRows(QModelIndex(), r, r);
        items_.removeAt(r);
        sections_[s].rows--;
        computeStarts();
        endRemoveRows();
    }
}

void TableModel::moveRow(IndexPath from, IndexPath to, const std::function<void()> &updateSource)
{
    const int f = rowForPath(from), t = rowForPath(to);
    if (f < 0 || t < 0 || f == t || from.section != to.section)
        return;
    // Qt names the row before which it lands, counted before the move.
    beginMoveRows(QModelIndex(), f, f, QModelIndex(), t > f ? t + 1 : t);
    items_.move(f, t);
    endMoveRows();
    if (updateSource)
        updateSource();
}
