#pragma once

#include "celltexts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dw {

class DataWindow;

// The text each cell shows (as CellTexts gives it) in UTF-8, made without a string per
// cell where the rows hold it already: a text column shown as stored gives its stored
// bytes, a whole number in its default text its digits. Any other cell is formatted as
// the grid shows it and encoded into a buffer that is reused, so a long list is written
// at the cost of copying its bytes.
class CellBytes
{
public:
    explicit CellBytes(const DataWindow &dw);
    // Valid until the next call.
    [[nodiscard]] std::string_view utf8(long row, int column);
    // The stored bytes of a cell when they are exactly its text's UTF-8, else nothing.
    [[nodiscard]] std::optional<std::string_view> stored(long row, int column) const;
    [[nodiscard]] const CellTexts &texts() const { return m_texts; }
    // Whether the stored bytes of a cell are exactly its text's UTF-8: they are valid UTF-8
    // and do not start with a byte order mark, which the text leaves out.
    [[nodiscard]] static bool isOwnText(std::string_view stored);

private:
    const DataWindow &m_dw;
    CellTexts m_texts;
    std::vector<bool> m_stored; // by column number - 1
    std::vector<bool> m_defaultText;
    std::string m_scratch;
};

} // namespace dw
