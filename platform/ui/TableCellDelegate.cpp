#include "platform/ui/TableCellDelegate.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "platform/Localization.h"
#include "platform/ui/TableView.h"

namespace {

const int kGroupInset = 10;   // grouped rows stand in from the sides
const int kGroupGap = 18;     // and apart from the section above
const int kPadding = 12;
const int kIndentation = 10;
const int kControl = 36;      // width of the delete control and of the move handle
const int kConfirmWidth = 76;
const QSize kSwitch(46, 26);
const QColor kDetailGrey(0x8e, 0x8e, 0x93);
const QColor kDefaultSeparator(0xc8, 0xc7, 0xcc);
const QColor kTint(0x1a, 0x73, 0xe8);
const QColor kDeleteRed(0xe0, 0x2a, 0x2a);

QFont detailFont(const QFont &base)
{
    QFont f = base;
    f.setPointSizeF(base.pointSizeF() * 0.85);
    return f;
}

void drawCheckmark(QPainter *p, const QRect &r, const QColor &color)
{
    QPainterPath path;
    const QPointF c = QRectF(r).center();
    path.moveTo(c.x() - 7, c.y());
    path.lineTo(c.x() - 2, c.y() + 5);
    path.lineTo(c.x() + 7, c.y() - 6);
    p->setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p->drawPath(path);
}

void drawChevron(QPainter *p, const QRect &r)
{
    QPainterPath path;
    const QPointF c = QRectF(r).center();
    path.moveTo(c.x() - 3, c.y() - 6);
    path.lineTo(c.x() + 3, c.y());
    path.lineTo(c.x() - 3, c.y() + 6);
    p->setPen(QPen(QColor(0xc7, 0xc7, 0xcc), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p->drawPath(path);
}

void drawSwitch(QPainter *p, const QRect &r, bool on, bool enabled)
{
    p->setPen(Qt::NoPen);
    QColor track = on ? QColor(0x34, 0xc7, 0x59) : QColor(0xd1, 0xd1, 0xd6);
    if (!enabled)
        track.setAlpha(110);
    p->setBrush(track);
    p->drawRoundedRect(r, r.height() / 2.0, r.height() / 2.0);
    const int d = r.height() - 4;
    const QRect knob(on ? r.right() - d - 1 : r.left() + 2, r.top() + 2, d, d);
    p->setBrush(Qt::white);
    p->drawEllipse(knob);
}

}  // namespace

TableCellDelegate::TableCellDelegate(TableView *view) : QStyledItemDelegate(view), view_(view) {}

int TableCellDelegate::topGap(int row) const
{
    const TableModel *m = view_->tableModel();
    if (view_->style() != TableView::Style::Grouped || !m->isFirstInSection(row))
        return 0;
    return m->kind(row) == TableModel::Kind::Row ? kGroupGap : 0;
}

QRect TableCellDelegate::rowRect(const QRect &itemRect, int row) const
{
    if (view_->style() == TableView::Style::Grouped)
        return itemRect.adjusted(kGroupInset, topGap(row), -kGroupInset, 0);
    return itemRect;
}

QRect TableCellDelegate::deleteControlRect(const QRect &itemRect, int row) const
{
    const TableModel *m = view_->tableModel();
    if (!view_->isEditing() || m->kind(row) != TableModel::Kind::Row || !m->dataSource() ||
        !m->dataSource()->canDeleteRow(m->pathForRow(row)))
        return {};
    const QRect r = rowRect(itemRect, row);
    return QRect(r.left(), r.top(), kControl, r.height());
}

QRect TableCellDelegate::confirmDeleteRect(const QRect &itemRect, int row) const
{
    if (view_->pendingDeleteRow() != row || deleteControlRect(itemRect, row).isEmpty())
        return {};
    const QRect r = rowRect(itemRect, row);
    const QRect handle = moveHandleRect(itemRect, row);
    const int right = handle.isEmpty() ? r.right() - 4 : handle.left() - 4;
    return QRect(right - kConfirmWidth + 1, r.top() + 6, kConfirmWidth, r.height() - 12);
}

QRect TableCellDelegate::moveHandleRect(const QRect &itemRect, int row) const
{
    const TableModel *m = view_->tableModel();
    if (!view_->isEditing() || m->kind(row) != TableModel::Kind::Row || !m->dataSource() ||
        !m->dataSource()->canMoveRow(m->pathForRow(row)))
        return {};
    const QRect r = rowRect(itemRect, row);
    return QRect(r.right() - kControl + 1, r.top(), kControl, r.height());
}

QRect TableCellDelegate::switchRect(const QRect &itemRect, int row) const
{
    const TableModel *m = view_->tableModel();
    if (view_->isEditing() || m->kind(row) != TableModel::Kind::Row)
        return {};
    const TableCell c = m->cell(row);
    if (c.accessory != TableCell::Accessory::Switch || !c.accessoryImage.isNull())
        return {};
    const QRect r = rowRect(itemRect, row);
    return QRect(r.right() - kPadding - kSwitch.width(),
                 r.top() + (r.height() - kSwitch.height()) / 2, kSwitch.width(), kSwitch.height());
}

QSize TableCellDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const TableModel *m = view_->tableModel();
    const int row = index.row();
    const bool grouped = view_->style() == TableView::Style::Grouped;
    switch (m->kind(row)) {
    case TableModel::Kind::Row:
        return QSize(0, std::max(1, m->rowHeight(row)) + topGap(row));
    case TableModel::Kind::Header: {
        const QFontMetrics fm(option.font);
        return QSize(0, grouped ? fm.height() + kGroupGap + 10 : fm.height() + 8);
    }
    case TableModel::Kind::Footer: {
        const int width = std::max(100, view_->viewport()->width() - 2 * (kPadding + kGroupInset));
        const QFontMetrics fm(detailFont(option.font));
        const QRect text = fm.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap,
                                           m->headerOrFooterText(row));
        return QSize(0, text.height() + 16);
    }
    }
    return {};
}

