// The listing keeps a true scroll position whatever changes its rows: scrolled down with
// the wheel, then filtered, unfiltered, sorted and retrieved again through real clicks on
// an offscreen listing grid of the sample directory, the first row painted is a real row
// and the scroll bar says where the view is.

#include "gridstylefixture.h"
#include "n_svc_dw_selectrow.h"
#include "support/fakeinteraction.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

QScrollBar *verticalBar(const u_dw &control)
{
    for (QScrollBar *bar : control.findChildren<QScrollBar *>()) {
        if (bar->orientation() == Qt::Vertical)
            return bar;
    }
    return nullptr;
}

// Turns of the wheel over the rows (negative: down).
void wheel(u_dw &control, int notches)
{
    const QPoint point(control.width() / 3, control.height() / 2);
    const auto [widget, local] = gridtest::target(control, point);
    QWheelEvent event(local, widget->mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// What a user sees of the rows: the row under each line of pixels below the header, and
// whether the first row's cell is painted.
struct Shown
{
    long first = 0; // the row at the top of the rows, 0 when none is there
    long last = 0; // the last row shown whole or in part
    bool firstPainted = false;
};

Shown shown(u_dw &control)
{
    Shown result;
    const QImage image = control.grab().toImage();
    const int x = gridtest::pointOf(control, u"nombre_t"_s).x();
    int firstY = -1;
    for (int y = 1; y < control.height() - 1; ++y) {
        long row = 0;
        const dw::DwObjectRef dwo = control.objectAt(QPoint(x, y), &row);
        if (row > 0 && result.first == 0) {
            result.first = row;
            firstY = y;
        }
        if (row > 0)
            result.last = row;
        if (dwo.band == u"header"_s)
            result.first = result.last = 0, firstY = -1; // below the header only
    }
    if (firstY >= 0) {
        // The cell's own light blue (selected or not), never the empty grid's white.
        const QColor colour = image.pixelColor(x, firstY + 2);
        result.firstPainted = colour != QColor(Qt::white) && colour.blue() > colour.red();
    }
    return result;
}

} // namespace

class TstGridStyleScroll : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rowsChangesKeepATrueScrollPosition();
    void currentRowStaysInViewWhenItSurvives();

private:
    // Right-clicks the cell of `column` at `row` and chooses `item` from the menu.
    void choose(Grid &grid, const QString &column, long row, const QString &item);
    // The view shows real rows from its top and the scroll bar agrees with it.
    void verifyTrue(Grid &grid, const char *after);

    std::unique_ptr<FakeInteraction> m_fake;
};

void TstGridStyleScroll::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstGridStyleScroll::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleScroll::choose(Grid &grid, const QString &column, long row, const QString &item)
{
    const QPoint point = gridtest::pointOf(*grid.control, column, row);
    QVERIFY2(point.x() >= 0, qPrintable(column));
    m_fake->chooseMenuItem = item;
    gridtest::click(*grid.control, point, Qt::RightButton);
    m_fake->chooseMenuItem.clear();
}

void TstGridStyleScroll::verifyTrue(Grid &grid, const char *after)
{
    u_dw &control = *grid.control;
    const Shown rows = shown(control);
    QScrollBar *bar = verticalBar(control);
    QVERIFY(bar);
    QVERIFY2(control.RowCount() > 0, after);
    QVERIFY2(rows.first >= 1 && rows.firstPainted, after);
    // The rows run on to the end of the view or of the list: no blank space above them.
    const long capacity = rows.last - rows.first + 1;
    QVERIFY2(rows.last == control.RowCount() || capacity >= 5, after);
    if (bar->isVisible()) {
        QVERIFY2(bar->value() >= bar->minimum() && bar->value() <= bar->maximum(), after);
        QCOMPARE(bar->value(), int(rows.first - 1));
        QVERIFY2(bar->maximum() < control.RowCount(), after);
    } else {
        QCOMPARE(rows.first, 1L);
    }
}

