#pragma once

#include <QtGlobal>

#include <optional>

namespace dw {

// A double as a 64-bit integer, cut toward zero; nothing for NaN, an infinity or a number
// outside the integer's range (converting those directly is undefined).
[[nodiscard]] std::optional<qint64> integerInRange(double number);
// The same, with a number out of range clamped to the nearest end and NaN as 0.
[[nodiscard]] qint64 clampedInteger(double number);

} // namespace dw
