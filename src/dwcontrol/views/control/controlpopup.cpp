// The cell the keyboard acts on: the current row, at the cell of the column clicked last.
// The context menu opens there (under the header when there is no row), and Ctrl+Enter
// double-clicks it.

#include "datawindowcontrol_p.h"

#include "objectgeometry.h"
#include "units.h"

#include <cmath>

namespace dw {

std::optional<DataWindowControl::Impl::KeyboardCell> DataWindowControl::Impl::keyboardCell()
{
    const long row = model.GetRow();
    const std::vector<GridColumn> columns = visibleColumns(model);
    if (preview || row <= 0 || row > model.RowCount() || columns.empty())
        return std::nullopt;
    const GridColumn *column = &columns.front();
    for (const GridColumn &candidate : columns) {
        if (candidate.name.compare(currentColumn, Qt::CaseInsensitive) == 0)
            column = &candidate;
    }
    q.ScrollToRow(row);
    // Near the cell's left edge, kept inside the pane when the cell is scrolled away.
    const QRect pane = view.paneRect(0);
    const int x = std::clamp(view.pixelXOf(0, column->x) + 8, pane.left() + 1, std::max(1, pane.right() - 1));
    const QPoint pixel(x, view.rowRect(0, row).center().y());
    return KeyboardCell{row, DwObjectRef{column->name, QStringLiteral("column"), QStringLiteral("detail")},
                        toUnits(canvas->mapTo(&q, pixel))};
}

void DataWindowControl::popupAtCurrentRow()
{
    if (d->preview)
        return;
    if (const std::optional<Impl::KeyboardCell> cell = d->keyboardCell()) {
        rbuttondown(cell->at.x(), cell->at.y(), cell->row, cell->dwo);
        return;
    }
    // Without a row the menu opens for the grid as a whole, under the header.
    const QPoint at = d->toUnits(d->canvas->mapTo(this, QPoint(1, d->view.headerHeight())));
    rbuttondown(at.x(), at.y(), 0, DwObjectRef{});
}

void DataWindowControl::doubleClickCurrentRow()
{
    if (const std::optional<Impl::KeyboardCell> cell = d->keyboardCell())
        doubleclicked(cell->at.x(), cell->at.y(), cell->row, cell->dwo);
}

} // namespace dw
