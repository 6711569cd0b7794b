// Retrieval from the sample directory: the statement and its preview, errors reported
// once, arguments, computed columns and drop-down lookups.

#include "datawindow.h"
#include "db/transaction.h"
#include "modelfixture.h"
#include "support/fakedriver.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kCard = uR"dwl(
datawindow(processing=freeform)
table(name=directorio where="directorio.id = :an_id")
tablecolumn(name=nombre type=char(255) dbname="directorio.nombre")
tablecolumn(name=tipo1 type=char(255) compute="ucase(directorio.tipo_miembro_red)")
tablecolumn(name=lineas type=char(32000) compute="directorio.linea_investigacion & ' / ' & directorio.area_aplicacion")
tablecolumn(name=tipo type=char(255) dbname="directorio.tipo_miembro_red")
tablecolumn(name=linea type=char(255) dbname="directorio.linea_investigacion")
tablecolumn(name=area type=char(32000) dbname="directorio.area_aplicacion")
argument(name=an_id type=number)
column(id=1 name=nombre x=0 y=0 width=100 height=20)
)dwl"_s;

const QString kLookups = uR"dwl(
datawindow(processing=grid)
table(name=directorio)
tablecolumn(name=tutor type=long dbname="directorio.id")
tablecolumn(name=tipo type=char(255) dbname="directorio.tipo_miembro_red")
tablecolumn(name=nombre type=char(255) dbname="directorio.nombre")
tablecolumn(name=otro type=long dbname="directorio.id")
column(id=1 edit.style=dddw dddw.name=dw_listado_grid dddw.displaycolumn=nombre dddw.datacolumn=id)
column(id=2 edit.codetable=yes values="Investigador~tMiembro Investigador/Del CTA~tMiembro del CTA/")
column(id=4 edit.style=dddw dddw.name=dddw_does_not_exist dddw.displaycolumn=a dddw.datacolumn=b)
)dwl"_s;

} // namespace

class tst_Retrieve : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void retrievesTheListing();
    void sqlPreviewReplacesTheStatement();
    void rejectedStatementIsReportedOnce();
    void passwordNeverInRetrievalError();
    void withoutConnection();
    void argumentsAndComputedColumns();
    void dropDownAndCodeTableLookups();

private:
    dw::Transaction m_sqlca;
    long m_members = 0;
};

void tst_Retrieve::initTestCase()
{
    QVERIFY(testsupport::connectSample(m_sqlca));
    dw::DbError error;
    auto cursor = m_sqlca.connection()->query(u"SELECT count(*) FROM directorio"_s, {}, error);
    QVERIFY2(cursor && cursor->next(), qPrintable(error.text));
    m_members = long(cursor->integer(0));
    QVERIFY(m_members > 10);
}

void tst_Retrieve::retrievesTheListing()
{
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    RecordingObserver observer(dw);
    QCOMPARE(dw.SetTransObject(&m_sqlca), 1);
    QCOMPARE(dw.RowCount(), 0);
    QCOMPARE(dw.GetRow(), 0);

    QCOMPARE(dw.Retrieve(), m_members);
    QCOMPARE(dw.RowCount(), m_members);
    QCOMPARE(observer.previews, QStringList{dw.selectSql()});
    QCOMPARE(observer.lastArguments, QList<int>({0, 1, 0, 0}));
    QCOMPARE(observer.retrieveEnds, QList<long>{m_members});
    QCOMPARE(dw.GetRow(), 1);
    QCOMPARE(dw.SetSQLPreview(u"SELECT 1"_s), -1); // only inside sqlPreview

    // Cells by name and by number agree; ids are numbers.
    for (long row : {1L, m_members / 2, m_members}) {
        const auto id = dw.GetItemNumber(row, u"ID"_s);
        QVERIFY(id.has_value());
        QCOMPARE(dw.GetItem(row, 15).toNumber(), *id);
        QCOMPARE(dw.GetItemString(row, u"nombre"_s), dw.GetItemString(row, 1));
        QCOMPARE(dw.displayText(row, 15), QString::number(qint64(*id)));
    }
    QVERIFY(dw.GetItemString(0, 1).isNull());
    QVERIFY(dw.GetItem(m_members + 1, 1).isNull());
    QVERIFY(!dw.GetItemNumber(1, u"nosuch"_s));

    // The tool tip of a cell is the cell's whole value.
    const auto &objects = dw.objects();
    const auto cell = std::find_if(objects.begin(), objects.end(),
                                   [](const dw::LayoutObject &o) { return o.name == u"proyectos"; });
    QVERIFY(cell != objects.end());
    for (long row = 1; row <= 5; ++row) {
        const QString value = dw.GetItemString(row, u"proyectos"_s);
        QCOMPARE(dw.attribute(*cell, u"tooltip.tip"_s, row), value.isNull() ? u""_s : value);
    }
}

