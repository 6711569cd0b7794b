#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace dw {

// Upper-casing of UTF-8 text, code point by code point, with Unicode's full case mapping,
// so "maría núñez" becomes "MARÍA NÚÑEZ", "straße" "STRASSE" and the ligature "ﬁ" "FI".
// ASCII is handled on the bytes; one- and two-byte sequences (Latin-1, Latin extended,
// Greek, Cyrillic...) through a table built once; everything else through Qt's Unicode
// tables. Bytes that are not valid UTF-8 pass through unchanged. The search, the
// expression language and the built-in driver's ucase all upper-case through here, so a
// text means the same wherever it is compared.
//
// This runs once per row of a search over the whole directory, so it avoids QString.

// The most bytes the upper-cased form of `size` bytes can take (one two-byte character
// may become three: "ΐ" is "Ϊ́").
[[nodiscard]] constexpr std::size_t upperUtf8Capacity(std::size_t size)
{
    return 3 * size;
}

// Writes the upper-cased `text` to `out`, which has room for upperUtf8Capacity(text.size())
// bytes; returns the number of bytes written.
std::size_t upperUtf8(std::string_view text, char *out);

[[nodiscard]] std::string upperUtf8(std::string_view text);
// The same for a QString.
[[nodiscard]] QString upperText(const QString &text);

// The offset of the first byte from which upper-casing may change `text`
// (text.size() when the text is already upper case ASCII throughout).
[[nodiscard]] std::size_t firstUpperCandidate(std::string_view text);

} // namespace dw
