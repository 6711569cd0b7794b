// Heading sorts, their indicators and the remembered sort on an offscreen listing grid
// of the sample directory, driven by real clicks where the behaviour is about the mouse.

#include "gridstylefixture.h"
#include "support/fakeinteraction.h"
#include "themequery.h"

#include <QTest>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

// What a later start of the service reads back for a data window object.
QString storedSort(u_dw &control)
{
    n_svc_dw_gridstyle reader;
    reader.idw_client = &control;
    return reader.of_getreg(u"sortorder"_s, u"<none>"_s);
}

void storeSort(u_dw &control, const QString &criteria)
{
    n_svc_dw_gridstyle writer;
    writer.idw_client = &control;
    writer.of_setreg(u"sortorder"_s, criteria);
}

// The criteria the grid sorts by.
QString sortOf(const Grid &grid)
{
    return grid.describe(u"DataWindow.Table.Sort"_s);
}

int objectsNamed(const u_dw &control, const QString &name)
{
    int count = 0;
    for (const dw::LayoutObject &object : control.model().objects())
        count += object.name.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    return count;
}

QList<qint64> ids(const u_dw &control)
{
    QList<qint64> result;
    for (long row = 1; row <= control.RowCount(); ++row)
        result.append(qint64(control.GetItemNumber(row, u"id"_s).value_or(-1)));
    return result;
}

} // namespace

class TstGridStyleSort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void headingClicksToggleAndRemember();
    void clicksElsewhereChangeNothing();
    void zoomedHeadingClickSortsTheColumnUnderThePointer();
    void codeTableColumnSortsByDisplayedText();
    void designedTwoKeySortGetsTwoArrows();
    void indicatorAndLineGeometry();
    void stripeHeightFollowsRowsAndControl();
    void resizeRebuildsOnlyWithShade();
    void headerLinesOnceForVisibleColumns();
    void storedSortComesBack();
    void unreadableStoredSortLeavesGridUsable();

private:
    std::unique_ptr<FakeInteraction> m_fake;
};

void TstGridStyleSort::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstGridStyleSort::init()
{
    // Every test starts without a remembered sort.
    auto grid = gridtest::makeGrid(false, false);
    QVERIFY(grid);
    storeSort(*grid->control, u""_s);
    grid->service().of_setreg(u"zoom"_s, u""_s);
    gridstyle::setThemeQuery(nullptr);
}

void TstGridStyleSort::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleSort::headingClicksToggleAndRemember()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    QCOMPARE(storedSort(control), u"<none>"_s); // nothing written before the user sorts

    const QPoint heading = gridtest::pointOf(control, u"nombre_t"_s);
    QVERIFY(heading.x() >= 0);
    gridtest::click(control, heading);
    QCOMPARE(sortOf(*grid), u"nombre A"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    QCOMPARE(grid->describe(u"nombre_shade.band"_s), u"background"_s);
    QCOMPARE(storedSort(control), u"nombre A"_s);
    const QStringList ascending = gridtest::columnValues(control, u"nombre"_s);

    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(sortOf(*grid), u"nombre D"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"u"_s);
    QCOMPARE(storedSort(control), u"nombre D"_s);
    QCOMPARE(objectsNamed(control, u"nombre_arrow"_s), 1);
    const QStringList descending = gridtest::columnValues(control, u"nombre"_s);
    QCOMPARE(descending.first(), ascending.last());
    QCOMPARE(descending.last(), ascending.first());

    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(sortOf(*grid), u"nombre A"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    QCOMPARE(gridtest::columnValues(control, u"nombre"_s), ascending);

    // The arrow sorts like its heading.
    const QPoint arrow = gridtest::pointOf(control, u"nombre_arrow"_s);
    QVERIFY(arrow.x() >= 0);
    gridtest::click(control, arrow);
    QCOMPARE(sortOf(*grid), u"nombre D"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"u"_s);
    QCOMPARE(storedSort(control), u"nombre D"_s);

    // Another heading starts ascending and takes the indicators along.
    gridtest::click(control, gridtest::pointOf(control, u"grado_academico_t"_s));
    QCOMPARE(sortOf(*grid), u"grado_academico A"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"!"_s);
    QCOMPARE(grid->describe(u"nombre_shade.band"_s), u"!"_s);
    QCOMPARE(grid->describe(u"grado_academico_arrow.text"_s), u"t"_s);
    QCOMPARE(m_fake->sortCalls, 0);
}

void TstGridStyleSort::clicksElsewhereChangeNothing()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    // Few rows leave empty space below them.
    control.SetFilter(u"id <= 3"_s);
    control.Filter();
    const QList<qint64> before = ids(control);
    const QString sortBefore = sortOf(*grid);

    const QPoint cell = gridtest::pointOf(control, u"nombre"_s, 2);
    const QPoint line = gridtest::pointOf(control, u"tipo_miembro_red_hline2"_s);
    QVERIFY(cell.x() >= 0);
    QVERIFY(line.x() >= 0);
    const QPoint empty(200, control.height() - 30);
    QCOMPARE(control.objectAt(empty).name, u"datawindow"_s);

    for (const QPoint point : {cell, line, empty}) {
        gridtest::click(control, point);
        QCOMPARE(sortOf(*grid), sortBefore);
        QCOMPARE(ids(control), before);
        QCOMPARE(storedSort(control), u"<none>"_s);
        QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"!"_s);
    }
}

