#include "pagepreview.h"

#include "bandpainter.h"
#include "objectgeometry.h"
#include "objectpainter.h"
#include "pageflow.h"
#include "units.h"

#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace dw {
namespace {

// A layout wider than the paper is shrunk to fit it while that keeps at least this
// share of its size; a wider one prints at full size on several pages side by side
// instead of in unreadable type.
constexpr double minimumFitScale = 0.6;
// A listing (a grid) is shrunk to the page width as long as its smallest type stays at
// least this size, the smallest a reader takes in on paper at arm's length without
// effort (newspaper small print); beyond that it prints at that size on further pages
// side by side.
constexpr double minimumListingPoints = 7.0;
// The strip under a listing's rows for the page number and the date.
constexpr double listingFooterPoints = 16.0;
constexpr double listingFooterFontPoints = 7.5;

double pointsToUnitsX(double points)
{
    return units::toUnitsX(points / 72.0 * 96.0);
}
double pointsToUnitsY(double points)
{
    return units::toUnitsY(points / 72.0 * 96.0);
}

bool isPrintedBand(Band band)
{
    return band == Band::Header || band == Band::Detail || band == Band::Footer || band == Band::Summary;
}

bool isListing(const DataWindow &dw)
{
    return dw.presentation() == QLatin1String("grid");
}

// How far right the printed objects reach, and the smallest type of the values (points).
struct Extent
{
    double width = 0;
    double smallestPoints = 0;
};

Extent printedExtent(const DataWindow &dw)
{
    Extent extent;
    for (const LayoutObject &object : dw.objects()) {
        if (!isDrawable(object) || !isPrintedBand(dw.bandOf(object)))
            continue;
        const ObjectAttributes attributes(dw, object, 0);
        if (!isVisible(attributes))
            continue;
        extent.width = std::max(extent.width, objectFrame(attributes).right());
        if (object.kind != u"column")
            continue; // the values are what must stay readable
        const double points = units::fontPoints(dw.attribute(object, QStringLiteral("font.height")).toInt());
        if (points > 0 && (extent.smallestPoints == 0 || points < extent.smallestPoints))
            extent.smallestPoints = points;
    }
    return extent;
}

} // namespace

QPageLayout printedPageLayout(const DataWindow &dw, const QPageLayout &paper, const PrintedRows &rows)
{
    if (!isListing(dw) || paper.orientation() == QPageLayout::Landscape)
        return paper;
    QPageLayout turned = paper;
    turned.setOrientation(QPageLayout::Landscape);
    // Pages are laid out by arithmetic, so trying both ways costs nothing that shows.
    const bool fewer = PageRenderer(dw, turned, rows).pageCount() < PageRenderer(dw, paper, rows).pageCount();
    return fewer ? turned : paper;
}

PageRenderer::PageRenderer(const DataWindow &dw, const QPageLayout &pageLayout, PrintedRows printed)
    : m_dw(dw)
    , m_rows(std::move(printed))
    , m_layout(pageLayout)
    , m_printedOn(QDate::currentDate())
{
    m_header = std::max(0, dw.bandHeight(Band::Header));
    m_detail = std::max(0, dw.bandHeight(Band::Detail));
    m_footer = std::max(0, dw.bandHeight(Band::Footer));
    m_summary = std::max(0, dw.bandHeight(Band::Summary));

    m_listing = isListing(dw);
    const QRectF printable = m_layout.paintRect(QPageLayout::Point);
    measureWidth(pointsToUnitsX(printable.width()));
    measureGridLines();
    const double footerStrip = m_listing ? listingFooterPoints : 0.0;
    m_bodyHeight = pointsToUnitsY(printable.height() - footerStrip) / scale();

    const long rows = printedCount();
    const double room = m_bodyHeight - m_header - m_footer;
    if (!m_listing && bandGrows(dw, Band::Detail)) {
        m_flow = std::make_unique<PageFlow>(dw, room, dw.presentation() == QLatin1String("freeform"),
                                            m_summary, m_rows);
        for (const std::vector<PageFlow::Piece> &pieces : m_flow->pages) {
            if (pieces.empty())
                m_pages.emplace_back(rows + 1, rows);
            else
                m_pages.emplace_back(pieces.front().row, pieces.back().row);
        }
        m_summaryPage = m_flow->summaryPage;
        return;
    }

    // Rows are placed by arithmetic on the band heights: nothing is painted to measure,
    // so a list of any length is laid out at once.
    long perPage = 1;
    if (dw.presentation() != QLatin1String("freeform")) {
        if (m_detail == 0)
            perPage = std::max(1L, rows);
        else if (room >= m_detail)
            perPage
                = std::max(1L, long(std::floor(room / m_detail + 1e-9))); // units from points may round down
    }
    for (long first = 1; first <= rows; first += perPage)
        m_pages.emplace_back(first, std::min(rows, first + perPage - 1));
    if (m_pages.empty())
        m_pages.emplace_back(1, 0);

    if (m_summary > 0) {
        const auto [first, last] = m_pages.back();
        const double used = double(std::max(0L, last - first + 1)) * m_detail;
        if (used + m_summary > room && last >= first)
            m_pages.emplace_back(rows + 1, rows); // a page of its own after the last row
        m_summaryPage = int(m_pages.size()) - 1;
    }
}

