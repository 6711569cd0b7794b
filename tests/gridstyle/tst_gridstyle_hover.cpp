// The heading under the pointer is highlighted, with real pointer movements over an
// offscreen listing grid of the sample directory.

#include "contrast.h"
#include "gridstylefixture.h"
#include "support/fakeinteraction.h"
#include "themequery.h"

#include <QImage>
#include <QTest>

#include <map>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

const QString kTeal = u"8421376"_s; // the headings' designed background
const QStringList kGray = {u"12109771"_s, u"12767958"_s, u"13491938"_s};
const QStringList kOrange = {u"2454223"_s, u"5214691"_s, u"5805795"_s};
const QString kHighlight = u"15988986"_s;

// The heading's background and its three lines' colours, bottom line first.
QStringList headingColours(const Grid &grid, const QString &column)
{
    QStringList colours{grid.describe(column + u"_t.background.color"_s)};
    for (int i = 1; i <= 3; ++i)
        colours.append(grid.describe(column + u"_hline%1.background.color"_s.arg(i)));
    return colours;
}

QStringList highlighted()
{
    return QStringList{kHighlight} + kOrange;
}

QStringList atRest(const QStringList &lines = kGray)
{
    return QStringList{kTeal} + lines;
}

// How a heading reads on screen, from the control's painted pixels: its commonest colour
// (the background), and the strongest contrast against it of the caption's pixels and
// of the sort arrow's (the arrow sits at the heading's right end, the caption centred).
struct HeadingLook
{
    QColor background;
    double caption = 0;
    double arrow = 0;
};

HeadingLook lookOf(u_dw &control, const QString &column)
{
    const QImage image = control.grab().toImage();
    QRect heading;
    // The header band is the top few lines.
    for (int y = 0; y < std::min(control.height(), 40); ++y) {
        for (int x = 0; x < control.width(); ++x) {
            const QString name = control.objectAt(QPoint(x, y)).name;
            if (name == column + u"_t"_s || name == column + u"_arrow"_s)
                heading |= QRect(x, y, 1, 1);
        }
    }
    HeadingLook look;
    if (heading.isEmpty())
        return look;
    // Clear of the header lines under the caption.
    heading.setBottom(heading.bottom() - 4);
    std::map<QRgb, int> counts;
    for (int y = heading.top(); y <= heading.bottom(); ++y) {
        for (int x = heading.left(); x <= heading.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    const auto commonest
        = std::max_element(counts.begin(), counts.end(), [](auto a, auto b) { return a.second < b.second; });
    look.background = QColor::fromRgb(commonest->first);
    const int arrowLeft = heading.right() - 18;
    for (int y = heading.top(); y <= heading.bottom(); ++y) {
        for (int x = heading.left(); x <= heading.right(); ++x) {
            const double ratio = gridstyle::contrastRatio(image.pixelColor(x, y), look.background);
            double &strongest = x < arrowLeft ? look.caption : look.arrow;
            strongest = std::max(strongest, ratio);
        }
    }
    return look;
}

} // namespace

class TstGridStyleHover : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void highlightFollowsThePointer();
    void arrowAndLinesKeepTheHighlightUntouched();
    void leavingAndRightClickEndTracking();
    void highlightOffLeavesHeadingsAlone();
    void restoredLinesAreTransparentWithoutThemes();
    void sortedGridHighlightsTheHoveredHeadingOnly();
    void contrastRatios_data();
    void contrastRatios();
    void hoveredHeadingStaysReadable();

private:
    std::unique_ptr<FakeInteraction> m_fake;
};

void TstGridStyleHover::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstGridStyleHover::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleHover::highlightFollowsThePointer()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest());

    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(headingColours(*grid, u"nombre"_s), highlighted());

    // Straight onto the next heading: the first is restored, the second highlighted.
    gridtest::moveTo(control, gridtest::pointOf(control, u"tipo_miembro_red_t"_s));
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest());
    QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), highlighted());

    // A heading with its own colour gets exactly that text back.
    control.Modify(u"grado_academico_t.background.color=255"_s);
    gridtest::moveTo(control, gridtest::pointOf(control, u"grado_academico_t"_s));
    QCOMPARE(grid->describe(u"grado_academico_t.background.color"_s), kHighlight);
    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre"_s, 2));
    QCOMPARE(grid->describe(u"grado_academico_t.background.color"_s), u"255"_s);
    QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), atRest());
}

void TstGridStyleHover::arrowAndLinesKeepTheHighlightUntouched()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    gridtest::click(control, gridtest::pointOf(control, u"tipo_miembro_red_t"_s));
    QCOMPARE(grid->describe(u"tipo_miembro_red_arrow.text"_s), u"t"_s);

    gridtest::moveTo(control, gridtest::pointOf(control, u"tipo_miembro_red_t"_s));
    QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), highlighted());

    // Marks that any Modify of the service would overwrite.
    control.Modify(
        u"tipo_miembro_red_t.background.color=65280 tipo_miembro_red_hline1.background.color=255"_s);
    const QStringList marked = headingColours(*grid, u"tipo_miembro_red"_s);
    for (const QString &name : {u"tipo_miembro_red_arrow"_s, u"tipo_miembro_red_hline3"_s, u"nombre_hline2"_s,
                                u"tipo_miembro_red_t"_s}) {
        const QPoint point = gridtest::pointOf(control, name);
        QVERIFY2(point.x() >= 0, qPrintable(name));
        gridtest::moveTo(control, point);
        QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), marked);
        QCOMPARE(headingColours(*grid, u"nombre"_s), atRest());
    }
    // The highlight stayed with that heading: leaving it puts back what it had before.
    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre"_s, 1));
    QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), atRest());
}

