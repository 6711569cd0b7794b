#pragma once

#include <QString>

#include <vector>

namespace dw {

class DataWindow;

// Rows as a spreadsheet takes them from the clipboard.
struct CopiedRows
{
    QString text; // tab-separated, one line per row, the headings first
    QString html; // the same as an HTML table
};

// The rows (1-based, in the order given) as the grid shows them: its visible columns left
// to right under their headings, each value as displayed. Tabs and line breaks inside a
// value become blanks in the text, so every row stays one line.
[[nodiscard]] CopiedRows copyRows(const DataWindow &dw, const std::vector<long> &rows);

} // namespace dw
