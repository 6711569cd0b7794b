// The grid's zoom: the view lays the layout out at the control's resolution times the
// zoom, so painting, hit testing, tool tips and column dragging follow it without knowing
// of it; what scrolled out of view to the left stays out of view.

#include "datawindowcontrol_p.h"

#include "zoomsteps.h"

#include <cmath>

namespace dw {

double DataWindowControl::zoom() const
{
    return d->zoom;
}

void DataWindowControl::setZoom(double requested)
{
    const double wanted = dw::zoom::clamped(requested);
    if (std::abs(wanted - d->zoom) < 1e-9)
        return;
    const double grown = wanted / d->zoom;
    const std::array<int, 2> offsets{d->view.horizontalOffset(0), d->view.horizontalOffset(1)};
    d->zoom = wanted;
    d->refresh(true);
    if (d->redraw && !d->preview) {
        for (int pane = 0; pane < 2; ++pane)
            d->view.setHorizontalOffset(pane, int(std::lround(offsets[size_t(pane)] * grown)));
        d->syncScrollBars();
    }
    zoomchanged();
}

double DataWindowControl::paintDpiX() const
{
    return logicalDpiX() * d->zoom;
}

double DataWindowControl::paintDpiY() const
{
    return logicalDpiY() * d->zoom;
}

long DataWindowControl::zoomchanged()
{
    return 0;
}

} // namespace dw
