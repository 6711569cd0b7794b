// Where the keyboard's context menu opens: on the current row, at the cell of the column
// clicked last, or under the header when there is no row.

#include "datawindowcontrol_p.h"

#include "objectgeometry.h"
#include "units.h"

#include <cmath>

namespace dw {

void DataWindowControl::popupAtCurrentRow()
{
    if (d->preview)
        return;
    // Without a row the menu opens for the grid as a whole, under the header.
    const long row = d->model.GetRow();
    DwObjectRef dwo;
    QPoint pixel(1, d->view.headerHeight());
    const std::vector<GridColumn> columns = visibleColumns(d->model);
    if (row > 0 && !columns.empty()) {
        const GridColumn *column = &columns.front();
        for (const GridColumn &candidate : columns) {
            if (candidate.name.compare(d->currentColumn, Qt::CaseInsensitive) == 0)
                column = &candidate;
        }
        dwo = DwObjectRef{column->name, QStringLiteral("column"), QStringLiteral("detail")};
        ScrollToRow(row);
        // Near the cell's left edge, kept inside the pane when the cell is scrolled away.
        const QRect pane = d->view.paneRect(0);
        const int x
            = std::clamp(d->view.pixelXOf(0, column->x) + 8, pane.left() + 1, std::max(1, pane.right() - 1));
        pixel = QPoint(x, d->view.rowRect(0, row).center().y());
    }
    const QPoint at = d->toUnits(d->canvas->mapTo(this, pixel));
    rbuttondown(at.x(), at.y(), dwo.name == u"datawindow" ? 0 : row, dwo);
}

} // namespace dw
