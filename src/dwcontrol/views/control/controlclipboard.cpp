// Copying rows: the selected rows, or the current row when none is selected, go to the
// clipboard as text and as an HTML table.

#include "datawindowcontrol_p.h"

#include "rowsclipboard.h"
#include "rowscopy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace dw {

void DataWindowControl::copyRowsToClipboard()
{
    std::vector<long> rows;
    const long count = d->model.RowCount();
    for (long row = 1; row <= count; ++row) {
        if (d->model.IsSelected(row))
            rows.push_back(row);
    }
    if (rows.empty() && d->model.GetRow() > 0)
        rows.push_back(d->model.GetRow());
    if (rows.empty())
        return;
    // The clipboard owns what it is given.
    QGuiApplication::clipboard()->setMimeData(clipboardData(CopiedRows(d->model, rows)).release());
}

} // namespace dw
