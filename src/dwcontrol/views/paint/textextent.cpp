#include "textextent.h"

#include "objectgeometry.h"
#include "units.h"

#include <QFontMetricsF>

#include <cmath>

namespace dw {

namespace {

constexpr double kUnread = -1.0;
constexpr double kMissing = -2.0;

const LayoutObject *textObject(const DataWindow &dw, const QString &name)
{
    for (const LayoutObject &object : dw.objects()) {
        if (object.name.compare(name, Qt::CaseInsensitive) != 0 || !isDrawable(object))
            continue;
        const QString type = objectType(object);
        return type == u"text" || type == u"column" || type == u"compute" ? &object : nullptr;
    }
    return nullptr;
}

} // namespace

TextExtent::TextExtent(const DataWindow &dw, const QString &objectName, double dpiX, double dpiY)
    : m_dw(dw)
    , m_object(textObject(dw, objectName))
    , m_dpiX(dpiX)
{
    if (m_object)
        m_style = resolveStyle(ObjectAttributes(dw, *m_object, 0), dpiX, dpiY);
}

double TextExtent::pixels(const QString &text) const
{
    if (!m_object)
        return 0;
    double widest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        widest = std::max(widest, lineWidth(line.endsWith(u'\r') ? line.chopped(1) : line));
    return widest;
}

double TextExtent::objectPixels() const
{
    return m_object ? pixels(m_dw.objectText(*m_object, 0)) : 0;
}

double TextExtent::lineWidth(QStringView line) const
{
    const QRawFont &raw = m_style.rawFont;
    const bool glyphRun = raw.isValid() && !m_style.fontSpec.underline && !m_style.fontSpec.strikeout;
    if (glyphRun) {
        // The painter's fast path: each glyph's own advance, no kerning, no shaping.
        if (m_advances.empty())
            m_advances.assign(0x10000, kUnread);
        double sum = 0;
        bool whole = true;
        for (const QChar ch : line) {
            double &advance = m_advances[ch.unicode()];
            if (advance == kUnread) {
                const QList<quint32> glyph = raw.glyphIndexesForString(QString(ch));
                advance = ch.isSurrogate() || glyph.size() != 1 || glyph.front() == 0
                    ? kMissing
                    : raw.advancesForGlyphIndexes(glyph).front().x();
            }
            if (advance == kMissing) {
                whole = false;
                break;
            }
            sum += advance;
        }
        if (whole)
            return sum;
    }
    // Characters the face lacks: the painter lays the line out with the fallback fonts.
    return QFontMetricsF(m_style.font).horizontalAdvance(line.toString());
}

int TextExtent::unitsToShow(double pixels) const
{
    const double needed = std::ceil(pixels - 1e-6) + 2 * textPadding(m_dpiX) + 1;
    return int(std::ceil(units::toUnitsX(needed, m_dpiX) - 1e-6));
}

} // namespace dw
