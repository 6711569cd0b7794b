#pragma once

#include "datawindow.h"
#include "wrappedtext.h"

#include <unordered_map>
#include <utility>
#include <vector>

namespace dw {

// How a band is laid out at one row once its growing values have grown. A column marked
// "grow=yes" whose value does not show whole on one line is word-wrapped at its width and
// grows downwards to hold every line; whatever lies below it (its top at or under the
// column's bottom) moves down by as much, and the band grows with it. The designed heights
// stay as the least: a row whose values all fit keeps its design exactly.
class BandShape
{
public:
    BandShape() = default;
    BandShape(const DataWindow &dw, Band band, long row);

    // The band's height at this row, layout units.
    [[nodiscard]] double height() const { return m_height; }
    // Whether a value of this row is shown wrapped (a row that is not keeps its design).
    [[nodiscard]] bool wraps() const { return !m_wrapped.empty(); }
    // How far down an object moved, units.
    [[nodiscard]] double shift(const LayoutObject *object) const;
    // The lines of a value shown wrapped, or null.
    [[nodiscard]] const WrappedText *wrapped(const LayoutObject *object) const;

    // Where the last thing drawn in the band ends; below it there is only air.
    [[nodiscard]] double contentBottom() const { return m_contentBottom; }

    // Where a page that shows this band from `from` and has room down to `limit` ends
    // without cutting an object or a line of text in two: `limit` itself or the top of
    // what would be cut; `from` when even the first thing below it does not fit.
    [[nodiscard]] double cutBefore(double from, double limit) const;

private:
    double m_height = 0;
    double m_contentBottom = 0;
    std::unordered_map<const LayoutObject *, double> m_shift;
    std::unordered_map<const LayoutObject *, WrappedText> m_wrapped;
    std::vector<std::pair<double, double>> m_whole; // what a page must not cut: top, bottom
};

// Whether any object of the band is marked to grow.
[[nodiscard]] bool bandGrows(const DataWindow &dw, Band band);

} // namespace dw
