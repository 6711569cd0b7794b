#include "pageflow.h"

#include <algorithm>

namespace dw {
namespace {

constexpr double kSlack = 1e-6; // units from points may round a hair short

} // namespace

PageFlow::PageFlow(const DataWindow &dw, double room, bool rowPerPage, double summary,
                   const PrintedRows &printed)
{
    const long count = printed.empty() ? dw.RowCount() : long(printed.size());
    rows.reserve(std::size_t(std::max(0L, count)));
    for (long row = 1; row <= count; ++row)
        rows.emplace_back(dw, Band::Detail, printed.empty() ? row : printed.at(std::size_t(row - 1)));

    std::vector<Piece> page;
    double used = 0;
    const auto turnPage = [&] {
        pages.push_back(std::move(page));
        page.clear();
        used = 0;
    };
    for (long row = 1; row <= count; ++row) {
        const BandShape &shape = rows.at(std::size_t(row - 1));
        const double height = shape.height();
        if (!page.empty() && (rowPerPage || used + height > room + kSlack))
            turnPage();
        double from = 0;
        while (from < height && height - from > room - used + kSlack) {
            double cut = shape.cutBefore(from, from + room - used);
            if (cut <= from + kSlack) {
                if (!page.empty()) { // what comes next fits a fresh page better
                    turnPage();
                    continue;
                }
                cut = from + room; // taller than a page: cut where the page ends
            }
            if (cut <= from + kSlack) // no room at all: one piece per page, whole
                cut = height;
            page.push_back({row, from, cut});
            used += cut - from;
            from = cut;
            if (from >= shape.contentBottom() - kSlack)
                from = height; // only air is left of the row: no page for it
            if (from < height)
                turnPage();
        }
        if (from < height) {
            page.push_back({row, from, height});
            used += height - from;
        }
    }
    if (summary > 0 && !page.empty() && used + summary > room + kSlack)
        turnPage();
    pages.push_back(std::move(page));
    if (summary > 0)
        summaryPage = int(pages.size()) - 1;
}

} // namespace dw
