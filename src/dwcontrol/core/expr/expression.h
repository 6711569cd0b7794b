#pragma once

#include "types/value.h"

#include <QString>

#include <memory>
#include <optional>

namespace dw {

// What an expression can reach while it is evaluated: the row's columns, the
// displayed text of drop-down and code-table columns, and Describe of the object.
class EvalContext
{
public:
    virtual ~EvalContext() = default;
    // Column number (1-based) for a name, matched without regard to letter case; 0 when none.
    [[nodiscard]] virtual int columnNumber(const QString &name) const = 0;
    // The value of a column at a stored row (the 0-based index into the ColumnStore,
    // so rows of the filtered buffer can be evaluated too).
    [[nodiscard]] virtual Value columnValue(int column, qint64 index) const = 0;
    // The text shown for the value (drop-down display column, code table); the value
    // as text for other columns.
    [[nodiscard]] virtual QString lookupDisplay(int column, qint64 index) const = 0;
    [[nodiscard]] virtual QString describe(const QString &path) const = 0;
};

struct ExpressionNode;

// The one expression language of the engine, for filters, sort keys, computed
// fields, Evaluate() and attribute expressions:
//   functions  ucase upper string isnull LookUpDisplay Describe Integer Evaluate
//   operators  not & + - = <> < > <= >= AND OR (and parentheses), by precedence
//   literals   "text" and 'text' with ~" ~' ~~ ~t ~n ~r escapes, numbers, null
// Names are columns, bound to column numbers when the expression is parsed; an
// unknown name, an unknown function or a wrong number of arguments is a parse error.
// Text comparisons are exact (case-sensitive), as are the runtime's. A comparison with
// null is null, AND/OR/not follow three-valued logic (false AND null is false), `+`
// and `-` with null give null, `&` joins texts taking null as empty; a filter keeps a
// row only when its condition is true.
class Expression
{
public:
    // Parses and binds column names through `names`. On failure: nothing, and
    // `error` (when given) says what and where.
    [[nodiscard]] static std::optional<Expression> parse(const QString &text, const EvalContext &names,
                                                         QString *error = nullptr);

    // What one evaluation may cost, counting the evaluations it starts through Describe
    // and Evaluate: nodes visited, and characters of text built.
    static constexpr qint64 maxSteps = 200'000;
    static constexpr qint64 maxTextChars = 16 * 1024 * 1024;

    // Evaluates at a stored row index (see EvalContext). Errors at run time (a type
    // that does not fit) give null, never an exception. An evaluation that goes past its
    // budget stops and gives null, with `overBudget` (when given) set.
    [[nodiscard]] Value evaluate(const EvalContext &context, qint64 index, bool *overBudget = nullptr) const;
    [[nodiscard]] const QString &text() const { return m_text; }
    // The root node, for engines that compile fast paths (filters, sort keys).
    [[nodiscard]] const ExpressionNode &root() const { return *m_root; }

private:
    Expression(QString text, std::shared_ptr<const ExpressionNode> root)
        : m_text(std::move(text))
        , m_root(std::move(root))
    {}
    QString m_text;
    std::shared_ptr<const ExpressionNode> m_root;
};

} // namespace dw