// At 150 % the point 450 pixels across is on the heading of tipo_miembro_red, where the
// designed size has grado_academico's.
void TstGridStyleSort::zoomedHeadingClickSortsTheColumnUnderThePointer()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    grid->control->setZoom(1.5);
    gridtest::click(*grid->control, QPoint(450, 12));
    QCOMPARE(sortOf(*grid), u"tipo_miembro_red A"_s);
    QCOMPARE(grid->describe(u"tipo_miembro_red_arrow.text"_s), u"t"_s);
}

void TstGridStyleSort::codeTableColumnSortsByDisplayedText()
{
    // Members' types shown as words that sort the other way round from the codes.
    auto grid = gridtest::makeGrid(true, true, [](u_dw &control) {
        control.Modify(u"tipo_miembro_red.Edit.CodeTable=yes tipo_miembro_red.Values='"
                       "D-investigador~tMiembro Investigador/C-comite~tMiembro del CTA/"
                       "B-estudiante~tMiembro Estudiante/A-externo~tMiembro Externo/'"_s);
    });
    QVERIFY(grid);
    u_dw &control = *grid->control;
    QCOMPARE(grid->describe(u"tipo_miembro_red.Edit.CodeTable"_s), u"yes"_s);

    gridtest::click(control, gridtest::pointOf(control, u"tipo_miembro_red_t"_s));
    QCOMPARE(sortOf(*grid), u"LookUpDisplay(tipo_miembro_red) A"_s);
    QCOMPARE(storedSort(control), u"LookUpDisplay(tipo_miembro_red) A"_s);
    QCOMPARE(grid->describe(u"tipo_miembro_red_arrow.text"_s), u"t"_s);
    QCOMPARE(grid->describe(u"tipo_miembro_red_shade.band"_s), u"background"_s);

    // By the shown text: external members ("A-externo") first, researchers last.
    const int column = control.model().columnNumber(u"tipo_miembro_red"_s);
    QString previous;
    for (long row = 1; row <= control.RowCount(); ++row) {
        const QString shown = control.model().lookupDisplay(row, column);
        if (shown.isEmpty())
            continue;
        QVERIFY2(previous <= shown, qPrintable(previous + u" > "_s + shown));
        previous = shown;
    }
}

void TstGridStyleSort::designedTwoKeySortGetsTwoArrows()
{
    auto grid
        = gridtest::makeGrid(true, true, [](u_dw &control) { control.SetSort(u"nombre D, email A"_s); });
    QVERIFY(grid);
    QCOMPARE(sortOf(*grid), u"nombre D, email A"_s);
    // Both arrows show the last key's direction.
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    QCOMPARE(grid->describe(u"email_arrow.text"_s), u"t"_s);
    QCOMPARE(grid->describe(u"nombre_shade.band"_s), u"background"_s);
    QCOMPARE(grid->describe(u"email_shade.band"_s), u"background"_s);

    // Several keys never match a heading's criteria: the first click sorts ascending.
    gridtest::click(*grid->control, gridtest::pointOf(*grid->control, u"nombre_t"_s));
    QCOMPARE(sortOf(*grid), u"nombre A"_s);
    QCOMPARE(grid->describe(u"email_arrow.text"_s), u"!"_s);

    // The designed criteria are what "Ordenado Original" goes back to.
    grid->service().of_process_popup(u"m_originalsort"_s, 0, u"nombre_t"_s);
    QCOMPARE(sortOf(*grid), u"nombre D, email A"_s);
    QCOMPARE(grid->describe(u"email_arrow.text"_s), u"t"_s);
}

