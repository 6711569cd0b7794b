#pragma once

// The inside of DataWindow, shared by its source files (layout and paths in
// datawindow.cpp, retrieval and rows in datawindow_rows.cpp).

#include "datawindow.h"
#include "expr/expression.h"
#include "objects/layout.h"
#include "rows/rankcache.h"
#include "rows/rankwarmer.h"
#include "rows/rowstore.h"
#include "rows/sortfilter.h"

#include <QHash>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

namespace dw {

struct DataWindow::Impl final : EvalContext
{
    explicit Impl(DataWindow &owner) : self(owner) {}

    DataWindow &self;
    DataWindowObserver *observer = nullptr;
    QString dataObject;
    Layout layout;
    Transaction *transaction = nullptr;

    ColumnStore store;
    RowSet rows;
    // Ranks of the columns sorted on since the last retrieval, and of the columns shown,
    // which a second thread makes after each retrieval (declared after the rows and the
    // cache it fills, so it stops before they go).
    RankCache rankCache;
    RankWarmer rankWarmer;
    long currentRow = 0;
    // While Retrieve runs at all (its statement, its rows, its end), and while it reads
    // rows, which are shown as they arrive, at most every so often.
    bool retrieving = false;
    bool reading = false;
    // The user asked the retrieval in progress to stop; the last one stopped early.
    bool stopRequested = false;
    bool stopped = false;
    std::optional<std::chrono::steady_clock::time_point> lastArrival;
    // Nobody chose the current row: it is the first row, whatever the order (after a
    // retrieval, or once a filter took the chosen row away).
    bool currentIsFirst = true;
    // Counts the changes of which rows the primary buffer holds or of their order.
    quint64 rowsGeneration = 0;

    // Criteria in force, as Describe reports them ("" when none).
    QString sortText;
    std::vector<SortKey> sortKeys;
    QString filterText;
    std::optional<Expression> filter;

    // Set while the observer handles sqlPreview: SetSQLPreview replaces the statement.
    bool inPreview = false;
    QString previewSql;

    // Drop-down columns: the child data window retrieved with the parent, and its rows
    // by data value (built on first use after each retrieval).
    struct DropDown
    {
        std::unique_ptr<DataWindow> child;
        QHash<QString, QString> displayByData;
        bool indexed = false;
    };
    mutable std::map<int, DropDown> dropDowns; // by column number
    // Code tables by column number: data value (normalised) → display text.
    mutable std::map<int, QHash<QString, QString>> codeTables;
    // Parsed attribute and Evaluate expressions by text (null when it does not parse).
    mutable QHash<QString, std::shared_ptr<const std::optional<Expression>>> expressions;

    // --- EvalContext ----------------------------------------------------------------
    [[nodiscard]] int columnNumber(const QString &name) const override { return layout.columnNumber(name); }
    [[nodiscard]] Value columnValue(int column, qint64 index) const override;
    [[nodiscard]] QString lookupDisplay(int column, qint64 index) const override;
    [[nodiscard]] QString describe(const QString &path) const override { return self.Describe(path); }

    // --- helpers -------------------------------------------------------------------
    [[nodiscard]] qint64 indexOf(long row) const; // store index of a primary row, -1 outside
    [[nodiscard]] QWidget *dialogParent() const;
    [[nodiscard]] const LayoutObject *columnObject(int column) const;
    [[nodiscard]] bool isDropDown(int column) const;
    [[nodiscard]] bool hasCodeTable(int column) const;
    [[nodiscard]] QString displayOf(int column, const Value &value) const;
    [[nodiscard]] const Expression *expression(const QString &text) const;
    [[nodiscard]] Value evaluate(const QString &text, qint64 index, bool *ok = nullptr) const;

    // Parses sort criteria; the keys and their normalised text, or nothing.
    struct Criteria
    {
        std::vector<SortKey> keys;
        QString text;
    };
    [[nodiscard]] std::optional<Criteria> parseSort(const QString &text, QString *error) const;
    void setSort(Criteria criteria);
    void setFilter(const QString &text, std::optional<Expression> parsed);
    // Filters the rows; on an evaluation past its budget the rows stay and the user is told.
    bool applyFilter();

    void clearLayout();
    void clearRows();
    // Starts ranking the shown columns of the rows just retrieved on a second thread.
    void warmRanks();
    // Rows arrived while reading: shown when nothing orders or hides them.
    void rowsArriving();
    void resetDerivedCaches();
    void reportDatabaseError(long code, const QString &text) const;
    void retrieveDropDowns();
    void notifyRows() const;
    // After the primary buffer was filtered or reordered: a chosen current row is again the
    // stored row `storeIndex` where it still is; otherwise the first row is current (none
    // without rows).
    void followCurrent(qint64 storeIndex);
    void notifyLayout() const;
};

// A data value as a lookup key: numbers (and texts that read as numbers) in their
// default text, so the stored text "15" finds the number 15; other texts exactly as
// they are ("Miembro Investigador " with its trailing blank is not "Miembro Investigador").
[[nodiscard]] QString lookupKey(const Value &value);

} // namespace dw
