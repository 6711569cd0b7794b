// The grid's context menu and its commands, opened by real right clicks on an offscreen
// listing grid of the sample directory.

#include "gridstylefixture.h"
#include "m_svc_dwgridstyle_popup.h"
#include "support/fakeinteraction.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

const QString kFilterBySelection = u"Filtrar por Selección"_s;
const QString kFilterExcluding = u"Filtrar Excluyendo Selección"_s;
const QString kRemoveFilter = u"Quitar Filtro por Selección"_s;
const QString kOriginalFilter = u"Filtro Original"_s;
const QString kSortAscending = u"Ordenar Ascendentemente"_s;
const QString kSortDescending = u"Ordenar Descendentemente"_s;
const QString kOriginalSort = u"Ordenado Original"_s;
const QString kSpecifySort = u"Especificar Ordenado..."_s;
const QString kSpecifyFilter = u"Especificar Filtro..."_s;
const QString kPrint = u"Imprimir"_s;
const QString kSaveAs = u"Guardar Como..."_s;
const QString kColumns = u"Columnas…"_s;

QString storedSort(u_dw &control)
{
    n_svc_dw_gridstyle reader;
    reader.idw_client = &control;
    return reader.of_getreg(u"sortorder"_s, u"<none>"_s);
}

// Rows whose value of `column` passes `keep`.
template <class Keep> long countRows(const u_dw &control, const QString &column, Keep keep)
{
    long count = 0;
    for (long row = 1; row <= control.RowCount(); ++row)
        count += keep(control.GetItemString(row, column)) ? 1 : 0;
    return count;
}

// A directory of three members whose names hold the expression language's quote and
// escape characters.
bool writeQuotedDirectory(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    const char *sql
        = "CREATE TABLE directorio (id INTEGER, nombre TEXT, tipo_miembro_red TEXT, grado_academico TEXT,"
          " especialidad TEXT, nivel_sni TEXT, institucion TEXT, entidad_fed TEXT, email TEXT, cargo TEXT,"
          " linea_investigacion TEXT, area_aplicacion TEXT, subprograma_red TEXT, proyectos TEXT,"
          " enzimas TEXT, todo TEXT);"
          "INSERT INTO directorio (id, nombre, tipo_miembro_red) VALUES"
          " (1, 'Ana \"La Güera\" Ruiz', 'Miembro Externo'),"
          " (2, 'Beto ~t Díaz', 'Miembro Externo'),"
          " (3, 'Carla Ríos', 'Miembro del CTA');";
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace

class TstGridStyleMenu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void itemsFitTheClickedSpot();
    void filterBySelectionAndUndo();
    void quotedValuesFilter();
    void sortCommandsRemember();
    void dialogsConfirmOrChangeNothing();
    void printAndSaveReachTheOutput();

private:
    // Right-clicks the cell of `column` at `row` (0: its heading) and chooses `item`.
    void choose(Grid &grid, const QString &column, long row, const QString &item);

    std::unique_ptr<FakeInteraction> m_fake;
    QTemporaryDir m_temp;
};

void TstGridStyleMenu::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
    QVERIFY(m_temp.isValid());
}

void TstGridStyleMenu::init()
{
    auto grid = gridtest::makeGrid(false, false);
    QVERIFY(grid);
    grid->service().of_setreg(u"sortorder"_s, u""_s);
    m_fake->chooseMenuItem.clear();
}

void TstGridStyleMenu::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleMenu::choose(Grid &grid, const QString &column, long row, const QString &item)
{
    const QString name = row == 0 ? column + u"_t"_s : column;
    const QPoint point = gridtest::pointOf(*grid.control, name, row);
    QVERIFY2(point.x() >= 0, qPrintable(name));
    m_fake->chooseMenuItem = item;
    gridtest::click(*grid.control, point, Qt::RightButton);
    m_fake->chooseMenuItem.clear();
}

