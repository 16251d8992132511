#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include "TestSupport.h"
#include "platform/ui/TableView.h"

namespace {

// A screen's rows: two sections of names the table may delete and reorder.
class Rows : public TableDataSource {
public:
    QList<QStringList> names{{"Alpha", "Beta", "Gamma", "Delta"}, {"Echo", "Foxtrot"}};
    QList<IndexPath> chosen;
    bool backupOn = false;
    TableView *table = nullptr;

    int numberOfSections() override { return int(names.size()) + 1; }
    int numberOfRows(int s) override { return s < names.size() ? int(names[s].size()) : 2; }
    QString titleForHeader(int s) override { return s == 0 ? QStringLiteral("General") : QString(); }
    QString titleForFooter(int s) override
    {
        return s == 1 ? QStringLiteral("A footer that runs on\nover two lines.") : QString();
    }
    int heightForRow(IndexPath p) override { return p.section == 1 ? 60 : 44; }
    TableCell cellForRow(IndexPath p) override
    {
        TableCell c;
        if (p.section == 2) {
            // A switch row and a disabled row.
            c.text = p.row == 0 ? QStringLiteral("Backup") : QStringLiteral("Greyed");
            c.accessory = p.row == 0 ? TableCell::Accessory::Switch : TableCell::Accessory::None;
            c.switchOn = backupOn;
            c.enabled = p.row == 0;
            return c;
        }
        c.text = names[p.section][p.row];
        c.style = p.section == 0 ? TableCell::Style::Subtitle : TableCell::Style::Value1;
        c.detailText = QStringLiteral("detail of ") + c.text;
        c.indentationLevel = p.row % 2 ? 2 : 0;
        if (c.text == QLatin1String("Beta"))
            c.accessory = TableCell::Accessory::Checkmark;
        if (c.text == QLatin1String("Gamma"))
            c.accessory = TableCell::Accessory::DisclosureIndicator;
        return c;
    }
    void didSelectRow(IndexPath p) override { chosen.append(p); }
    void switchToggled(IndexPath, bool on) override { backupOn = on; }
    bool canDeleteRow(IndexPath p) override { return p.section < names.size(); }
    void deleteRow(IndexPath p) override
    {
        names[p.section].removeAt(p.row);
        table->deleteRows({p});
    }
    bool canMoveRow(IndexPath p) override { return p.section == 0; }
    void moveRow(IndexPath from, IndexPath to) override
    {
        names[from.section].move(from.row, to.row);
    }
};

struct Fixture {
    Rows rows;
    TableView table{TableView::Style::Grouped};
    QAbstractItemModelTester tester{table.tableModel(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal};
    Fixture()
    {
        rows.table = &table;
        table.setDataSource(&rows);
        table.resize(360, 640);
        table.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&table));
    }
    QPoint centre(IndexPath p) { return table.rectForRow(p).center(); }
    QStringList section0() { return rows.names[0]; }
};

QAction *menuAction(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

}  // namespace

// What a screen reader reads: every row through the model's roles and through the real
// view's accessible cells.
TEST(TableView, RowsAsScreenReadersSeeThem)
{
    Fixture f;
    TableModel *m = f.table.tableModel();
    struct Row {
        const char *name;
        int listRow;
        TableModel::Kind kind;
        QString text, description;
        QVariant check;
        bool selectable;
    };
    const QVariant checked = int(Qt::Checked), unchecked = int(Qt::Unchecked), none;
    const Row table[] = {
        {"section header", 0, TableModel::Kind::Header, "General", "", none, false},
        {"plain row with its detail", 1, TableModel::Kind::Row, "Alpha", "detail of Alpha", none, true},
        {"checkmark row is checked", 2, TableModel::Kind::Row, "Beta", "detail of Beta", checked, true},
        {"disclosure row", 3, TableModel::Kind::Row, "Gamma", "detail of Gamma", none, true},
        {"second section, value style", 5, TableModel::Kind::Row, "Echo", "detail of Echo", none, true},
        {"multi-line footer", 7, TableModel::Kind::Footer, "A footer that runs on\nover two lines.", "", none, false},
        {"switch row", 8, TableModel::Kind::Row, "Backup", "", unchecked, true},
        {"disabled row", 9, TableModel::Kind::Row, "Greyed", "", none, false},
    };
    ASSERT_EQ(m->rowCount(), 10);
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&f.table);
    ASSERT_TRUE(list);
    for (const Row &row : table) {
        SCOPED_TRACE(row.name);
        const QModelIndex i = m->index(row.listRow);
        EXPECT_EQ(m->kind(row.listRow), row.kind);
        EXPECT_EQ(i.data(Qt::DisplayRole).toString(), row.text);
        EXPECT_EQ(i.data(Qt::AccessibleTextRole).toString(), row.text);
        EXPECT_EQ(i.data(Qt::AccessibleDescriptionRole).toString(), row.description);
        EXPECT_EQ(i.data(Qt::CheckStateRole), row.check);
        EXPECT_EQ(bool(m->flags(i) & Qt::ItemIsSelectable), row.selectable);

        QAccessibleInterface *cell = list->child(row.listRow);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->text(QAccessible::Name), row.text);
        EXPECT_EQ(cell->text(QAccessible::Description), row.description);
        EXPECT_EQ(cell->state().checked, row.check == checked);
    }
    // Sections map both ways, headers and footers included.
    EXPECT_EQ(m->rowForPath({1, 1}), 6);
    EXPECT_EQ(m->pathForRow(6), (IndexPath{1, 1}));
    EXPECT_EQ(m->rowForPath({0, 4}), -1);
    // The row heights the source gives, and a footer tall enough for two lines.
    EXPECT_EQ(f.table.rectForRow({1, 0}).height(), 60);
    EXPECT_GT(f.table.visualRect(m->index(7)).height(), 2 * f.table.fontMetrics().height());
}