void TstGridStyleScroll::rowsChangesKeepATrueScrollPosition()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    control.setGeometry(20, 20, 900, 260); // a few rows at a time
    const long all = control.RowCount();
    QVERIFY(all >= 17);

    // To the bottom with the wheel: the current row (the first) is out of view.
    wheel(control, -100);
    QCOMPARE(shown(control).last, all);
    QVERIFY(shown(control).first > 1);
    verifyTrue(*grid, "wheel");

    // Filter by a value of the last row: fewer rows than the view was scrolled past.
    choose(*grid, u"tipo_miembro_red"_s, all, u"Filtrar por Selección"_s);
    QVERIFY(control.RowCount() < all);
    verifyTrue(*grid, "filter");

    // Unfiltered, sorted by a heading, retrieved: each from the bottom again.
    wheel(control, -100);
    choose(*grid, u"tipo_miembro_red"_s, shown(control).last, u"Filtro Original"_s);
    QCOMPARE(control.RowCount(), all);
    verifyTrue(*grid, "unfilter");

    wheel(control, -100);
    gridtest::click(control, gridtest::pointOf(control, u"grado_academico_t"_s));
    QVERIFY(grid->describe(u"DataWindow.Table.Sort"_s).startsWith(u"grado_academico "_s));
    verifyTrue(*grid, "sort");

    wheel(control, -100);
    QCOMPARE(control.Retrieve(), all);
    verifyTrue(*grid, "retrieve");
    QCOMPARE(shown(control).first, 1L);

    // A list that shrinks to less than a view and grows again.
    wheel(control, -100);
    control.SetFilter(u"id <= 3"_s);
    control.Filter();
    verifyTrue(*grid, "shrink");
    QCOMPARE(shown(control).first, 1L);
    control.SetFilter(u""_s);
    control.Filter();
    verifyTrue(*grid, "grow");
}

void TstGridStyleScroll::currentRowStaysInViewWhenItSurvives()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    control.setGeometry(20, 20, 900, 260);
    QVERIFY(control.of_startservice(u"Select"_s));
    control.isrv_select()->of_setselectstyle(u"extend"_s);

    // A member chosen with a click (current and selected), then scrolled away from.
    const QPoint third = gridtest::pointOf(control, u"nombre"_s, 3);
    gridtest::click(control, third);
    QCOMPARE(control.GetRow(), 3L);
    const QString name = control.GetItemString(3, u"nombre"_s);
    const QString type = control.GetItemString(3, u"tipo_miembro_red"_s);
    wheel(control, -100);
    QVERIFY(shown(control).first > 3);

    // Sorted descending by name: the member moves, stays current, and shows.
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre D"_s);
    QCOMPARE(control.GetItemString(control.GetRow(), u"nombre"_s), name);
    Shown now = shown(control);
    QVERIFY(control.GetRow() >= now.first && control.GetRow() <= now.last);
    verifyTrue(*grid, "sort with the current row");

    // A filter that keeps it: it still shows. One that drops it: the view goes to the top.
    choose(*grid, u"tipo_miembro_red"_s, control.GetRow(), u"Filtrar por Selección"_s);
    QCOMPARE(control.GetItemString(control.GetRow(), u"nombre"_s), name);
    now = shown(control);
    QVERIFY(control.GetRow() >= now.first && control.GetRow() <= now.last);
    choose(*grid, u"tipo_miembro_red"_s, control.GetRow(), u"Filtrar Excluyendo Selección"_s);
    QVERIFY(control.GetItemString(control.GetRow(), u"tipo_miembro_red"_s) != type);
    QCOMPARE(shown(control).first, 1L);
    QCOMPARE(control.GetRow(), 1L);
    verifyTrue(*grid, "filter without the current row");
}

QTEST_MAIN(TstGridStyleScroll)
#include "tst_gridstyle_scroll.moc"
