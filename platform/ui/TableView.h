// A table of rows from a TableDataSource, plain or grouped (sections as separate rounded
// groups), with edit mode (delete, move). Main thread.
//
// Everything a mouse does here a keyboard and a screen reader can do too:
//   choose a row        click; Enter or Space on the current row; a screen reader's select
//   delete a row        the row's context menu (right click, Menu key) "Delete"; the Delete key;
//                       in edit mode its delete control, then the "Delete" button it reveals
//   move a row          in edit mode: drag its handle; context menu "Move Up" / "Move Down";
//                       Ctrl+Up / Ctrl+Down
//   flip a switch       click the switch; Enter or Space; a screen reader's select
// Arrow keys move the current row without choosing it.
#pragma once

#include <QListView>
#include <QPointer>

#include <optional>

#include "platform/ui/TableModel.h"

class QMenu;
class TableCellDelegate;

class TableView : public QListView {
    Q_OBJECT
public:
    enum class Style { Plain, Grouped };

    explicit TableView(Style style = Style::Plain, QWidget *parent = nullptr);
    Style style() const { return style_; }

    // Not owned. The rows are read on the first showing (or the first call below that needs
    // them) and again on every reloadData; in between the table shows what it read.
    // Name the table after its screen (setAccessibleName); TableViewController does.
    void setDataSource(TableDataSource *source);
    TableDataSource *dataSource() const { return model_->dataSource(); }
    TableModel *tableModel() const { return model_; }

    void reloadData();
    void reloadRows(const QList<IndexPath> &paths);
    // After the data source removed these rows.
    void deleteRows(const QList<IndexPath> &paths);

    bool isEditing() const { return editing_; }
    void setEditing(bool editing);

    // Selects the row (without didSelectRow) and scrolls it to the middle.
    void selectRow(IndexPath path, bool scrollToMiddle = true);
    std::optional<IndexPath> selectedRow() const;
    QRect rectForRow(IndexPath path) const;

    // Colours and scroll indicator, as themes set them. An invalid colour restores the
    // default; a transparent background shows what lies behind the table.
    void setBackgroundColor(const QColor &color);
    void setSeparatorColor(const QColor &color);
    QColor separatorColor() const { return separator_; }
    void setShowsVerticalScrollIndicator(bool shows);

    // What the mouse, keys and menu call; also for screens that offer their own controls.
    void chooseRow(IndexPath path);
    void commitDelete(IndexPath path);
    void commitMove(IndexPath from, IndexPath to);

    // The row's context menu (Delete, Move Up, Move Down as they apply), or none; the
    // caller owns it. Right click and the Menu key pop it up.
    QMenu *contextMenuForRow(IndexPath path);

    // The row whose delete control was pressed and shows its "Delete" button, or -1.
    int pendingDeleteRow() const { return pendingDelete_; }
    // The list row a handle drag would drop on, or -1.
    int dropRow() const { return dropRow_; }

signals:
    void editingChanged(bool editing);

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    void ensureLoaded() const;
    void activate(const QModelIndex &index);
    void selectionChangedByOthers(const QItemSelection &selected);
    bool isRow(const QModelIndex &index) const;
    std::optional<IndexPath> neighbour(IndexPath path, int step) const;

    Style style_;
    TableModel *model_;
    TableCellDelegate *delegate_;
    QColor separator_;
    bool editing_ = false;
    bool loaded_ = false;
    // Selection changes made by our own mouse, key and selectRow handling; any other comes
    // from a screen reader and chooses the row.
    int selfSelecting_ = 0;
    bool clickOnSwitch_ = false;
    int pendingDelete_ = -1;
    int dragFrom_ = -1;
    int dropRow_ = -1;
};
