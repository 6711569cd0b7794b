#include "objectpainter.h"

#include "bandpainter.h"
#include "bandshape.h"
#include "objectgeometry.h"
#include "picture.h"
#include "units.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <optional>

namespace dw {

namespace {

constexpr qint64 kWindowText = 33554432;

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
    [[nodiscard]] QPointF point(QPointF units) const
    {
        return {origin.x() + units::toPixelsX(units.x(), dpiX),
                origin.y() + units::toPixelsY(units.y(), dpiY)};
    }
};

// --- reading attributes ---------------------------------------------------------------

QColor colourAttribute(const ObjectAttributes &a, const QString &path, const QColor &fallback)
{
    const QString text = a.text(path).trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok ? layoutColor(number) : fallback;
}

LayoutFontSpec fontOf(const ObjectAttributes &a)
{
    LayoutFontSpec wanted;
    wanted.face = a.text(QStringLiteral("font.face"));
    wanted.height = int(a.number(QStringLiteral("font.height"), -10));
    wanted.weight = int(a.number(QStringLiteral("font.weight"), 400));
    wanted.italic = a.flag(QStringLiteral("font.italic"));
    wanted.underline = a.flag(QStringLiteral("font.underline"));
    wanted.strikeout = a.flag(QStringLiteral("font.strikethrough"));
    return wanted;
}

Qt::Alignment horizontalAlignment(const ObjectAttributes &a)
{
    switch (int(a.number(QStringLiteral("alignment"), 0))) {
    case 1:
        return Qt::AlignRight;
    case 2:
        return Qt::AlignHCenter;
    case 3:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

// The background of texts, columns and computes: "0" opaque, "1" transparent; without
// a mode, a colour given is painted.
QColor backgroundOf(const ObjectAttributes &a)
{
    if (a.text(QStringLiteral("background.mode")).trimmed() == u"1")
        return {};
    return colourAttribute(a, QStringLiteral("background.color"), QColor());
}

Qt::PenStyle penStyle(int style)
{
    switch (style) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    case 5:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

QPen penOf(const ObjectAttributes &a, double dpiX)
{
    const QColor colour = colourAttribute(a, QStringLiteral("pen.color"), layoutColor(kWindowText));
    if (!colour.isValid())
        return Qt::NoPen;
    const double width
        = std::max(1.0, std::round(units::toPixelsX(a.number(QStringLiteral("pen.width"), 1), dpiX)));
    QPen pen(colour, width, penStyle(int(a.number(QStringLiteral("pen.style"), 0))));
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// Whether an attribute that painting reads is an expression (tool tips are read when
// they show, not when the cell paints).
bool hasExpression(const LayoutObject &object)
{
    return std::any_of(object.attributes.cbegin(), object.attributes.cend(), [](const auto &attribute) {
        return attribute.second.contains(QLatin1Char('\t')) && !attribute.first.startsWith(u"tooltip.");
    });
}

// --- drawing --------------------------------------------------------------------------

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
        p.setPen(QPen(palette.color(lowered ? QPalette::Dark : QPalette::Light), 1));
        p.drawLine(inner.topLeft(), inner.topRight());
        p.drawLine(inner.topLeft(), inner.bottomLeft());
        p.setPen(QPen(palette.color(lowered ? QPalette::Light : QPalette::Dark), 1));
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
    const double half = std::max(3.0, std::round(cell.height() * 0.54)) / 2.0;
    const double depth = std::max(2.0, std::round(half));
    const QPointF c = cell.center();
    switch (glyph.unicode()) {
    case 't': // up
    case '5':
        return QPolygonF({QPointF(c.x() - half, c.y() + depth / 2), QPointF(c.x() + half, c.y() + depth / 2),
                          QPointF(c.x(), c.y() - depth / 2)});
    case 'u': // down
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

void paintMarlett(QPainter &p, const QRectF &r, const QString &text, const ObjectStyle &style)
{
    // Each glyph takes a square cell one em wide, vertically centred in the frame.
    const double em = style.font.pixelSize() > 0 ? style.font.pixelSize() : r.height();
    const double total = em * double(text.size());
    double x = r.left();
    if (style.alignment & Qt::AlignRight)
        x = r.right() - total;
    else if (style.alignment & Qt::AlignHCenter)
        x = r.left() + (r.width() - total) / 2;
    const double y = r.top() + (r.height() - em) / 2;
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const QChar ch : text) {
        const QRectF cell(x, y, em, em);
        if (const auto shape = marlettGlyph(ch, cell)) {
            p.setPen(Qt::NoPen);
            p.setBrush(style.colour);
            p.drawPolygon(*shape);
        } else {
            p.setFont(style.font);
            p.setPen(style.colour);
            p.drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, QString(ch));
        }
        x += em;
    }
    p.restore();
}

// A label designed to just fit at the screen's resolution can come out a few pixels wider
// at another (glyph widths are rounded per size): on pages, a text object up to this
// share wider than its frame is drawn whole instead of losing its last letters. Other
// values than growing ones, and labels on screen, keep to their frames.
constexpr double kLabelSlack = 1.15;

// A growing column's value is shown on one line only when it fits its frame at the
// resolution lines are measured at (see wrapText); a screen's font, rounded to whole
// pixels, can make it a little wider, and it is drawn whole all the same.
double labelSlack(const ObjectStyle &style, double dpiX)
{
    return (style.type == u"text" && std::abs(dpiX - 96.0) > 0.5) || style.grows ? kLabelSlack : 1.0;
}

bool isGlyphRunDevice(const QPainter &p)
{
    // Printers and PDF files take glyph runs as real text (it stays selectable), at a
    // fraction of the cost of laying the text out per cell on a long list.
    const int type = p.device() ? p.device()->devType() : 0;
    return type == QInternal::Image || type == QInternal::Pixmap || type == QInternal::Widget
        || type == QInternal::Printer || (p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Pdf);
}

// One-line text is drawn as a glyph run taken straight from the face's character map:
// no shaping per cell, which is most of what makes a full grid paint (or a long list
// printed) cheap. Glyphs that would only show in part at the end are left out. Returns
// false for what needs the full text path: other devices, decorations, characters the
// face lacks (font fallback), overflowing text aligned right or centred.
bool paintGlyphRun(QPainter &p, const QRectF &box, const QString &text, const ObjectStyle &style,
                   double slack)
{
    if (style.fontSpec.underline || style.fontSpec.strikeout || !isGlyphRunDevice(p))
        return false;
    const QRawFont &raw = style.rawFont;
    if (!raw.isValid())
        return false;
    // No glyph is narrower than a pixel: characters past that many cannot show.
    const qsizetype limit = qsizetype(box.width()) + 2;
    const bool cut = text.size() > limit;
    if (cut && !(style.alignment & Qt::AlignLeft))
        return false;
    QList<quint32> glyphs = raw.glyphIndexesForString(cut ? text.left(limit) : text);
    if (glyphs.contains(0u))
        return false;
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
    double whole = 0;
    for (const QPointF &advance : advances)
        whole += advance.x();
    const double room = whole <= box.width() * slack ? whole : box.width();
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    double x = 0;
    for (const QPointF &advance : advances) {
        if (x + advance.x() > room + 0.01)
            break;
        positions.append(QPointF(x, 0));
        x += advance.x();
    }
    if (positions.isEmpty())
        return true;
    glyphs.resize(positions.size());
    double left = box.left();
    if (style.alignment & Qt::AlignRight)
        left = box.right() - x;
    else if (style.alignment & Qt::AlignHCenter)
        left = box.left() + (box.width() - x) / 2;
    const double baseline = std::round(box.center().y() + (raw.ascent() - raw.descent()) / 2);
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    p.setPen(style.colour);
    p.drawGlyphRun(QPointF(std::round(left), baseline), run);
    return true;
}

void paintText(QPainter &p, const QRectF &r, const QString &text, const ObjectStyle &style, const Mapper &m)
{
    if (text.isEmpty() || r.isEmpty() || !style.colour.isValid())
        return;
    if (isMarlett(style.fontSpec.face)) {
        paintMarlett(p, r, text, style);
        return;
    }
    const double pad = textPadding(m.dpiX);
    const QRectF inner = r.adjusted(pad, 0, -pad, 0);
    const bool multiLine = text.contains(QLatin1Char('\n'));
    const double slack = labelSlack(style, m.dpiX);
    if (!multiLine && style.alignment != Qt::AlignJustify && paintGlyphRun(p, inner, text, style, slack))
        return;
    int flags = int(style.alignment);
    flags |= multiLine ? (Qt::AlignTop | Qt::TextWordWrap) : (Qt::AlignVCenter | Qt::TextSingleLine);
    if (!multiLine && slack > 1.0
        && QFontMetricsF(style.font).horizontalAdvance(text) <= inner.width() * slack)
        flags |= Qt::TextDontClip;
    p.setFont(style.font);
    p.setPen(style.colour);
    p.drawText(inner, flags, multiLine ? QString(text).remove(QLatin1Char('\r')) : text);
}

void paintPicture(QPainter &p, const QRectF &r, const QString &name)
{
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QImage image = loadPicture(name, (r.size() * ratio).toSize());
    if (image.isNull() || r.isEmpty())
        return;
    // Scaled into the frame keeping its proportions, centred.
    QSizeF size = image.size();
    size.scale(r.size(), Qt::KeepAspectRatio);
    const QRectF target(r.left() + (r.width() - size.width()) / 2, r.top() + (r.height() - size.height()) / 2,
                        size.width(), size.height());
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(target, image);
    p.restore();
}

void paintShape(QPainter &p, const QRectF &r, const ObjectStyle &style)
{
    p.save();
    p.setBrush(style.fill.isValid() ? QBrush(style.fill) : QBrush(Qt::NoBrush));
    p.setPen(style.pen);
    const QRectF shape = r.adjusted(0, 0, -1, -1);
    if (style.type == u"ellipse") {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.drawEllipse(shape);
    } else if (style.type == u"roundrectangle") {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.drawRoundedRect(shape, style.corner.width() / 2, style.corner.height() / 2);
    } else {
        p.drawRect(shape);
    }
    p.restore();
}

QString valueAt(const DataWindow &dw, const CellTexts *texts, const ObjectStyle &style, long row)
{
    if (style.type == u"column") {
        if (style.column <= 0 || row <= 0)
            return {};
        return texts ? texts->text(row, style.column) : dw.displayText(row, style.column);
    }
    if (style.type == u"compute") {
        QString expression = style.text;
        expression.replace(QLatin1Char('~'), QStringLiteral("~~"))
            .replace(QLatin1Char('\''), QStringLiteral("~'"));
        return dw.Describe(QStringLiteral("Evaluate('%1', %2)").arg(expression).arg(std::max(1L, row)));
    }
    return style.text;
}

void paintStyled(QPainter &p, const DataWindow &dw, const CellTexts *texts, const ObjectStyle &style,
                 long row, const Mapper &m, const QPalette &palette)
{
    if (style.type == u"line") {
        if (style.pen.style() == Qt::NoPen)
            return;
        p.setPen(style.pen);
        p.drawLine(m.point(style.from), m.point(style.to));
        return;
    }
    const QRectF r = m.rect(style.frame);
    if (r.isEmpty())
        return;
    if (style.type == u"rectangle" || style.type == u"ellipse" || style.type == u"roundrectangle") {
        paintShape(p, r, style);
        return;
    }
    if (style.type == u"picture") {
        paintPicture(p, r, style.text);
        paintBorder(p, r, style.border, palette);
        return;
    }
    if (style.background.isValid())
        p.fillRect(r, style.background);
    const QString value = valueAt(dw, texts, style, row);
    if (style.bitmap)
        paintPicture(p, r, value);
    else
        paintText(p, r, value, style, m);
    paintBorder(p, r, style.border, palette);
}

} // namespace

double textPadding(double dpiX)
{
    // One pixel at 96 dpi.
    return std::max(1.0, std::round(dpiX / 96.0));
}

ObjectStyle resolveStyle(const ObjectAttributes &a, double dpiX, double dpiY)
{
    ObjectStyle style;
    const LayoutObject &object = a.object();
    style.type = objectType(object);
    style.visible = isVisible(a);
    if (!style.visible)
        return style;
    style.frame = objectFrame(a);
    style.border = int(a.number(QStringLiteral("border"), 0));
    if (style.type == u"line" || style.type == u"rectangle" || style.type == u"ellipse"
        || style.type == u"roundrectangle") {
        style.from = {a.number(QStringLiteral("x1")), a.number(QStringLiteral("y1"))};
        style.to = {a.number(QStringLiteral("x2")), a.number(QStringLiteral("y2"))};
        style.pen = penOf(a, dpiX);
        // Brush hatch 7 is hollow; any other hatch fills with the brush colour.
        if (int(a.number(QStringLiteral("brush.hatch"), 6)) != 7)
            style.fill = colourAttribute(a, QStringLiteral("brush.color"), QColor());
        style.corner = {units::toPixelsX(a.number(QStringLiteral("ellipsewidth"), 36), dpiX),
                        units::toPixelsY(a.number(QStringLiteral("ellipseheight"), 32), dpiY)};
        return style;
    }
    if (style.type == u"picture") {
        style.text = a.text(QStringLiteral("filename"));
        return style;
    }
    style.background = backgroundOf(a);
    style.colour = colourAttribute(a, QStringLiteral("color"), layoutColor(kWindowText));
    style.fontSpec = fontOf(a);
    style.font = layoutFont(style.fontSpec, dpiY);
    style.rawFont = layoutRawFont(style.fontSpec, dpiY);
    style.alignment = horizontalAlignment(a);
    if (style.type == u"column") {
        style.column = int(a.number(QStringLiteral("id"), 0));
        if (style.column <= 0)
            style.column = a.dataWindow().columnNumber(object.name);
        style.bitmap = a.flag(QStringLiteral("bitmapname"));
        style.grows = a.flag(QStringLiteral("grow"));
    } else if (style.type == u"compute") {
        style.text = a.text(QStringLiteral("expression"));
    } else {
        style.text = a.text(QStringLiteral("text"));
    }
    return style;
}

BandPainter::BandPainter(const DataWindow &dw, Band band, double dpiX, double dpiY)
    : m_dw(dw)
    , m_dpiX(dpiX)
    , m_dpiY(dpiY)
{
    for (const LayoutObject &object : dw.objects()) {
        if (!isDrawable(object) || dw.bandOf(object) != band)
            continue;
        Entry entry{&object, hasExpression(object), {}};
        if (!entry.dynamic) {
            entry.style = resolveStyle(ObjectAttributes(dw, object, 0), dpiX, dpiY);
            if (!entry.style.visible)
                continue;
        }
        if (object.kind == u"column" && !m_texts)
            m_texts = std::make_unique<CellTexts>(dw);
        m_entries.push_back(std::move(entry));
    }
}

void BandPainter::paint(QPainter &painter, QPointF origin, long row, double spanLeft, double spanRight) const
{
    if (m_entries.empty())
        return;
    const Mapper mapper{origin, m_dpiX, m_dpiY};
    const QPalette palette = currentPalette();
    const auto inSpan = [&](const ObjectStyle &style) {
        return style.frame.right() > spanLeft && style.frame.left() < spanRight;
    };
    painter.save();
    for (const Entry &entry : m_entries) {
        if (!entry.dynamic) {
            if (inSpan(entry.style))
                paintStyled(painter, m_dw, m_texts.get(), entry.style, row, mapper, palette);
            continue;
        }
        const ObjectStyle style = resolveStyle(ObjectAttributes(m_dw, *entry.object, row), m_dpiX, m_dpiY);
        if (style.visible && inSpan(style))
            paintStyled(painter, m_dw, m_texts.get(), style, row, mapper, palette);
    }
    painter.restore();
}

void BandPainter::paintShaped(QPainter &painter, QPointF origin, long row, const BandShape &shape,
                              double from, double to, double spanLeft, double spanRight) const
{
    const QPalette palette = currentPalette();
    painter.save();
    for (const Entry &entry : m_entries) {
        ObjectStyle resolved;
        if (entry.dynamic) {
            resolved = resolveStyle(ObjectAttributes(m_dw, *entry.object, row), m_dpiX, m_dpiY);
            if (!resolved.visible)
                continue;
        }
        const ObjectStyle &style = entry.dynamic ? resolved : entry.style;
        if (style.frame.right() <= spanLeft || style.frame.left() >= spanRight)
            continue;
        const double shift = shape.shift(entry.object);
        const WrappedText *wrapped = shape.wrapped(entry.object);
        QRectF frame = style.frame.translated(0, shift);
        if (wrapped)
            frame.setHeight(std::max(frame.height(), wrapped->height));
        if (frame.bottom() <= from || frame.top() >= to)
            continue; // on another page
        const Mapper mapper{origin + QPointF(0, units::toPixelsY(shift, m_dpiY)), m_dpiX, m_dpiY};
        if (!wrapped) {
            paintStyled(painter, m_dw, m_texts.get(), style, row, mapper, palette);
            continue;
        }
        const Mapper grownMapper{origin, m_dpiX, m_dpiY};
        const QRectF r = grownMapper.rect(frame);
        if (style.background.isValid())
            painter.fillRect(r, style.background);
        paintWrapped(painter, *wrapped, style, r, frame.top(), from, to, m_dpiX, m_dpiY);
        paintBorder(painter, r, style.border, palette);
    }
    painter.restore();
}

void paintBand(const DataWindow &dw, Band band, long row, const PaintTarget &target)
{
    if (target.painter)
        BandPainter(dw, band, target.dpiX, target.dpiY)
            .paint(*target.painter, target.origin, row, target.spanLeft, target.spanRight);
}

} // namespace dw
