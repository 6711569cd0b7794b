#include "formulaguard.h"

namespace dw {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A sign, then digits with an optional fraction (point or comma) or a fraction alone,
// then an optional exponent; a last line feed may follow, as a pattern's '$' allows.
bool isSignedNumber(std::string_view text)
{
    if (text.size() > 1 && text.back() == '\n')
        text.remove_suffix(1);
    std::size_t i = 1;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        return i - from;
    };
    const std::size_t whole = digits();
    std::size_t fraction = 0;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        fraction = digits();
    }
    if (whole == 0 && fraction == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == text.size();
}

} // namespace

bool spreadsheetWouldCompute(std::string_view value)
{
    if (value.empty())
        return false;
    const char first = value.front();
    if (first == '=' || first == '@' || first == '\t' || first == '\r')
        return true;
    return (first == '+' || first == '-') && !isSignedNumber(value);
}

} // namespace dw
