#pragma once

#include "db/connection.h"
#include "objects/layoutobject.h"
#include "types/value.h"

#include <QString>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class QWidget;

namespace dw {

class ColumnStore;
class Transaction;

// The object under a point, as events report it: its name (a column, "<col>_t" for
// a heading, any created object, "datawindow" on empty space), type ("text",
// "column", "compute", "picture", "line", "datawindow") and band ("header",
// "detail", "footer", "summary", "background", "foreground").
struct DwObjectRef
{
    QString name = QStringLiteral("datawindow");
    QString type = QStringLiteral("datawindow");
    QString band = QStringLiteral("detail");
};

// What the engine tells the control that shows it.
class DataWindowObserver
{
public:
    virtual ~DataWindowObserver() = default;
    // Before a statement goes to the database; the control raises its sqlpreview
    // event, whose script may call SetSQLPreview() to replace the statement.
    virtual void sqlPreview(int request, int sqlType, const QString &sqlSyntax, int buffer, long row) = 0;
    virtual void retrieveEnd(long rowCount) = 0;
    // Called now and then while a retrieval runs, so the control can show that it is
    // reading and keep its window painted. `betweenRows` is true between two batches of
    // rows, where the user's input can be handled (it may even use the connection or stop
    // the reading); false while the database driver works on the statement, where nothing
    // may use the connection, so input waits for the next batch. With no filter in force
    // the rows read so far are the rows, in the order they come, announced by rowsChanged()
    // as they arrive (a sort orders them once every row is read); with a filter RowCount()
    // is 0 until the retrieval ends.
    virtual void retrieving(bool betweenRows) { (void)betweenRows; }
    // The layout, its attributes or its objects changed.
    virtual void layoutChanged() = 0;
    // Rows were retrieved, sorted, filtered; selection or current row changed.
    virtual void rowsChanged() = 0;
    // Parent for the engine's own dialogs and messages (database errors).
    [[nodiscard]] virtual QWidget *dialogParent() const = 0;
};

// A data window: one layout (its objects, bands, select definition) and the rows it
// retrieved. It knows nothing of widgets; DataWindowControl shows it. Paths of
// Describe and Modify, column and object names match without regard to letter case.
class DataWindow
{
public:
    DataWindow();
    ~DataWindow();
    DataWindow(const DataWindow &) = delete;
    DataWindow &operator=(const DataWindow &) = delete;

    void setObserver(DataWindowObserver *observer); // not owned; null for none

    // Loads the layout ":/layouts/<name>.dwl"; an empty name clears it. False with
    // the layout cleared when the resource is missing or does not parse.
    bool setDataObject(const QString &name);
    [[nodiscard]] QString dataObject() const;
    // Loads a layout from its text (the same attribute syntax Modify's create takes).
    bool setSyntax(const QString &syntax, QString *error = nullptr);

    [[nodiscard]] QString Describe(const QString &paths) const;
    // "" on success, else an error text; a failing part changes nothing at all.
    QString Modify(const QString &commands);

    int SetTransObject(Transaction *transaction);
    [[nodiscard]] Transaction *transObject() const;
    // Runs the SELECT with the retrieval arguments; the row count, -1 on failure
    // (reported once through the interaction's message box).
    long Retrieve(const std::vector<Value> &arguments = {});
    // The SELECT this layout would send, rendered for the transaction's dialect (or Access).
    [[nodiscard]] QString selectSql() const;
    // Only valid inside sqlPreview: replaces the statement about to be sent.
    int SetSQLPreview(const QString &sql);

