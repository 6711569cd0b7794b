// Column layout: widths fitted to the values after each retrieval, the visible columns
// and their order, and a column's readable description.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "fonts.h"
#include "readingfeedback.h"
#include "runtime.h"
#include "textextent.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Rows between two looks at the clock while a long fitting runs.
constexpr long kRowsPerTick = 4096;

} // namespace

void n_svc_dw_gridstyle::of_addautowidth(const QString &as_colname)
{
    is_colname.append(as_colname);
}

long n_svc_dw_gridstyle::retrieveend(long rowcount)
{
    Q_UNUSED(rowcount);
    for (const QString &col : std::as_const(is_colname))
        of_resizewidth(col);
    return 0;
}

n_svc_dw_gridstyle::Fit n_svc_dw_gridstyle::measureWidth(const QString &as_colname)
{
    Fit fit;
    // A name that is not a column has no cells to measure; it is left alone.
    const int column = idw_client->Describe(as_colname + u".ID"_s).toInt();
    if (column < 1)
        return fit;
    fit.column = column;

    // Measured as the grid paints: the cell's own font at the resolution the control paints
    // at (its zoom included), the heading's in the heading's font; each with the air
    // painting leaves beside a text.
    const double dpiX = idw_client->paintDpiX();
    const double dpiY = idw_client->paintDpiY();
    const dw::DataWindow &model = idw_client->model();
    const dw::TextExtent cells(model, as_colname, dpiX, dpiY);
    const dw::TextExtent heading(model, as_colname + u"_t"_s, dpiX, dpiY);
    if (!cells.isValid())
        return fit;

    // Drop-down and code-table columns show a looked-up text, the others their value
    // under the display format; the question is the same for every row.
    const bool lookedUp = idw_client->Describe(as_colname + u".Edit.Style"_s) == u"dddw"_s
        || idw_client->Describe(as_colname + u".Edit.CodeTable"_s) == u"yes"_s;
    // A column shown as stored is measured straight from its stored bytes; any other from
    // the displayed text of one row per stored value (rows with one value show one text).
    const bool stored = !lookedUp && model.showsStoredText(column);
    const std::vector<long> rows = stored ? std::vector<long>() : model.rowsShowingEachText(column);
    const long count = stored ? idw_client->RowCount() : long(rows.size());
    // A long list shows the busy cursor, and the window keeps painting meanwhile; input
    // waits until the width is set, since it could change the rows being measured.
    dw::ReadingFeedback busy(idw_client, [](bool) {});
    busy.start();
    double widest = -1;
    for (long at = 0; at < count; ++at) {
        if ((at + 1) % kRowsPerTick == 0)
            busy.tick(false);
        const long row = stored ? at + 1 : rows[std::size_t(at)];
        double pixels = 0;
        if (stored) {
            std::string_view text = model.storedText(row, column);
            // Trailing blanks take no room on screen; a null value measures as empty text.
            while (!text.empty() && text.back() == ' ')
                text.remove_suffix(1);
            pixels = cells.pixelsUtf8(text);
        } else {
            QString text = lookedUp ? model.lookupDisplay(row, column) : model.displayText(row, column);
            while (text.endsWith(u' '))
                text.chop(1);
            pixels = cells.pixels(text);
        }
        // On equal widths the earlier row stays.
        if (pixels > widest) {
            widest = pixels;
            fit.widestRow = row;
        }
    }
    busy.finish();
    fit.measured = true;
    fit.units = count > 0 ? cells.unitsToShow(widest) : 0;
    if (heading.isValid()) {
        // A sort arrow takes the heading's last em; the caption is centred, so it clears
        // the arrow with an em to spare on both sides. Every fitted column keeps that room,
        // so a later sort by it covers nothing either.
        const double arrow = ib_arrow ? dw::layoutFont({u"Marlett"_s, arrow_height}, dpiY).pixelSize() : 0;
        fit.units = std::max(fit.units, heading.unitsToShow(heading.objectPixels() + 2 * arrow));
    }
    return fit;
}

long n_svc_dw_gridstyle::of_resizewidth(const QString &as_colname)
{
    if (!idw_client)
        return -1;
    const Fit fit = measureWidth(as_colname);
    if (!fit.measured)
        return fit.column < 1 ? 0 : -1;
    // Never narrower than designed; wider, as much as the widest text needs.
    const int designed = fit.column <= ii_original.size() ? ii_original[fit.column - 1] : 0;
    const int width = std::max(designed, fit.units);
    idw_client->Modify(as_colname + u".Width = "_s + QString::number(width));
    return fit.widestRow;
}

void n_svc_dw_gridstyle::of_reordercolumns(const QStringList &as_colname)
{
    if (as_colname.isEmpty() || !idw_client)
        return;
    const dw::RedrawSuspender redraw(*idw_client);

    // Hide every column in one Modify; the grid then places each column that turns
    // visible after the ones already visible, which gives the order.
    const int count = idw_client->model().columnCount();
    QString hideAll;
    for (int n = 1; n <= count; ++n)
        hideAll += idw_client->Describe(u"#%1.Name"_s.arg(n)) + u".Visible='0' "_s;
    idw_client->Modify(hideAll);

    const QString header = u"header"_s;
    for (const QString &name : as_colname) {
        idw_client->Modify(name + u".Visible='1'"_s);
        idw_client->SetPosition(name + u"_t"_s, header, true);
        for (int i = 1; i <= 3; ++i)
            idw_client->SetPosition(name + hline_suffix + QString::number(i), header, true);
    }
}

QString n_svc_dw_gridstyle::of_getcoldesc(const QString &as_colname, bool ab_usecolname)
{
    QString description = idw_client->Describe(as_colname + u"_t.Text"_s);
    if (description == u"!"_s && ab_usecolname)
        description = rt::WordCap(of_replaceall(as_colname, u"_"_s, u" "_s));
    return description.trimmed();
}