// Choosing by mouse, keys and screen reader; selectRow alone chooses nothing.
TEST(TableView, ChoosingRows)
{
    Fixture f;
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, f.centre({0, 2}));
    EXPECT_EQ(f.rows.chosen, (QList<IndexPath>{{0, 2}}));

    // Arrow keys move without choosing; Enter chooses.
    f.table.setFocus();
    QTest::keyClick(&f.table, Qt::Key_Down);
    EXPECT_EQ(f.rows.chosen.size(), 1);
    QTest::keyClick(&f.table, Qt::Key_Return);
    EXPECT_EQ(f.rows.chosen.size(), 2);
    EXPECT_EQ(f.rows.chosen.last(), (IndexPath{0, 3}));

    // A screen reader selects through the cell's action.
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(&f.table)->child(5);
    ASSERT_TRUE(cell && cell->actionInterface());
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(f.rows.chosen.last(), (IndexPath{1, 0}));

    f.rows.chosen.clear();
    f.table.selectRow({1, 1});
    EXPECT_EQ(f.table.selectedRow(), (IndexPath{1, 1}));
    EXPECT_TRUE(f.rows.chosen.isEmpty());

    // A disabled row is not chosen; the switch row flips by its switch or by Space, and
    // a click beside the switch chooses the row instead.
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, f.centre({2, 1}));
    EXPECT_TRUE(f.rows.chosen.isEmpty());
    const QRect sw = f.table.rectForRow({2, 0});
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, QPoint(sw.right() - 30, sw.center().y()));
    EXPECT_TRUE(f.rows.backupOn);
    EXPECT_TRUE(f.rows.chosen.isEmpty());
    f.table.setCurrentIndex(f.table.tableModel()->indexForPath({2, 0}));
    QTest::keyClick(&f.table, Qt::Key_Space);
    EXPECT_FALSE(f.rows.backupOn);
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, QPoint(sw.left() + 40, sw.center().y()));
    EXPECT_EQ(f.rows.chosen, (QList<IndexPath>{{2, 0}}));
}

// Deleting and moving by key, menu and mouse, with the model checked by Qt's tester.
TEST(TableView, EditingByKeyMenuAndMouse)
{
    Fixture f;
    f.table.setFocus();

    // Delete key on the current row.
    f.table.setCurrentIndex(f.table.tableModel()->indexForPath({1, 1}));
    QTest::keyClick(&f.table, Qt::Key_Delete);
    EXPECT_EQ(f.rows.names[1], QStringList{"Echo"});
    EXPECT_EQ(f.table.tableModel()->rowCount(), 9);

    // Moves are offered only in edit mode, and only for movable rows.
    std::unique_ptr<QMenu> menu(f.table.contextMenuForRow({0, 0}));
    ASSERT_TRUE(menu);
    EXPECT_FALSE(menuAction(menu.get(), "Move Down"));
    f.table.setEditing(true);
    menu.reset(f.table.contextMenuForRow({0, 0}));
    ASSERT_TRUE(menuAction(menu.get(), "Move Down"));
    EXPECT_FALSE(menuAction(menu.get(), "Move Up")) << "nothing above the first row";
    menuAction(menu.get(), "Move Down")->trigger();
    EXPECT_EQ(f.section0(), (QStringList{"Beta", "Alpha", "Gamma", "Delta"}));
    EXPECT_EQ(f.table.tableModel()->index(2).data().toString(), "Alpha");
    menu.reset(f.table.contextMenuForRow({1, 0}));
    EXPECT_FALSE(menuAction(menu.get(), "Move Up"));

    // Ctrl+Up on the current row.
    f.table.setCurrentIndex(f.table.tableModel()->indexForPath({0, 3}));
    QTest::keyClick(&f.table, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(f.section0(), (QStringList{"Beta", "Alpha", "Delta", "Gamma"}));

    // The mouse: drag the handle of Gamma onto the first row.
    const QRect gamma = f.table.rectForRow({0, 3});
    QTest::mousePress(f.table.viewport(), Qt::LeftButton, {}, QPoint(gamma.right() - 10, gamma.center().y()));
    QMouseEvent move(QEvent::MouseMove, QPointF(f.centre({0, 0})), f.table.viewport()->mapToGlobal(QPointF(f.centre({0, 0}))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.table.viewport(), &move);
    QTest::mouseRelease(f.table.viewport(), Qt::LeftButton, {}, f.centre({0, 0}));
    EXPECT_EQ(f.section0(), (QStringList{"Gamma", "Beta", "Alpha", "Delta"}));

    // The delete control reveals "Delete"; a press elsewhere takes it back; pressing the
    // revealed button deletes.
    const QRect beta = f.table.rectForRow({0, 1});
    const QPoint control(beta.left() + 15, beta.center().y());
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, control);
    EXPECT_EQ(f.table.pendingDeleteRow(), f.table.tableModel()->rowForPath({0, 1}));
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, f.centre({0, 3}));
    EXPECT_EQ(f.table.pendingDeleteRow(), -1);
    EXPECT_EQ(f.section0().size(), 4);
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, control);
    QTest::mouseClick(f.table.viewport(), Qt::LeftButton, {}, QPoint(beta.right() - 80, beta.center().y()));
    EXPECT_EQ(f.section0(), (QStringList{"Gamma", "Alpha", "Delta"}));
    EXPECT_TRUE(f.rows.chosen.isEmpty()) << "rows are not chosen while editing";

    f.rows.names = {{"One"}, {}};
    f.table.reloadData();
    EXPECT_EQ(f.table.tableModel()->rowCount(), 1 + 1 + 1 + 2);
}
