#pragma once

#include "expr/expression.h"
#include "rows/rowstore.h"

#include <QString>

#include <optional>
#include <vector>

namespace dw {

// One key of sort criteria: a column (or LookUpDisplay(column), or any expression)
// and a direction.
struct SortKey
{
    int column = 0;             // 1-based column number; 0 when the key is an expression
    bool lookupDisplay = false; // sort by the displayed text of the column
    std::optional<Expression> expression;
    bool ascending = true;
};

// Parses "nombre A, LookUpDisplay(tutor) D". An empty text gives no keys (no sort).
// A key without a direction sorts ascending. An unknown column or an unreadable
// key gives nothing and an error text.
[[nodiscard]] std::optional<std::vector<SortKey>> parseSortCriteria(const QString &criteria,
                                                                    const EvalContext &context,
                                                                    QString *error = nullptr);

// Stable sort of the primary buffer by the keys; texts by a collator in Spanish
// order, nulls first in ascending order. No keys: nothing changes.
void sortRows(RowSet &rows, const ColumnStore &store, const std::vector<SortKey> &keys,
              const EvalContext &context);

// Applies a filter to every row (primary and filtered): rows for which the
// expression is true stay or come back to the primary buffer, the others move to the
// filtered buffer. No expression: every row comes back. Order is kept: primary rows
// first in their order, then rows that come back, in retrieval order.
void filterRows(RowSet &rows, const ColumnStore &store, const Expression *filter,
                const EvalContext &context);

} // namespace dw
