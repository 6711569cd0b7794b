// The built-in driver's bounds on a statement (time, temporary memory) with directories
// whose `directorio` is a runaway view, and the Spanish texts of the engine's errors.

#include "datawindow.h"
#include "db/errors.h"
#include "db/sqliteconnection.h"
#include "db/transaction.h"
#include "modelfixture.h"
#include "settings/settingsstore.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "support/viewdirectory.h"

#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A directory whose `directorio` is made by `makeView`, named after the case.
QString directoryWithView(const QTemporaryDir &dir, const QString &name, const QString &makeView)
{
    return testsupport::directoryWithView(dir.filePath(name + u".mdb"_s), makeView);
}

struct Limits
{
    int seconds;
    int megabytes;
};

// Rows may bring four times the temporary memory.
void setLimits(Limits limits)
{
    const dw::SettingsStore settings = dw::SettingsStore::program();
    settings.setText(u"Consultas/SegundosMaximos"_s, QString::number(limits.seconds));
    settings.setText(u"Consultas/MemoriaTemporalMB"_s, QString::number(limits.megabytes));
    settings.setText(u"Consultas/ResultadoMB"_s, QString::number(4 * limits.megabytes));
}

// Retrieves the listing from `file` under `limits`; the rows, and the error box's text.
struct Outcome
{
    long rows = 0;
    QString error;
};

Outcome retrieveListing(dw::DataWindow &dw, dw::Transaction &sqlca, const QString &file, Limits limits)
{
    setLimits(limits);
    Outcome outcome;
    if (!testsupport::connectAccess(sqlca, file)) {
        outcome.error = u"no connection: "_s + sqlca.SQLErrText;
        return outcome;
    }
    dw.SetTransObject(&sqlca);
    FakeInteraction fake;
    outcome.rows = dw.Retrieve();
    if (!fake.boxes.isEmpty())
        outcome.error = fake.boxes.constFirst().title + u" | "_s + fake.boxes.constFirst().text;
    return outcome;
}

const Limits generous{600, 512};

} // namespace

