#pragma once

#include "bandpainter.h"

#include <QString>

#include <vector>

class QPainter;

namespace dw {

// A value word-wrapped at the width of its frame. The lines are measured once, at a fixed
// resolution, so the preview, printers and PDF files break them at the same words and
// lay the pages out alike. Positions are layout units from the top of the frame.
struct WrappedText
{
    struct Line
    {
        qsizetype start = 0;
        qsizetype length = 0;
        double top = 0; // where the line's ink begins
    };
    QString text;
    std::vector<Line> lines;
    double lineHeight = 0; // ascent and descent: a line's ink, units
    double lineStep = 0; // from one line's top to the next one's, units
    double ascent = 0; // from a line's top to its baseline, units
    double height = 0; // what the lines need, with the air the frame leaves above and below
};

// Whether a text shows whole on one line of its frame, as plain values are painted.
[[nodiscard]] bool fitsOneLine(const QString &text, const ObjectStyle &style);

// The text word-wrapped at the frame's width (a word wider than the frame breaks where it
// must), the first line where a one-line value would stand.
[[nodiscard]] WrappedText wrapText(const QString &text, const ObjectStyle &style);

// Paints the lines of `wrapped` whose ink lies in [from, to) (units of the frame's band,
// shifted like the frame), in the style's font, colour and alignment. `frame` is the
// frame on the device, `frameTop` its top in band units.
void paintWrapped(QPainter &painter, const WrappedText &wrapped, const ObjectStyle &style,
                  const QRectF &frame, double frameTop, double from, double to, double dpiX, double dpiY);

} // namespace dw
