// The condition the search window appends to the listing's SELECT.

#include "listingcount.h"
#include "searchcondition.h"

#include "db/transaction.h"
#include "support/sample.h"

#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TstSearchCondition : public QObject
{
    Q_OBJECT

private slots:
    void condition_data();
    void condition();
    void everyCaptionSearchesItsOwnColumn();
    void findsEveryCaseFormThroughTheDriver();
    void typedWithoutAccentsFindsTheAccentedSpellings_data();
    void typedWithoutAccentsFindsTheAccentedSpellings();
    void countSaysWhatTheListingShows_data();
    void countSaysWhatTheListingShows();
};

// The label beside the listing, at the boundaries of its wording.
void TstSearchCondition::countSaysWhatTheListingShows_data()
{
    QTest::addColumn<bool>("searched");
    QTest::addColumn<int>("listed");
    QTest::addColumn<int>("hidden");
    QTest::addColumn<QString>("text");

    QTest::newRow("before any search") << false << 0 << 0 << u""_s;
    QTest::newRow("nobody found") << true << 0 << 0 << u"Ningún miembro coincide con la búsqueda"_s;
    QTest::newRow("one") << true << 1 << 0 << u"1 miembro"_s;
    QTest::newRow("thousands") << true << 1234 << 0 << u"1,234 miembros"_s;
    QTest::newRow("one hidden by a filter") << true << 4 << 1 << u"4 de 5 miembros (filtro activo)"_s;
    QTest::newRow("a filter hides everyone") << true << 0 << 3 << u"0 de 3 miembros (filtro activo)"_s;
    QTest::newRow("one member, hidden") << true << 0 << 1 << u"0 de 1 miembro (filtro activo)"_s;
}

void TstSearchCondition::countSaysWhatTheListingShows()
{
    QFETCH(bool, searched);
    QFETCH(int, listed);
    QFETCH(int, hidden);
    QFETCH(QString, text);
    QCOMPARE(search::countText(searched, listed, hidden), text);
}

void TstSearchCondition::condition_data()
{
    QTest::addColumn<bool>("anyField");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("any field") << true << u""_s << u"ana"_s << u" where sinacentos(todo) like '%ANA%'"_s;
    QTest::newRow("any field, empty text: every member") << true << u""_s << u""_s << u""_s;
    QTest::newRow("any field ignores the field still shown")
        << true << u"Nombre"_s << u"uni"_s << u" where sinacentos(todo) like '%UNI%'"_s;
    QTest::newRow("one field") << false << u"Institución"_s << u"uni"_s
                               << u" where sinacentos( institucion ) like '%UNI%'"_s;
    QTest::newRow("one field, empty text keeps the condition")
        << false << u"SNI"_s << u""_s << u" where sinacentos( nivel_sni ) like '%%'"_s;
    QTest::newRow("no field chosen: every member") << false << u""_s << u"ana"_s << u""_s;
    QTest::newRow("caption compared exactly") << false << u"nombre"_s << u"ana"_s << u""_s;
    QTest::newRow("leading blank kept")
        << true << u""_s << u" gar"_s << u" where sinacentos(todo) like '% GAR%'"_s;
    QTest::newRow("accents upper-cased")
        << false << u"Nombre"_s << u"josé núñez"_s << u" where ucase( nombre ) like '%JOSÉ NÚÑEZ%'"_s;
    QTest::newRow("wildcards keep their meaning")
        << true << u""_s << u"a%b_c"_s << u" where sinacentos(todo) like '%A%B_C%'"_s;
    QTest::newRow("quote doubled") << false << u"Nombre"_s << u"o'farrill"_s
                                   << u" where sinacentos( nombre ) like '%O''FARRILL%'"_s;
    QTest::newRow("quotes doubled in the any-field search")
        << true << u""_s << u"'x''"_s << u" where sinacentos(todo) like '%''X''''%'"_s;
    QTest::newRow("Enzimas searches enzimas")
        << false << u"Enzimas"_s << u"lipasa"_s << u" where sinacentos( enzimas ) like '%LIPASA%'"_s;
}

void TstSearchCondition::condition()
{
    QFETCH(bool, anyField);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(search::condition(anyField, field, text), expected);
}

void TstSearchCondition::everyCaptionSearchesItsOwnColumn()
{
    const QStringList columns{u"nombre"_s,
                              u"grado_academico"_s,
                              u"especialidad"_s,
                              u"nivel_sni"_s,
                              u"institucion"_s,
                              u"entidad_fed"_s,
                              u"email"_s,
                              u"area_aplicacion"_s,
                              u"subprograma_red"_s,
                              u"proyectos"_s,
                              u"enzimas"_s,
                              u"tipo_miembro_red"_s,
                              u"nombre_tesis"_s,
                              u"empresa"_s,
                              u"razon_social"_s,
                              u"tipo_vinculacion"_s,
                              u"instituciones_vinculacion"_s};
    const QStringList &captions = search::fieldCaptions();
    QCOMPARE(captions.size(), columns.size());
    for (qsizetype i = 0; i < captions.size(); ++i) {
        QCOMPARE(search::condition(false, captions.at(i), u"x"_s),
                 u" where sinacentos( "_s + columns.at(i) + u" ) like '%X%'"_s);
    }
}

