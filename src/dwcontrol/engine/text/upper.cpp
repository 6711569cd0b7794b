#include "upper.h"

#include <QChar>

#include <array>
#include <cstdint>

namespace dw {

namespace {

// Upper case of every code point below U+0800, i.e. of every one- and two-byte sequence.
const std::array<char32_t, 0x800> &twoByteTable()
{
    static const std::array<char32_t, 0x800> table = [] {
        std::array<char32_t, 0x800> t{};
        for (char32_t c = 0; c < t.size(); ++c)
            t[c] = QChar::toUpper(c);
        return t;
    }();
    return table;
}

std::size_t encode(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

} // namespace

std::size_t firstUpperCandidate(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80 || (b >= 'a' && b <= 'z'))
            return i;
    }
    return text.size();
}

std::size_t upperUtf8(std::string_view text, char *out)
{
    const auto &table = twoByteTable();
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *const end = p + text.size();
    char *o = out;
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            *o++ = char(b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b);
            ++p;
            continue;
        }
        // Decode one multi-byte sequence; anything malformed is copied as a single byte.
        char32_t c = 0;
        std::size_t length = 0;
        if (b >= 0xC2 && b <= 0xDF && end - p >= 2 && isContinuation(p[1])) {
            c = char32_t(b & 0x1F) << 6 | (p[1] & 0x3F);
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF && end - p >= 3 && isContinuation(p[1])
                   && isContinuation(p[2])) {
            c = char32_t(b & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            length = (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) ? 3 : 0;
        } else if (b >= 0xF0 && b <= 0xF4 && end - p >= 4 && isContinuation(p[1])
                   && isContinuation(p[2]) && isContinuation(p[3])) {
            c = char32_t(b & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12
                | char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
            length = (c >= 0x10000 && c <= 0x10FFFF) ? 4 : 0;
        }
        if (length == 0) {
            *o++ = char(b);
            ++p;
            continue;
        }
        const char32_t upper = c < 0x800 ? table[c] : QChar::toUpper(c);
        o += encode(upper, o);
        p += length;
    }
    return std::size_t(o - out);
}

std::string upperUtf8(std::string_view text)
{
    std::string result(upperUtf8Capacity(text.size()), '\0');
    result.resize(upperUtf8(text, result.data()));
    return result;
}

} // namespace dw