PageRenderer::~PageRenderer() = default;

PageRenderer::BandPainters::BandPainters(const DataWindow &dw, double dpiX, double dpiY)
    : dpiX(dpiX)
    , dpiY(dpiY)
    , painters{BandPainter(dw, Band::Header, dpiX, dpiY),     BandPainter(dw, Band::Detail, dpiX, dpiY),
               BandPainter(dw, Band::Footer, dpiX, dpiY),     BandPainter(dw, Band::Summary, dpiX, dpiY),
               BandPainter(dw, Band::Background, dpiX, dpiY), BandPainter(dw, Band::Foreground, dpiX, dpiY)}
{}

const BandPainter &PageRenderer::BandPainters::of(Band band) const
{
    return painters.at(std::size_t(band));
}

PageRenderer::HeldPainters::HeldPainters(const PageRenderer &renderer, double dpiX, double dpiY)
    : m_renderer(renderer)
{
    m_renderer.m_held = std::make_unique<BandPainters>(renderer.m_dw, dpiX, dpiY);
}

PageRenderer::HeldPainters::~HeldPainters()
{
    m_renderer.m_held.reset();
}

long PageRenderer::printedCount() const
{
    return m_rows.empty() ? m_dw.RowCount() : long(m_rows.size());
}

void PageRenderer::measureWidth(double printableWidth)
{
    std::vector<std::pair<double, double>> columns; // left and right of detail objects
    for (const LayoutObject &object : m_dw.objects()) {
        const Band band = m_dw.bandOf(object);
        if (!isDrawable(object) || (band != Band::Detail && band != Band::Header))
            continue;
        const ObjectAttributes attributes(m_dw, object, 0);
        if (isVisible(attributes))
            columns.emplace_back(objectFrame(attributes).left(), objectFrame(attributes).right());
    }
    const Extent extent = printedExtent(m_dw);
    m_contentWidth = extent.width;
    AcrossRules rules;
    rules.printableWidth = printableWidth;
    if (m_listing) {
        // Shrunk while the values stay readable, then cut into sheets at that size, each
        // led by the names again. Without values to read it fits the width.
        const double readable
            = extent.smallestPoints > 0 ? std::min(1.0, minimumListingPoints / extent.smallestPoints) : 0.0;
        rules.minimumFitScale = readable;
        rules.sliceScale = readable;
        rules.repeatFirstColumn = true;
    } else {
        rules.minimumFitScale = minimumFitScale;
    }
    m_across = planSheetsAcross(std::move(columns), m_contentWidth, rules);
}

void PageRenderer::measureGridLines()
{
    if (m_listing) {
        // A line in the gap after each detail column, or on its right edge when the
        // next one touches it.
        std::vector<std::pair<double, double>> detail;
        for (const LayoutObject &object : m_dw.objects()) {
            if (m_dw.bandOf(object) != Band::Detail || !isDrawable(object))
                continue;
            const ObjectAttributes attributes(m_dw, object, 0);
            if (isVisible(attributes))
                detail.emplace_back(objectFrame(attributes).left(), objectFrame(attributes).right());
        }
        std::sort(detail.begin(), detail.end());
        for (std::size_t i = 0; i < detail.size(); ++i) {
            const double right = detail[i].second;
            const double nextLeft = i + 1 < detail.size() ? detail[i + 1].first : right;
            m_gridLinesX.push_back(nextLeft > right ? (right + nextLeft) / 2 : right);
        }
    }
}

int PageRenderer::pageCount() const
{
    return int(m_pages.size()) * pagesAcross();
}

std::pair<long, long> PageRenderer::rowsOnPage(int page) const
{
    if (page < 0 || page >= pageCount())
        return {1, 0};
    return m_pages.at(std::size_t(page / pagesAcross()));
}

