#include "n_svc_dw_selectrow.h"

#include "datawindowcontrol.h"
#include "runtime.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int vkControl = 17;
constexpr int vkShift = 16;
} // namespace

void n_svc_dw_selectrow::of_setselectstyle(const QString &as_style)
{
    is_style = as_style.toLower();
}

void n_svc_dw_selectrow::of_select_single(long al_row)
{
    if (al_row == 0)
        return;
    idw_client->SelectRow(0, false);
    idw_client->SelectRow(al_row, true);
    il_start = al_row;
    if (idw_client->GetRow() != al_row) {
        idw_client->SetRow(al_row);
        idw_client->ScrollToRow(al_row);
    }
}

void n_svc_dw_selectrow::of_select_extend(long al_row, bool ab_ctrl, bool ab_shift)
{
    if (al_row == 0)
        return;
    if (ab_ctrl) {
        idw_client->SelectRow(al_row, !idw_client->IsSelected(al_row));
    } else if (ab_shift) {
        // The range is added to the selection; the anchor stays where it was.
        if (il_start == 0) {
            idw_client->SelectRow(al_row, true);
        } else {
            const long first = std::min(il_start, al_row);
            const long last = std::max(il_start, al_row);
            for (long row = first; row <= last; ++row)
                idw_client->SelectRow(row, true);
        }
    } else {
        of_select_single(al_row);
    }
}

long n_svc_dw_selectrow::clicked(int, int, long row, const dw::DwObjectRef &)
{
    if (is_style == u"single"_s)
        of_select_single(row);
    else if (is_style == u"extend"_s)
        of_select_extend(row, rt::KeyDown(vkControl), rt::KeyDown(vkShift));
    return 0;
}

long n_svc_dw_selectrow::doubleclicked(int, int, long row, const dw::DwObjectRef &)
{
    if (!is_style.isEmpty() && row > 0) {
        idw_client->SelectRow(0, false);
        idw_client->SelectRow(row, true);
    }
    return 0;
}

long n_svc_dw_selectrow::rowfocuschanged(long currentrow)
{
    // Row 0 is no row: selecting it would select every row, so focus that goes nowhere
    // only clears.
    const auto selectOnly = [this](long row) {
        idw_client->SelectRow(0, false);
        if (row > 0)
            idw_client->SelectRow(row, true);
    };
    if (is_style == u"single"_s) {
        selectOnly(currentrow);
    } else if (is_style == u"extend"_s) {
        if (rt::KeyDown(vkControl)) {
            // Ctrl moves the focus without touching the selection.
        } else if (rt::KeyDown(vkShift)) {
            if (currentrow > 0)
                idw_client->SelectRow(currentrow, true);
        } else {
            selectOnly(currentrow);
        }
    }
    il_start = currentrow;
    return 0;
}

long n_svc_dw_selectrow::selectall()
{
    // The anchor and the current row stay: a Shift+click after it still ranges from the
    // last plain click.
    if (is_style == u"extend"_s && idw_client->RowCount() > 0)
        idw_client->SelectRow(0, true);
    return 0;
}
