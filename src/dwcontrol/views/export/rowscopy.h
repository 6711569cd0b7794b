#pragma once

#include <QByteArray>

#include <memory>
#include <vector>

class QMimeData;

namespace dw {

class DataWindow;

// Rows as a spreadsheet takes them from the clipboard, both in UTF-8: the bytes other
// programs receive, made once from the rows' own bytes rather than kept as wide text.
struct CopiedRows
{
    QByteArray text; // tab-separated, one line per row, the headings first
    QByteArray html; // the same as an HTML table
};

// The rows (1-based, in the order given) as the grid shows them: its visible columns left
// to right under their headings, each value as displayed. Tabs and line breaks inside a
// value become blanks in the text, so every row stays one line.
[[nodiscard]] CopiedRows copyRows(const DataWindow &dw, const std::vector<long> &rows);

// Clipboard data offering the copied rows as plain text and as HTML.
[[nodiscard]] std::unique_ptr<QMimeData> clipboardData(const CopiedRows &copied);

} // namespace dw
