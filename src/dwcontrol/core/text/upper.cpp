#include "upper.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace dw {

namespace {

constexpr std::uint64_t Repeat = 0x0101010101010101ULL;
constexpr std::uint64_t HighBits = 0x8080808080808080ULL;

// An upper-cased character as UTF-8: at most three code points of two bytes each.
struct Mapped
{
    std::array<char, 6> bytes{};
    std::uint8_t size = 0;
};

Mapped fullUpper(char32_t c)
{
    const QByteArray upper = QString::fromUcs4(&c, 1).toUpper().toUtf8();
    Mapped mapped;
    mapped.size = std::uint8_t(std::min<qsizetype>(upper.size(), qsizetype(mapped.bytes.size())));
    std::memcpy(mapped.bytes.data(), upper.constData(), mapped.size);
    return mapped;
}

// Upper case of every code point below U+0800, i.e. of every one- and two-byte sequence.
const std::array<Mapped, 0x800> &twoByteTable()
{
    static const std::array<Mapped, 0x800> table = [] {
        std::array<Mapped, 0x800> t{};
        for (char32_t c = 0; c < t.size(); ++c)
            t[c] = fullUpper(c);
        return t;
    }();
    return table;
}

// The three-byte code points whose upper case is more than one character (ligatures,
// Greek with iota subscript, Armenian...), sorted; the others map one to one.
const std::vector<std::pair<char32_t, Mapped>> &expandingTable()
{
    static const std::vector<std::pair<char32_t, Mapped>> table = [] {
        std::vector<std::pair<char32_t, Mapped>> t;
        for (char32_t c = 0x800; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            if (QString::fromUcs4(&c, 1).toUpper().size() > 1)
                t.emplace_back(c, fullUpper(c));
        }
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
        // ASCII goes eight bytes at a time: the whole word is upper-cased (bytes from 0x80
        // up are left alone), and the output advances past its ASCII prefix only.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t seven = word & ~HighBits;
            const std::uint64_t fromA = seven + Repeat * (0x80 - 'a');
            const std::uint64_t pastZ = seven + Repeat * (0x80 - 'z' - 1);
            const std::uint64_t lower = fromA & ~pastZ & ~word & HighBits;
            const std::uint64_t upper = word ^ (lower >> 2); // 0x80 >> 2 is the 0x20 between cases
            std::memcpy(o, &upper, 8);
            const std::uint64_t high = word & HighBits;
            if (high == 0) {
                p += 8;
                o += 8;
                continue;
            }
            const int ascii = std::endian::native == std::endian::little ? std::countr_zero(high) / 8
                                                                         : std::countl_zero(high) / 8;
            p += ascii;
            o += ascii;
            break;
        }
        if (p >= end)
            break;
        const unsigned char b = *p;
        if (b < 0x80) {
            *o++ = char(b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b);
            ++p;
            continue;
        }
        // Latin-1 small letters à..þ (but not ÷) sit 0x20 above their capitals, with the
        // same lead byte: the commonest case in Spanish text needs no decoding.
        if (b == 0xC3 && end - p >= 2 && p[1] >= 0xA0 && p[1] <= 0xBE && p[1] != 0xB7) {
            o[0] = char(0xC3);
            o[1] = char(p[1] - 0x20);
            o += 2;
            p += 2;
            continue;
        }
        // Decode one multi-byte sequence; anything malformed is copied as a single byte.
        char32_t c = 0;
        std::size_t length = 0;
        if (b >= 0xC2 && b <= 0xDF && end - p >= 2 && isContinuation(p[1])) {
            c = char32_t(b & 0x1F) << 6 | (p[1] & 0x3F);
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF && end - p >= 3 && isContinuation(p[1]) && isContinuation(p[2])) {
            c = char32_t(b & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            length = (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) ? 3 : 0;
        } else if (b >= 0xF0 && b <= 0xF4 && end - p >= 4 && isContinuation(p[1]) && isContinuation(p[2])
                   && isContinuation(p[3])) {
            c = char32_t(b & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6
                | (p[3] & 0x3F);
            length = (c >= 0x10000 && c <= 0x10FFFF) ? 4 : 0;
        }
        if (length == 0) {
            *o++ = char(b);
            ++p;
            continue;
        }
        p += length;
        const Mapped *mapped = c < 0x800 ? &table[c] : nullptr;
        if (!mapped && c < 0x10000) {
            const auto &expanding = expandingTable();
            const auto found
                = std::lower_bound(expanding.begin(), expanding.end(), c,
                                   [](const auto &entry, char32_t key) { return entry.first < key; });
            if (found != expanding.end() && found->first == c)
                mapped = &found->second;
        }
        if (mapped) {
            std::memcpy(o, mapped->bytes.data(), mapped->size);
            o += mapped->size;
        } else {
            o += encode(QChar::toUpper(c), o);
        }
    }
    return std::size_t(o - out);
}

std::string upperUtf8(std::string_view text)
{
    std::string result(upperUtf8Capacity(text.size()), '\0');
    result.resize(upperUtf8(text, result.data()));
    return result;
}

QString upperText(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const std::string upper = upperUtf8(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return QString::fromUtf8(upper.data(), qsizetype(upper.size()));
}

} // namespace dw
