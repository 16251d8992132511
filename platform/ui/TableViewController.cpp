#include "platform/ui/TableViewController.h"

TableViewController::TableViewController(TableView::Style style, QWidget *parent)
    : ViewController(parent), table_(new TableView(style))
{
    table_->setDataSource(this);
    setContentWidget(table_);
    // A screen reader names the list after the screen.
    connect(this, &ViewController::navigationItemChanged, table_,
            [this] { table_->setAccessibleName(title()); });
}