// The typed text and the column are upper-cased by the same rule, so a letter whose capital
// is two letters, or a ligature, finds every way of writing it.
void TstSearchCondition::findsEveryCaseFormThroughTheDriver()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString file = folder.filePath(u"busqueda.mdb"_s);
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    const char *rows
        = "CREATE TABLE directorio(id INTEGER, todo TEXT);"
          "INSERT INTO directorio VALUES (1, 'Calle STRASSE 4'), (2, 'Hauptstraße 5'), (3, 'Strasse'),"
          " (4, 'Strase'), (5, 'ﬁnca La Fe'), (6, 'FINCA'), (7, 'fina');";
    QCOMPARE(sqlite3_exec(db, rows, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    dw::Transaction transaction;
    QVERIFY(testsupport::connectAccess(transaction, file));
    const auto found = [&transaction](const QString &typed) {
        dw::DbError error;
        auto cursor = transaction.connection()->query(
            u"SELECT id FROM directorio"_s + search::condition(true, QString(), typed) + u" ORDER BY id"_s,
            {}, error);
        QStringList ids;
        if (!cursor)
            return QStringList(error.text);
        while (cursor->next())
            ids.append(QString::number(cursor->integer(0)));
        return ids;
    };
    const QStringList street{u"1"_s, u"2"_s, u"3"_s};
    QCOMPARE(found(u"straße"_s), street);
    QCOMPARE(found(u"STRASSE"_s), street);
    QCOMPARE(found(u"Straße"_s), street);
    QCOMPARE(found(u"ﬁnca"_s), QStringList({u"5"_s, u"6"_s}));
    QCOMPARE(found(u"finca"_s), QStringList({u"5"_s, u"6"_s}));
}

// A text typed without accents, ñ or ü finds the spellings with and without them; one typed
// with any of them finds exactly what was typed. Wildcards and quotes mean what they did.
void TstSearchCondition::typedWithoutAccentsFindsTheAccentedSpellings_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("ids");
    QTest::newRow("quimica") << u"quimica"_s << u"1,2"_s;
    QTest::newRow("Química typed with its accent") << u"Química"_s << u"1"_s;
    QTest::newRow("pena") << u"pena"_s << u"3,4"_s;
    QTest::newRow("peña") << u"peña"_s << u"3"_s;
    QTest::newRow("PEÑA") << u"PEÑA"_s << u"3"_s;
    QTest::newRow("pinguino") << u"pinguino"_s << u"5,6"_s;
    QTest::newRow("pingüino") << u"pingüino"_s << u"5"_s;
    QTest::newRow("nandu") << u"nandu"_s << u"7"_s;
    QTest::newRow("_ for one letter") << u"q_imica"_s << u"1,2"_s;
    QTest::newRow("% between") << u"p%a"_s << u"3,4"_s;
    QTest::newRow("quote, no accents") << u"o'farrill nunez"_s << u"8"_s;
    QTest::newRow("quote and accents") << u"o'farrill núñez"_s << u"8"_s;
    QTest::newRow("accents in the text, none in the value") << u"núnez"_s << u""_s;
}

void TstSearchCondition::typedWithoutAccentsFindsTheAccentedSpellings()
{
    QFETCH(QString, typed);
    QFETCH(QString, ids);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString file = folder.filePath(u"acentos.mdb"_s);
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    const char *rows = "CREATE TABLE directorio(id INTEGER, nombre TEXT, todo TEXT);"
                       "INSERT INTO directorio (id, nombre) VALUES (1, 'Química Orgánica'), (2, 'QUIMICA'),"
                       " (3, 'Peña'), (4, 'Pena'), (5, 'Pingüino'), (6, 'pinguino'), (7, 'Ñandú'),"
                       " (8, 'O''Farrill Núñez'), (9, NULL);"
                       "UPDATE directorio SET todo = nombre;";
    QCOMPARE(sqlite3_exec(db, rows, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    dw::Transaction transaction;
    QVERIFY(testsupport::connectAccess(transaction, file));
    for (const bool anyField : {true, false}) {
        dw::DbError error;
        auto cursor = transaction.connection()->query(u"SELECT id FROM directorio"_s
                                                          + search::condition(anyField, u"Nombre"_s, typed)
                                                          + u" ORDER BY id"_s,
                                                      {}, error);
        QVERIFY2(cursor, qPrintable(error.text));
        QStringList found;
        while (cursor->next())
            found.append(QString::number(cursor->integer(0)));
        QCOMPARE(found.join(u','), ids);
    }
}

QTEST_MAIN(TstSearchCondition)
#include "tst_searchcondition.moc"
