#pragma once

#include "datawindow.h"

#include <QRectF>
#include <QString>

namespace dw {

// Reads the attributes of one object as they apply at a row. A plain value is taken as
// written; only a "default<TAB>expression" value goes through the data window's
// evaluator, so painting thousands of cells costs no expression work for plain layouts.
class ObjectAttributes
{
public:
    ObjectAttributes(const DataWindow &dw, const LayoutObject &object, long row)
        : m_dw(dw)
        , m_object(object)
        , m_row(row)
    {}

    // `path` is lower case ("background.color"); "" when the object has no such attribute.
    [[nodiscard]] QString text(const QString &path) const;
    [[nodiscard]] double number(const QString &path, double fallback = 0) const;
    [[nodiscard]] bool flag(const QString &path, bool fallback = false) const;
    [[nodiscard]] const LayoutObject &object() const { return m_object; }
    [[nodiscard]] long row() const { return m_row; }
    [[nodiscard]] const DataWindow &dataWindow() const { return m_dw; }

private:
    const DataWindow &m_dw;
    const LayoutObject &m_object;
    long m_row;
};

// The kind of an object as events report it: "text", "column", "compute",
// "picture" (also for bitmaps), "line", "rectangle", "ellipse", "roundrectangle".
[[nodiscard]] QString objectType(const LayoutObject &object);
// Whether the object takes part in drawing and hit testing (band objects and the
// select definition do not).
[[nodiscard]] bool isDrawable(const LayoutObject &object);
[[nodiscard]] bool isVisible(const ObjectAttributes &attributes);
// The object's frame in layout units relative to its band's (0, 0). Lines give the
// rectangle through their two ends, widened by their pen.
[[nodiscard]] QRectF objectFrame(const ObjectAttributes &attributes);

} // namespace dw
