// Paints the items of a TableView (rows in their styles, accessories, edit controls, section
// headers and footers) and says where the edit controls of a row lie. Main thread.
#pragma once

#include <QStyledItemDelegate>

class TableView;

class TableCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TableCellDelegate(TableView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // Within an item's rectangle: the part the row itself covers (grouped rows are inset and
    // the first one of a section without a header leaves a gap above it).
    QRect rowRect(const QRect &itemRect, int row) const;
    // The edit controls of a row in edit mode, and the switch; empty when the row has none.
    QRect deleteControlRect(const QRect &itemRect, int row) const;
    QRect confirmDeleteRect(const QRect &itemRect, int row) const;
    QRect moveHandleRect(const QRect &itemRect, int row) const;
    QRect switchRect(const QRect &itemRect, int row) const;

private:
    int topGap(int row) const;
    TableView *view_;
};
