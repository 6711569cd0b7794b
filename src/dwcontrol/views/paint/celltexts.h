#pragma once

#include <QString>

#include <vector>

namespace dw {

class DataWindow;

// The text each cell shows, as DataWindow::displayText() gives it, with what does not
// change from row to row (whether a column looks its values up, its display format)
// found once per column: a long list is written at the cost of its values.
class CellTexts
{
public:
    explicit CellTexts(const DataWindow &dw);
    [[nodiscard]] QString text(long row, int column) const;
    // Whether a column shows its values in their default text (no look-up, no format).
    [[nodiscard]] bool showsDefaultText(int column) const;

private:
    struct Column
    {
        bool perRow = true; // a look-up or a format given by an expression
        QString format;
    };
    const DataWindow &m_dw;
    std::vector<Column> m_columns; // by column number - 1
};

} // namespace dw
