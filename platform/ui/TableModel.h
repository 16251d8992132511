// Rows of a table screen: the data-source interface a screen implements, the record that
// describes one row, and the list model that turns them into Qt's model/view (what screen
// readers read). Main thread.
//
// The model lays the sections out as one list: per section an optional header item (its
// title), the rows, an optional footer item. Every row answers
//   Qt::DisplayRole                the title line
//   Qt::AccessibleTextRole         the title line (or TableCell::accessibleText)
//   Qt::AccessibleDescriptionRole  the detail line (or TableCell::accessibleDescription)
//   Qt::CheckStateRole             Checked for a checkmark row, the switch for a switch row,
//                                  nothing otherwise
//   Qt::DecorationRole, Qt::ForegroundRole  the image and the title colour
#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>

struct IndexPath {
    int section = 0;
    int row = 0;
    friend bool operator==(const IndexPath &, const IndexPath &) = default;
};

// One row as the data source describes it.
struct TableCell {
    enum class Style {
        Default,   // the title line alone
        Subtitle,  // the title line over a smaller grey detail line
        Value1,    // the title on the left, the detail right-aligned in grey
    };
    enum class Accessory { None, Checkmark, DisclosureIndicator, Switch };

    Style style = Style::Default;
    QString text;
    QString detailText;
    QImage image;                    // on the left, before the text
    Accessory accessory = Accessory::None;
    bool switchOn = false;           // for Accessory::Switch
    QImage accessoryImage;           // shown instead of the accessory (a marker, say)
    int indentationLevel = 0;        // 10 pixels each
    QColor textColor;                // invalid: the table's default
    QColor detailTextColor;          // invalid: grey
    QColor backgroundColor;          // invalid: none (plain) or white (grouped)
    Qt::Alignment textAlignment = Qt::AlignLeft;
    bool enabled = true;             // a disabled row is grey and cannot be selected
    bool highlightsWhenSelected = true;
    QString accessibleText;          // empty: text
    QString accessibleDescription;   // empty: detailText
};

// What a table screen implements. All calls on the main thread, from the table.
class TableDataSource {
public:
    virtual int numberOfSections() { return 1; }
    virtual int numberOfRows(int section) = 0;
    virtual TableCell cellForRow(IndexPath path) = 0;
    // Empty: no header (footer). A footer may run over several lines.
    virtual QString titleForHeader(int) { return {}; }
    virtual QString titleForFooter(int) { return {}; }
    virtual int heightForRow(IndexPath) { return 44; }

    // The row was chosen: clicked, Enter or Space on it, or selected by a screen reader.
    // Not while the table is editing, and not for selectRow.
    virtual void didSelectRow(IndexPath) {}
    // The switch of a switch row was flipped; the source keeps the new state.
    virtual void switchToggled(IndexPath, bool) {}

    // Deleting: offered in the row's context menu and by the Delete key, and in edit mode by
    // the row's delete control. deleteRow asks the source to remove the row's data; it then
    // calls TableView::deleteRows or reloadData (or leaves the row when it refuses).
    virtual bool canDeleteRow(IndexPath) { return false; }
    virtual void deleteRow(IndexPath) {}
    // Moving, in edit mode, within a section: by the row's handle, the context menu's
    // Move Up / Move Down, or Ctrl+Up / Ctrl+Down. The table shows the row at `to` (its
    // index after the move) already; moveRow updates the source's data to match (it may
    // reload the table).
    virtual bool canMoveRow(IndexPath) { return false; }
    virtual void moveRow(IndexPath, IndexPath) {}

protected:
    ~TableDataSource() = default;
};

// The rows are read from the data source on reload (and reloadRows) and kept, so the model
// stays consistent with what views were told while the source changes its own data.
class TableModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Kind { Header, Row, Footer };

    explicit TableModel(QObject *parent = nullptr);

    // Not owned. Takes effect with the next reload.
    void setDataSource(TableDataSource *source);
    TableDataSource *dataSource() const { return source_; }

    // Reads all sections and rows again.
    void reload();
    // Reads these rows again (their content changed, not their number).
    void rowsChanged(const QList<IndexPath> &paths);
    // Drops these rows (the data source has removed them).
    void removeRows(const QList<IndexPath> &paths);
    // Moves a row within its section, then runs `updateSource` (which may reload).
    void moveRow(IndexPath from, IndexPath to, const std::function<void()> &updateSource);

    Kind kind(int row) const;
    int section(int row) const;
    IndexPath pathForRow(int row) const;  // for Kind::Row items
    int rowForPath(IndexPath path) const;  // -1 when there is no such row
    QModelIndex indexForPath(IndexPath path) const;
    int numberOfSections() const { return int(sections_.size()); }
    int numberOfRows(int section) const;
    // Whether the item is the first (last) of its section.
    bool isFirstInSection(int row) const;
    bool isLastInSection(int row) const;

    TableCell cell(int row) const;
    QString headerOrFooterText(int row) const;
    int rowHeight(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Section {
        QString header, footer;
        int rows = 0;
    };
    struct Item {
        TableCell cell;
        int height = 0;
    };
    int start(int section) const { return starts_[section]; }
    bool valid(const QModelIndex &index) const;
    void computeStarts();
    Item fetch(IndexPath path) const;

    TableDataSource *source_ = nullptr;
    QList<Section> sections_;
    QList<int> starts_;  // the list row of each section's first item; one more at the end
    QList<Item> items_;  // one per list row; headers and footers hold an empty cell
};
