#include "bytesink.h"

#include <QIODevice>

namespace dw {

void appendUtf8(std::string &out, QStringView text)
{
    const qsizetype size = text.size();
    const char16_t *units = text.utf16();
    qsizetype i = 0;
    while (i < size) {
        // Runs of ASCII, the bulk of a directory's text, go across in one piece.
        qsizetype ascii = i;
        while (ascii < size && units[ascii] < 0x80)
            ++ascii;
        if (ascii > i) {
            const std::size_t at = out.size();
            out.resize(at + std::size_t(ascii - i));
            for (qsizetype k = i; k < ascii; ++k)
                out[at + std::size_t(k - i)] = char(units[k]);
            i = ascii;
            continue;
        }
        const char32_t u = units[i];
        if (u < 0x800) {
            out.push_back(char(0xC0 | (u >> 6)));
            out.push_back(char(0x80 | (u & 0x3F)));
            ++i;
        } else if (u < 0xD800 || u > 0xDFFF) {
            out.push_back(char(0xE0 | (u >> 12)));
            out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(char(0x80 | (u & 0x3F)));
            ++i;
        } else if (u < 0xDC00 && i + 1 < size && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
            i += 2;
        } else {
            out.push_back('?'); // a surrogate without its other half
            ++i;
        }
    }
}

ByteSink::ByteSink(QIODevice &device) : m_device(device)
{
    m_buffer.reserve(kChunk + 64 * 1024);
}

void ByteSink::flush()
{
    if (m_ok && !m_buffer.empty())
        m_ok = m_device.write(m_buffer.data(), qint64(m_buffer.size())) == qint64(m_buffer.size());
    m_buffer.clear();
}

bool ByteSink::finish()
{
    flush();
    return m_ok;
}

} // namespace dw
