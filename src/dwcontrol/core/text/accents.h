#pragma once

#include <QString>

#include <cstddef>
#include <string_view>

namespace dw {

// A search typed without accents finds the accented spellings: both sides are compared
// upper-cased and without the accents, tildes and diaereses of Latin letters ("Peña
// Química" reads "PENA QUIMICA"). Letters that are not an accented form of another (Æ, Ø,
// ß) stay as they are.

// Writes `text` upper-cased and without accents to `out`, which has room for
// upperUtf8Capacity(text.size()) bytes; returns the number of bytes written.
std::size_t foldedUpperUtf8(std::string_view text, char *out);
[[nodiscard]] QString foldedUpperText(const QString &text);

// Whether a text holds a letter with an accent, a tilde or a diaeresis (á, ñ, ü...): such a
// search means exactly what was typed.
[[nodiscard]] bool hasAccents(const QString &text);

// The accented capitals folded above, and beside each, at the same place, its base letter:
// for a server that folds them with translate().
[[nodiscard]] const QString &accentedCapitals();
[[nodiscard]] const QString &baseCapitals();

} // namespace dw
