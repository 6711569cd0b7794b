#pragma once

#include <QRectF>

namespace dw::units {

// Layout units of the host runtime: at 96 dpi one pixel is 32/7 units across and 4
// units down; other resolutions scale with the screen's (or the device's) dpi. The same
// conversion serves drawing, hit testing, printing and width fitting.
[[nodiscard]] double toPixelsX(double units, double dpiX = 96.0);
[[nodiscard]] double toPixelsY(double units, double dpiY = 96.0);
[[nodiscard]] double toUnitsX(double pixels, double dpiX = 96.0);
[[nodiscard]] double toUnitsY(double pixels, double dpiY = 96.0);
[[nodiscard]] QRectF toPixels(const QRectF &unitRect, double dpiX = 96.0, double dpiY = 96.0);
// A font height as layouts write it: negative is points ("-10" is 10 pt).
[[nodiscard]] double fontPoints(int layoutHeight);

} // namespace dw::units
