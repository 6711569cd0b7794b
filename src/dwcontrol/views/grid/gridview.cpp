#include "gridview.h"

#include "bandpainter.h"
#include "objectgeometry.h"
#include "objectpainter.h"
#include "objects/layout.h"
#include "units.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace dw {

namespace {

// A light grey between the cells, lighter than any text.
const QColor kGridLine(0xC0, 0xC0, 0xC0);

int toPx(double units, double dpi, bool across)
{
    return int(std::lround(across ? units::toPixelsX(units, dpi) : units::toPixelsY(units, dpi)));
}

QPalette palette()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::palette()
                                                                         : QPalette();
}

// A data window attribute such as "DataWindow.Color"; empty when unset or unknown.
QString describeValue(const DataWindow &dw, const QString &path)
{
    const QString value = dw.Describe(path).trimmed();
    return value == u"!" || value == u"?" ? QString() : value;
}

} // namespace

struct GridView::Painters
{
    BandPainter background;
    BandPainter header;
    BandPainter detail;
    BandPainter summary;
    BandPainter footer;
    BandPainter foreground;
};

void GridView::refreshMetrics(double dpiX, double dpiY)
{
    m_dpiX = dpiX;
    m_dpiY = dpiY;
    m_header = toPx(m_dw.bandHeight(Band::Header), dpiY, false);
    m_detail = std::max(1, toPx(m_dw.bandHeight(Band::Detail), dpiY, false));
    m_footer = toPx(m_dw.bandHeight(Band::Footer), dpiY, false);
    m_summary = toPx(m_dw.bandHeight(Band::Summary), dpiY, false);

    double right = 0;
    for (const LayoutObject &object : m_dw.objects()) {
        if (!isDrawable(object))
            continue;
        const ObjectAttributes attributes(m_dw, object, 1);
        if (isVisible(attributes))
            right = std::max(right, objectFrame(attributes).right());
    }
    m_contentWidth = toPx(right, dpiX, true) + 1;

    // Grid lines: 0 shown everywhere, 1 on screen only, 2 printed only, 3 none.
    const QString lines = describeValue(m_dw, QStringLiteral("DataWindow.Grid.Lines"));
    m_gridLines = m_dw.presentation() == u"grid" && lines != u"2" && lines != u"3";

    for (int pane = 0; pane < 2; ++pane)
        setHorizontalOffset(pane, m_hOffset[size_t(pane)]);
    setTopRow(m_topRow);
}

long GridView::visibleRows() const
{
    return std::max(1L, long((rowsBottom() - rowsTop()) / m_detail));
}

long GridView::maxTopRow() const
{
    // The summary, when there is one, counts as one more row to scroll to.
    const long extra = m_summary > 0 ? 1 : 0;
    return std::max(0L, m_dw.RowCount() + extra - visibleRows());
}

void GridView::setTopRow(long top)
{
    m_topRow = std::clamp(top, 0L, maxTopRow());
}

void GridView::scrollToRow(long row)
{
    if (row < 1)
        return;
    row = std::min(row, m_dw.RowCount());
    if (row - 1 < m_topRow)
        setTopRow(row - 1);
    else if (row > m_topRow + visibleRows())
        setTopRow(row - visibleRows());
}

void GridView::followRows()
{
    setTopRow(m_topRow); // a shorter list: no blank space above its last rows
    const quint64 generation = m_dw.rowsGeneration();
    if (generation == m_rowsSeen)
        return;
    m_rowsSeen = generation;
    // A current row the user chose follows its member; one nobody chose is the first row,
    // so the rows then show from the first, in their new order.
    const long current = m_dw.GetRow();
    if (current > 0)
        scrollToRow(current);
    else
        setTopRow(0);
}

void GridView::setSplit(int pixels)
{
    // A pane narrower than the splitter is no pane: the split closes.
    const int widest = m_viewport.width() - 2 * kSplitterWidth;
    m_split = pixels < kSplitterWidth || widest <= kSplitterWidth ? 0 : std::min(pixels, widest);
    for (int pane = 0; pane < 2; ++pane)
        setHorizontalOffset(pane, m_hOffset[size_t(pane)]);
}

QRect GridView::paneRect(int pane) const
{
    if (m_split <= 0)
        return pane == 0 ? QRect(QPoint(0, 0), m_viewport) : QRect();
    if (pane == 0)
        return {0, 0, m_split, m_viewport.height()};
    const int left = m_split + kSplitterWidth;
    return {left, 0, std::max(0, m_viewport.width() - left), m_viewport.height()};
}

int GridView::maxHorizontalOffset(int pane) const
{
    return std::max(0, m_contentWidth - paneRect(pane).width());
}

void GridView::setHorizontalOffset(int pane, int pixels)
{
    m_hOffset[size_t(pane)] = std::clamp(pixels, 0, maxHorizontalOffset(pane));
}

int GridView::rowTop(long row) const
{
    return rowsTop() + int((row - 1 - m_topRow) * m_detail);
}