void TstGridStyleMenu::itemsFitTheClickedSpot()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    const QStringList everything = {kFilterBySelection,
                                    kFilterExcluding,
                                    kRemoveFilter,
                                    kOriginalFilter,
                                    u"-"_s,
                                    kSortAscending,
                                    kSortDescending,
                                    kOriginalSort,
                                    u"-"_s,
                                    kSpecifySort,
                                    kSpecifyFilter,
                                    u"-"_s,
                                    kPrint,
                                    kSaveAs,
                                    u"-"_s,
                                    kColumns};
    choose(*grid, u"nombre"_s, 3, kSortDescending);
    QCOMPARE(m_fake->lastMenuItems, everything);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre D"_s);

    const QStringList onHeading
        = {kOriginalFilter, u"-"_s, kOriginalSort, u"-"_s, kSpecifySort, kSpecifyFilter,
           u"-"_s,          kPrint, kSaveAs,       u"-"_s, kColumns};
    choose(*grid, u"nombre"_s, 0, QString());
    QCOMPARE(m_fake->lastMenuItems, onHeading);

    auto empty = gridtest::makeGrid(true, false);
    QVERIFY(empty);
    m_fake->chooseMenuItem.clear();
    gridtest::click(*empty->control, QPoint(200, 200), Qt::RightButton);
    QCOMPARE(m_fake->lastMenuItems,
             (QStringList{kOriginalFilter, u"-"_s, kOriginalSort, u"-"_s, kSpecifySort, kSpecifyFilter,
                          kPrint, u"-"_s, kColumns}));

    // Menu off: no menu at all.
    const int shown = m_fake->menuCalls;
    grid->service().of_setstyle(false, true, true, true);
    gridtest::click(*grid->control, gridtest::pointOf(*grid->control, u"nombre"_s, 3), Qt::RightButton);
    QCOMPARE(m_fake->menuCalls, shown);

    // Each item carries the name of its command and the menu's look.
    m_svc_dwgridstyle_popup menu;
    QCOMPARE(menu.m_popup.actions().size(), 16);
    QCOMPARE(menu.item(u"m_specifyfilter"_s)->text(), kSpecifyFilter);
    QVERIFY(menu.item(u"m_dash2"_s)->isSeparator());
    QCOMPARE(menu.m_popup.font().family(), u"Tahoma"_s);
    QCOMPARE(menu.m_popup.font().pointSize(), 8);
}

