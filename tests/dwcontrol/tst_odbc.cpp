// Drivers other than Access go through the ODBC driver manager: a real connection to the
// SQLite ODBC driver, registered in an odbcinst.ini this test writes, and failing ones.
#include "db/transaction.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using dw::CellKind;
using dw::Transaction;

namespace {

const QString SqliteOdbcDriver = QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");

} // namespace

class TestOdbc : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString m_database;

    void connectTo(Transaction &transaction, const QString &connectString)
    {
        transaction.DBMS = QStringLiteral("ODBC");
        transaction.AutoCommit = false;
        transaction.DBParm
            = QStringLiteral("ConnectString='%1',ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'")
                  .arg(connectString);
        transaction.connect();
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists(SqliteOdbcDriver))
            QSKIP(qPrintable(QStringLiteral("SQLite ODBC driver missing (package libsqliteodbc): ")
                             + SqliteOdbcDriver));
        QVERIFY(m_folder.isValid());
        // The driver manager reads these before its first call, so set them first.
        QFile ini(QDir(m_folder.path()).filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            QStringLiteral("[SQLite3]\nDescription=SQLite 3\nDriver=%1\n").arg(SqliteOdbcDriver).toUtf8());
        ini.close();
        QFile empty(QDir(m_folder.path()).filePath(QStringLiteral("odbc.ini")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        qputenv("ODBCSYSINI", QFile::encodeName(m_folder.path()));
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", QFile::encodeName(empty.fileName()));

        m_database = QDir(m_folder.path()).filePath(QStringLiteral("directorio.db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_database).constData(), &db), SQLITE_OK);
        const char *script = "CREATE TABLE directorio (id INTEGER, nombre TEXT, proyectos TEXT, peso REAL);"
                             "INSERT INTO directorio VALUES (1, 'María Núñez', replace(hex(zeroblob(20000)), "
                             "'00', 'ñá'), 1.5);"
                             "INSERT INTO directorio VALUES (2, '', NULL, NULL);"
                             "INSERT INTO directorio VALUES (3, 'O''Brien', 'x', -2.25);";
        QCOMPARE(sqlite3_exec(db, script, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    void readsThroughTheDriverManager()
    {
        Transaction transaction;
        connectTo(transaction, QStringLiteral("Driver={SQLite3};Database=%1").arg(m_database));
        QVERIFY2(transaction.SQLCode == 0, qPrintable(transaction.SQLErrText));
        QCOMPARE(transaction.connection()->dialect(), dw::Dialect::SQLite);

        dw::DbError error;
        auto cursor = transaction.connection()->query(
            QStringLiteral("SELECT id, nombre, proyectos, peso FROM directorio ORDER BY id"), {}, error);
        QVERIFY2(cursor, qPrintable(error.text));
        QCOMPARE(cursor->columnCount(), 4);
        QCOMPARE(cursor->columnName(1), QStringLiteral("nombre"));

        QVERIFY(cursor->next());
        QCOMPARE(cursor->kind(0), CellKind::Integer);
        QCOMPARE(cursor->integer(0), 1);
        QCOMPARE(QString::fromUtf8(cursor->utf8(1).data(), qsizetype(cursor->utf8(1).size())),
                 QStringLiteral("María Núñez"));
        // A long text arrives whole, over many pieces.
        const QString projects = QString::fromUtf8(cursor->utf8(2).data(), qsizetype(cursor->utf8(2).size()));
        QCOMPARE(projects.size(), 40000);
        QVERIFY(projects.startsWith(QStringLiteral("ñáñá")) && projects.endsWith(QStringLiteral("ñá")));
        QCOMPARE(cursor->kind(3), CellKind::Real);
        QCOMPARE(cursor->real(3), 1.5);

        QVERIFY(cursor->next());
        QCOMPARE(cursor->kind(1), CellKind::Text);
        QVERIFY(cursor->utf8(1).empty());
        QCOMPARE(cursor->kind(2), CellKind::Null);
        QCOMPARE(cursor->kind(3), CellKind::Null);
        QVERIFY(cursor->next());
        QVERIFY(!cursor->next());
        QVERIFY(!cursor->error());

        // Bound arguments: text with a quote and accents, a number, a null.
        cursor = transaction.connection()->query(
            QStringLiteral("SELECT id FROM directorio WHERE nombre = ? OR nombre = ? OR id = ? OR proyectos "
                           "= ? ORDER BY id"),
            {dw::Value(QStringLiteral("O'Brien")), dw::Value(QStringLiteral("María Núñez")),
             dw::Value(qint64(2)), dw::Value()},
            error);
        QVERIFY2(cursor, qPrintable(error.text));
        QList<qint64> ids;
        while (cursor->next())
            ids << cursor->integer(0);
        QCOMPARE(ids, QList<qint64>({1, 2, 3}));

        // A statement the database rejects reports the driver's own text.
        QVERIFY(
            !transaction.connection()->query(QStringLiteral("SELECT enzimas FROM directorio"), {}, error));
        QVERIFY2(error.text.contains(u"enzimas"), qPrintable(error.text));
    }

    void failuresShowTheDriversMessage()
    {
        Transaction transaction;
        connectTo(transaction, QStringLiteral("Driver={Controlador Inexistente};Database=x;PWD=s3creta"));
        QCOMPARE(transaction.SQLCode, -1L);
        QVERIFY(!transaction.isConnected());
        QVERIFY2(transaction.SQLErrText.contains(u"Controlador Inexistente"),
                 qPrintable(transaction.SQLErrText));
        // The driver manager's English comes after a Spanish account of what failed.
        QVERIFY2(transaction.SQLErrText.startsWith(u"No se pudo conectar con el controlador ODBC: "),
                 qPrintable(transaction.SQLErrText));
        QVERIFY(!transaction.SQLErrText.contains(u"s3creta"));

        // The program's first, replaced string names a data source nobody configured.
        connectTo(transaction, QStringLiteral("DSN=zemparol;UID=admin;PWD=<******>"));
        QCOMPARE(transaction.SQLCode, -1L);
        QVERIFY(!transaction.SQLErrText.isEmpty());
        QVERIFY(!transaction.SQLErrText.contains(u"<******>"));
    }
};

QTEST_GUILESS_MAIN(TestOdbc)
#include "tst_odbc.moc"
