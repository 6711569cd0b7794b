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

    // A listing wider than the paper turns it to landscape and shrinks to its width while
    // its values stay at least 2.5 points (8-point type down to a scale of 0.3125);
    // wider still, it keeps that size and goes on over pages side by side. Other layouts
    // keep the paper as it is.
    void listingsTurnAndShrink()
    {
        const QPageLayout portrait = testPage();
        {
            Table table;
            Bands bands;
            bands.processing = u"grid"_s;
            bands.width = 8000;
            QVERIFY(table.open(numberedMembers(100), bands));
            const QPageLayout turned = dw::printedPageLayout(table.dw, portrait);
            QCOMPARE(turned.orientation(), QPageLayout::Landscape);
            const dw::PageRenderer renderer(table.dw, turned);
            QCOMPARE(renderer.pagesAcross(), 1);
            // 9 inches inside the margins: 864 px, 3949 units.
            QVERIFY(qAbs(renderer.scale() - 3949.7 / 8000) < 0.01);
        }
        {
            Table table;
            Bands bands;
            bands.processing = u"grid"_s;
            bands.width = 16000;
            QVERIFY(table.open(numberedMembers(100), bands));
            const dw::PageRenderer renderer(table.dw, dw::printedPageLayout(table.dw, portrait));
            QCOMPARE(renderer.scale(), 0.3125);
            QCOMPARE(renderer.pagesAcross(), 2);
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
            bands.processing = u"grid"_s; // narrower than the paper
            QVERIFY(table.open(numberedMembers(3), bands));
            QCOMPARE(dw::printedPageLayout(table.dw, portrait).orientation(), QPageLayout::Portrait);
        }
    }
};

QTEST_MAIN(TestPage)
#include "tst_page.moc"
