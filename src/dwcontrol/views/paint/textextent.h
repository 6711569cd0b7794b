#pragma once

#include "bandpainter.h"

#include <QString>

#include <string_view>
#include <vector>

namespace dw {

// Measures texts as the grid paints them in one object (a column's cells, a heading): in
// that object's font at a device's resolution, the glyph advances of a line summed as the
// painter lays them out. A character's advance is read from the font once per measure,
// so a long column costs little more than reading its values.
class TextExtent
{
public:
    TextExtent(const DataWindow &dw, const QString &objectName, double dpiX, double dpiY);

    // The object exists and shows text (a text, a column or a compute).
    [[nodiscard]] bool isValid() const { return m_object != nullptr; }
    // The pixels the painter gives a text: its widest line.
    [[nodiscard]] double pixels(const QString &text) const;
    // The same for a text given as UTF-8, read straight from its bytes (the same figure as
    // pixels() of the decoded text).
    [[nodiscard]] double pixelsUtf8(std::string_view text) const;
    // The pixels of the object's own text (a heading's caption).
    [[nodiscard]] double objectPixels() const;
    // The width in layout units that shows `pixels` of text whole: the text, the air
    // painting leaves at both sides, and one pixel for where the frame's edges round to.
    [[nodiscard]] int unitsToShow(double pixels) const;

private:
    [[nodiscard]] double lineWidth(QStringView line) const;
    // The advance of a character of the fast glyph path, read once; kMissing without one.
    [[nodiscard]] double advanceOf(char16_t ch) const;
    [[nodiscard]] bool glyphRun() const;

    const DataWindow &m_dw;
    const LayoutObject *m_object = nullptr;
    ObjectStyle m_style;
    double m_dpiX;
    // Advance per UTF-16 code unit: negative until read, kMissing where the face has no
    // glyph (the painter then lays the line out with font fallback).
    mutable std::vector<double> m_advances;
};

} // namespace dw
