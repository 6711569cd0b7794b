#include "db/transaction.h"
#include "globals.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "w_busqueda.h"
#include "zemparol.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
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
    QTemporaryDir machineSettings; // stands in for /etc/xdg

    static QSettings userSettings()
    {
        return QSettings(QStringLiteral("Calvexa"), QStringLiteral("Zemparol"));
    }

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
    void initTestCase()
    {
        QVERIFY(machineSettings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, machineSettings.path());
    }

    void cleanup()
    {
        userSettings().remove(QStringLiteral("Conexion"));
        QFile::remove(machineSettings.filePath(QStringLiteral("Calvexa/Zemparol.conf")));
    }

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

    // A configured connection replaces the directory file: the user's setting before the
    // machine-wide one; a string no driver understands is one clear connection error.
    void configuredConnectionTakesThePlaceOfTheFile()
    {
        const QString sample = testsupport::sampleDirectory();
        QVERIFY(!sample.isEmpty());
        QTemporaryDir elsewhere; // no zemparol.mdb here
        QVERIFY(elsewhere.isValid());
        const QString sampleFileAlone
            = QStringLiteral("Driver={Microsoft Access Driver (*.mdb)};DBQ=%1/zemparol.mdb;"
                             "PWD=t4m9x2q7w805")
                  .arg(sample);
        const QString missingFile
            = QStringLiteral("Driver={Microsoft Access Driver (*.mdb)};DBQ=%1/no.mdb").arg(elsewhere.path());

        // As an administrator writes it, by hand: in double quotes, so that `;` starts no
        // comment and a comma makes no list.
        const QString sampleFile = sampleFileAlone + QStringLiteral(";Extra=a,b");
        QVERIFY(QDir(machineSettings.path()).mkpath(QStringLiteral("Calvexa")));
        QFile conf(machineSettings.filePath(QStringLiteral("Calvexa/Zemparol.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Conexion]\nConnectString=\"" + sampleFile.toUtf8() + "\"\n");
        conf.close();
        {
            zemparol program;
            start(program, elsewhere.path());
            QVERIFY2(fake.boxes.isEmpty(), fake.boxes.isEmpty() ? "" : qPrintable(fake.boxes.first().text));
            QCOMPARE(dw::Transaction::connectString(rt::SQLCA()->DBParm), sampleFile);
            QCOMPARE(dw::Transaction::connectOption(rt::SQLCA()->DBParm),
                     QStringLiteral("SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT"));
            finish(program);
        }

        // The user's own setting comes first; a quote in it reaches the driver unchanged.
        const QString quoted = missingFile + QStringLiteral(";Descripcion=l'annuaire");
        userSettings().setValue(QStringLiteral("Conexion/ConnectString"), quoted);
        {
            zemparol program;
            start(program, elsewhere.path());
            QCOMPARE(dw::Transaction::connectString(rt::SQLCA()->DBParm), quoted);
            QCOMPARE(fake.boxes.size(), 1);
            QVERIFY2(fake.boxes.first().text.contains(QStringLiteral("no.mdb")),
                     qPrintable(fake.boxes.first().text));
            finish(program);
        }

        // Blanks are no setting: the machine-wide one applies again.
        userSettings().setValue(QStringLiteral("Conexion/ConnectString"), QStringLiteral("  "));
        {
            zemparol program;
            start(program, elsewhere.path());
            QCOMPARE(dw::Transaction::connectString(rt::SQLCA()->DBParm), sampleFile);
            QVERIFY(fake.boxes.isEmpty());
            finish(program);
        }

        userSettings().setValue(QStringLiteral("Conexion/ConnectString"),
                                QStringLiteral("esto no es una cadena de conexión;PWD=s3creta"));
        {
            zemparol program;
            start(program, elsewhere.path());
            QCOMPARE(fake.boxes.size(), 1);
            const auto box = fake.boxes.first();
            QCOMPARE(box.title, QStringLiteral("Error de conexion"));
            const auto match = QRegularExpression(QStringLiteral("^-?\\d+: (.+)$")).match(box.text);
            QVERIFY2(match.hasMatch(), qPrintable(box.text));
            QCOMPARE(match.captured(1), rt::SQLCA()->SQLErrText);
            QVERIFY2(!box.text.contains(QStringLiteral("s3creta")), qPrintable(box.text));
            QVERIFY(g_w_busqueda && g_w_busqueda->isVisible());
            finish(program);
        }
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
