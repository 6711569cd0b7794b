#include "connectionsetting.h"
#include "db/connectstring.h"
#include "db/transaction.h"
#include "directorylocation.h"
#include "globals.h"
#include "picture.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "w_busqueda.h"
#include "zemparol.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

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
    static QSettings machineWideSettings()
    {
        return QSettings(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Calvexa"),
                         QStringLiteral("Zemparol"));
    }

    void start(zemparol &program, const QString &folder, const QString &arguments = {})
    {
        QVERIFY(QDir::setCurrent(folder));
        program.create();
        QCOMPARE(program.appname, QStringLiteral("zemparol"));
        QVERIFY(rt::SQLCA() != nullptr);
        program.open(arguments);
    }

    // A copy of the sample directory's database in `folder` (made when missing), with the
    // network's logo in a Fotos folder beside it.
    static bool copySample(const QString &folder)
    {
        const QDir sample(testsupport::sampleDirectory());
        const QDir target(folder);
        return target.mkpath(QStringLiteral("Fotos"))
            && QFile::copy(sample.filePath(QStringLiteral("zemparol.mdb")),
                           target.filePath(QStringLiteral("zemparol.mdb")))
            && QFile::copy(sample.filePath(QStringLiteral("Fotos/Logo_zemparol.jpg")),
                           target.filePath(QStringLiteral("Fotos/Logo_zemparol.jpg")));
    }

    // The database file the connection in force opens, as an absolute path.
    static QString connectedFile()
    {
        const QString dbq = dw::ConnectString(dw::Transaction::connectString(rt::SQLCA()->DBParm))
                                .value(QStringLiteral("DBQ"))
                                .value_or(QString());
        return QFileInfo(dbq).absoluteFilePath();
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
        fake.folderQuestions.clear();
        fake.folderAnswers.clear();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(machineSettings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, machineSettings.path());
    }

    void cleanup()
    {
        // A test that failed half-way leaves nothing to the next one.
        if (g_w_busqueda)
            g_w_busqueda->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (rt::SQLCA())
            rt::DestroyGlobals();
        QDir::setCurrent(initialFolder);
        fake.boxes.clear();
        fake.folderQuestions.clear();
        fake.folderAnswers.clear();
        userSettings().remove(QStringLiteral("Conexion"));
        QFile::remove(machineSettings.filePath(QStringLiteral("Calvexa/Zemparol.conf")));
        dw::setPictureRoot({});
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
            // A server that does not answer is no reason to ask for a folder.
            QVERIFY(fake.folderQuestions.isEmpty());
            finish(program);
        }
    }

    // Where the directory is looked up, first match wins: the command line, the start
    // folder, the remembered folder (the user's, then the machine's), a configured
    // connection. Folders: start (with zemparol.mdb when the row says so), arg (with
    // zemparol.mdb and "Directorio 2024.MDB"), user, machine, empty.
    void directoryLookupOrder_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("startHoldsDatabase");
        QTest::addColumn<QString>("userFolder");
        QTest::addColumn<QString>("machineFolder");
        QTest::addColumn<bool>("connectString");
        QTest::addColumn<QString>("expected"); // a folder, "start/", "server" or "nothing"

        QTest::newRow("folder argument") << "@/arg" << false << ""
                                         << "" << false << "arg/zemparol.mdb";
        QTest::newRow("quoted file argument of any name") << "\"@/arg/Directorio 2024.MDB\"" << false << ""
                                                          << "" << false << "arg/Directorio 2024.MDB";
        QTest::newRow("unquoted file argument with blanks") << "@/arg/Directorio 2024.MDB" << false << ""
                                                            << "" << false << "arg/Directorio 2024.MDB";
        QTest::newRow("argument before everything else") << "@/arg" << true << "@/user"
                                                         << "" << true << "arg/zemparol.mdb";
        QTest::newRow("options and other files ignored")
            << "-style fusion @/arg/notas.txt @/arg" << false << ""
            << "" << false << "arg/zemparol.mdb";
        QTest::newRow("missing path ignored") << "@/no-existe.mdb" << true << ""
                                              << "" << false << "start/";
        // Named but unusable: the start fails with that name, and nobody is asked.
        QTest::newRow("argument folder without a directory") << "@/empty" << true << ""
                                                             << "" << false << "said:empty/zemparol.mdb";
        QTest::newRow("argument naming a FIFO") << "@/tubo.mdb" << true << ""
                                                << "" << false << "said:tubo.mdb";
        QTest::newRow("argument naming a link loop") << "-style fusion @/bucle" << true << ""
                                                     << "" << false << "said:bucle";
        QTest::newRow("start folder before the remembered one") << "" << true << "@/user"
                                                                << "@/machine" << true << "start/";
        QTest::newRow("user's folder over the machine's") << "" << false << "@/user"
                                                          << "@/machine" << false << "user/zemparol.mdb";
        QTest::newRow("machine's folder alone") << "" << false << ""
                                                << "@/machine" << false << "machine/zemparol.mdb";
        QTest::newRow("user's folder without a directory is passed over")
            << "" << false << "@/empty"
            << "@/machine" << false << "machine/zemparol.mdb";
        QTest::newRow("remembered folder before the configured connection")
            << "" << false << "@/user"
            << "" << true << "user/zemparol.mdb";
        QTest::newRow("configured connection") << "" << false << "@/empty"
                                               << "" << true << "server";
        QTest::newRow("nothing") << "" << false << ""
                                 << "" << false << "nothing";
    }
    void directoryLookupOrder()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, startHoldsDatabase);
        QFETCH(QString, userFolder);
        QFETCH(QString, machineFolder);
        QFETCH(bool, connectString);
        QFETCH(QString, expected);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        for (const QString &folder : {u"arg"_s, u"user"_s, u"machine"_s, u"server"_s})
            QVERIFY(copySample(dir.filePath(folder)));
        QVERIFY(QFile::copy(dir.filePath(u"arg/zemparol.mdb"_s), dir.filePath(u"arg/Directorio 2024.MDB"_s)));
        QVERIFY(QFile::copy(dir.filePath(u"arg/zemparol.mdb"_s), dir.filePath(u"arg/notas.txt"_s)));
        QVERIFY(dir.mkpath(u"empty"_s) && dir.mkpath(u"start"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"tubo.mdb"_s)).constData(), 0600), 0);
        QVERIFY(QFile::link(dir.filePath(u"bucle"_s), dir.filePath(u"bucle"_s)));
        if (startHoldsDatabase)
            QVERIFY(copySample(dir.filePath(u"start"_s)));
        const auto placed = [&](QString text) { return text.replace(u'@', root.path()); };
        if (!userFolder.isEmpty())
            userSettings().setValue(u"Conexion/Carpeta"_s, placed(userFolder));
        if (!machineFolder.isEmpty())
            machineWideSettings().setValue(u"Conexion/Carpeta"_s, placed(machineFolder));
        const QString server = u"Driver={Microsoft Access Driver (*.mdb)};DBQ=%1;PWD=t4m9x2q7w805"_s.arg(
            dir.filePath(u"server/zemparol.mdb"_s));
        if (connectString)
            machineWideSettings().setValue(u"Conexion/ConnectString"_s, server);

        zemparol program;
        start(program, dir.filePath(u"start"_s), placed(arguments));
        const dw::Transaction &sqlca = *rt::SQLCA();
        if (expected.startsWith(u"said:")) {
            const QString named = dir.filePath(expected.mid(5));
            QCOMPARE(fake.boxes.size(), 1);
            QCOMPARE(fake.boxes.first().title, u"Error de conexion"_s);
            QVERIFY2(fake.boxes.first().text.contains(named), qPrintable(fake.boxes.first().text));
            QVERIFY(fake.folderQuestions.isEmpty());
            QCOMPARE(connectedFile(), named);
        } else if (expected == u"nothing") {
            // The program's own string in the start folder fails, and the user is asked.
            QCOMPARE(fake.boxes.size(), 1);
            QCOMPARE(fake.boxes.first().title, u"Error de conexion"_s);
            QCOMPARE(fake.folderQuestions.size(), 1);
            QCOMPARE(connectedFile(), dir.filePath(u"start/zemparol.mdb"_s));
        } else {
            QVERIFY2(fake.boxes.isEmpty(), fake.boxes.isEmpty() ? "" : qPrintable(fake.boxes.first().text));
            QVERIFY(fake.folderQuestions.isEmpty());
            QVERIFY(sqlca.isConnected());
            if (expected == u"server") {
                QCOMPARE(dw::Transaction::connectString(sqlca.DBParm), server);
                QCOMPARE(dw::pictureRoot(), QDir::currentPath()); // photos stay in the start folder
            } else if (expected == u"start/") {
                // Exactly the program's own connection.
                QCOMPARE(
                    dw::Transaction::connectString(sqlca.DBParm),
                    u"Driver={Microsoft Access Driver (*.mdb)}; DBQ=zemparol.mdb;UID=admin;PWD=t4m9x2q7w805"_s);
                QCOMPARE(dw::pictureRoot(), QDir::currentPath());
            } else {
                QCOMPARE(connectedFile(), dir.filePath(expected));
                QCOMPARE(dw::Transaction::connectOption(sqlca.DBParm),
                         u"SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT"_s);
                // The pictures come from the Fotos folder beside the database.
                QCOMPARE(dw::pictureRoot(), QFileInfo(dir.filePath(expected)).absolutePath());
            }
        }
        finish(program);
    }

    // With nothing found: "Error de conexion", then the folder chooser. A folder without
    // the directory is said and asked again; the one that opens is remembered, and its
    // Fotos are the pictures; the next start finds it without asking.
    void nothingFoundAsksForTheFolderAndRemembersIt()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        const QString chosen = dir.filePath(u"Mis documentos/directorio"_s);
        QVERIFY(copySample(chosen));
        QVERIFY(dir.mkpath(u"home"_s) && dir.mkpath(u"otra"_s));
        fake.folderAnswers = {dir.filePath(u"otra"_s), chosen};
        {
            zemparol program;
            start(program, dir.filePath(u"home"_s));
            QCOMPARE(fake.boxes.size(), 2);
            QCOMPARE(fake.boxes.at(0).title, u"Error de conexion"_s);
            QCOMPARE(fake.boxes.at(1).title, u"Carpeta sin directorio"_s);
            QVERIFY(fake.boxes.at(1).text.contains(dir.filePath(u"otra"_s)));
            QCOMPARE(fake.folderQuestions.size(), 2);
            const auto &first = fake.folderQuestions.first();
            QCOMPARE(first.question, u"¿En qué carpeta está el directorio?"_s);
            QVERIFY(first.explanation.contains(u"zemparol.mdb"_s));
            QCOMPARE(first.startFolder, QDir::homePath());
            QCOMPARE(fake.folderQuestions.at(1).startFolder, dir.filePath(u"otra"_s));

            QVERIFY(rt::SQLCA()->isConnected());
            QCOMPARE(connectedFile(), QDir(chosen).filePath(u"zemparol.mdb"_s));
            QCOMPARE(configuredFolders(u"Calvexa"_s, u"Zemparol"_s), QStringList{chosen});
            QCOMPARE(dw::pictureRoot(), chosen);
            QVERIFY(!dw::loadPicture(u"Fotos\\logo_ZEMPAROL.jpg"_s).isNull());
            QVERIFY(g_w_busqueda && g_w_busqueda->isVisible());
            finish(program);
        }
        dw::setPictureRoot({});
        {
            zemparol program;
            start(program, dir.filePath(u"home"_s));
            QVERIFY(fake.boxes.isEmpty());
            QVERIFY(fake.folderQuestions.isEmpty());
            QCOMPARE(connectedFile(), QDir(chosen).filePath(u"zemparol.mdb"_s));
            QCOMPARE(dw::pictureRoot(), chosen);
            finish(program);
        }
    }

    // Cancelling the chooser leaves the failed start exactly as it was, even after a
    // folder whose database does not open.
    void cancelledChooserChangesNothing()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(u"home"_s) && dir.mkpath(u"rota"_s));
        QFile broken(dir.filePath(u"rota/zemparol.mdb"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("no es una base de datos") > 0);
        broken.close();
        fake.folderAnswers = {dir.filePath(u"rota"_s)};

        zemparol program;
        start(program, dir.filePath(u"home"_s));
        QCOMPARE(fake.folderQuestions.size(), 2);
        QCOMPARE(fake.boxes.size(), 2);
        QCOMPARE(fake.boxes.at(1).title, u"Error de conexion"_s);
        const dw::Transaction &sqlca = *rt::SQLCA();
        QVERIFY(!sqlca.isConnected());
        QCOMPARE(dw::Transaction::connectString(sqlca.DBParm),
                 u"Driver={Microsoft Access Driver (*.mdb)}; DBQ=zemparol.mdb;UID=admin;PWD=t4m9x2q7w805"_s);
        QVERIFY(!userSettings().contains(u"Conexion/Carpeta"_s));
        QCOMPARE(dw::pictureRoot(), QDir::currentPath());
        QVERIFY(g_w_busqueda && g_w_busqueda->isVisible());
        finish(program);
    }

    // A database path reaches the driver whole, whatever characters the folder names hold.
    void databasePathSurvivesTheConnectString_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << u"/home/usuario/directorio/zemparol.mdb"_s;
        QTest::newRow("blanks and accents") << u"/home/usuario/Mis documentos/Año 2024/zemparol.mdb"_s;
        QTest::newRow("semicolon") << u"/datos/a;b/zemparol.mdb"_s;
        QTest::newRow("braces") << u"/datos/{x}}/zemparol.mdb"_s;
        QTest::newRow("single quote") << u"/datos/l'annuaire/zemparol.mdb"_s;
        QTest::newRow("outer blank") << u"/datos/ x /zemparol.mdb "_s;
    }
    void databasePathSurvivesTheConnectString()
    {
        QFETCH(QString, path);
        const QString dbParm = accessDbParm(path);
        const dw::ConnectString parts(dw::Transaction::connectString(dbParm));
        QCOMPARE(parts.value(u"DBQ"_s).value_or(QString()), path);
        QCOMPARE(parts.value(u"PWD"_s).value_or(QString()), u"t4m9x2q7w805"_s);
        QCOMPARE(dw::Transaction::connectOption(dbParm), u"SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT"_s);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
