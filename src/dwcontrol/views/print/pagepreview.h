#pragma once

#include "bandpainter.h"
#include "datawindow.h"
#include "printjob.h"
#include "sheetsacross.h"

#include <QDate>
#include <QPageLayout>
#include <QWidget>

#include <array>
#include <memory>
#include <utility>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace dw {

struct PageFlow;

// Lays a data window out on pages: the header band at the top of each page, detail
// rows flowing across pages (a row never split), the footer at the bottom, the summary
// after the last row. The page size and margins come from the printer's page layout.
// Values marked to grow are shown whole (see BandShape): a row taller than a page
// continues on the next pages, under the same header and over the same footer.
// A listing (a grid) is shrunk to the page width only while its values stay readable;
// wider, it continues on sheets side by side, each repeating the first column and the
// headings, and every sheet gets a footer line with the date and "Página N de M".
// Other layouts keep their size unless a little too wide for the paper.
// A print of some rows (a selection) lays out only those, paginated the same way.
class PageRenderer
{
public:
    PageRenderer(const DataWindow &dw, const QPageLayout &pageLayout, PrintedRows rows = {});
    ~PageRenderer();
    PageRenderer(const PageRenderer &) = delete;
    PageRenderer &operator=(const PageRenderer &) = delete;
    [[nodiscard]] int pageCount() const;
    // Paints one page (0-based) at the device's resolution; (0, 0) is the paper's corner.
    void paintPage(QPainter &painter, int page, double dpiX, double dpiY) const;
    [[nodiscard]] QSizeF paperSizeUnits() const;

    // Rows on a page (first, last; last < first when it shows none), the same for
    // every page across when the layout is wider than the paper; counted among the
    // printed rows (rowAt gives their row numbers).
    [[nodiscard]] std::pair<long, long> rowsOnPage(int page) const;
    // The row number of the printed row at a 1-based position.
    [[nodiscard]] long rowAt(long position) const
    {
        return m_rows.empty() ? position : m_rows.at(std::size_t(position - 1));
    }
    // Pages side by side that one band needs (1 unless the layout is much wider than
    // the paper), and the scale at which the layout is drawn (below 1 when it is
    // shrunk to fit the paper's width).
    [[nodiscard]] int pagesAcross() const { return int(m_across.slices.size()); }
    [[nodiscard]] double scale() const { return m_across.scale; }
    // What each page across shows of the layout's width.
    [[nodiscard]] const SheetsAcross &sheetsAcross() const { return m_across; }

    // While it lives, pages painted at this resolution read the bands' objects once for
    // all of them instead of once per page: for a job that paints every page in one go,
    // with the layout unchanged meanwhile.
    class HeldPainters
    {
    public:
        HeldPainters(const PageRenderer &renderer, double dpiX, double dpiY);
        ~HeldPainters();
        HeldPainters(const HeldPainters &) = delete;
        HeldPainters &operator=(const HeldPainters &) = delete;

    private:
        const PageRenderer &m_renderer;
    };

private:
    // A painter for each band, in the order of Band.
    struct BandPainters
    {
        BandPainters(const DataWindow &dw, double dpiX, double dpiY);
        [[nodiscard]] const BandPainter &of(Band band) const;
        double dpiX;
        double dpiY;
        std::array<BandPainter, 6> painters;
    };

    // Paints the stretch [left, right) of the layout's width for the rows of a page, with
    // the stretch's left edge at `at` (layout units from the printable left edge).
    void paintStretch(QPainter &painter, int page, double left, double right, double at, double dpiX,
                      double dpiY) const;
    void paintGridLines(QPainter &painter, long rows, double xOffset, double dpiX, double dpiY) const;
    // A listing's footer line: the date on the left, "Página N de M" on the right.
    void paintPageFooter(QPainter &painter, int page, const QRectF &printable, double dpiY) const;
    void measureWidth(double printableWidth);
    void measureGridLines();

    [[nodiscard]] long printedCount() const;

    const DataWindow &m_dw;
    PrintedRows m_rows; // empty: every row
    QPageLayout m_layout;
    QDate m_printedOn;
    bool m_listing = false; // a grid: readable type, numbered pages
    std::vector<std::pair<long, long>> m_pages; // first and last row of each page
    std::unique_ptr<PageFlow> m_flow; // the pieces of grown rows on each page, when values grow
    SheetsAcross m_across;
    double m_contentWidth = 0;
    double m_bodyHeight = 0; // layout units from the top to the bottom margin, scaled
    int m_header = 0;
    int m_detail = 0;
    int m_footer = 0;
    int m_summary = 0;
    int m_summaryPage = -1; // the page (down) that shows the summary
    std::vector<double> m_gridLinesX; // grid presentations: where the column lines run
    mutable std::unique_ptr<BandPainters> m_held; // see HeldPainters
};

// The paper a data window (or some of its rows) prints on: a listing (a grid) turns it to
// landscape when that takes fewer sheets; every other layout prints on the paper as given.
[[nodiscard]] QPageLayout printedPageLayout(const DataWindow &dw, const QPageLayout &paper,
                                            const PrintedRows &rows = {});

// Paints the pages of `rows` (every row when empty) on a paged device (QPrinter,
// QPdfWriter), turned as printedPageLayout() says; 1 ok, -1 on failure.
int paintPages(const DataWindow &dw, QPagedPaintDevice &device, const PrintedRows &rows = {});

// The preview shown while "DataWindow.Print.Preview" is "yes": the pages, read-only,
// scrollable, zoomed to fit the width; Ctrl+wheel and Ctrl++ / Ctrl+- zoom in and out,
// Ctrl+0 fits the width again.
class PagePreview : public QWidget
{
    Q_OBJECT
public:
    explicit PagePreview(const DataWindow &dw, QWidget *parent = nullptr);
    ~PagePreview() override;
    // Lays the pages out again (after a retrieval or a change of layout).
    void refresh();
    [[nodiscard]] int pageCount() const;
    // 1 fits a page to the width; 2 shows it twice as wide.
    [[nodiscard]] double zoom() const;
    void setZoom(double zoom);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace dw
