#pragma once

#include "datawindowcontrol.h"

#include <QPoint>
#include <QString>

namespace testsupport {

// A pixel of the control (40 pixels from its left edge) inside `row`, `below` pixels under
// the row's first line; row 0 is the header band. (-1, -1) when the row is not on screen.
[[nodiscard]] inline QPoint pointOfRow(const dw::DataWindowControl &control, long row, int below)
{
    for (int y = 1; y < control.height(); ++y) {
        long found = -1;
        const QPoint point(40, y);
        const dw::DwObjectRef dwo = control.objectAt(point, &found);
        if (found == row && (row > 0 || dwo.band == QStringLiteral("header")))
            return point + QPoint(0, below);
    }
    return {-1, -1};
}

} // namespace testsupport
