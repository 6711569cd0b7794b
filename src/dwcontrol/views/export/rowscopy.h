#pragma once

#include "rows/rowstore.h"

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

namespace dw {

class DataWindow;

// Rows as a spreadsheet takes them from the clipboard: the rows (1-based, in the order
// given, those outside the listing left out) as the grid shows them, its visible columns
// left to right under their headings, each value as displayed. It holds what it needs to
// give them as they were when it was made, however the listing changes afterwards (sorted,
// filtered, read again, closed): the texts of the rows copied, or, for a good part of the
// listing, the stored rows shared rather than copied and the texts of the columns that do
// not show their stored text as it is. The text and the HTML are made in UTF-8 only when
// asked for, and not kept.
class CopiedRows
{
public:
    CopiedRows(const DataWindow &dw, const std::vector<long> &rows);

    // Tab-separated, one line per row, the headings first. Tabs and line breaks inside a
    // value become blanks, so every row stays one line.
    [[nodiscard]] QByteArray text() const;
    // The same as an HTML table.
    [[nodiscard]] QByteArray html() const;

private:
    struct Column
    {
        int stored = -1; // the store's column when the cells are read from the stored rows
        std::string texts; // else the texts of the rows copied, one after the other
        std::vector<std::size_t> ends; // where each row's text ends in `texts`
    };
    // The headings and the rows in a format; `markupPerRow` bytes of it beside the text.
    template <class Format> QByteArray written(Format &format, double markupPerRow) const;
    // A cell's text; `scratch` holds it when it is not the stored bytes as they are.
    [[nodiscard]] std::string_view cell(std::size_t position, const Column &column,
                                        std::string &scratch) const;
    void prefetch(std::size_t position) const;

    ColumnStore m_store;
    std::vector<std::uint32_t> m_indexes; // the stored row of each row copied
    std::vector<std::string> m_headings;
    std::vector<Column> m_columns;
    double m_bytesPerRow = 0; // of the text, from a sample of the rows
};

} // namespace dw