void TstGridStyleHover::leavingAndRightClickEndTracking()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    n_svc_dw_gridstyle &service = grid->service();

    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(headingColours(*grid, u"nombre"_s), highlighted());
    gridtest::leave(*grid);
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest());

    // Coming back highlights again; a right click (menu off) keeps the highlight, and
    // the next leave still takes it away.
    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(headingColours(*grid, u"nombre"_s), highlighted());
    service.of_setstyle(false, true, true, true);
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s), Qt::RightButton);
    QCOMPARE(m_fake->menuCalls, 0);
    QCOMPARE(headingColours(*grid, u"nombre"_s), highlighted());
    gridtest::leave(*grid);
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest());
    gridtest::moveTo(control, gridtest::pointOf(control, u"tipo_miembro_red_t"_s));
    QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), highlighted());
    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre"_s, 1));
    QCOMPARE(headingColours(*grid, u"tipo_miembro_red"_s), atRest());
}

void TstGridStyleHover::highlightOffLeavesHeadingsAlone()
{
    auto grid = gridtest::makeGrid(false, true);
    QVERIFY(grid);
    grid->service().of_setstyle(true, true, true, false);
    gridtest::moveTo(*grid->control, gridtest::pointOf(*grid->control, u"nombre_t"_s));
    QCOMPARE(grid->describe(u"nombre_t.background.color"_s), kTeal);
    QCOMPARE(grid->describe(u"nombre_hline1.background.color"_s), u"!"_s);
    gridtest::leave(*grid);
    QCOMPARE(grid->describe(u"nombre_t.background.color"_s), kTeal);
}

void TstGridStyleHover::restoredLinesAreTransparentWithoutThemes()
{
    gridstyle::setThemeQuery([] { return false; });
    auto grid = gridtest::makeGrid();
    gridstyle::setThemeQuery(nullptr);
    QVERIFY(grid);
    const QStringList transparent(3, u"536870912"_s);
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest(transparent));
    gridtest::moveTo(*grid->control, gridtest::pointOf(*grid->control, u"nombre_t"_s));
    QCOMPARE(headingColours(*grid, u"nombre"_s), highlighted());
    gridtest::leave(*grid);
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest(transparent));
}

void TstGridStyleHover::sortedGridHighlightsTheHoveredHeadingOnly()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    // Few rows, so the stripe shows below them.
    control.SetFilter(u"id <= 8"_s);
    control.Filter();
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    gridtest::moveTo(control, gridtest::pointOf(control, u"grado_academico_t"_s));
    QCOMPARE(headingColours(*grid, u"grado_academico"_s), highlighted());
    // The sorted column's heading is back at rest, its sort kept.
    QCOMPARE(headingColours(*grid, u"nombre"_s), atRest());
    const QString sort = grid->describe(u"DataWindow.Table.Sort"_s);
    QVERIFY2(sort.startsWith(u"nombre "_s), qPrintable(sort));
}

void TstGridStyleHover::contrastRatios_data()
{
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("same colour") << QColor(0, 128, 128) << QColor(0, 128, 128) << 1.0;
    QTest::newRow("white on teal") << QColor(Qt::white) << QColor(0, 128, 128) << 4.77;
    QTest::newRow("mid grey on white") << QColor(118, 118, 118) << QColor(Qt::white) << 4.54;
    QTest::newRow("white caption on the highlight") << QColor(Qt::white) << QColor(250, 248, 243) << 1.07;
}

void TstGridStyleHover::contrastRatios()
{
    QFETCH(QColor, first);
    QFETCH(QColor, second);
    QFETCH(double, ratio);
    QVERIFY2(std::abs(gridstyle::contrastRatio(first, second) - ratio) < 0.01,
             qPrintable(QString::number(gridstyle::contrastRatio(first, second))));
    QCOMPARE(gridstyle::contrastRatio(second, first), gridstyle::contrastRatio(first, second));
}

void TstGridStyleHover::hoveredHeadingStaysReadable()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    const QString glyph = grid->describe(u"nombre_arrow.text"_s);
    QVERIFY(glyph == u"t"_s || glyph == u"u"_s);
    gridtest::leave(*grid);

    // At rest: white caption and the arrow on teal.
    HeadingLook look = lookOf(control, u"nombre"_s);
    QCOMPARE(look.background, QColor(0, 128, 128));
    QVERIFY2(look.caption >= 4.5, qPrintable(QString::number(look.caption)));
    QVERIFY2(look.arrow >= 3.0, qPrintable(QString::number(look.arrow)));

    // Under the pointer: the specified highlight behind a dark caption and arrow.
    gridtest::moveTo(control, gridtest::pointOf(control, u"nombre_t"_s));
    look = lookOf(control, u"nombre"_s);
    QCOMPARE(look.background, QColor(250, 248, 243));
    QVERIFY2(look.caption >= 4.5, qPrintable(QString::number(look.caption)));
    QVERIFY2(look.arrow >= 3.0, qPrintable(QString::number(look.arrow)));

    // Sorted again while highlighted, then left: the new arrow and the caption are back
    // to their resting colours.
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QVERIFY(grid->describe(u"nombre_arrow.text"_s) != glyph);
    gridtest::leave(*grid);
    look = lookOf(control, u"nombre"_s);
    QCOMPARE(look.background, QColor(0, 128, 128));
    QCOMPARE(grid->describe(u"nombre_t.color"_s), u"16777215"_s);
    QVERIFY2(look.arrow >= 3.0, qPrintable(QString::number(look.arrow)));
}

QTEST_MAIN(TstGridStyleHover)
#include "tst_gridstyle_hover.moc"