QSizeF PageRenderer::paperSizeUnits() const
{
    const QRectF paper = m_layout.fullRect(QPageLayout::Point);
    return {pointsToUnitsX(paper.width()), pointsToUnitsY(paper.height())};
}

void PageRenderer::paintPage(QPainter &painter, int page, double dpiX, double dpiY) const
{
    if (page < 0 || page >= pageCount())
        return;
    const std::size_t across = std::size_t(page % pagesAcross());
    const auto [sliceStart, sliceEnd] = m_across.slices.at(across);

    painter.save();
    const QRectF paper = m_layout.fullRect(QPageLayout::Point);
    const QRectF printable = m_layout.paintRect(QPageLayout::Point);
    const auto toDevice = [&](const QRectF &points) {
        return QRectF(points.x() / 72.0 * dpiX, points.y() / 72.0 * dpiY, points.width() / 72.0 * dpiX,
                      points.height() / 72.0 * dpiY);
    };
    const QColor background = layoutColor(m_dw.Describe(QStringLiteral("DataWindow.Color")).toLongLong());
    painter.fillRect(toDevice(paper), background.isValid() ? background : QColor(Qt::white));
    if (m_listing)
        paintPageFooter(painter, page, toDevice(printable), dpiY);

    // From here on the painter works in unscaled device pixels of the layout, with
    // (0, 0) at the printable corner of the page.
    const QRectF body = toDevice(printable);
    painter.translate(body.topLeft());
    painter.scale(scale(), scale());
    if (pagesAcross() == 1) {
        // Text that runs past its frame at the layout's edge (a label aligned right at
        // x 0) stays whole in the margin: only the paper's edge cuts it.
        const QRectF sheet = toDevice(paper).translated(-body.topLeft());
        painter.setClipRect(QRectF(sheet.topLeft() / scale(), sheet.size() / scale()));
        paintStretch(painter, page, 0, m_contentWidth, 0, dpiX, dpiY);
    } else {
        // Pages side by side show only their own columns, after the repeated ones.
        double at = 0;
        if (across > 0 && m_across.repeated > 0) {
            paintStretch(painter, page, 0, m_across.repeated, 0, dpiX, dpiY);
            at = m_across.repeated;
        }
        paintStretch(painter, page, sliceStart, sliceEnd, at, dpiX, dpiY);
    }
    painter.restore();
}

void PageRenderer::paintStretch(QPainter &painter, int page, double left, double right, double at,
                                double dpiX, double dpiY) const
{
    const auto [first, lastLaidOut] = m_pages.at(std::size_t(page / pagesAcross()));
    // Rows removed since the pages were laid out (a filter before the next refresh) are
    // not painted.
    long last = lastLaidOut;
    if (m_rows.empty())
        last = std::min(last, m_dw.RowCount());
    else
        while (last >= first && rowAt(last) > m_dw.RowCount())
            --last;
    painter.save();
    if (pagesAcross() > 1) {
        const double bodyHeight = units::toPixelsY(m_bodyHeight, dpiY);
        painter.setClipRect(
            QRectF(units::toPixelsX(at, dpiX), 0, units::toPixelsX(right - left, dpiX), bodyHeight));
    }
    const double xOffset = units::toPixelsX(at - left, dpiX);
    PaintTarget target{&painter, QPointF(xOffset, 0), dpiX, dpiY};
    if (pagesAcross() > 1) {
        target.spanLeft = left;
        target.spanRight = right;
    }
    // The bands' objects are read once for the page, not once for each row, or once for
    // the whole job while it holds them.
    std::unique_ptr<BandPainters> own;
    const BandPainters *bands = m_held && m_held->dpiX == dpiX && m_held->dpiY == dpiY
        ? m_held.get()
        : (own = std::make_unique<BandPainters>(m_dw, dpiX, dpiY)).get();
    const auto paintAt = [&](Band band, long row, double top) {
        bands->of(band).paint(painter, QPointF(xOffset, units::toPixelsY(top, dpiY)), row, target.spanLeft,
                              target.spanRight);
    };
    // Columns placed in the header show the page's first row, in the footer its last.
    const bool hasRows = first <= last;
    paintAt(Band::Background, 0, 0);
    paintAt(Band::Header, hasRows ? rowAt(first) : 0, 0);
    double top = m_header;
    const BandPainter &detail = bands->of(Band::Detail);
    if (m_flow) {
        for (const PageFlow::Piece &piece : m_flow->pages.at(std::size_t(page / pagesAcross()))) {
            if (piece.row > last)
                break;
            const BandShape &shape = m_flow->rows.at(std::size_t(piece.row - 1));
            const bool whole = piece.from <= 0 && piece.to >= shape.height();
            if (whole && !shape.wraps()) {
                paintAt(Band::Detail, rowAt(piece.row), top); // as designed
            } else {
                painter.save();
                if (!whole) { // the part of the row this page shows, and nothing of the rest
                    const double width = units::toPixelsX(m_contentWidth, dpiX);
                    painter.setClipRect(QRectF(-width, units::toPixelsY(top, dpiY), 3 * width,
                                               units::toPixelsY(piece.to - piece.from, dpiY)),
                                        Qt::IntersectClip);
                }
                detail.paintShaped(painter, QPointF(xOffset, units::toPixelsY(top - piece.from, dpiY)),
                                   rowAt(piece.row), shape, piece.from, piece.to, target.spanLeft,
                                   target.spanRight);
                painter.restore();
            }
            top += piece.to - piece.from;
        }
    } else {
        for (long position = first; position <= last; ++position, top += m_detail)
            detail.paint(painter, QPointF(xOffset, units::toPixelsY(top, dpiY)), rowAt(position),
                         target.spanLeft, target.spanRight);
    }
    if (!m_gridLinesX.empty())
        paintGridLines(painter, std::max(0L, last - first + 1), xOffset, dpiX, dpiY);
    if (page / pagesAcross() == m_summaryPage)
        paintAt(Band::Summary, rowAt(last), top); // columns there show the last row
    paintAt(Band::Footer, hasRows ? rowAt(last) : 0, m_bodyHeight - m_footer);
    paintAt(Band::Foreground, 0, 0);
    painter.restore();
}

