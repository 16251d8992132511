#include "platform/ui/TableView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform/Localization.h"
#include "platform/ui/TableCellDelegate.h"

TableView::TableView(Style style, QWidget *parent)
    : QListView(parent), style_(style), model_(new TableModel(this)),
      delegate_(new TableCellDelegate(this))
{
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setFrameShape(QFrame::NoFrame);
    setBackgroundColor(QColor());
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) { selectionChangedByOthers(selected); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (!editing_ && !clickOnSwitch_ && isRow(index) &&
            (model_->flags(index) & Qt::ItemIsEnabled) && dataSource())
            dataSource()->didSelectRow(model_->pathForRow(index.row()));
    });
}

void TableView::setDataSource(TableDataSource *source)
{
    model_->setDataSource(source);
    if (loaded_)
        reloadData();
}

void TableView::ensureLoaded() const
{
    if (!loaded_)
        const_cast<TableView *>(this)->reloadData();
}

void TableView::reloadData()
{
    loaded_ = true;
    pendingDelete_ = -1;
    selfSelecting_++;
    model_->reload();
    selfSelecting_--;
}

void TableView::reloadRows(const QList<IndexPath> &paths)
{
    // Rows never read are read whole, already changed.
    if (!loaded_) {
        reloadData();
        return;
    }
    model_->rowsChanged(paths);
}

void TableView::deleteRows(const QList<IndexPath> &paths)
{
    if (!loaded_) {
        reloadData();
        return;
    }
    pendingDelete_ = -1;
    selfSelecting_++;
    model_->removeRows(paths);
    selfSelecting_--;
}

void TableView::setEditing(bool editing)
{
    if (editing_ == editing)
        return;
    editing_ = editing;
    pendingDelete_ = -1;
    dragFrom_ = dropRow_ = -1;
    viewport()->update();
    emit editingChanged(editing);
}

void TableView::selectRow(IndexPath path, bool scrollToMiddle)
{
    ensureLoaded();
    const QModelIndex index = model_->indexForPath(path);
    if (!index.isValid())
        return;
    selfSelecting_++;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    selfSelecting_--;
    if (scrollToMiddle)
        scrollTo(index, QAbstractItemView::PositionAtCenter);
}

std::optional<IndexPath> TableView::selectedRow() const
{
    for (const QModelIndex &i : selectionModel()->selectedIndexes())
        if (isRow(i))
            return model_->pathForRow(i.row());
    return std::nullopt;
}

QRect TableView::rectForRow(IndexPath path) const
{
    ensureLoaded();
    const QModelIndex index = model_->indexForPath(path);
    return index.isValid() ? delegate_->rowRect(visualRect(index), index.row()) : QRect();
}

void TableView::setBackgroundColor(const QColor &color)
{
    const QPalette::ColorRole role = style_ == Style::Grouped ? QPalette::Window : QPalette::Base;
    viewport()->setBackgroundRole(role);
    QPalette p = viewport()->palette();
    p.setColor(role, color.isValid() ? color : palette().color(role));
    viewport()->setPalette(p);
    viewport()->setAutoFillBackground(!color.isValid() || color.alpha() > 0);
}

void TableView::setSeparatorColor(const QColor &color)
{
    separator_ = color;
    viewport()->update();
}

