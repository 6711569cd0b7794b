#pragma once

#include <utility>
#include <vector>

namespace dw {

// How a layout wider than the paper is laid across sheets side by side: the scale it is
// drawn at, the stretch of the layout (layout units, from its left edge) that each sheet
// across shows, and the stretch at the layout's left that every sheet after the first
// repeats, so the rows of a continuation sheet can still be told apart.
struct SheetsAcross
{
    double scale = 1.0;
    std::vector<std::pair<double, double>> slices{{0.0, 0.0}}; // [left, right) of each sheet
    double repeated = 0; // [0, repeated) leads every continuation sheet; 0 repeats nothing
};

// What decides the sheets across.
struct AcrossRules
{
    double printableWidth = 0; // the paper inside its margins, layout units
    // A layout is shrunk to the printable width while this share of its size or more is
    // enough; a wider one is cut into sheets side by side drawn at `sliceScale`.
    double minimumFitScale = 1.0;
    double sliceScale = 1.0;
    // Continuation sheets start with the layout's first column again (a listing's names).
    bool repeatFirstColumn = false;
};

// `columns` are the left and right edges of the objects that sheets must not cut in two
// when they fit one (in any order); `contentWidth` is how far right the printed objects
// reach. Each sheet across begins at the left edge of the first column the sheet before it
// could not show whole. The first column is repeated only when it leaves at least half of
// a sheet for the columns it leads.
[[nodiscard]] SheetsAcross planSheetsAcross(std::vector<std::pair<double, double>> columns,
                                            double contentWidth, const AcrossRules &rules);

} // namespace dw
