#pragma once

#include "db/connection.h"

#include <QString>

#include <optional>
#include <vector>

namespace dw {

// A retrieval argument of a layout: named in the condition as ":name", bound as a
// parameter in the type it declares ("number", "string", ...).
struct RetrievalArgument
{
    QString name;
    QString type;
};

// One result column: a table column ("directorio.nombre") or a database expression in
// the Access dialect ("ucase(directorio.tipo_miembro_red)").
struct SelectColumn
{
    QString dbName;
    QString compute;
};

// The structured SELECT of a layout. It is rendered per dialect; the rendered text ends
// with the table name when there is no condition, so a caller may append its own
// " where ..." to it.
struct SelectDefinition
{
    QString table;
    std::vector<SelectColumn> columns;
    QString where; // Access dialect, may name arguments as ":name"
    std::vector<RetrievalArgument> arguments;

    [[nodiscard]] bool isEmpty() const { return table.isEmpty() || columns.empty(); }
};

// A statement ready to send: its text with `?` markers, and for each marker in order
// the index of the retrieval argument it binds (-1: none, it binds null).
struct RenderedSelect
{
    QString sql;
    std::vector<int> parameters;
};

// Renders the SELECT for a dialect; nothing and an error text when the definition
// names an unknown argument or holds an unreadable expression. Rendered for Access it is
// the statement a layout shows in its preview.
[[nodiscard]] std::optional<RenderedSelect> renderSelect(const SelectDefinition &select, Dialect dialect,
                                                         QString *error = nullptr);

// Translates a statement in the Access dialect (a layout's SELECT as its preview left
// it, search condition included) for `dialect`, once, just before it is sent;
// `parameters` are the argument indices of its `?` markers, in order.
[[nodiscard]] std::optional<RenderedSelect> translateSelect(const QString &accessSql,
                                                            const std::vector<int> &parameters,
                                                            Dialect dialect, QString *error = nullptr,
                                                            bool foldsAccents = false);

// The parameter values for a statement: each argument converted to the type it
// declares (numbers for numeric types, text for strings). Missing arguments are null.
[[nodiscard]] std::vector<Value> bindArguments(const SelectDefinition &select, const RenderedSelect &rendered,
                                               const std::vector<Value> &arguments);

} // namespace dw
