// Texts written in a layout or typed in a search reach every database as the same text:
// quotes, wildcards, a backslash and a line break, in a computed column and in a where
// clause, sent to the built-in driver, to SQLite through its ODBC driver and to a private
// PostgreSQL server, so each statement is proven valid and not only compared as text.

#include "datawindow.h"
#include "db/transaction.h"
#include "dwcontrol/modelfixture.h"
#include "objects/layoutsyntax.h"
#include "searchcondition.h"
#include "support/fakeinteraction.h"
#include "support/pgserver.h"
#include "support/sample.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <map>

using namespace Qt::StringLiterals;

namespace {

const QString kSqliteOdbc = u"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so"_s;

const QStringList &texts()
{
    static const QStringList list = {u"O'Farrill"_s,
                                     u"dijo \"hola\""_s,
                                     u"100%"_s,
                                     u"a_b"_s,
                                     u"C:\\Fotos\\x"_s,
                                     u"línea uno\nlínea dos"_s,
                                     u"'\"%_\\\n'\"%_\\"_s};
    return list;
}

QString accessDoubleQuoted(QString text)
{
    return u'"' + text.replace(u"\""_s, u"\"\""_s) + u'"';
}

QString accessSingleQuoted(QString text)
{
    return u'\'' + text.replace(u"'"_s, u"''"_s) + u'\'';
}

// A layout that writes the text both ways in its condition and its computed columns.
QString layoutWith(const QString &text)
{
    const QString dq = accessDoubleQuoted(text);
    const QString sq = accessSingleQuoted(text);
    using dw::syntax::quote;
    return u"datawindow(processing=grid)\n"
           u"table(name=directorio where=%1)\n"
           u"tablecolumn(name=id type=long dbname=\"directorio.id\")\n"
           u"tablecolumn(name=dq type=char(255) compute=%2)\n"
           u"tablecolumn(name=sq type=char(255) compute=%3)\n"
           u"tablecolumn(name=joined type=char(255) compute=%4)\n"
           u"argument(name=an_id type=number)\n"_s.arg(
               quote(u"directorio.id = :an_id and "_s + dq + u" = "_s + sq), quote(dq), quote(sq),
               quote(u"directorio.nombre & "_s + dq));
}

// What the search's like finds: both sides upper case, % any run, _ one character.
bool likeContains(const QString &value, const QString &typed)
{
    QString pattern;
    for (const QChar c : typed.toUpper())
        pattern += c == u'%' ? u".*"_s : c == u'_' ? u"."_s : QRegularExpression::escape(QString(c));
    return QRegularExpression(u"\\A.*"_s + pattern + u".*\\z"_s,
                              QRegularExpression::DotMatchesEverythingOption)
        .match(value.toUpper())
        .hasMatch();
}

struct Member
{
    QString nombre;
    QString foto;
};

std::map<long, Member> membersOf(dw::Transaction &transaction)
{
    std::map<long, Member> members;
    dw::DbError error;
    auto cursor = transaction.connection()->query(u"SELECT id, nombre, foto FROM directorio"_s, {}, error);
    const auto text = [&cursor](int column) {
        const auto bytes = cursor->utf8(column);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    };
    while (cursor && cursor->next())
        members[long(cursor->integer(0))] = {text(1), text(2)};
    return members;
}

} // namespace

Q_DECLARE_METATYPE(dw::Dialect)

class tst_SqlLiterals : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void literalsReachEveryDatabase_data();
    void literalsReachEveryDatabase();

private:
    // Connects `transaction` to the database a row names; false with the reason to skip.
    bool connect(const QString &target, dw::Transaction &transaction, QString &skip);

    FakeInteraction m_fake;
    testsupport::PostgresServer m_server;
    QString m_serverProblem;
    bool m_serverUp = false;
};

void tst_SqlLiterals::initTestCase()
{
    QVERIFY(!testsupport::sampleDirectory().isEmpty());
    m_serverProblem = testsupport::PostgresServer::unavailableReason();
    if (m_serverProblem.isEmpty()) {
        QVERIFY2(m_server.start(m_serverProblem), qPrintable(m_serverProblem));
        QVERIFY2(m_server.loadAccess(testsupport::fixturesDirectory() + u"/zemparol_jet4.mdb"_s,
                                     u"directorio"_s, m_serverProblem),
                 qPrintable(m_serverProblem));
        m_serverUp = true;
    }
}

void tst_SqlLiterals::cleanupTestCase()
{
    m_server.stop();
}

