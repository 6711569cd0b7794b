#pragma once

#include "celltexts.h"
#include "datawindow.h"
#include "fonts.h"

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPointF>
#include <QRawFont>
#include <QRectF>

#include <limits>
#include <memory>
#include <vector>

class QPainter;

namespace dw {

class BandShape;
class ObjectAttributes;

// Everything needed to draw one object but its value, read from its attributes once.
struct ObjectStyle
{
    QString type;
    bool visible = true;
    QRectF frame; // layout units, relative to the band
    // texts, columns, computes
    QColor background; // invalid: transparent
    QColor colour;
    LayoutFontSpec fontSpec;
    QFont font;
    QRawFont rawFont; // the same font for the fast glyph path of screen painting
    Qt::Alignment alignment = Qt::AlignLeft;
    int border = 0;
    int column = 0; // the column a column object shows
    bool bitmap = false; // a column whose value names a picture
    bool grows = false; // a column marked to grow (see BandShape)
    QString text; // a text's text, a picture's file, a compute's expression
    // lines and shapes
    QPointF from;
    QPointF to;
    QPen pen;
    QColor fill;
    QSizeF corner;
};

[[nodiscard]] ObjectStyle resolveStyle(const ObjectAttributes &attributes, double dpiX, double dpiY);

// The air left at each side of a text in its frame, in device pixels, as grids draw
// their cells.
[[nodiscard]] double textPadding(double dpiX);

// Paints the objects of one band, row after row, on one device. The attributes of
// objects without expressions are read once, when the painter is made, so a grid
// paints its rows without parsing a single attribute; objects whose attributes are
// expressions are read again at every row.
class BandPainter
{
public:
    BandPainter(const DataWindow &dw, Band band, double dpiX, double dpiY);
    // Paints the band at `row` (0 for bands without rows) with its (0, 0) at `origin`;
    // only the objects that reach into [spanLeft, spanRight) of the layout's width.
    void paint(QPainter &painter, QPointF origin, long row,
               double spanLeft = -std::numeric_limits<double>::infinity(),
               double spanRight = std::numeric_limits<double>::infinity()) const;
    // Paints the band at `row` laid out as `shape` says (objects moved down, grown values
    // on their lines), only what reaches into [from, to) of the grown band (layout units
    // down) and into [spanLeft, spanRight) across; `origin` is where the grown band's
    // (0, 0) falls. What a cut splits is painted whole; the caller clips it.
    void paintShaped(QPainter &painter, QPointF origin, long row, const BandShape &shape, double from,
                     double to, double spanLeft = -std::numeric_limits<double>::infinity(),
                     double spanRight = std::numeric_limits<double>::infinity()) const;
    [[nodiscard]] bool isEmpty() const { return m_entries.empty(); }

private:
    struct Entry
    {
        const LayoutObject *object;
        bool dynamic;
        ObjectStyle style;
    };
    const DataWindow &m_dw;
    double m_dpiX;
    double m_dpiY;
    std::vector<Entry> m_entries;
    // The values' texts, with what does not change from row to row found once; only for
    // a band that shows columns.
    std::unique_ptr<CellTexts> m_texts;
};

} // namespace dw