class tst_StatementBounds : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(!testsupport::sampleDirectory().isEmpty());
    }

    void runawayStatementsStopWithAReason_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<QString>("reason");
        // A set that deduplicates grows without end in temporary storage.
        QTest::newRow("recursive set") << u"CREATE VIEW directorio AS SELECT * FROM miembros WHERE id IN "
                                          "(WITH RECURSIVE n(i) AS (SELECT 1 UNION SELECT i + 1 FROM n) "
                                          "SELECT -i FROM n)"_s
                                       << 600 << 8 << u"8 MB"_s;
        // Counting an endless sequence takes no memory, only time.
        QTest::newRow("endless count") << u"CREATE VIEW directorio AS SELECT * FROM miembros WHERE (WITH "
                                          "RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
                                          "SELECT count(*) FROM n) > 0"_s
                                       << 1 << 512 << u"límite de 1 segundo de"_s;
        // A 200 MB value as the name on every row.
        QTest::newRow("huge value") << u"CREATE VIEW directorio AS SELECT {others}, hex(zeroblob(100000000)) "
                                       "AS nombre FROM miembros"_s
                                    << 600 << 16 << u"16 MB"_s;
        // 4 MB on every row: each passes, together they are too much to keep.
        QTest::newRow("huge rows")
            << u"CREATE VIEW directorio AS SELECT {others}, printf('%.*c', 4000000, 'x') "
               "AS nombre FROM miembros"_s
            << 600 << 16 << u"filas pasaron del límite de 64 MB"_s;
    }

    void runawayStatementsStopWithAReason()
    {
        QFETCH(QString, view);
        QFETCH(int, seconds);
        QFETCH(int, megabytes);
        QFETCH(QString, reason);
        const QString file = directoryWithView(m_dir, QString::fromLatin1(QTest::currentDataTag()), view);
        QVERIFY(!file.isEmpty());

        dw::Transaction sqlca;
        dw::DataWindow dw;
        QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
        QElapsedTimer clock;
        clock.start();
        const Outcome stopped = retrieveListing(dw, sqlca, file, {seconds, megabytes});
        QCOMPARE(stopped.rows, -1L);
        // Stopped near its time, not long after (a busy machine given room).
        if (seconds < 600)
            QVERIFY2(clock.elapsed() < seconds * 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(stopped.error.startsWith(u"Error de base de datos | 1011: La consulta se detuvo"_s),
                 qPrintable(stopped.error));
        QVERIFY2(stopped.error.contains(reason), qPrintable(stopped.error));

        // The connection stays usable: the same window reads the table behind the view.
        RecordingObserver observer(dw);
        observer.rewrite = [](QString sql) { return sql.replace(u"directorio"_s, u"miembros"_s); };
        FakeInteraction fake;
        QVERIFY(dw.Retrieve() >= 17);
        QVERIFY(fake.boxes.isEmpty());
    }

    void viewsWithinTheBoundsAreRead()
    {
        const QString file = directoryWithView(
            m_dir, u"finite"_s,
            u"CREATE VIEW directorio AS WITH RECURSIVE n(i) AS (SELECT 1 UNION SELECT i + 1 FROM n "
            "WHERE i < 5) SELECT m.* FROM miembros m JOIN n ON m.id = n.i"_s);
        QVERIFY(!file.isEmpty());
        dw::Transaction sqlca;
        dw::DataWindow dw;
        QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
        const Outcome read = retrieveListing(dw, sqlca, file, {5, 8});
        QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        QCOMPARE(read.rows, 5L);
    }

    void engineErrorsAreSpanishWithTheDriversText()
    {
        // A statement SQLite cannot read.
        dw::Transaction sqlca;
        dw::DataWindow dw;
        QVERIFY(dw.setDataObject(u"dw_listado_grid"_s));
        const QString plain
            = directoryWithView(m_dir, u"plain"_s, u"CREATE VIEW directorio AS SELECT * FROM miembros"_s);
        QVERIFY(!plain.isEmpty());
        {
            RecordingObserver observer(dw);
            observer.rewrite = [](const QString &sql) { return sql + u" ORDER BY ORDER"_s; };
            const Outcome refused = retrieveListing(dw, sqlca, plain, generous);
            QVERIFY2(
                refused.error.contains(u": La instrucción SQL no es válida: near \"ORDER\": syntax error"_s),
                qPrintable(refused.error));
        }

        // A table whose first page is overwritten: the schema reads, its rows do not.
        const QString damaged
            = directoryWithView(m_dir, u"damaged"_s, u"CREATE VIEW directorio AS SELECT * FROM miembros"_s);
        QVERIFY(!damaged.isEmpty());
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(damaged).constData(), &db), SQLITE_OK);
        sqlite3_stmt *root = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_schema "
                           "WHERE name = 'miembros'",
                           -1, &root, nullptr);
        QCOMPARE(sqlite3_step(root), SQLITE_ROW);
        const qint64 page = sqlite3_column_int64(root, 0);
        const qint64 pageSize = sqlite3_column_int64(root, 1);
        sqlite3_finalize(root);
        sqlite3_close(db);
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek((page - 1) * pageSize));
        file.write(QByteArray(int(pageSize), '\x7f'));
        file.close();
        const Outcome broken = retrieveListing(dw, sqlca, damaged, generous);
        QCOMPARE(broken.rows, -1L);
        QVERIFY2(broken.error.contains(
                     u"El archivo de base de datos está dañado: database disk image is malformed"_s),
                 qPrintable(broken.error));

        // A write refused by a read-only handle, as any caller of the driver would see it.
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(plain).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                 SQLITE_OK);
        QVERIFY(sqlite3_exec(db, "DELETE FROM miembros", nullptr, nullptr, nullptr) != SQLITE_OK);
        const dw::DbError error = dw::sqliteError(db);
        sqlite3_close(db);
        QCOMPARE(error.code, long(SQLITE_READONLY));
        QCOMPARE(
            error.text,
            u"La base de datos es de sólo lectura y no admite cambios: attempt to write a readonly database"_s);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_StatementBounds)
#include "tst_statementbounds.moc"