GridView::RowSpan GridView::rowsShown() const
{
    const long first = m_topRow + 1;
    // One partly shown row more than fit whole.
    const long last = std::min(m_dw.RowCount(), m_topRow + visibleRows() + 1);
    return {first, last};
}

void GridView::paint(QPainter &painter) const
{
    const QPalette pal = palette();
    QColor back = pal.color(QPalette::Base);
    if (const QString colour = describeValue(m_dw, QStringLiteral("DataWindow.Color")); !colour.isEmpty()) {
        const QColor layout = layoutColor(colour.toLongLong());
        if (layout.isValid())
            back = layout;
    }
    painter.fillRect(QRect(QPoint(0, 0), m_viewport), back);
    // Attributes are read once per paint, not once per row and pane.
    const Painters painters{
        {m_dw, Band::Background, m_dpiX, m_dpiY}, {m_dw, Band::Header, m_dpiX, m_dpiY},
        {m_dw, Band::Detail, m_dpiX, m_dpiY},     {m_dw, Band::Summary, m_dpiX, m_dpiY},
        {m_dw, Band::Footer, m_dpiX, m_dpiY},     {m_dw, Band::Foreground, m_dpiX, m_dpiY}};
    for (int pane = 0; pane < paneCount(); ++pane)
        paintPane(painter, painters, paneRect(pane), m_hOffset[size_t(pane)]);
    if (m_split > 0) {
        const QRect bar(m_split, 0, kSplitterWidth, m_viewport.height());
        painter.fillRect(bar, pal.color(QPalette::Button));
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawLine(bar.topLeft(), bar.bottomLeft());
        painter.drawLine(bar.topRight(), bar.bottomRight());
    }
}

void GridView::paintPane(QPainter &painter, const Painters &bands, const QRect &pane, int offset) const
{
    if (pane.isEmpty())
        return;
    const int originX = pane.left() - offset;

    painter.save();
    painter.setClipRect(pane);

    // Behind the rows, in document coordinates: scrolled with them.
    bands.background.paint(painter, QPointF(originX, -double(m_topRow) * m_detail), 0);

    const RowSpan rows = rowsShown();
    const QRect rowsArea(pane.left(), rowsTop(), pane.width(), rowsBottom() - rowsTop());
    painter.save();
    painter.setClipRect(rowsArea, Qt::IntersectClip);
    const QColor selection = [] {
        QColor c = palette().color(QPalette::Highlight);
        c.setAlpha(110);
        return c;
    }();
    for (long row = rows.first; row <= rows.last; ++row) {
        const int top = rowTop(row);
        bands.detail.paint(painter, QPointF(originX, top), row);
        if (m_dw.IsSelected(row))
            painter.fillRect(QRect(originX, top, m_contentWidth, m_detail), selection);
    }
    if (m_summary > 0 && rowTop(m_dw.RowCount() + 1) < rowsBottom())
        bands.summary.paint(painter, QPointF(originX, rowTop(m_dw.RowCount() + 1)), 0);
    if (m_focusFrame && m_dw.presentation() == u"grid") {
        const long current = m_dw.GetRow();
        if (current >= rows.first && current <= rows.last) {
            // One pixel inside the row, clear of the grid line under it.
            const QRect frame(originX, rowTop(current), m_contentWidth, m_detail - 1);
            painter.setPen(palette().color(QPalette::Highlight));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(frame.adjusted(0, 0, -1, -1));
        }
    }
    painter.restore();

    if (m_header > 0) {
        painter.save();
        painter.setClipRect(QRect(pane.left(), 0, pane.width(), m_header), Qt::IntersectClip);
        bands.header.paint(painter, QPointF(originX, 0), 0);
        painter.restore();
    }
    if (m_gridLines)
        paintGridLines(painter, pane, originX, rows);
    if (m_footer > 0) {
        painter.save();
        painter.setClipRect(QRect(pane.left(), rowsBottom(), pane.width(), m_footer), Qt::IntersectClip);
        bands.footer.paint(painter, QPointF(originX, rowsBottom()), 0);
        painter.restore();
    }
    bands.foreground.paint(painter, QPointF(originX, 0), 0);
    painter.restore();
}

std::vector<double> GridView::columnSeparators(long row) const
{
    // Grid lines run through the gaps between the cells of the detail band.
    std::vector<std::pair<double, double>> spans;
    for (const LayoutObject &object : m_dw.objects()) {
        if (!isDrawable(object) || m_dw.bandOf(object) != Band::Detail)
            continue;
        const ObjectAttributes attributes(m_dw, object, row);
        if (!isVisible(attributes))
            continue;
        const QRectF frame = objectFrame(attributes);
        if (frame.width() > 0)
            spans.emplace_back(frame.left(), frame.right());
    }
    std::sort(spans.begin(), spans.end());
    std::vector<double> separators;
    for (size_t i = 0; i < spans.size(); ++i) {
        const double right = spans[i].second;
        const double next = i + 1 < spans.size() ? spans[i + 1].first : right + 8;
        separators.push_back(std::max(right, (right + next) / 2));
    }
    return separators;
}

