#include "cellbytes.h"

#include "bytesink.h"
#include "datawindow.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace dw {
namespace {

// RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF. Runs of ASCII, the
// bulk of a directory's text, are passed eight bytes at a time.
bool isValidUtf8(std::string_view text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *const end = p + text.size();
    while (p < end) {
        while (end - p >= 8) {
            std::uint64_t eight = 0;
            std::memcpy(&eight, p, 8);
            if ((eight & 0x8080808080808080ULL) != 0)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::ptrdiff_t length = 3;
        unsigned char low = 0x80; // the range of the second byte
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c == 0xE0)
            low = 0xA0; // else overlong
        else if (c == 0xED)
            high = 0x9F; // else a surrogate
        else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF; // else beyond U+10FFFF
        } else if (c < 0xE1 || c > 0xEF)
            return false;
        if (end - p < length || p[1] < low || p[1] > high)
            return false;
        for (std::ptrdiff_t k = 2; k < length; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
        }
        p += length;
    }
    return true;
}

} // namespace

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
    return !stored.starts_with("\xEF\xBB\xBF") && isValidUtf8(stored);
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
