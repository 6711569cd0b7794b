#pragma once

#include <QString>

namespace dw {

class DataWindow;

// Writes the rows of the primary buffer as a spreadsheet, atomically: the headings as a
// bold first row that stays in view while scrolling, each column as wide as on the grid,
// the cells of numeric columns as numbers and every other cell as the text it shows
// (never a number guessed from text: "007" stays "007"). True on success; otherwise
// `error` says why, in Spanish.
[[nodiscard]] bool writeXlsx(const DataWindow &dw, const QString &fileName, QString *error);

} // namespace dw