void tst_Retrieve::sqlPreviewReplacesTheStatement()
{
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    RecordingObserver observer(dw);
    dw.SetTransObject(&m_sqlca);

    observer.rewrite = [](const QString &sql) { return sql + u" where ucase(todo) like '%QZXJWQ%'"_s; };
    QCOMPARE(dw.Retrieve(), 0);
    QCOMPARE(observer.previewResult, 1);
    QCOMPARE(dw.GetRow(), 0);
    QCOMPARE(observer.retrieveEnds, QList<long>{0});

    QVERIFY(dw.Retrieve() == 0);
    observer.rewrite = [](const QString &sql) {
        return sql + u" where directorio.tipo_miembro_red = 'Miembro Estudiante'"_s;
    };
    const long students = dw.Retrieve();
    QVERIFY(students > 0 && students < m_members);
    for (long row = 1; row <= students; ++row)
        QCOMPARE(dw.GetItemString(row, u"tipo_miembro_red"_s), u"Miembro Estudiante"_s);
    // The generated statement itself never changes.
    QCOMPARE(observer.previews.last(), dw.selectSql());
}

void tst_Retrieve::rejectedStatementIsReportedOnce()
{
    FakeInteraction fake;
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    RecordingObserver observer(dw);
    dw.SetTransObject(&m_sqlca);
    QVERIFY(dw.Retrieve() > 0);
    QVERIFY(dw.SelectRow(2, true) == 1);
    QVERIFY(dw.SetRow(2) == 1);
    const QString second = dw.GetItemString(2, 1);

    // The rows, the current row and the selection of the last retrieval stay.
    const auto unchanged = [&] {
        QCOMPARE(dw.RowCount(), m_members);
        QCOMPARE(dw.GetRow(), 2);
        QVERIFY(dw.IsSelected(2));
        QCOMPARE(dw.GetItemString(2, 1), second);
    };
    observer.rewrite = [](const QString &sql) { return sql + u" where nonsense(("_s; };
    QCOMPARE(dw.Retrieve(), -1);
    QCOMPARE(fake.boxes.size(), 1);
    QCOMPARE(fake.boxes.front().title, u"Error de base de datos"_s);
    QVERIFY2(QRegularExpression(u"^-?\\d+: \\S"_s).match(fake.boxes.front().text).hasMatch(),
             qPrintable(fake.boxes.front().text));
    unchanged();
    QCOMPARE(dw.Sort(), 1);
    QCOMPARE(dw.Filter(), 1);
    QVERIFY(observer.retrieveEnds.size() == 1); // only the good retrieval ended

    // A statement with too few columns for the layout is refused the same way.
    observer.rewrite = [](const QString &) { return u"SELECT directorio.nombre FROM directorio"_s; };
    QCOMPARE(dw.Retrieve(), -1);
    QCOMPARE(fake.boxes.size(), 2);
    unchanged();

    // So is one that fails while its rows are read.
    observer.rewrite = [](const QString &sql) { return sql + u" where abs(-9223372036854775808) > 0"_s; };
    QCOMPARE(dw.Retrieve(), -1);
    QCOMPARE(fake.boxes.size(), 3);
    unchanged();

    observer.rewrite = nullptr;
    QCOMPARE(dw.Retrieve(), m_members);
    QCOMPARE(fake.boxes.size(), 3);
}

void tst_Retrieve::passwordNeverInRetrievalError()
{
    FakeInteraction fake;
    testsupport::FakeDriver driver;
    // The driver quotes its connect string and names the password in its refusal.
    driver.queryError
        = u"[Falso][Controlador] Instrucción rechazada en \"DSN=directorio;UID=ana;PWD={s3cr;et}\"; "
          u"la clave s3cr;et caducó (Password = {s3cr;et})"_s;
    dw::Transaction sqlca;
    sqlca.DBMS = u"ODBC"_s;
    sqlca.DBParm = u"ConnectString='DSN=directorio;UID=ana;PWD={s3cr;et}'"_s;
    sqlca.connect();
    QCOMPARE(sqlca.SQLCode, 0L);

    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    dw.SetTransObject(&sqlca);
    QCOMPARE(dw.Retrieve(), -1);
    QCOMPARE(fake.boxes.size(), 1);
    QCOMPARE(fake.boxes.front().text,
             u"-3100: [Falso][Controlador] Instrucción rechazada en "
             u"\"DSN=directorio;UID=ana;PWD=****\"; la clave **** caducó (Password = ****)"_s);
}