void TstGridStyleSort::indicatorAndLineGeometry()
{
    auto grid = gridtest::makeGrid(true, true, [](u_dw &control) {
        control.Modify(u"DataWindow.Header.Height=100"_s);
        storeSort(control, u"nombre D"_s);
    });
    QVERIFY(grid);
    const QString x = grid->describe(u"nombre_t.x"_s);
    const QString width = grid->describe(u"nombre_t.width"_s);

    QCOMPARE(grid->describe(u"nombre_arrow.y"_s), u"36"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.height"_s), u"44"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.x"_s), x);
    QCOMPARE(grid->describe(u"nombre_arrow.width"_s), width);
    QCOMPARE(grid->describe(u"nombre_arrow.font.face"_s), u"Marlett"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"u"_s);

    for (int i = 1; i <= 3; ++i) {
        const QString line = u"nombre_hline%1."_s.arg(i);
        QCOMPARE(grid->describe(line + u"y"_s), QString::number(100 - 4 * i));
        QCOMPARE(grid->describe(line + u"height"_s), u"4"_s);
        QCOMPARE(grid->describe(line + u"x"_s), x);
        QCOMPARE(grid->describe(line + u"width"_s), width);
    }

    // The stripe reaches 8 units left and 6 right of the column, and follows it.
    // Modify may rebuild the object list, so the stripe is looked up afresh each time.
    const dw::DataWindow &model = grid->control->model();
    const auto shade = [&model]() -> const dw::LayoutObject * {
        const auto found
            = std::find_if(model.objects().begin(), model.objects().end(),
                           [](const dw::LayoutObject &o) { return o.name == u"nombre_shade"_s; });
        return found == model.objects().end() ? nullptr : &*found;
    };
    QVERIFY(shade());
    QCOMPARE(model.attribute(*shade(), u"x"_s), u"1"_s);
    QCOMPARE(model.attribute(*shade(), u"width"_s), u"1125"_s);
    QCOMPARE(model.attribute(*shade(), u"background.color"_s), u"16250871"_s);
    grid->control->Modify(u"nombre.x=109 nombre.width=1000"_s);
    QVERIFY(shade());
    QCOMPARE(model.attribute(*shade(), u"x"_s), u"101"_s);
    QCOMPARE(model.attribute(*shade(), u"width"_s), u"1014"_s);
}

void TstGridStyleSort::stripeHeightFollowsRowsAndControl()
{
    auto grid = gridtest::makeGrid(true, true,
                                   [](u_dw &control) { control.Modify(u"DataWindow.Detail.Height=80"_s); });
    QVERIFY(grid);
    u_dw &control = *grid->control;
    control.Resize(3000, 600);
    QCOMPARE(control.Height(), 600);

    control.SetFilter(u"id <= 10"_s);
    control.Filter();
    QCOMPARE(control.RowCount(), 10L);
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(grid->describe(u"nombre_shade.height"_s), u"880"_s);

    control.SetFilter(u"id <= 5"_s);
    control.Filter();
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(grid->describe(u"nombre_shade.height"_s), u"600"_s);

    // No rows at all: still as high as the control.
    control.SetFilter(u"id < 0"_s);
    control.Filter();
    QCOMPARE(control.RowCount(), 0L);
    grid->service().of_setstyle(true, true, true, true);
    QCOMPARE(grid->describe(u"nombre_shade.height"_s), u"600"_s);
    // Zoomed out, the control shows twice its height of the layout, and the stripe with it.
    control.setZoom(0.5);
    QCOMPARE(grid->describe(u"nombre_shade.height"_s), u"1200"_s);
}

