#pragma once

#include "bandshape.h"
#include "printjob.h"

#include <vector>

namespace dw {

// Pages of a layout whose rows grow (see BandShape). A row goes whole on the page it
// starts on when it fits there, else on the next page; a row taller than a page continues
// on the pages after it, each cut placed above the object or line of text it would split.
struct PageFlow
{
    // A stretch [from, to) of a row's grown detail band (layout units) shown on a page;
    // the row by its 1-based position among the printed rows.
    struct Piece
    {
        long row = 0;
        double from = 0;
        double to = 0;
    };
    std::vector<std::vector<Piece>> pages; // at least one, maybe without pieces
    std::vector<BandShape> rows; // the detail band of the printed row at position p at p - 1
    int summaryPage = -1; // the page the summary follows the last row on; -1 without one

    // Lays the rows `printed` of `dw` (every row when empty) out on pages with `room` units
    // between header and footer: one row per page when `rowPerPage` (a freeform card),
    // else as many as fit; the summary (`summary` units) after the last row, on a page of
    // its own when it does not fit under it.
    PageFlow(const DataWindow &dw, double room, bool rowPerPage, double summary,
             const PrintedRows &printed = {});
};

} // namespace dw
