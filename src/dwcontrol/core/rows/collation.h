#pragma once

#include <QCollator>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dw {

// Sort keys for texts in Spanish order, byte strings whose plain byte order (memcmp)
// is the order of QCollator for Spanish (Mexico): base letters first, with ñ a letter
// of its own after n, then accents, then case ("Nunez" < "Núñez" < "Nuño").
//
// The weights are not written by hand: they are read once from QCollator itself, by
// comparing every character of Latin-1 and Latin Extended-A with the others, so the keys follow the
// collator of the system. A text with a character outside that table has no key
// here; the caller then sorts those texts with QCollator directly.
class SpanishCollation
{
public:
    static const SpanishCollation &instance();

    // Appends the key of a UTF-8 text to `key`; false (and `key` unchanged) when the
    // text has a character the table does not cover.
    bool appendKey(std::string_view utf8, std::string &key) const;

    // The first eight bytes of the key (zero-padded when shorter), read from the first
    // characters only; nothing when the text has a character the table does not cover.
    // Texts whose prefixes differ are ordered by them; only equal prefixes need keys.
    [[nodiscard]] std::optional<std::uint64_t> keyPrefix(std::string_view utf8) const;

    // The collator the keys reproduce, for texts without a key.
    [[nodiscard]] static QCollator collator();

private:
    SpanishCollation();

    // Decodes the text, calling `visit` with the weights of each character; false at
    // the first character the table does not cover.
    template <typename Visit> bool forEachWeight(std::string_view utf8, Visit &&visit) const;

    struct Weights
    {
        std::uint8_t primary = 0; // 0: not covered
        std::uint8_t secondary = 0;
        std::uint8_t tertiary = 0;
    };
    // Latin-1 and Latin Extended-A: the letters of Spanish names and of most European ones.
    std::array<Weights, 0x180> m_table{};
};

} // namespace dw