void PageRenderer::paintPageFooter(QPainter &painter, int page, const QRectF &printable, double dpiY) const
{
    painter.save();
    QFont font(QStringLiteral("Arial"));
    // Sized in pixels of the painted device, so the preview and paper agree at any dpi.
    font.setPixelSize(std::max(1, int(std::lround(listingFooterFontPoints / 72.0 * dpiY))));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double strip = listingFooterPoints / 72.0 * dpiY;
    const QRectF line(printable.left(), printable.bottom() - strip, printable.width(), strip);
    const QString date = QLocale(QLocale::Spanish, QLocale::Mexico)
                             .toString(m_printedOn, QStringLiteral("d 'de' MMMM 'de' yyyy"));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignBottom, date);
    painter.drawText(line, Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Página %1 de %2").arg(page + 1).arg(pageCount()));
    painter.restore();
}

void PageRenderer::paintGridLines(QPainter &painter, long rows, double xOffset, double dpiX,
                                  double dpiY) const
{
    painter.save();
    QPen pen(QColor(192, 192, 192));
    pen.setWidthF(std::max(1.0, dpiY / 96.0));
    painter.setPen(pen);
    const double bottom = units::toPixelsY(m_header + double(rows) * m_detail, dpiY);
    for (const double x : m_gridLinesX) {
        const double px = xOffset + units::toPixelsX(x, dpiX);
        painter.drawLine(QPointF(px, 0), QPointF(px, bottom));
    }
    const double right = xOffset + units::toPixelsX(m_contentWidth, dpiX);
    for (long i = 0; i <= rows; ++i) {
        const double y = units::toPixelsY(m_header + double(i) * m_detail, dpiY);
        painter.drawLine(QPointF(xOffset, y), QPointF(right, y));
    }
    painter.restore();
}

int paintPages(const DataWindow &dw, QPagedPaintDevice &device, const PrintedRows &rows)
{
    // A device that cannot turn the paper prints on it as it is.
    (void)device.setPageLayout(printedPageLayout(dw, device.pageLayout(), rows));
    const QPageLayout layout = device.pageLayout();
    const PageRenderer renderer(dw, layout, rows);
    QPainter painter;
    if (!painter.begin(&device))
        return -1;
    const double dpiX = device.logicalDpiX();
    const double dpiY = device.logicalDpiY();
    // The painter of a paged device starts at the printable corner; the renderer draws
    // from the paper's corner.
    const QRectF printable = layout.paintRect(QPageLayout::Point);
    const QPointF corner(-printable.x() / 72.0 * dpiX, -printable.y() / 72.0 * dpiY);
    const PageRenderer::HeldPainters held(renderer, dpiX, dpiY);
    for (int page = 0; page < renderer.pageCount(); ++page) {
        if (page > 0 && !device.newPage()) {
            painter.end();
            return -1;
        }
        painter.save();
        painter.translate(corner);
        renderer.paintPage(painter, page, dpiX, dpiY);
        painter.restore();
    }
    return painter.end() ? 1 : -1;
}

} // namespace dw
