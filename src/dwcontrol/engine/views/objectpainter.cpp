#include "views/objectpainter.h"

#include "views/fonts.h"
#include "views/objectgeometry.h"
#include "views/picture.h"
#include "views/units.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>

namespace dw {

namespace {

constexpr qint64 kTransparent = 536870912;   // 0x20000000
constexpr qint64 kWindowText = 33554432;     // 0x02000000
constexpr qint64 kButtonFace = 67108864;     // 0x04000000
constexpr qint64 kSystemColour = 134217728;  // 0x08000000 + index
constexpr qint64 kWindowBackground = 1073741824; // 0x40000000

QPalette currentPalette()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::palette()
                                                                          : QPalette();
}

// Where the geometry of one band lands on the device.
struct Mapper
{
    QPointF origin;
    double dpiX;
    double dpiY;

    // Edges are rounded to whole device pixels so neighbouring cells meet without seams.
    [[nodiscard]] QRectF rect(const QRectF &units) const
    {
        const double left = std::round(origin.x() + units::toPixelsX(units.left(), dpiX));
        const double top = std::round(origin.y() + units::toPixelsY(units.top(), dpiY));
        const double right = std::round(origin.x() + units::toPixelsX(units.right(), dpiX));
        const double bottom = std::round(origin.y() + units::toPixelsY(units.bottom(), dpiY));
        return {left, top, right - left, bottom - top};
    }
    [[nodiscard]] QPointF point(double x, double y) const
    {
        return {origin.x() + units::toPixelsX(x, dpiX), origin.y() + units::toPixelsY(y, dpiY)};
    }
};

QColor colourAttribute(const ObjectAttributes &a, const QString &path, const QColor &fallback)
{
    const QString text = a.text(path).trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok)
        return fallback;
    return layoutColor(number);
}

LayoutFontSpec fontOf(const ObjectAttributes &a)
{
    LayoutFontSpec spec;
    spec.face = a.text(QStringLiteral("font.face"));
    spec.height = int(a.number(QStringLiteral("font.height"), -10));
    spec.weight = int(a.number(QStringLiteral("font.weight"), 400));
    spec.italic = a.flag(QStringLiteral("font.italic"));
    spec.underline = a.flag(QStringLiteral("font.underline"));
    spec.strikeout = a.flag(QStringLiteral("font.strikethrough"));
    return spec;
}

Qt::Alignment horizontalAlignment(const ObjectAttributes &a)
{
    switch (int(a.number(QStringLiteral("alignment"), 0))) {
    case 1: return Qt::AlignRight;
    case 2: return Qt::AlignHCenter;
    case 3: return Qt::AlignJustify;
    default: return Qt::AlignLeft;
    }
}

// The background of texts, columns and computes: "0" opaque, "1" transparent; without
// a mode, a colour given is painted.
QColor backgroundOf(const ObjectAttributes &a)
{
    const QString mode = a.text(QStringLiteral("background.mode")).trimmed();
    if (mode == u"1")
        return {};
    return colourAttribute(a, QStringLiteral("background.color"), QColor());
}

void paintBorder(QPainter &p, const QRectF &r, int border, const QPalette &palette)
{
    if (border <= 0 || r.isEmpty())
        return;
    const QRectF inner = r.adjusted(0, 0, -1, -1);
    p.save();
    p.setBrush(Qt::NoBrush);
    switch (border) {
    case 1: // shadow box
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(inner);
        p.setPen(QPen(palette.color(QPalette::Dark), 1));
        p.drawLine(inner.bottomLeft() + QPointF(2, 1), inner.bottomRight() + QPointF(1, 1));
        p.drawLine(inner.topRight() + QPointF(1, 2), inner.bottomRight() + QPointF(1, 1));
        break;
    case 2: // box
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(inner);
        break;
    case 4: // underline
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(inner.bottomLeft(), inner.bottomRight());
        break;
    case 3: // resizable: a raised frame
    case 5: // lowered
    case 6: { // raised
        const bool lowered = border == 5;
        const QColor topLeft = palette.color(lowered ? QPalette::Dark : QPalette::Light);
        const QColor bottomRight = palette.color(lowered ? QPalette::Light : QPalette::Dark);
        p.setPen(QPen(topLeft, 1));
        p.drawLine(inner.topLeft(), inner.topRight());
        p.drawLine(inner.topLeft(), inner.bottomLeft());
        p.setPen(QPen(bottomRight, 1));
        p.drawLine(inner.bottomLeft(), inner.bottomRight());
        p.drawLine(inner.topRight(), inner.bottomRight());
        break;
    }
    default:
        break;
    }
    p.restore();
}

