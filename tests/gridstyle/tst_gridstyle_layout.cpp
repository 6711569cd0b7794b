// Column widths fitted to the values, column order and visibility, and column
// descriptions, on an offscreen listing grid of the sample directory.

#include "gridstylefixture.h"
#include "support/fakeinteraction.h"

#include <QTest>

using namespace Qt::StringLiterals;
using gridtest::Grid;

namespace {

int width(const Grid &grid, const QString &column)
{
    return grid.describe(column + u".width"_s).toInt();
}

// A column's width when the service starts is its design: the service starts again over
// that width and the column is registered for width fitting.
void designAndRegister(Grid &grid, const QString &column, int designed)
{
    grid.control->Modify(column + u".width="_s + QString::number(designed));
    QVERIFY(grid.control->of_startservice(u"GridStyle"_s));
    grid.service().of_addautowidth(column);
}

// Header-band objects in drawing order.
QStringList headerOrder(const u_dw &control)
{
    QStringList names;
    for (const dw::LayoutObject &object : control.model().objects()) {
        if (control.model().bandOf(object) == dw::Band::Header)
            names.append(object.name);
    }
    return names;
}

} // namespace

class TstGridStyleLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void widthNeverBelowDesign();
    void emptyGridAndOddNames();
    void codeTableMeasuredByShownText();
    void reorderShowsListedColumns();
    void columnDescriptions();

private:
    std::unique_ptr<FakeInteraction> m_fake;
};