bool tst_SqlLiterals::connect(const QString &target, dw::Transaction &transaction, QString &skip)
{
    QString connectString;
    if (target == u"built-in"_s) {
        connectString
            = u"Driver={Microsoft Access Driver (*.mdb)};DBQ=%1/zemparol.mdb;PWD=t4m9x2q7w805"_s.arg(
                testsupport::sampleDirectory());
    } else if (target == u"sqlite odbc"_s) {
        if (!QFile::exists(kSqliteOdbc)) {
            skip = u"SQLite ODBC driver missing (package libsqliteodbc)"_s;
            return false;
        }
        connectString
            = u"Driver=%1;Database=%2/zemparol.mdb"_s.arg(kSqliteOdbc, testsupport::sampleDirectory());
    } else {
        if (!m_serverUp) {
            skip = u"sin servidor PostgreSQL: "_s + m_serverProblem;
            return false;
        }
        connectString = m_server.connectString(u"directorio"_s, testsupport::PostgresServer::password());
    }
    transaction.DBMS = u"ODBC"_s;
    transaction.DBParm = u"ConnectString='%1'"_s.arg(connectString);
    transaction.connect();
    return true;
}

void tst_SqlLiterals::literalsReachEveryDatabase_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<dw::Dialect>("dialect");
    QTest::newRow("built-in") << u"built-in"_s << dw::Dialect::SQLite;
    QTest::newRow("sqlite odbc") << u"sqlite odbc"_s << dw::Dialect::SQLite;
    QTest::newRow("postgresql") << u"postgresql"_s << dw::Dialect::PostgreSQL;
}

void tst_SqlLiterals::literalsReachEveryDatabase()
{
    QFETCH(QString, target);
    QFETCH(dw::Dialect, dialect);
    dw::Transaction transaction;
    QString skip;
    if (!connect(target, transaction, skip))
        QSKIP(qPrintable(skip));
    QVERIFY2(transaction.SQLCode == 0, qPrintable(transaction.SQLErrText));
    QCOMPARE(transaction.connection()->dialect(), dialect);
    const auto members = membersOf(transaction);
    QVERIFY(members.size() > 10);
    const long id = members.begin()->first;

    for (const QString &text : texts()) {
        // In a computed column and in the condition, written with either quote.
        dw::DataWindow layout;
        QString error;
        QVERIFY2(layout.setSyntax(layoutWith(text), &error), qPrintable(error));
        RecordingObserver observer(layout);
        layout.SetTransObject(&transaction);
        const long retrieved = layout.Retrieve({dw::Value(qint64(id))});
        QVERIFY2(retrieved == 1, qPrintable(text + u" → "_s + m_fake.boxes.value(0).text));
        QCOMPARE(layout.GetItemString(1, u"dq"_s), text);
        QCOMPARE(layout.GetItemString(1, u"sq"_s), text);
        QCOMPARE(layout.GetItemString(1, u"joined"_s), members.at(id).nombre + text);
        // The preview shows the layout's own Access text, double quotes and all.
        QVERIFY2(observer.previews.value(0).contains(accessDoubleQuoted(text)),
                 qPrintable(observer.previews.value(0)));

        // Typed in the search: found exactly where the name holds it (%, _ as wildcards).
        dw::DataWindow listing;
        QVERIFY(listing.setDataObject(u"dw_listado_grid"_s));
        RecordingObserver searching(listing);
        searching.rewrite
            = [&text](const QString &sql) { return sql + search::condition(false, u"Nombre"_s, text); };
        listing.SetTransObject(&transaction);
        long expected = 0;
        for (const auto &[memberId, member] : members)
            expected += likeContains(member.nombre, text) ? 1 : 0;
        QCOMPARE(listing.Retrieve(), expected);
        if (text == u"O'Farrill"_s)
            QVERIFY(expected > 0);
        QVERIFY2(m_fake.boxes.isEmpty(), qPrintable(m_fake.boxes.value(0).text));
    }

    // A backslash in a like pattern is the character itself, as in Access.
    dw::DataWindow photos;
    QVERIFY(photos.setSyntax(u"datawindow(processing=grid)\n"
                             u"table(name=directorio where=\"ucase(directorio.foto) like 'FOTOS\\%'\")\n"
                             u"tablecolumn(name=id type=long dbname=\"directorio.id\")\n"_s));
    photos.SetTransObject(&transaction);
    long withPhoto = 0;
    for (const auto &[memberId, member] : members)
        withPhoto += member.foto.toUpper().startsWith(u"FOTOS\\"_s) ? 1 : 0;
    QVERIFY(withPhoto > 0);
    QCOMPARE(photos.Retrieve(), withPhoto);
    QVERIFY2(m_fake.boxes.isEmpty(), qPrintable(m_fake.boxes.value(0).text));
}

QTEST_MAIN(tst_SqlLiterals)
#include "tst_sqlliterals.moc"