void tst_Retrieve::withoutConnection()
{
    FakeInteraction fake;
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    RecordingObserver observer(dw);
    QCOMPARE(dw.Retrieve(), -1); // no transaction at all
    QCOMPARE(fake.boxes.size(), 1);

    dw::Transaction offline;
    QCOMPARE(dw.SetTransObject(&offline), 1);
    QCOMPARE(dw.Retrieve(), -1);
    QCOMPARE(fake.boxes.size(), 2);
    QCOMPARE(fake.boxes.last().title, u"Error de base de datos"_s);
    QVERIFY(observer.previews.isEmpty());
    QCOMPARE(dw.RowCount(), 0);
}

void tst_Retrieve::argumentsAndComputedColumns()
{
    dw::DataWindow listing;
    QVERIFY(listing.setDataObject(u"dw_listado_grid"_s));
    listing.SetTransObject(&m_sqlca);
    QVERIFY(listing.Retrieve() > 0);

    dw::DataWindow card;
    QString error;
    QVERIFY2(card.setSyntax(kCard, &error), qPrintable(error));
    RecordingObserver observer(card);
    card.SetTransObject(&m_sqlca);
    int withNullArea = 0;
    for (long row = 1; row <= listing.RowCount(); row += std::max(1L, listing.RowCount() / 40)) {
        const qint64 id = qint64(*listing.GetItemNumber(row, u"id"_s));
        QCOMPARE(card.Retrieve({dw::Value(id)}), 1L);
        QCOMPARE(card.GetItemString(1, u"nombre"_s), listing.GetItemString(row, u"nombre"_s));
        const QString tipo = card.GetItemString(1, u"tipo"_s);
        QCOMPARE(card.GetItemString(1, u"tipo1"_s), tipo.isNull() ? QString() : tipo.toUpper());
        // '&' reads a null operand as an empty text, as the card's database does.
        const QString area = card.GetItemString(1, u"area"_s);
        withNullArea += area.isNull();
        QCOMPARE(card.GetItemString(1, u"lineas"_s), card.GetItemString(1, u"linea"_s) + u" / "_s + area);
    }
    Q_UNUSED(withNullArea);
    // The argument is bound, never pasted into the text.
    QVERIFY(observer.previews.last().endsWith(u"WHERE directorio.id = ?"_s));

    const qint64 first = qint64(*listing.GetItemNumber(1, u"id"_s));
    QCOMPARE(card.Retrieve({dw::Value(QString::number(first))}), 1L); // text converted to a number
    QCOMPARE(card.Retrieve({dw::Value(-12345)}), 0L);
    QCOMPARE(card.Retrieve({dw::Value(u"1 or 1=1"_s)}), 0L);
    QCOMPARE(card.GetRow(), 0);
}

void tst_Retrieve::dropDownAndCodeTableLookups()
{
    dw::DataWindow dw;
    QString error;
    QVERIFY2(dw.setSyntax(kLookups, &error), qPrintable(error));
    dw.SetTransObject(&m_sqlca);
    QCOMPARE(dw.Retrieve(), m_members);

    int investigators = 0;
    for (long row = 1; row <= dw.RowCount(); ++row) {
        // The drop-down shows the name of the member whose id is stored.
        QCOMPARE(dw.lookupDisplay(row, 1), dw.GetItemString(row, u"nombre"_s));
        QCOMPARE(dw.displayText(row, 1), dw.lookupDisplay(row, 1));
        const QString tipo = dw.GetItemString(row, u"tipo"_s);
        const QString shown = dw.displayText(row, 2);
        if (tipo == u"Miembro Investigador") {
            ++investigators;
            QCOMPARE(shown, u"Investigador"_s);
        } else if (tipo == u"Miembro del CTA") {
            QCOMPARE(shown, u"Del CTA"_s);
        } else {
            QCOMPARE(shown, tipo.isNull() ? u""_s : tipo); // not in the table: as stored
        }
        // A child layout that does not exist: the stored value.
        QCOMPARE(dw.lookupDisplay(row, 4), dw.GetItemString(row, 4));
    }
    QVERIFY(investigators > 0);
    QCOMPARE(dw.Describe(u"Evaluate('LookUpDisplay(tutor)', 2)"_s), dw.GetItemString(2, u"nombre"_s));

    // Sorting by what the user sees.
    QCOMPARE(dw.SetSort(u"LookUpDisplay(tipo) D, tutor A"_s), 1);
    QCOMPARE(dw.Describe(u"DataWindow.Table.Sort"_s), u"LookUpDisplay(tipo) D, tutor A"_s);
    QCOMPARE(dw.Sort(), 1);
    QCOMPARE(dw.RowCount(), m_members);
}

QTEST_MAIN(tst_Retrieve)
#include "tst_retrieve.moc"