void TableView::setShowsVerticalScrollIndicator(bool shows)
{
    setVerticalScrollBarPolicy(shows ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

bool TableView::isRow(const QModelIndex &index) const
{
    return index.isValid() && model_->kind(index.row()) == TableModel::Kind::Row;
}

void TableView::chooseRow(IndexPath path)
{
    ensureLoaded();
    const QModelIndex index = model_->indexForPath(path);
    if (!index.isValid() || !dataSource() || editing_ || !(model_->flags(index) & Qt::ItemIsEnabled))
        return;
    if (model_->flags(index) & Qt::ItemIsUserCheckable) {
        const bool on = model_->data(index, Qt::CheckStateRole).toInt() == Qt::Checked;
        model_->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return;
    }
    dataSource()->didSelectRow(path);
}

void TableView::commitDelete(IndexPath path)
{
    ensureLoaded();
    pendingDelete_ = -1;
    viewport()->update();
    if (model_->rowForPath(path) >= 0 && dataSource() && dataSource()->canDeleteRow(path))
        dataSource()->deleteRow(path);
}

void TableView::commitMove(IndexPath from, IndexPath to)
{
    ensureLoaded();
    if (from == to || from.section != to.section || model_->rowForPath(from) < 0 ||
        model_->rowForPath(to) < 0 || !dataSource() || !dataSource()->canMoveRow(from))
        return;
    TableDataSource *source = dataSource();
    selfSelecting_++;
    model_->moveRow(from, to, [source, from, to] { source->moveRow(from, to); });
    selfSelecting_--;
    setCurrentIndex(model_->indexForPath(to));
}

std::optional<IndexPath> TableView::neighbour(IndexPath path, int step) const
{
    const IndexPath next{path.section, path.row + step};
    if (model_->rowForPath(next) < 0)
        return std::nullopt;
    return next;
}

void TableView::activate(const QModelIndex &index)
{
    if (!isRow(index) || editing_)
        return;
    if (model_->flags(index) & Qt::ItemIsSelectable) {
        selfSelecting_++;
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        selfSelecting_--;
    }
    chooseRow(model_->pathForRow(index.row()));
}

void TableView::selectionChangedByOthers(const QItemSelection &selected)
{
    if (selfSelecting_ > 0)
        return;
    for (const QModelIndex &index : selected.indexes()) {
        if (isRow(index)) {
            chooseRow(model_->pathForRow(index.row()));
            return;
        }
    }
}

QItemSelectionModel::SelectionFlags TableView::selectionCommand(const QModelIndex &index,
                                                                const QEvent *event) const
{
    // Keys and setCurrentIndex move the current row only; Enter and Space choose it
    // (keyPressEvent). Rows are not selected while editing.
    if (editing_ || !event || event->type() == QEvent::KeyPress)
        return QItemSelectionModel::NoUpdate;
    return QListView::selectionCommand(index, event);
}

void TableView::showEvent(QShowEvent *event)
{
    ensureLoaded();
    QListView::showEvent(event);
}

void TableView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const QPoint at = event->position().toPoint();
    if (editing_ && isRow(index) && event->button() == Qt::LeftButton) {
        const QRect item = visualRect(index);
        const int row = index.row();
        if (delegate_->confirmDeleteRect(item, row).contains(at)) {
            commitDelete(model_->pathForRow(row));
            return;
        }
        if (delegate_->deleteControlRect(item, row).contains(at)) {
            pendingDelete_ = pendingDelete_ == row ? -1 : row;
            viewport()->update();
            return;
        }
        if (delegate_->moveHandleRect(item, row).contains(at)) {
            dragFrom_ = row;
            dropRow_ = -1;
            return;
        }
    }
    if (pendingDelete_ >= 0) {
        // A press anywhere else takes the revealed "Delete" back.
        pendingDelete_ = -1;
        viewport()->update();
        return;
    }
    selfSelecting_++;
    QListView::mousePressEvent(event);
    selfSelecting_--;
}

void TableView::mouseMoveEvent(QMouseEvent *event)
{
    if (dragFrom_ >= 0) {
        const QModelIndex target = indexAt(event->position().toPoint());
        const int row = isRow(target) && model_->section(target.row()) == model_->section(dragFrom_)
                            ? target.row()
                            : -1;
        if (row != dropRow_) {
            dropRow_ = row;
            viewport()->update();
        }
        return;
    }
    selfSelecting_++;
    QListView::mouseMoveEvent(event);
    selfSelecting_--;
}

void TableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (dragFrom_ >= 0) {
        const int from = dragFrom_, to = dropRow_;
        dragFrom_ = dropRow_ = -1;
        viewport()->update();
        if (to >= 0)
            commitMove(model_->pathForRow(from), model_->pathForRow(to));
        return;
    }
    // The delegate flips a switch on release; Qt reports the click on the row as well.
    const QModelIndex index = indexAt(event->position().toPoint());
    clickOnSwitch_ = index.isValid() &&
                     delegate_->switchRect(visualRect(index), index.row()).contains(event->position().toPoint());
    selfSelecting_++;
    QListView::mouseReleaseEvent(event);
    selfSelecting_--;
    clickOnSwitch_ = false;
}

void TableView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    const bool row = isRow(current);
    const IndexPath path = row ? model_->pathForRow(current.row()) : IndexPath();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Select:
        if (row && !editing_) {
            activate(current);
            return;
        }
        break;
    case Qt::Key_Delete:
        if (row && dataSource() && dataSource()->canDeleteRow(path)) {
            commitDelete(path);
            return;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (ctrl && row && editing_) {
            if (auto to = neighbour(path, event->key() == Qt::Key_Up ? -1 : 1))
                commitMove(path, *to);
            return;
        }
        break;
    case Qt::Key_Escape:
        if (pendingDelete_ >= 0) {
            pendingDelete_ = -1;
            viewport()->update();
            return;
        }
        break;
    default:
        break;
    }
    selfSelecting_++;
    QListView::keyPressEvent(event);
    selfSelecting_--;
}

QMenu *TableView::contextMenuForRow(IndexPath path)
{
    ensureLoaded();
    TableDataSource *source = dataSource();
    if (!source || model_->rowForPath(path) < 0)
        return nullptr;
    auto *menu = new QMenu(this);
    if (source->canDeleteRow(path)) {
        QAction *a = menu->addAction(SVLocalized("Delete"), this, [this, path] { commitDelete(path); });
        a->setShortcut(QKeySequence::Delete);
    }
    if (editing_ && source->canMoveRow(path)) {
        if (auto up = neighbour(path, -1)) {
            QAction *a = menu->addAction(SVLocalized("Move Up"), this,
                                         [this, path, to = *up] { commitMove(path, to); });
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
        }
        if (auto down = neighbour(path, 1)) {
            QAction *a = menu->addAction(SVLocalized("Move Down"), this,
                                         [this, path, to = *down] { commitMove(path, to); });
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
        }
    }
    if (menu->isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

void TableView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = event->reason() == QContextMenuEvent::Keyboard
                                  ? currentIndex()
                                  : indexAt(event->pos());
    if (!isRow(index))
        return;
    QMenu *menu = contextMenuForRow(model_->pathForRow(index.row()));
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? viewport()->mapToGlobal(visualRect(index).center())
                          : event->globalPos();
    menu->popup(at);
}
