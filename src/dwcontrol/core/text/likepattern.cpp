#include "text/likepattern.h"

#include <string>
#include <vector>

namespace dw {

namespace {

constexpr std::size_t None = std::string_view::npos;

std::string foldedAscii(std::string_view text)
{
    std::string folded(text);
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return folded;
}

// Bytes of the UTF-8 character that starts at `at` (1 for a stray byte, as SQLite steps).
std::size_t characterLength(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::size_t end = at + 1;
    while (end < text.size() && end < at + length && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return end - at;
}

// Where `piece` (no "%", "_" for one character) ends when it starts at `at`; None when it
// does not match there.
std::size_t matchAt(std::string_view value, std::size_t at, std::string_view piece)
{
    for (const char c : piece) {
        if (at >= value.size())
            return None;
        if (c == '_')
            at += characterLength(value, at);
        else if (value[at++] != c)
            return None;
    }
    return at;
}

// The first start at or after `from` where `piece` matches, and where it ends.
std::pair<std::size_t, std::size_t> findFrom(std::string_view value, std::size_t from, std::string_view piece)
{
    if (piece.find('_') == None) {
        const std::size_t at = value.find(piece, from);
        return {at, at == None ? None : at + piece.size()};
    }
    for (std::size_t at = from; at <= value.size();
         at += at < value.size() ? characterLength(value, at) : 1) {
        if (const std::size_t end = matchAt(value, at, piece); end != None)
            return {at, end};
    }
    return {None, None};
}

// Characters `piece` takes: one per byte, "_" one character whatever its bytes. The start,
// counted back from the end of `value`, where a piece that must end the value begins.
std::size_t startForEnd(std::string_view value, std::string_view piece)
{
    std::size_t at = value.size();
    for (std::size_t i = piece.size(); i-- > 0;) {
        if (at == 0)
            return None;
        if (piece[i] == '_') {
            --at;
            while (at > 0 && (static_cast<unsigned char>(value[at]) & 0xC0) == 0x80)
                --at;
        } else {
            --at;
        }
    }
    return at;
}

} // namespace

bool likeMatches(std::string_view valueText, std::string_view patternText)
{
    const std::string value = foldedAscii(valueText);
    const std::string pattern = foldedAscii(patternText);
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t percent = pattern.find('%', start);
        pieces.emplace_back(
            std::string_view(pattern).substr(start, percent == None ? None : percent - start));
        if (percent == None)
            break;
        start = percent + 1;
    }
    if (pieces.size() == 1)
        return matchAt(value, 0, pieces.front()) == value.size();

    // The first piece starts the value, the last one ends it; each one between is placed at
    // its first match after the one before, which leaves the most room for the rest.
    std::size_t at = matchAt(value, 0, pieces.front());
    if (at == None)
        return false;
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
        if (pieces[i].empty())
            continue;
        const auto [start, end] = findFrom(value, at, pieces[i]);
        if (start == None)
            return false;
        at = end;
    }
    const std::string_view last = pieces.back();
    const std::size_t start = startForEnd(value, last);
    return start != None && start >= at && matchAt(value, start, last) == value.size();
}

} // namespace dw
