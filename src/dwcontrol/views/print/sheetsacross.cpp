#include "sheetsacross.h"

#include <algorithm>

namespace dw {
namespace {

// Where the first column's stretch ends: at the left edge of the next column, so the gap
// (and the grid line in it) goes with it.
double firstColumnEnd(const std::vector<std::pair<double, double>> &sorted)
{
    if (sorted.empty())
        return 0;
    const double firstLeft = sorted.front().first;
    double right = 0;
    for (const auto &[left, r] : sorted)
        if (left == firstLeft)
            right = std::max(right, r);
    for (const auto &[left, r] : sorted)
        if (left >= right)
            return left;
    return right;
}

} // namespace

SheetsAcross planSheetsAcross(std::vector<std::pair<double, double>> columns, double contentWidth,
                              const AcrossRules &rules)
{
    SheetsAcross plan;
    plan.slices = {{0.0, contentWidth}};
    if (contentWidth <= rules.printableWidth || rules.printableWidth <= 0)
        return plan;
    const double fit = rules.printableWidth / contentWidth;
    if (fit >= rules.minimumFitScale) {
        plan.scale = fit;
        return plan;
    }
    plan.scale = rules.sliceScale;
    const double sheetWidth = rules.printableWidth / plan.scale;
    if (sheetWidth >= contentWidth)
        return plan;
    std::sort(columns.begin(), columns.end());
    if (rules.repeatFirstColumn) {
        const double end = firstColumnEnd(columns);
        if (end > 0 && end <= sheetWidth / 2)
            plan.repeated = end;
    }
    plan.slices.clear();
    double start = 0;
    double width = sheetWidth;
    while (start + width < contentWidth) {
        const double end = start + width;
        double next = end;
        for (const auto &[left, right] : columns) {
            if (right > end && left > start) {
                next = std::min(next, left);
                break;
            }
        }
        plan.slices.emplace_back(start, next);
        start = next;
        width = sheetWidth - plan.repeated;
    }
    plan.slices.emplace_back(start, contentWidth);
    return plan;
}

} // namespace dw