// The symbol font's arrow glyphs are painted as shapes, so a sort indicator shows the
// same on every system whether or not the font is installed.
std::optional<QPolygonF> marlettGlyph(QChar glyph, const QRectF &cell)
{
    const double size = std::max(3.0, std::round(cell.height() * 0.54));
    const double half = size / 2.0;
    const double depth = std::max(2.0, std::round(half));
    const QPointF c = cell.center();
    switch (glyph.unicode()) {
    case 't': // up triangle
    case '5':
        return QPolygonF({QPointF(c.x() - half, c.y() + depth / 2), QPointF(c.x() + half, c.y() + depth / 2),
                          QPointF(c.x(), c.y() - depth / 2)});
    case 'u': // down triangle
    case '6':
        return QPolygonF({QPointF(c.x() - half, c.y() - depth / 2), QPointF(c.x() + half, c.y() - depth / 2),
                          QPointF(c.x(), c.y() + depth / 2)});
    case '3': // left
        return QPolygonF({QPointF(c.x() + depth / 2, c.y() - half), QPointF(c.x() + depth / 2, c.y() + half),
                          QPointF(c.x() - depth / 2, c.y())});
    case '4': // right
        return QPolygonF({QPointF(c.x() - depth / 2, c.y() - half), QPointF(c.x() - depth / 2, c.y() + half),
                          QPointF(c.x() + depth / 2, c.y())});
    default:
        return std::nullopt;
    }
}

void paintMarlett(QPainter &p, const QRectF &r, const QString &text, const QFont &font,
                  const QColor &colour, Qt::Alignment align)
{
    // Each glyph takes a square cell one em wide, vertically centred in the frame.
    const double em = font.pixelSize() > 0 ? font.pixelSize() : r.height();
    const double total = em * text.size();
    double x = r.left();
    if (align & Qt::AlignRight)
        x = r.right() - total;
    else if (align & Qt::AlignHCenter)
        x = r.left() + (r.width() - total) / 2;
    const double y = r.top() + (r.height() - em) / 2;
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const QChar ch : text) {
        const QRectF cell(x, y, em, em);
        if (const auto shape = marlettGlyph(ch, cell)) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawPolygon(*shape);
        } else {
            p.setFont(font);
            p.setPen(colour);
            p.drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, QString(ch));
        }
        x += em;
    }
    p.restore();
}

void paintText(QPainter &p, const QRectF &r, const QString &text, const ObjectAttributes &a,
               const Mapper &m)
{
    if (text.isEmpty() || r.isEmpty())
        return;
    const LayoutFontSpec spec = fontOf(a);
    const QFont font = layoutFont(spec, m.dpiY);
    const QColor colour = colourAttribute(a, QStringLiteral("color"), layoutColor(kWindowText));
    if (!colour.isValid())
        return;
    const Qt::Alignment align = horizontalAlignment(a);
    if (isMarlett(spec.face)) {
        paintMarlett(p, r, text, font, colour, align);
        return;
    }
    // One pixel of air at the side the text is aligned to, as grids draw their cells.
    const double pad = std::max(1.0, std::round(m.dpiX / 96.0));
    const QRectF inner = r.adjusted(pad, 0, -pad, 0);
    const bool multiLine = text.contains(QLatin1Char('\n'));
    int flags = int(align);
    flags |= multiLine ? (Qt::AlignTop | Qt::TextWordWrap) : (Qt::AlignVCenter | Qt::TextSingleLine);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(inner, flags, multiLine ? QString(text).remove(QLatin1Char('\r')) : text);
}

