#pragma once

#include "db/connection.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// Database expressions as layouts write them (the Access dialect: `&` joins texts,
// `ucase`, quoted texts with ' or ") rendered for another dialect. In Access a null
// operand of `&` counts as an empty text (and only all-null operands give null); the
// other dialects get that meaning spelled out with coalesce. SQLite keeps ucase (its
// built-in driver provides it); the generic dialect gets upper.
namespace dw::sql {

// Renders an expression; each ":name" becomes "?" and its name is appended to
// `parameters`. Nothing and an error text when a quoted text is not closed or the
// parentheses do not balance.
[[nodiscard]] std::optional<QString> renderExpression(QStringView expression, Dialect dialect,
                                                      std::vector<QString> &parameters,
                                                      QString *error = nullptr);

} // namespace dw::sql
