// A screen that is a table: it fills its view with a TableView whose data source it is.
// Subclasses implement the TableDataSource functions (at least numberOfRows and cellForRow).
// The rows are read when the table is first shown and on every reloadData. Main thread.
#pragma once

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

class TableViewController : public ViewController, public TableDataSource {
    Q_OBJECT
public:
    explicit TableViewController(TableView::Style style = TableView::Style::Plain,
                                 QWidget *parent = nullptr);

    TableView *tableView() const { return table_; }
    bool isEditing() const { return table_->isEditing(); }
    void setEditing(bool editing) { table_->setEditing(editing); }

private:
    TableView *table_;
};
