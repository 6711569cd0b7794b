// The SELECT a layout sends, per dialect, and what it means once a database runs it.

#include "datawindow.h"
#include "sql/selectdefinition.h"

#include <QTest>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(dw::Dialect)

namespace {

dw::SelectDefinition cardSelect()
{
    dw::SelectDefinition select;
    select.table = u"directorio"_s;
    select.columns = {
        {u"directorio.nombre"_s, {}},
        {{}, u"ucase(directorio.tipo_miembro_red)"_s},
        {{}, u"directorio.linea_investigacion & ' / ' & directorio.area_aplicacion"_s},
    };
    select.where = u"directorio.id = :an_id"_s;
    select.arguments = {{u"an_id"_s, u"number"_s}};
    return select;
}

// Runs one expression in SQLite with two nullable operands.
QVariant runSqlite(const QString &sql, const QVariant &a, const QVariant &b)
{
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "create table t(a text, b text)", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "insert into t values (?, ?)", -1, &insert, nullptr);
    int i = 1;
    for (const QVariant &v : {a, b}) {
        if (v.isNull())
            sqlite3_bind_null(insert, i++);
        else
            sqlite3_bind_text(insert, i++, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
    sqlite3_step(insert);
    sqlite3_finalize(insert);
    QVariant result = u"<error>"_s;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        result = sqlite3_column_type(statement, 0) == SQLITE_NULL
            ? QVariant()
            : QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

} // namespace

class tst_SqlRender : public QObject
{
    Q_OBJECT

private slots:
    void listingSelect();
    void cardSelectPerDialect_data();
    void cardSelectPerDialect();
    void joinKeepsAccessNullMeaning_data();
    void joinKeepsAccessNullMeaning();
    void argumentsAndTexts();
    void bindingConvertsTypes();
};

void tst_SqlRender::listingSelect()
{
    dw::DataWindow dw;
    QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
    const QString expected
        = u"SELECT directorio.nombre, directorio.tipo_miembro_red, directorio.grado_academico, "
          u"directorio.especialidad, directorio.nivel_sni, directorio.institucion, "
          u"directorio.entidad_fed, directorio.email, directorio.cargo, "
          u"directorio.linea_investigacion, directorio.area_aplicacion, directorio.subprograma_red, "
          u"directorio.proyectos, directorio.enzimas, directorio.id FROM directorio"_s;
    QCOMPARE(dw.selectSql(), expected); // no transaction: the Access dialect
    QCOMPARE(dw.Describe(u"DataWindow.Table.Select"_s), expected);
}

void tst_SqlRender::cardSelectPerDialect_data()
{
    QTest::addColumn<dw::Dialect>("dialect");
    QTest::addColumn<QString>("sql");

    QTest::newRow("access") << dw::Dialect::Access
                            << u"SELECT directorio.nombre, ucase(directorio.tipo_miembro_red), "
                               u"directorio.linea_investigacion & ' / ' & directorio.area_aplicacion "
                               u"FROM directorio WHERE directorio.id = ?"_s;
    QTest::newRow("sqlite") << dw::Dialect::SQLite
                            << u"SELECT directorio.nombre, ucase(directorio.tipo_miembro_red), "
                               u"(COALESCE(directorio.linea_investigacion, '') || ' / ' || "
                               u"COALESCE(directorio.area_aplicacion, '')) "
                               u"FROM directorio WHERE directorio.id = ?"_s;
    QTest::newRow("generic") << dw::Dialect::Generic
                             << u"SELECT directorio.nombre, upper(directorio.tipo_miembro_red), "
                                u"(COALESCE(directorio.linea_investigacion, '') || ' / ' || "
                                u"COALESCE(directorio.area_aplicacion, '')) "
                                u"FROM directorio WHERE directorio.id = ?"_s;
}

void tst_SqlRender::cardSelectPerDialect()
{
    QFETCH(dw::Dialect, dialect);
    QFETCH(QString, sql);
    QString error;
    const auto rendered = dw::renderSelect(cardSelect(), dialect, &error);
    QVERIFY2(rendered, qPrintable(error));
    QCOMPARE(rendered->sql, sql);
    QCOMPARE(rendered->parameters, std::vector<int>{0});
}

void tst_SqlRender::joinKeepsAccessNullMeaning_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("a");
    QTest::addColumn<QVariant>("b");
    QTest::addColumn<QVariant>("expected");

    const QVariant null;
    QTest::newRow("null right") << u"a & b"_s << QVariant(u"x"_s) << null << QVariant(u"x"_s);
    QTest::newRow("null left") << u"a & b"_s << null << QVariant(u"y"_s) << QVariant(u"y"_s);
    QTest::newRow("both null") << u"a & b"_s << null << null << null;
    QTest::newRow("both") << u"a & b"_s << QVariant(u"x"_s) << QVariant(u"y"_s) << QVariant(u"xy"_s);
    QTest::newRow("literal between") << u"a & ' / ' & b"_s << QVariant(u"x"_s) << null << QVariant(u"x / "_s);
    QTest::newRow("literal, both null") << u"a & ' / ' & b"_s << null << null << QVariant(u" / "_s);
    QTest::newRow("inside a function") << u"upper(a & b)"_s << QVariant(u"x"_s) << null << QVariant(u"X"_s);
    QTest::newRow("inside a comparison")
        << u"a & b = 'xy'"_s << QVariant(u"x"_s) << QVariant(u"y"_s) << QVariant(u"1"_s);
    QTest::newRow("ampersand in a text")
        << u"'p & q' & a"_s << QVariant(u"x"_s) << null << QVariant(u"p & qx"_s);
}

void tst_SqlRender::joinKeepsAccessNullMeaning()
{
    QFETCH(QString, expression);
    QFETCH(QVariant, a);
    QFETCH(QVariant, b);
    QFETCH(QVariant, expected);
    dw::SelectDefinition select;
    select.table = u"t"_s;
    select.columns = {{{}, expression}};
    const auto rendered = dw::renderSelect(select, dw::Dialect::SQLite);
    QVERIFY(rendered);
    QCOMPARE(runSqlite(rendered->sql, a, b), expected);
}

void tst_SqlRender::argumentsAndTexts()
{
    dw::SelectDefinition select;
    select.table = u"directorio"_s;
    select.columns = {{u"directorio.nombre"_s, {}}};
    select.where = u"directorio.tipo_miembro_red = \"Miembro Estudiante\" and "
                   u"(directorio.grado_academico = :as_grado or :AN_ID = directorio.id) "
                   u"and directorio.nombre <> ':as_grado' and directorio.email = :as_grado"_s;
    select.arguments = {{u"an_id"_s, u"number"_s}, {u"as_grado"_s, u"string"_s}};

    const auto access = dw::renderSelect(select, dw::Dialect::Access);
    QVERIFY(access);
    QCOMPARE(access->sql,
             u"SELECT directorio.nombre FROM directorio WHERE directorio.tipo_miembro_red = "
             u"\"Miembro Estudiante\" and (directorio.grado_academico = ? or ? = directorio.id) "
             u"and directorio.nombre <> ':as_grado' and directorio.email = ?"_s);
    // Markers bind in order; a quoted ":name" is text, not an argument.
    QCOMPARE(access->parameters, std::vector<int>({1, 0, 1}));

    const auto sqlite = dw::renderSelect(select, dw::Dialect::SQLite);
    QVERIFY(sqlite);
    QVERIFY2(sqlite->sql.contains(u"tipo_miembro_red = 'Miembro Estudiante' and"_s), qPrintable(sqlite->sql));

    QString error;
    select.where = u"directorio.id = :unknown"_s;
    QVERIFY(!dw::renderSelect(select, dw::Dialect::Access, &error));
    QVERIFY(error.contains(u"unknown"_s));
    select.where = u"directorio.nombre = 'open"_s;
    QVERIFY(!dw::renderSelect(select, dw::Dialect::SQLite, &error));
    select.where = u"(directorio.id = 1"_s;
    QVERIFY(!dw::renderSelect(select, dw::Dialect::Generic, &error));
    QVERIFY(!dw::renderSelect(dw::SelectDefinition{}, dw::Dialect::Access, &error));
}

void tst_SqlRender::bindingConvertsTypes()
{
    dw::SelectDefinition select;
    select.arguments = {{u"an_id"_s, u"number"_s}, {u"as_grado"_s, u"string"_s}};
    const dw::RenderedSelect rendered{u"x"_s, {0, 1, 0}};
    const auto values = dw::bindArguments(select, rendered, {dw::Value(u"15"_s), dw::Value(7)});
    QCOMPARE(values.size(), std::size_t(3));
    QVERIFY(values[0].isInteger());
    QCOMPARE(values[0].toInteger(), 15);
    QVERIFY(values[1].isText());
    QCOMPARE(values[1].toText(), u"7"_s);
    // Too few arguments bind null rather than shifting the others.
    const auto missing = dw::bindArguments(select, rendered, {dw::Value(2.5)});
    QCOMPARE(missing[0].toNumber(), 2.5);
    QVERIFY(missing[1].isNull());
}

QTEST_MAIN(tst_SqlRender)
#include "tst_sqlrender.moc"
