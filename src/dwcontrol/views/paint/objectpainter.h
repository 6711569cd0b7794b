#pragma once

// views/paint: drawing and measuring a layout's objects, shared by screen and paper. Units,
// fonts, object geometry, cell texts, column headings, pictures and the painters of bands
// and objects live here, so the grid, the page preview, printers and PDF draw the same
// thing. It knows the data window model and nothing of widgets that show it.

#include "datawindow.h"

#include <QColor>
#include <QPointF>

#include <limits>

class QPainter;

namespace dw {

// Paints the objects of one band of a data window for one row, in layout units, on
// any device: the grid view, the page preview, printers and PDF all use it, so what
// prints is what the screen shows. `origin` is where the band's (0, 0) falls, in the
// device's pixels; `dpiX`/`dpiY` are the device's resolution.
struct PaintTarget
{
    QPainter *painter = nullptr;
    QPointF origin;
    double dpiX = 96.0;
    double dpiY = 96.0;
    // Only objects reaching into [spanLeft, spanRight) of the layout's width (layout
    // units) are painted, so a sheet that shows part of a wide layout holds no hidden
    // text of the columns it leaves out.
    double spanLeft = -std::numeric_limits<double>::infinity();
    double spanRight = std::numeric_limits<double>::infinity();
};

// Paints every visible object of `band` at `row` (0 for bands without rows), in the
// data window's drawing order: texts, columns, computes, pictures, lines, rectangles,
// with their fonts, colours (system colours, transparent 536870912), alignment and
// borders. Selected rows are not highlighted here (the grid does that).
void paintBand(const DataWindow &dw, Band band, long row, const PaintTarget &target);

// A colour number of the layouts as a QColor: red in the low byte; flags name system
// colours (33554432 window text, 67108864 button face, 134217728 + n system colour n);
// 536870912 is transparent (an invalid QColor).
[[nodiscard]] QColor layoutColor(qint64 number);
[[nodiscard]] QColor systemColor(int index); // system colour index to the palette

} // namespace dw