void GridView::paintGridLines(QPainter &painter, const QRect &pane, int originX, const RowSpan &rows) const
{
    const long count = rows.last >= rows.first ? rows.last - rows.first + 1 : 0;
    const int bottom = count > 0 ? std::min(rowsBottom(), rowTop(rows.last) + m_detail) : rowsTop();
    painter.save();
    painter.setClipRect(QRect(pane.left(), 0, pane.width(), rowsBottom()), Qt::IntersectClip);
    painter.setPen(QPen(kGridLine, 1));
    for (const double x : columnSeparators(std::max(1L, rows.first))) {
        const int px = originX + int(std::floor(units::toPixelsX(x, m_dpiX)));
        painter.drawLine(px, 0, px, bottom - 1);
    }
    const int right = std::min(pane.right(), originX + m_contentWidth);
    for (long row = rows.first; row <= rows.last; ++row) {
        const int y = rowTop(row) + m_detail - 1;
        painter.drawLine(pane.left(), y, right, y);
    }
    painter.restore();
}

const LayoutObject *GridView::topmostAt(Band band, long row, QPointF at) const
{
    const std::vector<LayoutObject> &objects = m_dw.objects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        if (!isDrawable(*it) || m_dw.bandOf(*it) != band)
            continue;
        const ObjectAttributes attributes(m_dw, *it, row);
        if (!isVisible(attributes))
            continue;
        const QRectF frame = objectFrame(attributes);
        if (frame.width() > 0 && frame.height() > 0 && frame.contains(at))
            return &*it;
    }
    return nullptr;
}

int GridView::paneAt(QPoint pixel) const
{
    for (int pane = 0; pane < paneCount(); ++pane) {
        if (paneRect(pane).contains(pixel))
            return pane;
    }
    return -1;
}

double GridView::unitsXAt(int pane, int pixelX) const
{
    return units::toUnitsX(pixelX - paneRect(pane).left() + m_hOffset[size_t(pane)], m_dpiX);
}

int GridView::pixelXOf(int pane, double unitsX) const
{
    return paneRect(pane).left() - m_hOffset[size_t(pane)] + toPx(unitsX, m_dpiX, true);
}

QRect GridView::rowRect(int pane, long row) const
{
    const RowSpan rows = rowsShown();
    if (row < rows.first || row > rows.last)
        return {};
    const int originX = paneRect(pane).left() - m_hOffset[size_t(pane)];
    return {originX, rowTop(row), m_contentWidth, m_detail};
}

HitResult GridView::hitTest(QPoint pixel) const
{
    HitResult hit;
    int pane = -1;
    for (int p = 0; p < paneCount(); ++p) {
        if (paneRect(p).contains(pixel))
            pane = p;
    }
    if (pane < 0)
        return hit; // the splitter or outside the view
    const double docX = pixel.x() - paneRect(pane).left() + m_hOffset[size_t(pane)];
    const double ux = units::toUnitsX(docX, m_dpiX);
    const auto uy = [this](double px) { return units::toUnitsY(px, m_dpiY); };

    Band band = Band::Detail;
    long row = 0;
    double bandY = 0;
    bool inBand = false;
    if (pixel.y() < m_header) {
        band = Band::Header;
        bandY = pixel.y();
        inBand = true;
    } else if (pixel.y() >= rowsBottom()) {
        band = Band::Footer;
        bandY = pixel.y() - rowsBottom();
        inBand = true;
    } else {
        const long index = m_topRow + (pixel.y() - rowsTop()) / m_detail;
        if (index < m_dw.RowCount()) {
            row = index + 1;
            bandY = pixel.y() - rowTop(row);
            inBand = true;
        } else if (m_summary > 0) {
            const int top = rowTop(m_dw.RowCount() + 1);
            if (pixel.y() >= top && pixel.y() < top + m_summary) {
                band = Band::Summary;
                bandY = pixel.y() - top;
                inBand = true;
            }
        }
    }
    hit.row = row;
    hit.dwo.band = bandName(band);

    const auto take = [&](const LayoutObject *object, Band objectBand) {
        hit.object = object;
        hit.dwo.name = object->name;
        hit.dwo.type = objectType(*object);
        hit.dwo.band = bandName(objectBand);
    };
    if (const auto *object = topmostAt(Band::Foreground, 0, {ux, uy(pixel.y())})) {
        take(object, Band::Foreground);
    } else if (const auto *inner = inBand ? topmostAt(band, row, {ux, uy(bandY)}) : nullptr) {
        take(inner, band);
    } else if (const auto *behind
               = topmostAt(Band::Background, 0, {ux, uy(pixel.y() + double(m_topRow) * m_detail)})) {
        take(behind, Band::Background);
    }
    return hit;
}

} // namespace dw
