#include "units.h"

#include <cmath>

namespace dw::units {

double toPixelsX(double units, double dpiX)
{
    return units * 7.0 / 32.0 * dpiX / 96.0;
}
double toPixelsY(double units, double dpiY)
{
    return units / 4.0 * dpiY / 96.0;
}
double toUnitsX(double pixels, double dpiX)
{
    return pixels * 32.0 / 7.0 * 96.0 / dpiX;
}
double toUnitsY(double pixels, double dpiY)
{
    return pixels * 4.0 * 96.0 / dpiY;
}

QRectF toPixels(const QRectF &r, double dpiX, double dpiY)
{
    return {toPixelsX(r.x(), dpiX), toPixelsY(r.y(), dpiY), toPixelsX(r.width(), dpiX),
            toPixelsY(r.height(), dpiY)};
}

double fontPoints(int layoutHeight)
{
    // Positive heights are in layout units (4 per pixel at 96 dpi; 72 points per 96 px).
    return layoutHeight < 0 ? double(-layoutHeight) : layoutHeight / 4.0 * 72.0 / 96.0;
}

} // namespace dw::units