void TstGridStyleSort::resizeRebuildsOnlyWithShade()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    // Few rows, so the control's height decides the stripe's.
    control.SetFilter(u"id <= 3"_s);
    control.Filter();
    gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
    QCOMPARE(grid->describe(u"nombre_shade.height"_s), QString::number(control.Height()));

    // With the shade on, a resize rebuilds both indicators at the new height.
    control.Modify(u"nombre_arrow.text='x'"_s);
    control.Resize(3000, 2400);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    QCOMPARE(grid->describe(u"nombre_shade.height"_s), u"2400"_s);

    // A sorted column that was hidden loses its indicators at the next resize.
    control.Modify(u"nombre.Visible=0"_s);
    control.Resize(3000, 2000);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"!"_s);
    QCOMPARE(grid->describe(u"nombre_shade.band"_s), u"!"_s);
    control.Modify(u"nombre.Visible=1"_s);

    // Without the shade a resize does nothing.
    grid->service().of_setstyle(true, true, false, true);
    QCOMPARE(grid->describe(u"nombre_shade.band"_s), u"!"_s);
    control.Modify(u"nombre_arrow.text='x'"_s);
    control.Resize(2500, 1600);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"x"_s);
}

void TstGridStyleSort::headerLinesOnceForVisibleColumns()
{
    gridstyle::setThemeQuery([] { return false; });
    auto grid = gridtest::makeGrid(false, false, [](u_dw &control) { control.Modify(u"email.Visible=0"_s); });
    gridstyle::setThemeQuery(nullptr);
    QVERIFY(grid);
    u_dw &control = *grid->control;
    n_svc_dw_gridstyle &service = grid->service();

    service.of_setstyle(true, true, true, false);
    QCOMPARE(objectsNamed(control, u"nombre_hline1"_s), 0);
    service.of_setstyle(true, true, true, true);
    service.of_setstyle(true, true, true, true);
    control.Modify(u"email.Visible=1"_s);
    service.of_setstyle(true, true, true, true);
    for (int i = 1; i <= 3; ++i) {
        QCOMPARE(objectsNamed(control, u"nombre_hline%1"_s.arg(i)), 1);
        QCOMPARE(objectsNamed(control, u"email_hline%1"_s.arg(i)), 0);
        // Without themes the resting lines are transparent.
        QCOMPARE(grid->describe(u"enzimas_hline%1.background.color"_s.arg(i)), u"536870912"_s);
    }
    // Switching the highlight off later keeps the lines.
    service.of_setstyle(true, true, true, false);
    QCOMPARE(objectsNamed(control, u"nombre_hline2"_s), 1);

    // With themes the lines shade from dark at the bottom to light above.
    auto themed = gridtest::makeGrid(true, false);
    QVERIFY(themed);
    QCOMPARE(themed->describe(u"nombre_hline1.background.color"_s), u"12109771"_s);
    QCOMPARE(themed->describe(u"nombre_hline2.background.color"_s), u"12767958"_s);
    QCOMPARE(themed->describe(u"nombre_hline3.background.color"_s), u"13491938"_s);
}

void TstGridStyleSort::storedSortComesBack()
{
    auto grid = gridtest::makeGrid(true, true, [](u_dw &control) { storeSort(control, u"nombre D"_s); });
    QVERIFY(grid);
    QCOMPARE(sortOf(*grid), u"nombre D"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"u"_s);
    QCOMPARE(grid->describe(u"nombre_shade.band"_s), u"background"_s);
    const QStringList names = gridtest::columnValues(*grid->control, u"nombre"_s);
    QVERIFY(names.first() >= names.last());
}

void TstGridStyleSort::unreadableStoredSortLeavesGridUsable()
{
    auto plain = gridtest::makeGrid(false, true);
    QVERIFY(plain);
    const QList<qint64> retrievalOrder = ids(*plain->control);

    for (const QString &stored : {u"sin_columna A"_s, u"@@ ,, (("_s}) {
        auto grid = gridtest::makeGrid(true, true, [&](u_dw &control) { storeSort(control, stored); });
        QVERIFY2(grid, qPrintable(stored));
        u_dw &control = *grid->control;
        QCOMPARE(ids(control), retrievalOrder);
        QCOMPARE(m_fake->sortCalls, 0);
        QCOMPARE(m_fake->boxes.size(), 0);

        gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
        QCOMPARE(sortOf(*grid), u"nombre A"_s);
        QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    }
}

QTEST_MAIN(TstGridStyleSort)
#include "tst_gridstyle_sort.moc"
