#include "wrappedtext.h"

#include "objectpainter.h"
#include "units.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace dw {
namespace {

// Lines are broken at this resolution whatever the device: fine enough that the widths
// it measures are the font's own, not rounded to a screen's pixels.
constexpr double kMeasureDpi = 1200.0;

double paddingUnits()
{
    return units::toUnitsX(textPadding(96.0));
}

QFont measuringFont(const ObjectStyle &style)
{
    return layoutFont(style.fontSpec, kMeasureDpi);
}

// Line breaks the value carries ("\r\n" or "\n") are kept as breaks of the paragraph.
QString withLineSeparators(const QString &text)
{
    QString out = text;
    out.remove(QLatin1Char('\r'));
    out.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return out;
}

} // namespace

bool fitsOneLine(const QString &text, const ObjectStyle &style)
{
    if (text.contains(QLatin1Char('\n')))
        return false;
    const double room = style.frame.width() - 2 * paddingUnits();
    const double width
        = units::toUnitsX(QFontMetricsF(measuringFont(style)).horizontalAdvance(text), kMeasureDpi);
    return width <= room;
}

WrappedText wrapText(const QString &text, const ObjectStyle &style)
{
    WrappedText wrapped;
    wrapped.text = withLineSeparators(text);
    const QFont font = measuringFont(style);
    const QFontMetricsF metrics(font);
    wrapped.lineHeight = units::toUnitsY(metrics.ascent() + metrics.descent(), kMeasureDpi);
    wrapped.lineStep = units::toUnitsY(metrics.lineSpacing(), kMeasureDpi);
    wrapped.ascent = units::toUnitsY(metrics.ascent(), kMeasureDpi);
    // The first line stands where a value of one line stands: centred in the frame.
    const double air = std::max(0.0, (style.frame.height() - wrapped.lineHeight) / 2);

    const double width
        = units::toPixelsX(std::max(1.0, style.frame.width() - 2 * paddingUnits()), kMeasureDpi);
    QTextLayout layout(wrapped.text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const double top = air + double(wrapped.lines.size()) * wrapped.lineStep;
        wrapped.lines.push_back({line.textStart(), line.textLength(), top});
    }
    layout.endLayout();
    const double ink = wrapped.lines.empty()
        ? 0.0
        : double(wrapped.lines.size() - 1) * wrapped.lineStep + wrapped.lineHeight;
    wrapped.height = 2 * air + ink;
    return wrapped;
}

void paintWrapped(QPainter &painter, const WrappedText &wrapped, const ObjectStyle &style,
                  const QRectF &frame, double frameTop, double from, double to, double dpiX, double dpiY)
{
    if (!style.colour.isValid())
        return;
    const double pad = textPadding(dpiX);
    const QRectF inner = frame.adjusted(pad, 0, -pad, 0);
    const QFontMetricsF metrics(style.font);
    painter.save();
    painter.setFont(style.font);
    painter.setPen(style.colour);
    for (const WrappedText::Line &line : wrapped.lines) {
        const double top = frameTop + line.top;
        if (top < from - 1e-6 || top + wrapped.lineHeight > to + 1e-6)
            continue;
        QString text = wrapped.text.mid(line.start, line.length);
        while (!text.isEmpty() && (text.back().isSpace() || text.back() == QChar::LineSeparator))
            text.chop(1);
        if (text.isEmpty())
            continue;
        double x = inner.left();
        if (style.alignment & (Qt::AlignRight | Qt::AlignHCenter)) {
            const double spare = inner.width() - metrics.horizontalAdvance(text);
            x += style.alignment & Qt::AlignRight ? spare : spare / 2;
        }
        const double baseline = frame.top() + units::toPixelsY(line.top + wrapped.ascent, dpiY);
        painter.drawText(QPointF(std::round(x), std::round(baseline)), text);
    }
    painter.restore();
}

} // namespace dw
