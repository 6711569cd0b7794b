#include "types/integerrange.h"

#include <cmath>
#include <limits>

namespace dw {

std::optional<qint64> integerInRange(double number)
{
    // 2^63 is exact as a double; every double below it and at or above -2^63 fits.
    constexpr double limit = 9223372036854775808.0;
    if (!(number >= -limit && number < limit))
        return std::nullopt;
    return qint64(number);
}

qint64 clampedInteger(double number)
{
    if (const auto integer = integerInRange(number))
        return *integer;
    if (std::isnan(number))
        return 0;
    return number < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

} // namespace dw
