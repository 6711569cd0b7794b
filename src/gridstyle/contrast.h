#pragma once

#include <QColor>

namespace gridstyle {

// How far apart two colours are for a reader: the ratio of their relative luminances
// (each plus 0.05), from 1 (the same) to 21 (black on white). Text wants 4.5, shapes 3.
[[nodiscard]] double contrastRatio(const QColor &first, const QColor &second);

// `preferred` when it reaches `minimum` against `background`; otherwise white or
// `dark`, whichever stands out more. An invalid background (transparent) keeps
// `preferred`.
[[nodiscard]] QColor readableOn(const QColor &background, const QColor &preferred, double minimum,
                                const QColor &dark);

} // namespace gridstyle
