#include "contrast.h"

#include <algorithm>
#include <cmath>

namespace gridstyle {
namespace {

double channel(double value)
{
    // sRGB to linear light.
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor &first, const QColor &second)
{
    const double a = luminance(first) + 0.05;
    const double b = luminance(second) + 0.05;
    return std::max(a, b) / std::min(a, b);
}

QColor readableOn(const QColor &background, const QColor &preferred, double minimum, const QColor &dark)
{
    if (!background.isValid() || contrastRatio(background, preferred) >= minimum)
        return preferred;
    const QColor white(255, 255, 255);
    return contrastRatio(background, white) >= contrastRatio(background, dark) ? white : dark;
}

} // namespace gridstyle