void TableCellDelegate::paint(QPainter *p, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const TableModel *m = view_->tableModel();
    const int row = index.row();
    const bool grouped = view_->style() == TableView::Style::Grouped;
    const QPalette &pal = view_->palette();
    p->save();
    p->setRenderHint(QPainter::Antialiasing);

    const TableModel::Kind kind = m->kind(row);
    if (kind != TableModel::Kind::Row) {
        const QString text = m->headerOrFooterText(row);
        QRect r = option.rect.adjusted(kPadding + (grouped ? kGroupInset : 0), 0,
                                       -kPadding - (grouped ? kGroupInset : 0), 0);
        if (kind == TableModel::Kind::Header) {
            if (!grouped) {
                p->fillRect(option.rect, QColor(0xf2, 0xf2, 0xf4));
                QFont f = option.font;
                f.setBold(true);
                p->setFont(f);
                p->setPen(QColor(0x3c, 0x3c, 0x43));
                p->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
            } else {
                p->setFont(option.font);
                p->setPen(kDetailGrey.darker(130));
                p->drawText(r.adjusted(0, 0, 0, -4), Qt::AlignLeft | Qt::AlignBottom, text);
            }
        } else {
            p->setFont(detailFont(option.font));
            p->setPen(kDetailGrey.darker(130));
            p->drawText(r.adjusted(0, 8, 0, -8), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                        text);
        }
        p->restore();
        return;
    }

    const TableCell c = m->cell(row);
    const QRect r = rowRect(option.rect, row);
    const bool first = m->isFirstInSection(row) || m->kind(row - 1) != TableModel::Kind::Row;
    const bool last = m->isLastInSection(row) || m->kind(row + 1) != TableModel::Kind::Row;

    // Background: the group's card, the row's own colour, the selection.
    QPainterPath shape;
    if (grouped) {
        const qreal radius = 8;
        shape.addRoundedRect(QRectF(r), radius, radius);
        if (!first)
            shape.addRect(QRectF(r.left(), r.top(), r.width(), radius));
        if (!last)
            shape.addRect(QRectF(r.left(), r.bottom() - radius, r.width(), radius + 1));
        shape.setFillRule(Qt::WindingFill);
    } else {
        shape.addRect(QRectF(r));
    }
    QColor background = c.backgroundColor;
    if (!background.isValid() && grouped)
        background = pal.color(QPalette::Base);
    if (background.isValid())
        p->fillPath(shape, background);
    if ((option.state & QStyle::State_Selected) && c.highlightsWhenSelected) {
        QColor h = pal.color(QPalette::Highlight);
        h.setAlpha(90);
        p->fillPath(shape, h);
    }
    if (view_->dropRow() == row) {
        p->fillRect(QRect(r.left(), r.top(), r.width(), 2), kTint);
    }

    int left = r.left() + kPadding + c.indentationLevel * kIndentation;
    int right = r.right() - kPadding;

    // Edit controls, or the accessory.
    const QRect del = deleteControlRect(option.rect, row);
    if (!del.isEmpty()) {
        const QRect circle(del.left() + kPadding, del.center().y() - 10, 20, 20);
        p->setPen(Qt::NoPen);
        p->setBrush(kDeleteRed);
        p->drawEllipse(circle);
        p->setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
        const bool pending = view_->pendingDeleteRow() == row;
        if (pending)
            p->drawLine(QPointF(circle.center().x(), circle.top() + 5),
                        QPointF(circle.center().x(), circle.bottom() - 4));
        else
            p->drawLine(QPointF(circle.left() + 5, circle.center().y() + 0.5),
                        QPointF(circle.right() - 4, circle.center().y() + 0.5));
        left = del.right() + 6 + c.indentationLevel * kIndentation;
    }
    const QRect handle = moveHandleRect(option.rect, row);
    if (!handle.isEmpty()) {
        p->setPen(QPen(QColor(0xaa, 0xaa, 0xb0), 2));
        const int cx = handle.center().x(), cy = handle.center().y();
        for (int dy : {-5, 0, 5})
            p->drawLine(cx - 9, cy + dy, cx + 9, cy + dy);
        right = handle.left() - 4;
    }
    const QRect confirm = confirmDeleteRect(option.rect, row);
    if (!confirm.isEmpty()) {
        p->setPen(Qt::NoPen);
        p->setBrush(kDeleteRed);
        p->drawRoundedRect(confirm, 5, 5);
        p->setPen(Qt::white);
        p->setFont(option.font);
        p->drawText(confirm, Qt::AlignCenter, SVLocalized("Delete"));
        right = std::min(right, confirm.left() - 6);
    }
    if (!view_->isEditing()) {
        if (!c.accessoryImage.isNull()) {
            const QSize s = c.accessoryImage.size().scaled(
                c.accessoryImage.size().boundedTo(QSize(r.height(), r.height() - 8)),
                Qt::KeepAspectRatio);
            const QRect ir(right - s.width() + 1, r.center().y() - s.height() / 2, s.width(),
                           s.height());
            p->drawImage(ir, c.accessoryImage);
            right = ir.left() - 8;
        } else if (c.accessory == TableCell::Accessory::Switch) {
            const QRect sw = switchRect(option.rect, row);
            drawSwitch(p, sw, c.switchOn, c.enabled);
            right = sw.left() - 8;
        } else if (c.accessory != TableCell::Accessory::None) {
            const QRect a(right - 20 + 1, r.top(), 20, r.height());
            if (c.accessory == TableCell::Accessory::Checkmark)
                drawCheckmark(p, a, c.textColor.isValid() ? c.textColor : kTint);
            else
                drawChevron(p, a);
            right = a.left() - 8;
        }
    }

    if (!c.image.isNull()) {
        const QSize s = c.image.size().scaled(c.image.size().boundedTo(QSize(r.height(), r.height() - 8)),
                                              Qt::KeepAspectRatio);
        p->drawImage(QRect(left, r.center().y() - s.height() / 2, s.width(), s.height()), c.image);
        left += s.width() + 10;
    }

    QColor text = c.textColor.isValid() ? c.textColor : pal.color(QPalette::Text);
    QColor detail = c.detailTextColor.isValid() ? c.detailTextColor : kDetailGrey;
    if (!c.enabled && !c.textColor.isValid())
        text = pal.color(QPalette::Disabled, QPalette::Text);
    const QRect area(left, r.top(), std::max(0, right - left), r.height());
    const QFont small = detailFont(option.font);
    // Metrics of the device painted on, which may differ from the screen's.
    p->setFont(small);
    const QFontMetrics sfm = p->fontMetrics();
    p->setFont(option.font);
    const QFontMetrics fm = p->fontMetrics();
    switch (c.style) {
    case TableCell::Style::Default:
        p->setFont(option.font);
        p->setPen(text);
        p->drawText(area, int(c.textAlignment) | Qt::AlignVCenter,
                    fm.elidedText(c.text, Qt::ElideRight, area.width()));
        break;
    case TableCell::Style::Subtitle: {
        const int h = fm.height() + sfm.height() + 2;
        const int top = r.top() + (r.height() - h) / 2;
        p->setFont(option.font);
        p->setPen(text);
        p->drawText(QRect(area.left(), top, area.width(), fm.height()),
                    int(c.textAlignment) | Qt::AlignVCenter,
                    fm.elidedText(c.text, Qt::ElideRight, area.width()));
        p->setFont(small);
        p->setPen(detail);
        p->drawText(QRect(area.left(), top + fm.height() + 2, area.width(), sfm.height()),
                    int(c.textAlignment) | Qt::AlignVCenter,
                    sfm.elidedText(c.detailText, Qt::ElideRight, area.width()));
        break;
    }
    case TableCell::Style::Value1: {
        const int detailWidth = std::min(fm.horizontalAdvance(c.detailText) + 2, area.width() / 2);
        p->setFont(option.font);
        p->setPen(detail);
        p->drawText(QRect(area.right() - detailWidth + 1, area.top(), detailWidth, area.height()),
                    Qt::AlignRight | Qt::AlignVCenter,
                    fm.elidedText(c.detailText, Qt::ElideRight, detailWidth));
        p->setPen(text);
        const int w = std::max(0, area.width() - detailWidth - 8);
        p->drawText(QRect(area.left(), area.top(), w, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
                    fm.elidedText(c.text, Qt::ElideRight, w));
        break;
    }
    }

    // The separator under every row but the last of a group.
    if (!(grouped && last)) {
        const QColor sep = view_->separatorColor().isValid() ? view_->separatorColor()
                                                             : kDefaultSeparator;
        p->setPen(QPen(sep, 1));
        p->setRenderHint(QPainter::Antialiasing, false);
        p->drawLine(r.left() + kPadding, r.bottom(), r.right(), r.bottom());
    }
    // The keyboard's place, once the keyboard has been used to move focus.
    if ((option.state & QStyle::State_HasFocus) && (option.state & QStyle::State_KeyboardFocusChange) &&
        view_->hasFocus()) {
        p->setRenderHint(QPainter::Antialiasing, false);
        p->setPen(QPen(kTint, 2));
        p->setBrush(Qt::NoBrush);
        p->drawRect(r.adjusted(1, 1, -1, -1));
    }
    p->restore();
}

bool TableCellDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    // Only a click on the switch itself flips it; the view handles keys and the rest.
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        const QRect sw = switchRect(option.rect, index.row());
        if (me->button() == Qt::LeftButton && !sw.isEmpty() && sw.contains(me->position().toPoint()) &&
            (model->flags(index) & Qt::ItemIsUserCheckable)) {
            const bool on = model->data(index, Qt::CheckStateRole).toInt() == Qt::Checked;
            model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            return true;
        }
    }
    return false;
}
