#include "cellbytes.h"

#include "bytesink.h"
#include "datawindow.h"

#include <QByteArrayView>

#include <charconv>

namespace dw {

CellBytes::CellBytes(const DataWindow &dw) : m_dw(dw), m_texts(dw)
{
    const int columns = dw.columnCount();
    for (int column = 1; column <= columns; ++column) {
        m_stored.push_back(dw.showsStoredText(column));
        m_defaultText.push_back(m_texts.showsDefaultText(column));
    }
}

bool CellBytes::isOwnText(std::string_view stored)
{
    return !stored.starts_with("\xEF\xBB\xBF")
        && QByteArrayView(stored.data(), qsizetype(stored.size())).isValidUtf8();
}

std::optional<std::string_view> CellBytes::stored(long row, int column) const
{
    if (column < 1 || std::size_t(column) > m_stored.size() || !m_stored[std::size_t(column - 1)])
        return std::nullopt;
    const std::string_view bytes = m_dw.storedText(row, column);
    if (!isOwnText(bytes))
        return std::nullopt;
    return bytes;
}

std::string_view CellBytes::utf8(long row, int column)
{
    if (const std::optional<std::string_view> bytes = stored(row, column))
        return *bytes;
    const auto index = std::size_t(column - 1);
    if (column >= 1 && index < m_stored.size()) {
        if (m_defaultText[index]) {
            const Value value = m_dw.GetItem(row, column);
            if (value.isInteger()) {
                char digits[24];
                const auto end = std::to_chars(digits, digits + sizeof digits, value.toInteger()).ptr;
                m_scratch.assign(digits, end);
                return m_scratch;
            }
        }
    }
    m_scratch.clear();
    appendUtf8(m_scratch, m_texts.text(row, column));
    return m_scratch;
}

} // namespace dw