void TstGridStyleLayout::initTestCase()
{
    m_fake = std::make_unique<FakeInteraction>();
    rt::CreateGlobals();
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstGridStyleLayout::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstGridStyleLayout::widthNeverBelowDesign()
{
    auto grid = gridtest::makeGrid(true, false);
    QVERIFY(grid);

    // A design narrower than any value: what the widest value needs to show whole, after
    // the retrieval raised retrieveend.
    designAndRegister(*grid, u"institucion"_s, 10);
    QVERIFY(grid->control->Retrieve() > 0);
    const int needed = width(*grid, u"institucion"_s);
    QVERIFY(needed > 100);

    // The row it reports holds the widest value: the design just below that text
    // widens the column to it.
    const long widestRow = grid->service().of_resizewidth(u"institucion"_s);
    QVERIFY(widestRow >= 1);
    QCOMPARE(width(*grid, u"institucion"_s), needed);

    // The column is squeezed before each fitting, so the fitting alone decides.
    const auto fitted = [&grid](int designed) {
        designAndRegister(*grid, u"institucion"_s, designed);
        grid->control->Modify(u"institucion.width=5"_s);
        grid->service().retrieveend(grid->control->RowCount());
        return width(*grid, u"institucion"_s);
    };
    QCOMPARE(fitted(needed + 50), needed + 50); // values narrower than the design
    QCOMPARE(fitted(needed), needed); // exactly as wide
    QCOMPARE(fitted(needed - 20), needed); // wider than the design

    // Registered twice: fitted twice, same result.
    grid->service().of_addautowidth(u"institucion"_s);
    grid->service().retrieveend(grid->control->RowCount());
    QCOMPARE(width(*grid, u"institucion"_s), needed);

    // A heading wider than the design and every value: the heading decides.
    designAndRegister(*grid, u"nivel_sni"_s, 10);
    grid->control->Modify(u"nivel_sni_t.text='Nivel en el Sistema Nacional de Investigadores'"_s);
    grid->service().retrieveend(grid->control->RowCount());
    QVERIFY2(width(*grid, u"nivel_sni"_s) > 1000, qPrintable(grid->describe(u"nivel_sni.width"_s)));
}

void TstGridStyleLayout::emptyGridAndOddNames()
{
    auto grid = gridtest::makeGrid(true, false);
    QVERIFY(grid);
    n_svc_dw_gridstyle &service = grid->service();
    grid->control->Modify(u"email.width=2000"_s);
    QCOMPARE(service.of_resizewidth(u"email"_s), 0L);
    QCOMPARE(width(*grid, u"email"_s), 754);

    // A registered name that is not a column is skipped.
    service.of_addautowidth(u"no_es_columna"_s);
    service.of_addautowidth(u"email_t"_s);
    QCOMPARE(service.of_resizewidth(u"no_es_columna"_s), 0L);
    QVERIFY(grid->control->Retrieve() > 0);
    QCOMPARE(grid->describe(u"email_t.width"_s), u"754"_s);

    // A control outside any window measures with the grid's own fonts all the same.
    u_dw loose;
    loose.setDataObject(u"dw_listado_grid"_s);
    loose.constructor();
    QVERIFY(loose.of_startservice(u"GridStyle"_s));
    QVERIFY(loose.Retrieve() > 0);
    loose.Modify(u"email.width=2000"_s);
    QVERIFY(loose.isrv_gridstyle()->of_resizewidth(u"email"_s) >= 1);
    QVERIFY(loose.Describe(u"email.width"_s).toInt() < 2000);
}

void TstGridStyleLayout::codeTableMeasuredByShownText()
{
    auto grid = gridtest::makeGrid(true, true);
    QVERIFY(grid);
    designAndRegister(*grid, u"tipo_miembro_red"_s, 10);
    n_svc_dw_gridstyle &service = grid->service();
    service.of_resizewidth(u"tipo_miembro_red"_s);
    const int byCode = width(*grid, u"tipo_miembro_red"_s);

    // Every type shows as the same long text: that text decides, and on equal widths
    // the first row is the widest.
    const QString shown = u"Integrante de la red con una descripción muy larga"_s;
    QStringList values;
    for (const QString &type : {u"Miembro Investigador"_s, u"Miembro del CTA"_s, u"Miembro Estudiante"_s,
                                u"Miembro Externo"_s, u"Miembro Investigador "_s})
        values.append(shown + u"~t"_s + type);
    grid->control->Modify(u"tipo_miembro_red.Edit.CodeTable=yes tipo_miembro_red.Values='"_s
                          + values.join(u'/') + u"/'"_s);
    long first = 1;
    while (grid->control->GetItemString(first, u"tipo_miembro_red"_s).isNull())
        ++first;
    QCOMPARE(service.of_resizewidth(u"tipo_miembro_red"_s), first);
    QVERIFY(width(*grid, u"tipo_miembro_red"_s) > byCode);
}

void TstGridStyleLayout::reorderShowsListedColumns()
{
    auto grid = gridtest::makeGrid(true, true);
    QVERIFY(grid);
    u_dw &control = *grid->control;
    n_svc_dw_gridstyle &service = grid->service();

    service.of_reordercolumns({});
    QCOMPARE(grid->describe(u"cargo.Visible"_s), u"1"_s);

    service.of_reordercolumns({u"email"_s, u"nombre"_s});
    for (int n = 1; n <= control.model().columnCount(); ++n) {
        const QString name = control.model().columnName(n);
        const bool listed = name == u"email"_s || name == u"nombre"_s;
        QCOMPARE(grid->describe(name + u".Visible"_s), listed ? u"1"_s : u"0"_s);
    }
    // Shown in the listed order, their headings and lines in front of the header band.
    QVERIFY(grid->describe(u"email.x"_s).toInt() < grid->describe(u"nombre.x"_s).toInt());
    QCOMPARE(headerOrder(control).mid(headerOrder(control).size() - 8),
             (QStringList{u"email_t"_s, u"email_hline1"_s, u"email_hline2"_s, u"email_hline3"_s,
                          u"nombre_t"_s, u"nombre_hline1"_s, u"nombre_hline2"_s, u"nombre_hline3"_s}));
    const QPoint email = gridtest::pointOf(control, u"email_t"_s);
    const QPoint nombre = gridtest::pointOf(control, u"nombre_t"_s);
    QVERIFY(email.x() >= 0 && nombre.x() > email.x());
}

void TstGridStyleLayout::columnDescriptions()
{
    auto grid = gridtest::makeGrid(true, false);
    QVERIFY(grid);
    n_svc_dw_gridstyle &service = grid->service();
    QCOMPARE(service.of_getcoldesc(u"linea_investigacion"_s, true), u"Líneas de Investigación"_s);
    grid->control->Modify(u"destroy entidad_fed_t"_s);
    QCOMPARE(service.of_getcoldesc(u"entidad_fed"_s, true), u"Entidad Fed"_s);
    QCOMPARE(service.of_getcoldesc(u"entidad_fed"_s, false), u"!"_s);
}

QTEST_MAIN(TstGridStyleLayout)
#include "tst_gridstyle_layout.moc"
