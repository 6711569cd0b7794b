#pragma once

#include "db/connection.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// SQL as layouts and the search window write it (the Access dialect: `&` joins texts,
// `ucase`, quoted texts with ' or ") and as each database reads it. In Access a null
// operand of `&` counts as an empty text (and only all-null operands give null); the
// other dialects get that meaning spelled out with coalesce and ucase becomes upper;
// PostgreSQL also gets its names quoted and like patterns without an escape character.
namespace dw::sql {

// Renders an expression for Access: each ":name" becomes "?" and its name is appended
// to `parameters`. Nothing and an error text when a quoted text is not closed or the
// parentheses do not balance.
[[nodiscard]] std::optional<QString> renderAccess(QStringView expression, std::vector<QString> &parameters,
                                                  QString *error = nullptr);

// Translates a whole statement in the Access dialect, `?` markers included, for
// `dialect`. For each `?` of the result, in order, `markers` gets the index of the `?`
// of `statement` it stands for (an operand of `&` may be written twice, so indices can
// repeat). Nothing and an error text when the statement cannot be read. sinacentos(x), x
// upper-cased and without accents, is sent as the database can do it: to the built-in
// driver as is (`foldsAccents`), to PostgreSQL with translate(), to any other as ucase(x),
// which compares as typed.
[[nodiscard]] std::optional<QString> translateStatement(QStringView statement, Dialect dialect,
                                                        std::vector<int> &markers, QString *error = nullptr,
                                                        bool foldsAccents = false);

} // namespace dw::sql
