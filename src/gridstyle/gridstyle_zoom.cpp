// The zoom the user gives the grid, remembered per user and per data window object beside
// the sort, and what follows it: the sorted column's stripe and the fitted widths.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "zoomsteps.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString zoomEntry = u"zoom"_s;

} // namespace

long n_svc_dw_gridstyle::zoomchanged()
{
    if (!idw_client || idw_client->dataobject().isEmpty())
        return 0;
    of_setreg(zoomEntry, QString::number(idw_client->zoom(), 'g', 6));
    // The stripe reaches the bottom of what the control shows, which the zoom changes as
    // a resize does; a text measured at one size may need a pixel more at another.
    resize(0, idw_client->Width(), idw_client->Height());
    for (const QString &col : std::as_const(is_colname))
        of_resizewidth(col);
    return 0;
}

void n_svc_dw_gridstyle::of_restorezoom()
{
    const QString stored = storedValue(zoomEntry, QString()).trimmed();
    if (stored.isEmpty())
        return;
    bool ok = false;
    const double zoom = stored.toDouble(&ok); // "1.5", whatever the user's locale
    if (ok && std::isfinite(zoom) && zoom >= dw::zoom::kSmallest && zoom <= dw::zoom::kLargest)
        idw_client->setZoom(zoom);
}
