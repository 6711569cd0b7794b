#include "rows/collation.h"

#include <QLocale>

#include <algorithm>
#include <vector>

namespace dw {

namespace {

// Characters that collate as more than one element (æ as "ae", ß as "ss", ¼ as
// "1/4", œ, ĳ, ŉ, spacing accents as a blank plus an accent), as none (the soft
// hyphen) or together with the letter before them (the middle dot of "l·l", ŀ) do not
// fit one weight per character; texts that hold them go to QCollator.
constexpr std::array<char16_t, 22> multiElement{
    0x00A8, 0x00AD, 0x00AF, 0x00B4, 0x00B7, 0x00B8, 0x00BC, 0x00BD, 0x00BE, 0x00C6, 0x00DE,
    0x00DF, 0x00E6, 0x00FE, 0x0132, 0x0133, 0x013F, 0x0140, 0x0149, 0x0152, 0x0153, 0x017F,
};

// The characters below `end` that take one weight each.
std::vector<char16_t> coveredCharacters(std::size_t end)
{
    std::vector<char16_t> characters{u'\t', u'\n', u'\r'};
    for (char16_t c = 0x20; c < 0x7F; ++c)
        characters.push_back(c);
    for (char16_t c = 0xA0; c < end; ++c) {
        if (std::find(multiElement.begin(), multiElement.end(), c) == multiElement.end())
            characters.push_back(c);
    }
    return characters;
}

QString text(char16_t c, QStringView tail = {})
{
    QString s{QChar(c)};
    s += tail;
    return s;
}

} // namespace

QCollator SpanishCollation::collator()
{
    QCollator collator(QLocale(QLocale::Spanish, QLocale::Mexico));
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

const SpanishCollation &SpanishCollation::instance()
{
    static const SpanishCollation collation;
    return collation;
}

SpanishCollation::SpanishCollation()
{
    const QCollator collator = SpanishCollation::collator();
    std::vector<char16_t> chars = coveredCharacters(m_table.size());

    // Each character weighs one element at three levels. Two characters x, y differ
    // at the primary level exactly when "xb" and "ya" keep the order of x and y
    // (the second letter only decides when the first ones tie); "xá" against "ya" does
    // the same for the accent level; alone they differ by case.
    const auto primaryLess
        = [&](char16_t x, char16_t y) { return collator.compare(text(x, u"b"), text(y, u"a")) < 0; };
    const auto secondaryLess
        = [&](char16_t x, char16_t y) { return collator.compare(text(x, u"\u00E1"), text(y, u"a")) < 0; };
    const auto tertiaryLess = [&](char16_t x, char16_t y) { return collator.compare(text(x), text(y)) < 0; };
    std::stable_sort(chars.begin(), chars.end(), [&](char16_t x, char16_t y) {
        if (primaryLess(x, y))
            return true;
        if (primaryLess(y, x))
            return false;
        if (secondaryLess(x, y))
            return true;
        if (secondaryLess(y, x))
            return false;
        return tertiaryLess(x, y);
    });

    // Weights count from 2: 0 marks a character without weights, 1 separates the levels.
    int primary = 2;
    int secondary = 2;
    int tertiary = 2;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i > 0) {
            const char16_t previous = chars[i - 1];
            const char16_t current = chars[i];
            if (primaryLess(previous, current)) {
                ++primary;
                secondary = 2;
                tertiary = 2;
            } else if (secondaryLess(previous, current)) {
                ++secondary;
                tertiary = 2;
            } else if (tertiaryLess(previous, current)) {
                ++tertiary;
            }
        }
        if (primary > 255 || secondary > 255 || tertiary > 255)
            break; // cannot happen for Latin-1; characters past this point stay uncovered
        m_table[chars[i]] = Weights{std::uint8_t(primary), std::uint8_t(secondary), std::uint8_t(tertiary)};
    }
}

template <typename Visit> bool SpanishCollation::forEachWeight(std::string_view utf8, Visit &&visit) const
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    const std::size_t size = utf8.size();
    for (std::size_t i = 0; i < size;) {
        unsigned codePoint = bytes[i];
        if (codePoint < 0x80) {
            ++i;
        } else if ((codePoint & 0xE0) == 0xC0 && i + 1 < size && (bytes[i + 1] & 0xC0) == 0x80) {
            codePoint = ((codePoint & 0x1F) << 6) | (bytes[i + 1] & 0x3F);
            i += 2;
        } else {
            return false;
        }
        if (codePoint >= m_table.size())
            return false;
        const Weights w = m_table[codePoint];
        if (w.primary == 0)
            return false;
        visit(w);
    }
    return true;
}

bool SpanishCollation::appendKey(std::string_view utf8, std::string &key) const
{
    // Decode to weights first: a text with an uncovered character leaves `key` as it was.
    thread_local std::vector<Weights> weights;
    weights.clear();
    if (!forEachWeight(utf8, [](const Weights &w) { weights.push_back(w); }))
        return false;
    const std::size_t start = key.size();
    const std::size_t n = weights.size();
    key.resize(start + 3 * n + 2);
    char *out = key.data() + start;
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = char(weights[i].primary);
        out[n + 1 + i] = char(weights[i].secondary);
        out[2 * n + 2 + i] = char(weights[i].tertiary);
    }
    out[n] = 1;
    out[2 * n + 1] = 1;
    return true;
}

std::optional<std::uint64_t> SpanishCollation::keyPrefix(std::string_view utf8) const
{
    // Eight characters or more: the prefix is their primary weights. Fewer: the whole
    // (short) key, cut to eight bytes.
    std::array<Weights, 8> first{};
    std::size_t n = 0;
    if (!forEachWeight(utf8, [&](const Weights &w) {
            if (n < first.size())
                first[n] = w;
            ++n;
        })) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 8> bytes{};
    if (n >= 8) {
        for (std::size_t i = 0; i < 8; ++i)
            bytes[i] = first[i].primary;
    } else {
        // The whole key (n primary, 1, n secondary, 1, n tertiary) fits in 3 * 7 + 2 bytes.
        std::array<std::uint8_t, 3 * 7 + 2> whole{};
        for (std::size_t i = 0; i < n; ++i) {
            whole[i] = first[i].primary;
            whole[n + 1 + i] = first[i].secondary;
            whole[2 * n + 2 + i] = first[i].tertiary;
        }
        whole[n] = 1;
        whole[2 * n + 1] = 1;
        std::copy_n(whole.begin(), bytes.size(), bytes.begin());
    }
    std::uint64_t prefix = 0;
    for (const std::uint8_t byte : bytes)
        prefix = (prefix << 8) | byte;
    return prefix;
}

} // namespace dw
