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

bool TextExtent::glyphRun() const
{
    return m_style.rawFont.isValid() && !m_style.fontSpec.underline && !m_style.fontSpec.strikeout;
}

double TextExtent::advanceOf(char16_t ch) const
{
    if (m_advances.empty())
        m_advances.assign(0x10000, kUnread);
    double &advance = m_advances[ch];
    if (advance == kUnread) {
        const QChar c(ch);
        const QList<quint32> glyph = m_style.rawFont.glyphIndexesForString(QString(c));
        advance = c.isSurrogate() || glyph.size() != 1 || glyph.front() == 0
            ? kMissing
            : m_style.rawFont.advancesForGlyphIndexes(glyph).front().x();
    }
    return advance;
}

double TextExtent::lineWidth(QStringView line) const
{
    if (glyphRun()) {
        // The painter's fast path: each glyph's own advance, no kerning, no shaping.
        double sum = 0;
        bool whole = true;
        for (const QChar ch : line) {
            const double advance = advanceOf(ch.unicode());
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

double TextExtent::pixelsUtf8(std::string_view text) const
{
    if (!m_object)
        return 0;
    // The glyph path over the bytes themselves; a line ends at "\n" (a "\r" before it takes
    // no room). Anything else (characters outside the first plane, bytes that are not UTF-8,
    // glyphs the face lacks) is measured as pixels() measures it.
    if (glyphRun()) {
        double widest = 0;
        double line = 0;
        const auto *at = reinterpret_cast<const unsigned char *>(text.data());
        const auto *end = at + text.size();
        bool whole = true;
        while (at < end && whole) {
            char32_t ch = *at;
            int length = 1;
            if (ch >= 0x80) {
                length = ch >= 0xF0 ? 4 : ch >= 0xE0 ? 3 : ch >= 0xC0 ? 2 : 0;
                if (length < 2 || length > 3 || end - at < length) {
                    whole = false;
                    break;
                }
                ch &= length == 2 ? 0x1F : 0x0F;
                for (int i = 1; i < length; ++i) {
                    if ((at[i] & 0xC0) != 0x80)
                        whole = false;
                    ch = (ch << 6) | (at[i] & 0x3F);
                }
                // Overlong forms and a byte order mark decode otherwise.
                if (ch < (length == 2 ? 0x80U : 0x800U) || ch == 0xFEFF)
                    whole = false;
                if (!whole)
                    break;
            }
            at += length;
            if (ch == u'\n') {
                widest = std::max(widest, line);
                line = 0;
                continue;
            }
            if (ch == u'\r' && (at == end || *at == '\n'))
                continue;
            const double advance = advanceOf(char16_t(ch));
            if (advance == kMissing)
                whole = false;
            line += advance;
        }
        if (whole)
            return std::max(widest, line);
    }
    return pixels(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

int TextExtent::unitsToShow(double pixels) const
{
    const double needed = std::ceil(pixels - 1e-6) + 2 * textPadding(m_dpiX) + 1;
    return int(std::ceil(units::toUnitsX(needed, m_dpiX) - 1e-6));
}

} // namespace dw