void TstGridStyleMenu::filterBySelectionAndUndo()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    n_svc_dw_gridstyle &service = grid->service();
    const long all = control.RowCount();

    const QString type = control.GetItemString(2, u"tipo_miembro_red"_s);
    QVERIFY(!type.isNull());
    const auto sameType = [&](const QString &v) { return v == type; };
    const auto otherType = [&](const QString &v) { return !v.isNull() && v != type; };
    const long ofType = countRows(control, u"tipo_miembro_red"_s, sameType);
    const long ofOtherTypes = countRows(control, u"tipo_miembro_red"_s, otherType);

    choose(*grid, u"tipo_miembro_red"_s, 2, kFilterBySelection);
    QCOMPARE(control.RowCount(), ofType);
    QCOMPARE(countRows(control, u"tipo_miembro_red"_s, sameType), ofType);
    // The same column again: the new condition replaces the old one.
    choose(*grid, u"tipo_miembro_red"_s, 1, kFilterExcluding);
    QCOMPARE(service.of_combinefilter(), u"( string(tipo_miembro_red) <> \"%1\" )"_s.arg(type));
    QCOMPARE(control.RowCount(), ofOtherTypes);
    choose(*grid, u"tipo_miembro_red"_s, 0, kOriginalFilter);
    QCOMPARE(control.RowCount(), all);

    // A null value: the sample leaves one member's SNI level empty.
    choose(*grid, u"nivel_sni"_s, 1, kOriginalFilter);
    long nullRow = 0;
    for (long row = 1; row <= control.RowCount() && nullRow == 0; ++row)
        nullRow = control.GetItemString(row, u"nivel_sni"_s).isNull() ? row : 0;
    QVERIFY(nullRow > 0);
    const long nullLevels = countRows(control, u"nivel_sni"_s, [](const QString &v) { return v.isNull(); });
    choose(*grid, u"nivel_sni"_s, nullRow, kFilterBySelection);
    QCOMPARE(service.of_combinefilter(), u"( isnull(nivel_sni) )"_s);
    QCOMPARE(control.RowCount(), nullLevels);
    choose(*grid, u"nivel_sni"_s, 1, kFilterExcluding);
    QCOMPARE(service.of_combinefilter(), u"( not isnull(nivel_sni) )"_s);
    QCOMPARE(control.RowCount(), all - nullLevels);

    // Two columns narrow together, listed in column-number order; a numeric column
    // compares as a number.
    service.of_process_popup(u"m_originalfilter"_s, 0, u"datawindow"_s);
    const QString state = control.GetItemString(1, u"entidad_fed"_s);
    service.of_process_popup(u"m_filterbyselection"_s, 1, u"entidad_fed"_s);
    choose(*grid, u"tipo_miembro_red"_s, 1, kFilterBySelection);
    const QString typeNow = control.GetItemString(1, u"tipo_miembro_red"_s);
    QCOMPARE(
        service.of_combinefilter(),
        u"( string(tipo_miembro_red) = \"%1\" ) AND ( string(entidad_fed) = \"%2\" )"_s.arg(typeNow, state));
    const long both = control.RowCount();
    QVERIFY(both >= 1);
    const qint64 id = qint64(control.GetItemNumber(1, u"id"_s).value_or(-1));
    service.of_process_popup(u"m_filterbyselection"_s, 1, u"id"_s);
    QVERIFY(service.of_combinefilter().endsWith(u" AND ( id = %1 )"_s.arg(id)));
    QCOMPARE(control.RowCount(), 1L);
    // Excluding a number keeps every other member of the narrowed list.
    service.of_process_popup(u"m_filterexcludingselection"_s, 1, u"id"_s);
    QVERIFY(service.of_combinefilter().endsWith(u" AND ( id <> %1 )"_s.arg(id)));
    QCOMPARE(control.RowCount(), both - 1);

    // Removing one column's condition keeps the others.
    service.of_process_popup(u"m_removeselectionfilter"_s, 1, u"id"_s);
    QCOMPARE(control.RowCount(), both);
    choose(*grid, u"tipo_miembro_red"_s, 1, kRemoveFilter);
    QCOMPARE(service.of_combinefilter(), u"( string(entidad_fed) = \"%1\" )"_s.arg(state));
    QCOMPARE(control.RowCount(),
             countRows(*gridtest::makeGrid()->control, u"entidad_fed"_s,
                       [&](const QString &v) { return v == state; }));

    // Not a column: nothing happens.
    service.of_process_popup(u"m_filterbyselection"_s, 1, u"nombre_t"_s);
    QCOMPARE(service.of_combinefilter(), u"( string(entidad_fed) = \"%1\" )"_s.arg(state));

    choose(*grid, u"nombre"_s, 0, kOriginalFilter);
    QCOMPARE(control.RowCount(), all);
    QCOMPARE(service.of_combinefilter(), u""_s);
}

void TstGridStyleMenu::quotedValuesFilter()
{
    const QString file = m_temp.filePath(u"comillas.db"_s);
    QVERIFY(writeQuotedDirectory(file));
    dw::Transaction transaction;
    QVERIFY(testsupport::connectAccess(transaction, file));
    auto grid = gridtest::makeGrid(true, false);
    QVERIFY(grid);
    u_dw &control = *grid->control;
    control.SetTransObject(&transaction);
    QCOMPARE(control.Retrieve(), 3L);

    for (long id : {1, 2}) {
        long row = 1;
        while (control.GetItemNumber(row, u"id"_s).value_or(0) != id)
            ++row;
        const QString name = control.GetItemString(row, u"nombre"_s);
        choose(*grid, u"nombre"_s, row, kFilterBySelection);
        QCOMPARE(control.RowCount(), 1L);
        QCOMPARE(control.GetItemString(1, u"nombre"_s), name);
        choose(*grid, u"nombre"_s, 1, kFilterExcluding);
        QCOMPARE(control.RowCount(), 2L);
        choose(*grid, u"nombre"_s, 1, kOriginalFilter);
        QCOMPARE(control.RowCount(), 3L);
    }
}