    // Bytes held by the retrieved rows (values, buffers, flags) and the ranks kept for sorts.
    [[nodiscard]] std::size_t rowMemoryBytes() const;
    // After a retrieval a second thread prepares the sorts of the columns shown; this
    // waits until it is done (a sort never needs to: it waits for what it uses).
    void finishPreparingSorts();
    // True while Retrieve reads rows. Sort() and Filter() called meanwhile take effect on
    // the whole listing once it is read; a Retrieve called meanwhile fails (-1).
    [[nodiscard]] bool IsReading() const;
    // Asks the retrieval in progress to stop at its next batch of rows: it ends as if the
    // rows read so far were every row (sorted and filtered, retrieveEnd raised). Nothing
    // when no retrieval runs.
    void StopReading();
    // True when the last retrieval was stopped before its last row: the listing is
    // incomplete. A new retrieval clears it.
    [[nodiscard]] bool ReadingStopped() const;
    // The rows the retrieval in progress has read so far; RowCount() when none runs.
    [[nodiscard]] long RowsRead() const;
    [[nodiscard]] long RowCount() const;
    [[nodiscard]] long FilteredCount() const;
    // Changes whenever the rows listed change or move (retrieval, sort, filter, a new
    // layout); selections and the current row leave it as it is. Views compare it to
    // know when to place the rows again.
    [[nodiscard]] quint64 rowsGeneration() const;
    // 0 when there are no rows. A current row set with SetRow follows its member through
    // sorts and filters; after a retrieval, or once a filter took that member away, the
    // first row is current, whatever the order.
    [[nodiscard]] long GetRow() const;
    int SetRow(long row); // 1 ok, -1 when out of range
    int SelectRow(long row, bool select); // row 0: every row
    [[nodiscard]] bool IsSelected(long row) const;

    [[nodiscard]] QString GetItemString(long row, const QString &column) const; // null QString for null
    [[nodiscard]] QString GetItemString(long row, int column) const;
    [[nodiscard]] std::optional<double> GetItemNumber(long row, const QString &column) const;
    [[nodiscard]] Value GetItem(long row, int column) const; // null outside the rows
    // The text a cell shows: display format applied, drop-down and code-table lookup.
    [[nodiscard]] QString displayText(long row, int column) const;
    [[nodiscard]] QString lookupDisplay(long row, int column) const;
    // For measuring what a column shows without making each row's text. Whether the column
    // shows its stored text as it is (a text column without drop-down, code table, text mask
    // or a format worked out per row), so that storedText() measures as displayText():
    [[nodiscard]] bool showsStoredText(int column) const;
    // The stored UTF-8 of a cell of a text column (empty for null and for other columns).
    [[nodiscard]] std::string_view storedText(long row, int column) const;
    // The stored rows as they are now, for reading later whatever becomes of the listing
    // (sorted, filtered, read again, closed): rows never change once stored, so the copy
    // shares their memory. storeIndex() gives the stored row a row of the listing shows
    // (-1 outside the rows); a column's number less one is its column in the store.
    [[nodiscard]] ColumnStore storedRows() const;
    [[nodiscard]] qint64 storeIndex(long row) const;
    // Rows (in listing order) that between them show every text of a column: the first row
    // of each stored value, or every row when the column's format is worked out per row.
    [[nodiscard]] std::vector<long> rowsShowingEachText(int column) const;

    // Sort criteria ("a A, b D"); a null QString asks the user through the sort dialog
    // (1 confirmed). An empty text means no sort: rows keep the retrieval order.
    int SetSort(const QString &criteria);
    int Sort();
    // Filter expression; null asks through the filter dialog; empty removes the filter.
    int SetFilter(const QString &expression);
    int Filter();

    // --- what the views read -----------------------------------------------------
    [[nodiscard]] QString presentation() const; // "grid", "tabular", "freeform"
    [[nodiscard]] int bandHeight(Band band) const;
    // Objects in drawing order (first drawn first), after SetPosition and creates.
    [[nodiscard]] const std::vector<LayoutObject> &objects() const;
    // An attribute of an object as it applies at a row (expressions evaluated); the
    // kind's default when unset ("1" for visible, "[general]" for a column's format);
    // "" when the kind has no such attribute or no default.
    [[nodiscard]] QString attribute(const LayoutObject &object, const QString &path, long row = 0) const;
    // The text an object shows at a row: a text's text, a column's displayText, a
    // compute's value under its format ("!" when its expression does not parse); ""
    // for pictures and shapes.
    [[nodiscard]] QString objectText(const LayoutObject &object, long row) const;
    [[nodiscard]] Band bandOf(const LayoutObject &object) const;
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] int columnNumber(const QString &name) const; // 0 when none
    [[nodiscard]] QString columnName(int column) const;
    // Brings an object to the front of a band; 1 ok, -1 when there is no such object.
    int SetPosition(const QString &object, const QString &band, bool toFront);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace dw
