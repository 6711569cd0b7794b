// The SELECT a layout sends, per dialect, and what it means once a database runs it.

#include "datawindow.h"
#include "db/odbcconnection.h"
#include "db/sqliteconnection.h"
#include "sql/selectdefinition.h"
#include "sql/sqlexpression.h"
#include "text/accents.h"
#include "text/likepattern.h"

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

// The ids a condition selects from a few rows in SQLite, or the error SQLite gives.
QString idsWhere(const QString &condition, const QStringList &values)
{
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    dw::registerAccessFunctions(db);
    sqlite3_exec(db, "create table t(id integer, a text)", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "insert into t values (?, ?)", -1, &insert, nullptr);
    for (int id = 1; id <= int(values.size()); ++id) {
        const QByteArray value = values.at(id - 1).toUtf8();
        sqlite3_bind_int(insert, 1, id);
        if (values.at(id - 1).isNull())
            sqlite3_bind_null(insert, 2);
        else
            sqlite3_bind_text(insert, 2, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    QString result;
    std::vector<int> markers;
    const auto sql = dw::sql::translateStatement(u"select id from t where "_s + condition + u" order by id"_s,
                                                 dw::Dialect::SQLite, markers);
    sqlite3_stmt *statement = nullptr;
    if (!sql || sqlite3_prepare_v2(db, sql->toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        result = u"<error>"_s;
    } else {
        QStringList ids;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            ids << QString::number(sqlite3_column_int(statement, 0));
        result = rc == SQLITE_DONE ? ids.join(u',')
                                   : u"<error: "_s + QString::fromUtf8(sqlite3_errmsg(db)) + u'>';
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
    void statementTranslatedOnce_data();
    void statementTranslatedOnce();
    void dialectFromTheDriversName();
    void bindingConvertsTypes();
    void longSearchTextsAreAnswered_data();
    void longSearchTextsAreAnswered();
    void patternMatcherAgreesWithLike();
    void accentFoldingAsEachDatabaseCan();
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
                            << u"SELECT directorio.nombre, upper(directorio.tipo_miembro_red), "
                               u"(COALESCE(directorio.linea_investigacion, '') || ' / ' || "
                               u"COALESCE(directorio.area_aplicacion, '')) "
                               u"FROM directorio WHERE directorio.id = ?"_s;
    QTest::newRow("generic") << dw::Dialect::Generic
                             << u"SELECT directorio.nombre, upper(directorio.tipo_miembro_red), "
                                u"(COALESCE(directorio.linea_investigacion, '') || ' / ' || "
                                u"COALESCE(directorio.area_aplicacion, '')) "
                                u"FROM directorio WHERE directorio.id = ?"_s;
    QTest::newRow("postgresql")
        << dw::Dialect::PostgreSQL
        << u"SELECT \"directorio\".\"nombre\", upper(\"directorio\".\"tipo_miembro_red\"), "
           u"(COALESCE(\"directorio\".\"linea_investigacion\", '') || ' / ' || "
           u"COALESCE(\"directorio\".\"area_aplicacion\", '')) "
           u"FROM \"directorio\" WHERE \"directorio\".\"id\" = ?"_s;
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
    // Access's own functions, as SQLite runs them.
    QTest::newRow("len of a join") << u"len(a & b)"_s << QVariant(u"ñu"_s) << null << QVariant(u"2"_s);
    QTest::newRow("lcase") << u"lcase(a)"_s << QVariant(u"AbC"_s) << null << QVariant(u"abc"_s);
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

// The search window appends its condition in the Access dialect; the whole statement is
// translated once, just before it is sent.
void tst_SqlRender::statementTranslatedOnce_data()
{
    QTest::addColumn<dw::Dialect>("dialect");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<std::vector<int>>("markers");

    const QString search
        = u"SELECT directorio.nombre FROM directorio where ucase( nombre ) like '%O''F\\A\"%'"_s;
    QTest::newRow("access untouched") << dw::Dialect::Access << search << search << std::vector<int>{};
    QTest::newRow("sqlite search")
        << dw::Dialect::SQLite << search
        << u"SELECT directorio.nombre FROM directorio where upper( nombre ) like '%O''F\\A\"%'"_s
        << std::vector<int>{};
    QTest::newRow("postgresql search")
        << dw::Dialect::PostgreSQL << search
        << u"SELECT \"directorio\".\"nombre\" FROM \"directorio\" where upper( \"nombre\" ) like "
           u"E'%O''F\\\\A\"%' ESCAPE ''"_s
        << std::vector<int>{};
    QTest::newRow("postgresql any field")
        << dw::Dialect::PostgreSQL << u"SELECT directorio.id FROM directorio where ucase(todo) like '%ANA%'"_s
        << u"SELECT \"directorio\".\"id\" FROM \"directorio\" where upper(\"todo\") like '%ANA%' ESCAPE ''"_s
        << std::vector<int>{};
    // A marker inside a join is written twice; both bind the same argument.
    QTest::newRow("marker in a join")
        << dw::Dialect::PostgreSQL
        << u"SELECT ? & directorio.nombre FROM directorio WHERE directorio.id = ?"_s
        << u"SELECT (CASE WHEN COALESCE(?, \"directorio\".\"nombre\") IS NULL THEN NULL ELSE COALESCE(?, '') "
           u"|| "
           u"COALESCE(\"directorio\".\"nombre\", '') END) FROM \"directorio\" WHERE \"directorio\".\"id\" = ?"_s
        << std::vector<int>{0, 0, 1};
    QTest::newRow("names that are keywords, brackets")
        << dw::Dialect::PostgreSQL
        << u"SELECT t.[user], t.order FROM t WHERE t.x IS NOT NULL ORDER BY t.x DESC"_s
        << u"SELECT \"t\".\"user\", \"t\".\"order\" FROM \"t\" WHERE \"t\".\"x\" IS NOT NULL ORDER BY "
           u"\"t\".\"x\" DESC"_s
        << std::vector<int>{};
}

void tst_SqlRender::statementTranslatedOnce()
{
    QFETCH(dw::Dialect, dialect);
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    QFETCH(std::vector<int>, markers);
    std::vector<int> parameters;
    for (int i = 0; i < int(statement.count(u'?')); ++i)
        parameters.push_back(i);
    QString error;
    const auto translated = dw::translateSelect(statement, parameters, dialect, &error);
    QVERIFY2(translated, qPrintable(error));
    QCOMPARE(translated->sql, expected);
    if (dialect != dw::Dialect::Access)
        QCOMPARE(translated->parameters, markers);
}

void tst_SqlRender::dialectFromTheDriversName()
{
    QCOMPARE(dw::dialectOfDbms(u"ACCESS"_s), dw::Dialect::Access);
    QCOMPARE(dw::dialectOfDbms(u"SQLite"_s), dw::Dialect::SQLite);
    QCOMPARE(dw::dialectOfDbms(u"PostgreSQL"_s), dw::Dialect::PostgreSQL);
    QCOMPARE(dw::dialectOfDbms(u"Microsoft SQL Server"_s), dw::Dialect::Generic);
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

// SQLite refuses a like pattern of more than 50,000 bytes; a pasted search text that long
// is answered all the same, with like's own meaning.
void tst_SqlRender::longSearchTextsAreAnswered_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("ids");

    const QString n = QString(30000, u'Ñ'); // 60,000 bytes
    const QString m = QString(4999, u'ñ') + u"—"_s; // just over the length sent as one pattern
    const QString q = u"O'"_s + n;
    const auto like = [](const QString &pattern) {
        return u"a like '"_s + QString(pattern).replace(u"'"_s, u"''"_s) + u'\'';
    };
    QTest::newRow("contains") << like(u'%' + n + u'%') << u"1,2,5,6"_s;
    QTest::newRow("starts with") << like(n + u'%') << u"2"_s;
    QTest::newRow("ends with") << like(u'%' + n) << u"2,5,6"_s;
    QTest::newRow("whole value") << like(n) << u"2"_s;
    QTest::newRow("ASCII letters in either case") << like(u"%ABC"_s + n + u'%') << u"5"_s;
    QTest::newRow("not like") << u"a not like '%"_s + n + u"%'"_s << u"3,7"_s;
    QTest::newRow("quote inside, upper-cased")
        << u"ucase(a) like '%"_s + QString(q).replace(u"'"_s, u"''"_s) + u"%'"_s << u"6"_s;
    QTest::newRow("three-byte character at the length") << like(u'%' + m + u'%') << u"7"_s;
    QTest::newRow("short pattern as before") << like(u"%ÑÑ%"_s) << u"1,2,3,5,6"_s;
    // Wildcards inside a long pattern: the driver's own matcher, with like's meaning.
    QTest::newRow("% inside") << like(u'%' + n.left(20000) + u'%' + n.left(9000) + u'%') << u"1,2,3,5,6"_s;
    QTest::newRow("_ inside, ending the value")
        << like(u'%' + n.left(15000) + u'_' + n.left(14999)) << u"2,5,6"_s;
    QTest::newRow("_ for the quote, upper-cased")
        << u"ucase(a) like '_''"_s + n.left(29999) + u"_'"_s << u"6"_s;
    QTest::newRow("not like with % inside")
        << u"a not like '%"_s + n.left(15000) + u"%y'"_s << u"2,3,5,6,7"_s;
}

// The matcher of long patterns answers as SQLite's like does, on every pattern and value
// of a few characters over an alphabet of cases, accents, and both wildcards.
void tst_SqlRender::patternMatcherAgreesWithLike()
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt *like = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "select ? like ?", -1, &like, nullptr), SQLITE_OK);
    const QStringList letters{u"a"_s, u"B"_s, u"b"_s, u"ñ"_s, u"%"_s, u"_"_s};
    std::vector<QByteArray> texts{QByteArray()};
    std::vector<QByteArray> shorter{QByteArray()};
    for (int length = 1; length <= 4; ++length) {
        std::vector<QByteArray> longer;
        for (const QByteArray &text : shorter) {
            for (const QString &letter : letters)
                longer.push_back(text + letter.toUtf8());
        }
        texts.insert(texts.end(), longer.begin(), longer.end());
        shorter = std::move(longer);
    }
    int compared = 0;
    for (const QByteArray &pattern : texts) {
        for (const QByteArray &value : texts) {
            if (value.contains('%') || value.contains('_'))
                continue;
            sqlite3_bind_text(like, 1, value.constData(), int(value.size()), SQLITE_STATIC);
            sqlite3_bind_text(like, 2, pattern.constData(), int(pattern.size()), SQLITE_STATIC);
            QCOMPARE(sqlite3_step(like), SQLITE_ROW);
            const bool expected = sqlite3_column_int(like, 0) == 1;
            sqlite3_reset(like);
            const bool ours = dw::likeMatches({value.constData(), std::size_t(value.size())},
                                              {pattern.constData(), std::size_t(pattern.size())});
            if (ours != expected)
                QFAIL(qPrintable(
                    u"'%1' like '%2'"_s.arg(QString::fromUtf8(value), QString::fromUtf8(pattern))));
            ++compared;
        }
    }
    QVERIFY(compared > 100000);
    sqlite3_finalize(like);
    sqlite3_close(db);
}

void tst_SqlRender::longSearchTextsAreAnswered()
{
    QFETCH(QString, condition);
    QFETCH(QString, ids);
    const QString n = QString(30000, u'Ñ');
    const QStringList values{u'x' + n + u'y',
                             n,
                             n.left(n.size() - 1),
                             QString(),
                             u"abc"_s + n,
                             u"o'"_s + n,
                             u"<"_s + QString(4999, u'ñ') + u"—>"_s};
    std::vector<int> markers;
    const auto sent = dw::sql::translateStatement(condition, dw::Dialect::SQLite, markers);
    QVERIFY2(idsWhere(condition, values) == ids,
             qPrintable(sent.value_or(QString()).replace(n, u"<N>"_s).left(400)));
}

// sinacentos(x) goes to the built-in driver as is, to PostgreSQL as translate() of its
// upper(), and to a database that cannot fold as the plain upper-casing it compares as typed.
void tst_SqlRender::accentFoldingAsEachDatabaseCan()
{
    const QString written = u"select id from t where sinacentos(todo) like '%PENA%'"_s;
    const auto sent = [&](dw::Dialect dialect, bool folds) {
        std::vector<int> markers;
        return dw::sql::translateStatement(written, dialect, markers, nullptr, folds).value_or(u"<error>"_s);
    };
    QCOMPARE(sent(dw::Dialect::SQLite, true), u"select id from t where sinacentos(todo) like '%PENA%'"_s);
    QCOMPARE(sent(dw::Dialect::SQLite, false), u"select id from t where upper(todo) like '%PENA%'"_s);
    QCOMPARE(sent(dw::Dialect::Access, false), u"select id from t where ucase(todo) like '%PENA%'"_s);
    QCOMPARE(sent(dw::Dialect::Generic, false), u"select id from t where upper(todo) like '%PENA%'"_s);
    const QString postgres = sent(dw::Dialect::PostgreSQL, false);
    QVERIFY2(postgres.startsWith(u"select \"id\" from \"t\" where translate(upper(\"todo\"), '"_s),
             qPrintable(postgres));
    QVERIFY(postgres.contains(u"Ñ"_s) && postgres.contains(u"Á"_s) && postgres.contains(u"Ü"_s));
    QVERIFY2(postgres.endsWith(u"') like '%PENA%' ESCAPE ''"_s), qPrintable(postgres));
    QCOMPARE(dw::accentedCapitals().size(), dw::baseCapitals().size());
    QCOMPARE(dw::baseCapitals().at(dw::accentedCapitals().indexOf(u'Ñ')), u'N');
    QCOMPARE(dw::foldedUpperText(u"Peña Química Pingüino Æsir Øre straße"_s),
             u"PENA QUIMICA PINGUINO ÆSIR ØRE STRASSE"_s);
}

QTEST_MAIN(tst_SqlRender)
#include "tst_sqlrender.moc"