void TstGridStyleMenu::sortCommandsRemember()
{
    auto grid
        = gridtest::makeGrid(true, true, [](u_dw &control) { control.SetSort(u"grado_academico D"_s); });
    QVERIFY(grid);
    u_dw &control = *grid->control;

    choose(*grid, u"nombre"_s, 4, kSortAscending);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);
    QCOMPARE(storedSort(control), u"nombre A"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    QCOMPARE(grid->describe(u"grado_academico_arrow.text"_s), u"!"_s);
    const QStringList names = gridtest::columnValues(control, u"nombre"_s);
    QVERIFY(names.first() <= names.last());

    choose(*grid, u"nombre"_s, 4, kSortDescending);
    QCOMPARE(storedSort(control), u"nombre D"_s);
    QCOMPARE(gridtest::columnValues(control, u"nombre"_s).first(), names.last());

    choose(*grid, u"nombre"_s, 0, kOriginalSort);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"grado_academico D"_s);
    QCOMPARE(storedSort(control), u"grado_academico D"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"!"_s);
    QCOMPARE(grid->describe(u"grado_academico_arrow.text"_s), u"u"_s);
}

void TstGridStyleMenu::dialogsConfirmOrChangeNothing()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    u_dw &control = *grid->control;
    choose(*grid, u"nombre"_s, 2, kSortAscending);
    const QStringList sorted = gridtest::columnValues(control, u"nombre"_s);
    const long all = control.RowCount();
    const int sortCalls = m_fake->sortCalls;
    const int filterCalls = m_fake->filterCalls;

    m_fake->sortResult = 0;
    m_fake->filterResult = 0;
    choose(*grid, u"nombre"_s, 2, kSpecifySort);
    choose(*grid, u"nombre"_s, 2, kSpecifyFilter);
    QCOMPARE(m_fake->sortCalls, sortCalls + 1);
    QCOMPARE(m_fake->filterCalls, filterCalls + 1);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);
    QCOMPARE(storedSort(control), u"nombre A"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"t"_s);
    QCOMPARE(gridtest::columnValues(control, u"nombre"_s), sorted);
    QCOMPARE(control.RowCount(), all);

    m_fake->sortResult = 1;
    m_fake->sortCriteria = u"grado_academico D, nombre D"_s;
    m_fake->filterResult = 1;
    m_fake->filterExpression = u"id <= 20"_s;
    choose(*grid, u"nombre"_s, 2, kSpecifySort);
    choose(*grid, u"nombre"_s, 2, kSpecifyFilter);
    QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"grado_academico D, nombre D"_s);
    QCOMPARE(storedSort(control), u"grado_academico D, nombre D"_s);
    QCOMPARE(grid->describe(u"grado_academico_arrow.text"_s), u"u"_s);
    QCOMPARE(grid->describe(u"nombre_arrow.text"_s), u"u"_s);
    QCOMPARE(control.RowCount(), 20L);

    // The filter dialog opens with the filter in force: the one given in it, or the one a
    // filter by selection made.
    m_fake->filterResult = 0;
    choose(*grid, u"nombre"_s, 2, kSpecifyFilter);
    QCOMPARE(m_fake->shownFilter, u"id <= 20"_s);
    choose(*grid, u"tipo_miembro_red"_s, 1, kFilterBySelection);
    choose(*grid, u"nombre"_s, 1, kSpecifyFilter);
    QCOMPARE(m_fake->shownFilter, grid->service().of_combinefilter());
    QVERIFY(m_fake->shownFilter.startsWith(u"( string(tipo_miembro_red) = "_s));
}

void TstGridStyleMenu::printAndSaveReachTheOutput()
{
    auto grid = gridtest::makeGrid();
    QVERIFY(grid);
    const QString pdf = m_temp.filePath(u"listado.pdf"_s);
    m_fake->printToFile = pdf;
    choose(*grid, u"nombre"_s, 1, kPrint);
    QVERIFY(QFile(pdf).size() > 0);

    const QString csv = m_temp.filePath(u"listado.csv"_s);
    m_fake->saveTarget = dw::SaveTarget{csv, u"csv"_s};
    const int asked = m_fake->saveAsCalls;
    choose(*grid, u"nombre"_s, 1, kSaveAs);
    QCOMPARE(m_fake->saveAsCalls, asked + 1);
    QFile saved(csv);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(saved.readAll());
    QVERIFY(content.contains(grid->control->GetItemString(1, u"nombre"_s)));
    QVERIFY(content.contains(grid->control->GetItemString(grid->control->RowCount(), u"nombre"_s)));
}

QTEST_MAIN(TstGridStyleMenu)
#include "tst_gridstyle_menu.moc"