void paintPicture(QPainter &p, const QRectF &r, const QString &name)
{
    const QImage image = loadPicture(name);
    if (image.isNull() || r.isEmpty())
        return;
    // Scaled into the frame keeping its proportions, centred.
    QSizeF size = image.size();
    size.scale(r.size(), Qt::KeepAspectRatio);
    const QRectF target(r.left() + (r.width() - size.width()) / 2,
                        r.top() + (r.height() - size.height()) / 2, size.width(), size.height());
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(target, image);
    p.restore();
}

Qt::PenStyle penStyle(int style)
{
    switch (style) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    case 5: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

QPen penOf(const ObjectAttributes &a, const Mapper &m)
{
    const QColor colour = colourAttribute(a, QStringLiteral("pen.color"), layoutColor(kWindowText));
    const double width = std::max(1.0, std::round(units::toPixelsX(a.number(QStringLiteral("pen.width"), 1), m.dpiX)));
    if (!colour.isValid())
        return Qt::NoPen;
    QPen pen(colour, width, penStyle(int(a.number(QStringLiteral("pen.style"), 0))));
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QString valueText(const ObjectAttributes &a)
{
    const DataWindow &dw = a.dataWindow();
    const LayoutObject &object = a.object();
    const QString type = objectType(object);
    if (type == u"column") {
        int column = int(a.number(QStringLiteral("id"), 0));
        if (column <= 0)
            column = dw.columnNumber(object.name);
        return column > 0 && a.row() > 0 ? dw.displayText(a.row(), column) : QString();
    }
    if (type == u"compute") {
        QString expression = a.text(QStringLiteral("expression"));
        expression.replace(QLatin1Char('~'), QStringLiteral("~~")).replace(QLatin1Char('\''), QStringLiteral("~'"));
        return dw.Describe(QStringLiteral("Evaluate('%1', %2)").arg(expression).arg(std::max(1L, a.row())));
    }
    return a.text(QStringLiteral("text"));
}

void paintObject(QPainter &p, const ObjectAttributes &a, const Mapper &m, const QPalette &palette)
{
    const QString type = objectType(a.object());
    if (type == u"line") {
        const QPen pen = penOf(a, m);
        if (pen.style() == Qt::NoPen)
            return;
        p.setPen(pen);
        p.drawLine(m.point(a.number(QStringLiteral("x1")), a.number(QStringLiteral("y1"))),
                   m.point(a.number(QStringLiteral("x2")), a.number(QStringLiteral("y2"))));
        return;
    }

    const QRectF r = m.rect(objectFrame(a));
    if (r.isEmpty())
        return;

    if (type == u"rectangle" || type == u"ellipse" || type == u"roundrectangle") {
        // Brush hatch 7 is hollow; any other hatch fills with the brush colour.
        const bool hollow = int(a.number(QStringLiteral("brush.hatch"), 6)) == 7;
        const QColor fill = hollow ? QColor() : colourAttribute(a, QStringLiteral("brush.color"), QColor());
        p.save();
        p.setBrush(fill.isValid() ? QBrush(fill) : QBrush(Qt::NoBrush));
        p.setPen(penOf(a, m));
        const QRectF shape = r.adjusted(0, 0, -1, -1);
        if (type == u"ellipse") {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.drawEllipse(shape);
        } else if (type == u"roundrectangle") {
            p.setRenderHint(QPainter::Antialiasing, true);
            const double rx = units::toPixelsX(a.number(QStringLiteral("ellipsewidth"), 36), m.dpiX);
            const double ry = units::toPixelsY(a.number(QStringLiteral("ellipseheight"), 32), m.dpiY);
            p.drawRoundedRect(shape, rx / 2, ry / 2);
        } else {
            p.drawRect(shape);
        }
        p.restore();
        return;
    }
    if (type == u"picture") {
        paintPicture(p, r, a.text(QStringLiteral("filename")));
        paintBorder(p, r, int(a.number(QStringLiteral("border"), 0)), palette);
        return;
    }

    const QColor background = backgroundOf(a);
    if (background.isValid())
        p.fillRect(r, background);
    const QString value = valueText(a);
    if (type == u"column" && a.flag(QStringLiteral("bitmapname")))
        paintPicture(p, r, value);
    else
        paintText(p, r, value, a, m);
    paintBorder(p, r, int(a.number(QStringLiteral("border"), 0)), palette);
}

} // namespace

QColor systemColor(int index)
{
    const QPalette palette = currentPalette();
    switch (index) {
    case 0: return palette.color(QPalette::Button);           // scroll bar
    case 1: return palette.color(QPalette::Dark);             // desktop
    case 2: return palette.color(QPalette::Highlight);        // active caption
    case 3: return palette.color(QPalette::Mid);              // inactive caption
    case 4: return palette.color(QPalette::Window);           // menu
    case 5: return palette.color(QPalette::Base);             // window
    case 6: return palette.color(QPalette::Shadow);           // window frame
    case 7: return palette.color(QPalette::WindowText);       // menu text
    case 8: return palette.color(QPalette::Text);             // window text
    case 9: return palette.color(QPalette::HighlightedText);  // caption text
    case 10:
    case 11: return palette.color(QPalette::Button);          // borders
    case 12: return palette.color(QPalette::Mid);             // application workspace
    case 13: return palette.color(QPalette::Highlight);
    case 14: return palette.color(QPalette::HighlightedText);
    case 15: return palette.color(QPalette::Button);          // button face
    case 16: return palette.color(QPalette::Dark);            // button shadow
    case 17: return palette.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18: return palette.color(QPalette::ButtonText);
    case 19: return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 20: return palette.color(QPalette::Light);           // button highlight
    case 21: return palette.color(QPalette::Shadow);          // 3D dark shadow
    case 22: return palette.color(QPalette::Midlight);        // 3D light
    case 23: return palette.color(QPalette::ToolTipText);
    case 24: return palette.color(QPalette::ToolTipBase);
    case 26: return palette.color(QPalette::Link);            // hot-tracked item
    case 27:
    case 29: return palette.color(QPalette::Highlight);       // gradient caption, menu highlight
    case 28: return palette.color(QPalette::Mid);
    case 30: return palette.color(QPalette::Window);          // menu bar
    default: return palette.color(QPalette::Window);
    }
}

QColor layoutColor(qint64 number)
{
    if (number == kTransparent)
        return {};
    if (number == kWindowText)
        return currentPalette().color(QPalette::WindowText);
    if (number == kButtonFace)
        return currentPalette().color(QPalette::Button);
    if (number == kWindowBackground)
        return currentPalette().color(QPalette::Base);
    if (number >= kSystemColour && number < kSystemColour + 256)
        return systemColor(int(number - kSystemColour));
    if (number < 0 || number > 0xFFFFFF)
        return {};
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

void paintBand(const DataWindow &dw, Band band, long row, const PaintTarget &target)
{
    if (!target.painter)
        return;
    QPainter &p = *target.painter;
    const Mapper mapper{target.origin, target.dpiX, target.dpiY};
    const QPalette palette = currentPalette();
    p.save();
    for (const LayoutObject &object : dw.objects()) {
        if (!isDrawable(object) || dw.bandOf(object) != band)
            continue;
        const ObjectAttributes attributes(dw, object, row);
        if (!isVisible(attributes))
            continue;
        paintObject(p, attributes, mapper, palette);
    }
    p.restore();
}

} // namespace dw
