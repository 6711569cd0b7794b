#pragma once

#include "expr/expression.h"
#include "rows/ranks.h"
#include "rows/rowstore.h"

#include <QString>

#include <optional>
#include <vector>

namespace dw {

class RankCache;

// One key of sort criteria: a column (or LookUpDisplay(column), or any expression)
// and a direction.
struct SortKey
{
    int column = 0; // 1-based column number; 0 when the key is an expression
    bool lookupDisplay = false; // sort by the displayed text of the column
    std::optional<Expression> expression;
    bool ascending = true;
};

// Parses "nombre A, LookUpDisplay(tutor) D". An empty text gives no keys (no sort).
// A key without a direction sorts ascending. An unknown column or an unreadable
// key gives nothing and an error text.
[[nodiscard]] std::optional<std::vector<SortKey>>
parseSortCriteria(const QString &criteria, const EvalContext &context, QString *error = nullptr);

// Stable sort of the primary buffer by the keys (rows equal in every key keep their
// order); texts by a collator in Spanish order, numbers by value, nulls first in
// ascending order and last in descending. No keys: the rows go back to retrieval order.
// LookUpDisplay keys sort by the displayed text, asked of the context once per distinct
// stored value; expression keys by number when every value is one, else by text.
// Column n of the keys and of the context is column n - 1 of the store, which is read
// directly; columns beyond the store's are read through the context. With a cache,
// the ranks of column keys are taken from it (and made over every stored row when it
// lacks them); expression keys are always ranked afresh.
void sortRows(RowSet &rows, const ColumnStore &store, const std::vector<SortKey> &keys,
              const EvalContext &context, RankCache *cache = nullptr);

// Ranks of the stored values of a column (1-based, one the store holds) over every stored
// row, as a sort on the column uses them.
[[nodiscard]] Ranks columnRanks(const ColumnStore &store, int column);

// Applies a filter to every row (primary and filtered): rows for which the
// expression is true stay or come back to the primary buffer, the others (false or
// null) move to the filtered buffer, which is kept in retrieval order. No expression:
// every row comes back. Order is kept: when the primary buffer is in retrieval order
// (never sorted) it stays so, rows coming back taking their places; otherwise the
// primary rows keep their order and the rows that come back follow in retrieval order,
// for the caller to sort again. Conditions of the grid's commands run straight on the
// store (see CompiledFilter); anything else is evaluated through the context.
// False, with the rows left as they were, when evaluating a row went past the
// expression's budget.
[[nodiscard]] bool filterRows(RowSet &rows, const ColumnStore &store, const Expression *filter,
                              const EvalContext &context);

} // namespace dw
