#include "db/transaction.h"
#include "globals.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "w_busqueda.h"
#include "zemparol.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Runs the application's create and open in a folder, as the program does at start-up,
// and leaves the rest to the test; destroy() runs at the end of each test.
class StartupTest : public QObject
{
    Q_OBJECT
private:
    FakeInteraction fake;
    QString initialFolder = QDir::currentPath();

    void start(zemparol &program, const QString &folder)
    {
        QVERIFY(QDir::setCurrent(folder));
        program.create();
        QCOMPARE(program.appname, QStringLiteral("zemparol"));
        QVERIFY(rt::SQLCA() != nullptr);
        program.open(QString());
    }

    void finish(zemparol &program)
    {
        if (g_w_busqueda)
            g_w_busqueda->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(g_w_busqueda.isNull()); // closing deletes the window
        program.destroy();
        QVERIFY(rt::SQLCA() == nullptr);
        QDir::setCurrent(initialFolder);
        fake.boxes.clear();
    }

private slots:
    void missingDatabaseIsReportedAndTheSearchWindowStillOpens()
    {
        QTemporaryDir empty;
        QVERIFY(empty.isValid());
        zemparol program;
        start(program, empty.path());

        QCOMPARE(fake.boxes.size(), 1);
        QCOMPARE(fake.boxes.first().title, QStringLiteral("Error de conexion"));
        const QString text = fake.boxes.first().text;
        QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+: ")).match(text).hasMatch(), qPrintable(text));
        QCOMPARE(text.section(QStringLiteral(": "), 0, 0).toLong(), rt::SQLCA()->SQLDBCode);
        QVERIFY(!text.contains(QStringLiteral("t4m9x2q7w805"))); // no error text shows the password
        QVERIFY(rt::SQLCA()->SQLCode != 0);

        QVERIFY(g_w_busqueda);
        QVERIFY(g_w_busqueda->isVisible());
        QCOMPARE(g_w_busqueda->windowTitle(), QStringLiteral("Consulta de Directorio"));
        finish(program);
    }

    void sampleDatabaseConnectsSilentlyWithTheDriverString()
    {
        const QString folder = testsupport::sampleDirectory();
        QVERIFY(!folder.isEmpty());
        zemparol program;
        start(program, folder);

        QVERIFY2(fake.boxes.isEmpty(), fake.boxes.isEmpty() ? "" : qPrintable(fake.boxes.first().text));
        const dw::Transaction &sqlca = *rt::SQLCA();
        QCOMPARE(sqlca.SQLCode, 0L);
        QVERIFY(sqlca.isConnected());
        QCOMPARE(sqlca.DBMS, QStringLiteral("ODBC"));
        QVERIFY(!sqlca.AutoCommit);
        // Only the driver string is in force; the data source string was replaced.
        QCOMPARE(
            dw::Transaction::connectString(sqlca.DBParm),
            QStringLiteral(
                "Driver={Microsoft Access Driver (*.mdb)}; DBQ=zemparol.mdb;UID=admin;PWD=t4m9x2q7w805"));
        QCOMPARE(dw::Transaction::connectOption(sqlca.DBParm),
                 QStringLiteral("SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT"));
        QVERIFY(g_w_busqueda && g_w_busqueda->isVisible());
        finish(program);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
