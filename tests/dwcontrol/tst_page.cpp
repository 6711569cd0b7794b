// Pages: how rows flow across them, where the bands fall on each, and what happens to
// layouts wider than the paper.

#include "outputfixture.h"
#include "pagepreview.h"

#include <QImage>
#include <QPainter>

using namespace outputtest;

using PageRows = QList<QPair<int, int>>;

class TestPage : public QObject
{
    Q_OBJECT

    // Paints one page at 96 dpi: 768 x 960 px, printable from (48, 48).
    static QImage paint(const dw::PageRenderer &renderer, int page, double dpi = 96)
    {
        const QSizeF paper = testPage().fullRect(QPageLayout::Point).size() / 72.0 * dpi;
        QImage image(paper.toSize(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        renderer.paintPage(painter, page, dpi, dpi);
        return image;
    }

    static QRgb at(const QImage &image, int x, int y) { return image.pixel(x, y) & 0xffffff; }

private slots:
    // With a 256-unit header, 200-unit footer and 3456 units inside the margins, 30 rows
    // of 100 units fit a page.
    void rowsPerPage_data()
    {
        QTest::addColumn<QString>("processing");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("summary");
        QTest::addColumn<PageRows>("pages");
        using Pages = PageRows;
        QTest::newRow("one page exactly") << u"tabular"_s << 30 << 0 << Pages{{1, 30}};
        QTest::newRow("one row over") << u"tabular"_s << 31 << 0 << Pages{{1, 30}, {31, 31}};
        QTest::newRow("several pages")
            << u"tabular"_s << 100 << 0 << Pages{{1, 30}, {31, 60}, {61, 90}, {91, 100}};
        // A listing keeps a strip at the bottom for the page number and the date.
        QTest::newRow("listing") << u"grid"_s << 100 << 0 << Pages{{1, 29}, {30, 58}, {59, 87}, {88, 100}};
        QTest::newRow("no rows: header and footer only") << u"tabular"_s << 0 << 0 << Pages{{1, 0}};
        QTest::newRow("summary after the last row") << u"tabular"_s << 25 << 500 << Pages{{1, 25}};
        QTest::newRow("summary that needs its own page")
            << u"tabular"_s << 60 << 500 << Pages{{1, 30}, {31, 60}, {61, 60}};
        QTest::newRow("summary without rows") << u"tabular"_s << 0 << 500 << Pages{{1, 0}};
        QTest::newRow("freeform: one page per row")
            << u"freeform"_s << 3 << 0 << Pages{{1, 1}, {2, 2}, {3, 3}};
    }
    void rowsPerPage()
    {
        QFETCH(QString, processing);
        QFETCH(int, rows);
        QFETCH(int, summary);
        QFETCH(PageRows, pages);
        Table table;
        Bands bands;
        bands.processing = processing;
        bands.summary = summary;
        QVERIFY(table.open(numberedMembers(rows), bands));
        const dw::PageRenderer renderer(table.dw, testPage());
        QCOMPARE(renderer.pageCount(), int(pages.size()));
        QCOMPARE(renderer.pagesAcross(), 1);
        QCOMPARE(renderer.scale(), 1.0);
        for (int page = 0; page < pages.size(); ++page) {
            const auto [first, last] = renderer.rowsOnPage(page);
            if (pages.at(page).second < pages.at(page).first) {
                QVERIFY2(last < first, qPrintable(u"page %1 shows no rows"_s.arg(page + 1)));
            } else {
                QCOMPARE((QPair<int, int>{int(first), int(last)}), pages.at(page));
            }
        }
        const QSizeF paper = renderer.paperSizeUnits();
        QCOMPARE(qRound(paper.width()), 3511); // 8 in at 96 px and 32/7 units a pixel
        QCOMPARE(qRound(paper.height()), 3840);
    }

    // Every page has the header at its top and the footer at its bottom; rows start
    // under the header, and the space under the last row stays empty.
    void bandsOnEveryPage()
    {
        Table table;
        Bands bands;
        bands.summary = 120;
        QVERIFY(table.open(numberedMembers(65), bands));
        const dw::PageRenderer renderer(table.dw, testPage());
        QCOMPARE(renderer.pageCount(), 3);
        // Points clear of the texts: right in the first column, low in each band.
        const int x = 140; // the first column is 107 px wide
        const int headerY = 48 + 60; // 256 units = 64 px from the top margin
        const int firstRowY = 48 + 64 + 22; // a row is 25 px
        const int footerY = 960 - 48 - 6; // the footer's 50 px end at the bottom margin
        for (int page = 0; page < 3; ++page) {
            const QImage image = paint(renderer, page);
            QCOMPARE(at(image, 10, 10), 0xffffffu); // the paper, in the layout's colour
            QCOMPARE(at(image, x, headerY), 0xff0000u);
            QCOMPARE(at(image, x, firstRowY), 0x00ff00u);
            QCOMPARE(at(image, x, footerY), 0x0000ffu);
        }
        const QImage full = paint(renderer, 0);
        QCOMPARE(at(full, x, 48 + 64 + 30 * 25 - 3), 0x00ff00u); // row 30, just above the footer
        const QImage last = paint(renderer, 2);
        // Rows 61 to 65 end 125 px under the header; the summary follows them.
        QCOMPARE(at(last, x, 48 + 64 + 125 - 3), 0x00ff00u);
        QCOMPARE(at(last, x, 48 + 64 + 125 + 27), 0xffff00u);
        QCOMPARE(at(last, x, 48 + 64 + 125 + 30 + 100), 0xffffffu);

        // The same page at four times the resolution puts the bands at the same places.
        const QImage sharp = paint(renderer, 2, 384);
        QCOMPARE(at(sharp, 4 * x, 4 * headerY), 0xff0000u);
        QCOMPARE(at(sharp, 4 * x, 4 * footerY), 0x0000ffu);
    }

    // A grid prints its lines: a grey line runs in the gap between two columns.
    void gridLines()
    {
        Table table;
        Bands bands;
        bands.processing = u"grid"_s;
        QVERIFY(table.open(numberedMembers(3), bands));
        const dw::PageRenderer renderer(table.dw, testPage());
        const QImage image = paint(renderer, 0, 384);
        // The first column ends at 492 units and the second starts at 500: at 384 dpi the
        // gap is 7 px wide around x = 192 + 496 * 7 / 32 * 4.
        const int gapX = 192 + int(496.0 * 7 / 32 * 4);
        const int rowY = 4 * (48 + 64 + 22);
        QCOMPARE(at(image, gapX, rowY), 0xc0c0c0u);
        QCOMPARE(at(image, gapX - 12, rowY), 0x00ff00u);
    }

    // A layout a little wider than the paper is shrunk to fit it (more rows then fit a
    // page); a much wider one keeps its size and continues on pages side by side, each
    // starting at a column's edge.
    void wideLayouts()
    {
        {
            Table table;
            Bands bands;
            bands.width = 4000;
            QVERIFY(table.open(numberedMembers(100), bands));
            const dw::PageRenderer renderer(table.dw, testPage());
            QCOMPARE(renderer.pagesAcross(), 1);
            QVERIFY(qAbs(renderer.scale() - 3072.0 / 4000) < 0.01);
            QCOMPARE(renderer.rowsOnPage(0), (std::pair<long, long>{1, 40}));
            QCOMPARE(renderer.pageCount(), 3);
        }
        {
            Table table;
            Bands bands;
            bands.width = 12000;
            QVERIFY(table.open(numberedMembers(45), bands));
            const dw::PageRenderer renderer(table.dw, testPage());
            QCOMPARE(renderer.scale(), 1.0);
            QCOMPARE(renderer.pagesAcross(), 4);
            QCOMPARE(renderer.pageCount(), 8);
            QCOMPARE(renderer.rowsOnPage(3), (std::pair<long, long>{1, 30}));
            QCOMPARE(renderer.rowsOnPage(4), (std::pair<long, long>{31, 45}));
            // The second page across begins with the second column (at 3000 units), so
            // its left edge shows that column's green, not the end of the first.
            const QImage second = paint(renderer, 1);
            QCOMPARE(at(second, 48 + 2, 48 + 64 + 22), 0x00ff00u);
            const QImage first = paint(renderer, 0);
            // The first page stops where the second column would begin: the part of the
            // page past 3000 units stays blank.
            QCOMPARE(at(first, 48 + int(3040.0 * 7 / 32), 48 + 64 + 22), 0xffffffu);
        }
    }

    // Sheets across: shrunk to the width while the scale allowed holds, else cut at the
    // slice scale at column edges; a listing's continuation sheets start with its first
    // column again when that leaves them half a sheet or more.
    void sheetsAcross_data()
    {
        QTest::addColumn<double>("contentWidth");
        QTest::addColumn<int>("columnStride"); // columns side by side, each 8 units short of it
        QTest::addColumn<double>("minimumFitScale");
        QTest::addColumn<double>("sliceScale");
        QTest::addColumn<bool>("repeat");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QList<double>>("starts");
        QTest::addColumn<double>("repeated");
        using Starts = QList<double>;
        QTest::newRow("fits") << 2000.0 << 500 << 0.875 << 0.875 << true << 1.0 << Starts{0} << 0.0;
        QTest::newRow("shrunk exactly to the smallest scale")
            << 2500.0 << 500 << 0.8 << 0.8 << true << 0.8 << Starts{0} << 0.0;
        // A little wider: cut at that scale into sheets 2500 units wide, the second led by
        // the first column (500 units with its gap).
        QTest::newRow("just too wide to shrink")
            << 2510.0 << 500 << 0.8 << 0.8 << true << 0.8 << Starts{0, 2500} << 500.0;
        QTest::newRow("first column repeated")
            << 6000.0 << 500 << 1.0 << 1.0 << true << 1.0 << Starts{0, 2000, 3500, 5000} << 500.0;
        QTest::newRow("nothing repeated")
            << 6000.0 << 500 << 1.0 << 1.0 << false << 1.0 << Starts{0, 2000, 4000} << 0.0;
        // A first column over half a sheet would leave too little beside it.
        QTest::newRow("first column too wide to repeat")
            << 6000.0 << 1200 << 1.0 << 1.0 << true << 1.0 << Starts{0, 1200, 2400, 3600, 4800} << 0.0;
        QTest::newRow("first column of half a sheet")
            << 3000.0 << 1000 << 1.0 << 1.0 << true << 1.0 << Starts{0, 2000} << 1000.0;
        QTest::newRow("first column over half a sheet")
            << 3003.0 << 1001 << 1.0 << 1.0 << true << 1.0 << Starts{0, 2000} << 0.0;
        // Other layouts: shrunk down to 0.6, wider at full size.
        QTest::newRow("layout shrunk")
            << 3000.0 << 500 << 0.6 << 1.0 << false << 2000.0 / 3000 << Starts{0} << 0.0;
        QTest::newRow("layout at full size")
            << 3400.0 << 500 << 0.6 << 1.0 << false << 1.0 << Starts{0, 2000} << 0.0;
        // A column wider than a sheet is cut where the sheet ends.
        QTest::newRow("column wider than a sheet")
            << 5000.0 << 5000 << 1.0 << 1.0 << true << 1.0 << Starts{0, 2000, 4000} << 0.0;
    }
    void sheetsAcross()
    {
        QFETCH(double, contentWidth);
        QFETCH(int, columnStride);
        QFETCH(double, minimumFitScale);
        QFETCH(double, sliceScale);
        QFETCH(bool, repeat);
        QFETCH(double, scale);
        QFETCH(QList<double>, starts);
        QFETCH(double, repeated);
        std::vector<std::pair<double, double>> columns;
        for (double left = 0; left < contentWidth; left += columnStride)
            columns.emplace_back(left, std::min(contentWidth, left + columnStride - 8));
        std::reverse(columns.begin(), columns.end()); // in any order
        dw::AcrossRules rules;
        rules.printableWidth = 2000;
        rules.minimumFitScale = minimumFitScale;
        rules.sliceScale = sliceScale;
        rules.repeatFirstColumn = repeat;
        const dw::SheetsAcross plan = dw::planSheetsAcross(columns, contentWidth, rules);
        QVERIFY(qAbs(plan.scale - scale) < 1e-9);
        QCOMPARE(plan.repeated, repeated);
        QCOMPARE(int(plan.slices.size()), int(starts.size()));
        for (int i = 0; i < starts.size(); ++i) {
            QCOMPARE(plan.slices.at(std::size_t(i)).first, starts.at(i));
            const double end = i + 1 < starts.size() ? starts.at(i + 1) : contentWidth;
            QCOMPARE(plan.slices.at(std::size_t(i)).second, end);
            // Nothing a sheet shows lies past its edge.
            const double room = rules.printableWidth / plan.scale - (i > 0 ? plan.repeated : 0);
            QVERIFY2(end - starts.at(i) <= room + 1e-9, qPrintable(QString::number(i)));
        }
    }

    // A listing keeps its 8-point values at 7 points or more: shrunk to fit while it can,
    // else on sheets side by side; it turns the paper only when that takes fewer sheets.
    // Other layouts keep the paper as it is.
    void listingsStayReadable()
    {
        const QPageLayout portrait = testPage();
        const auto sheets = [](const dw::DataWindow &dw, QPageLayout::Orientation orientation) {
            QPageLayout paper = testPage();
            paper.setOrientation(orientation);
            return dw::PageRenderer(dw, paper).pageCount();
        };
        {
            // 3400 units shrink to 0.9 on portrait: 4 sheets, against 5 on landscape.
            Table table;
            Bands bands;
            bands.processing = u"grid"_s;
            bands.width = 3400;
            QVERIFY(table.open(numberedMembers(100), bands));
            QCOMPARE(dw::printedPageLayout(table.dw, portrait).orientation(), QPageLayout::Portrait);
            const dw::PageRenderer renderer(table.dw, portrait);
            QCOMPARE(renderer.pagesAcross(), 1);
            QVERIFY(qAbs(renderer.scale() - 3072.0 / 3400) < 1e-6);
            QCOMPARE(sheets(table.dw, QPageLayout::Portrait), 4);
            QCOMPARE(sheets(table.dw, QPageLayout::Landscape), 5);
        }
        {
            // 3600 units would take two sheets across at 7 points on portrait (8 sheets);
            // landscape holds them whole on 5.
            Table table;
            Bands bands;
            bands.processing = u"grid"_s;
            bands.width = 3600;
            QVERIFY(table.open(numberedMembers(100), bands));
            const dw::PageRenderer upright(table.dw, portrait);
            QCOMPARE(upright.scale(), 0.875);
            QCOMPARE(upright.pagesAcross(), 2);
            QCOMPARE(upright.pageCount(), 8);
            const QPageLayout turned = dw::printedPageLayout(table.dw, portrait);
            QCOMPARE(turned.orientation(), QPageLayout::Landscape);
            const dw::PageRenderer renderer(table.dw, turned);
            QCOMPARE(renderer.scale(), 1.0);
            QCOMPARE(renderer.pageCount(), 5);
        }
        {
            Table table;
            Bands bands;
            bands.processing = u"grid"_s;
            bands.width = 16000;
            QVERIFY(table.open(numberedMembers(100), bands));
            const dw::PageRenderer renderer(table.dw, dw::printedPageLayout(table.dw, portrait));
            QCOMPARE(renderer.scale(), 0.875);
            QVERIFY(renderer.pagesAcross() > 1);
        }
        {
            Table table;
            Bands bands;
            bands.width = 8000; // tabular
            QVERIFY(table.open(numberedMembers(3), bands));
            QCOMPARE(dw::printedPageLayout(table.dw, portrait).orientation(), QPageLayout::Portrait);
        }
        {
            Table table;
            Bands bands;
            bands.processing = u"grid"_s; // narrower than the paper: one sheet either way
            QVERIFY(table.open(numberedMembers(3), bands));
            QCOMPARE(dw::printedPageLayout(table.dw, portrait).orientation(), QPageLayout::Portrait);
        }
    }
};

QTEST_MAIN(TestPage)
#include "tst_page.moc"
