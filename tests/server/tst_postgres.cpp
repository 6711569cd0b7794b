// The directory on a real PostgreSQL server: a private cluster loaded from an Access file
// with the mdbtools commands of the README, reached through the psqlODBC driver the way
// an administrator configures it. Every answer is compared with the built-in driver
// reading the same Access file.

#include "connectionsetting.h"
#include "datawindow.h"
#include "db/odbccursor.h"
#include "db/transaction.h"
#include "dw_listado.h"
#include "globals.h"
#include "gridstyle/gridstylefixture.h"
#include "passwordexposure.h"
#include "settings/settingsstore.h"
#include "support/fakeinteraction.h"
#include "support/pgserver.h"
#include "support/sample.h"
#include "w_busqueda.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "zemparol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <future>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

const QString kSetting = u"Conexion/ConnectString"_s;

QSettings userSettings()
{
    return QSettings(u"Calvexa"_s, u"Zemparol"_s);
}

QString fixture()
{
    return testsupport::fixturesDirectory() + u"/zemparol_jet4.mdb"_s;
}

QString builtInDbParm(const QString &file)
{
    return u"ConnectString='Driver={Microsoft Access Driver (*.mdb)};DBQ=%1;PWD=t4m9x2q7w805',"
           u"ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'"_s.arg(file);
}

// What a search or a card shows, in an order that does not depend on the database.
struct Shown
{
    long rows = 0;
    QStringList values;
    bool operator==(const Shown &) const = default;
};

QString describe(const Shown &shown)
{
    return u"%1 rows: %2"_s.arg(shown.rows).arg(shown.values.join(u" | "_s));
}

// What QCOMPARE prints of two Shown that differ (it frees the text).
char *toString(const Shown &shown)
{
    return qstrdup(qPrintable(describe(shown)));
}

Shown shownBy(const dw::DataWindowControl &control, const QStringList &columns, bool keepOrder = false)
{
    Shown shown;
    shown.rows = control.RowCount();
    const dw::DataWindow &model = control.model();
    for (long row = 1; row <= shown.rows; ++row) {
        QStringList cells;
        for (const QString &column : columns)
            cells << model.displayText(row, model.columnNumber(column));
        shown.values << cells.join(u';');
    }
    if (!keepOrder)
        shown.values.sort();
    return shown;
}

// Connects `transaction` to `connectString` as the program does; the error text when it fails.
QString connectTo(dw::Transaction &transaction, const QString &connectString)
{
    transaction.DBMS = u"ODBC"_s;
    transaction.DBParm = driverDbParm(connectString);
    transaction.connect();
    return transaction.SQLCode == 0 ? QString() : transaction.SQLErrText;
}

// The first column of every row of `sql`, as text; the error text instead when it fails.
QStringList firstColumn(dw::Transaction &transaction, const QString &sql, QString *failure = nullptr)
{
    dw::DbError error;
    auto cursor = transaction.connection()->query(sql, {}, error);
    QStringList values;
    while (cursor && cursor->next()) {
        const auto bytes = cursor->utf8(0);
        values << QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    if (failure)
        *failure = cursor ? (cursor->error() ? cursor->error()->text : QString()) : error.text;
    return values;
}

} // namespace

class TstPostgres : public QObject
{
    Q_OBJECT

private:
    testsupport::PostgresServer m_server;
    FakeInteraction m_fake;
    QTemporaryDir m_folder; // where the program starts: no zemparol.mdb here
    zemparol m_program;
    bool m_started = false;
    std::unique_ptr<testsupport::PostgresServer> m_tls; // made by the first test that needs it

    QString serverString(const QString &password = testsupport::PostgresServer::password()) const
    {
        return m_server.connectString(u"directorio"_s, password);
    }

    // Runs `show` on the server, then on the built-in driver reading the Access file, and
    // leaves SQLCA on the server again.
    template <class Show> std::pair<Shown, Shown> onBoth(Show show)
    {
        dw::Transaction &sqlca = *rt::SQLCA();
        const QString server = sqlca.DBParm;
        const Shown fromServer = show();
        sqlca.DBParm = builtInDbParm(fixture());
        sqlca.connect();
        const Shown fromFile = show();
        sqlca.DBParm = server;
        sqlca.connect();
        return {fromServer, fromFile};
    }

    Shown search(bool anyField, int item, const QString &text)
    {
        w_busqueda &w = *g_w_busqueda;
        w.cbx_cualquiera->setChecked(anyField);
        w.ddlb_elemento->setEnabled(!anyField);
        w.ddlb_elemento->setCurrentIndex(item);
        w.sle_filtro->setText(text);
        w.cb_buscar->click();
        return shownBy(*w.dw_listado, {u"id"_s, u"nombre"_s, u"nivel_sni"_s, u"area_aplicacion"_s});
    }

private slots:
    void initTestCase()
    {
        const QString reason = testsupport::PostgresServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(u"sin servidor PostgreSQL: "_s + reason));
        m_server.setClient(testsupport::PostgresServer::clientOfTheRun());
        QString problem;
        QVERIFY2(m_server.start(problem), qPrintable(problem));
        QVERIFY2(m_server.loadAccess(fixture(), u"directorio"_s, problem), qPrintable(problem));
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir::setCurrent(m_folder.path()));
        // Named as the program names itself: its settings (the time limit) are read under that name.
        QCoreApplication::setApplicationName(u"zemparol"_s);
        // Passwords come from the connection string or a .pgpass, never from here.
        qunsetenv("PGPASSWORD");

        userSettings().setValue(kSetting, serverString());
        m_program.create();
        m_program.open(QString());
        m_started = true;
        // The settings file holds the password and others may read it (it was written
        // with the usual 0644): connected, and said once; not said for a private file, nor
        // for a string whose password is elsewhere (.pgpass).
        const QString file = dw::SettingsStore(u"Calvexa"_s, u"Zemparol"_s).userFile();
        QCOMPARE(m_fake.boxes.size(), 1);
        QCOMPARE(m_fake.boxes.first().title, u"Configuración"_s);
        QVERIFY2(m_fake.boxes.first().text.contains(file)
                     && !m_fake.boxes.first().text.contains(testsupport::PostgresServer::password()),
                 qPrintable(m_fake.boxes.first().text));
        m_fake.boxes.clear();
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(exposedPasswordWarning(file, serverString()).isEmpty());
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QVERIFY(exposedPasswordWarning(file, m_server.connectString(u"directorio"_s, QString())).isEmpty());
        QVERIFY(!exposedPasswordWarning(file, serverString()).isEmpty());
        QCOMPARE(rt::SQLCA()->connection()->dialect(), dw::Dialect::PostgreSQL);
        QVERIFY(g_w_busqueda && g_w_busqueda->isVisible());
    }

    void cleanupTestCase()
    {
        if (m_started) {
            delete g_w_consulta;
            delete g_w_consulta_estudiante;
            g_w_busqueda->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            m_program.destroy();
        }
        userSettings().remove(u"Conexion"_s);
        QVERIFY(m_server.stop());
        if (m_tls)
            QVERIFY(m_tls->stop());
    }

    // The mdbtools commands carry every row and keep nulls apart from empty texts.
    void loadedDirectoryMatchesTheAccessFile()
    {
        for (const QString &name : {u"zemparol_jet4.mdb"_s, u"directorio_40.mdb"_s}) {
            const QString file = testsupport::fixturesDirectory() + u'/' + name;
            const QString database
                = name == u"zemparol_jet4.mdb"_s ? u"directorio"_s : name.section(u'.', 0, 0);
            QString problem;
            if (name != u"zemparol_jet4.mdb"_s)
                QVERIFY2(m_server.loadAccess(file, database, problem), qPrintable(problem));
            const QString query
                = u"SELECT id, nombre, nivel_sni IS NULL, area_aplicacion, todo FROM directorio"_s;
            QString loaded;
            QVERIFY2(m_server.psql(database, (query + u" ORDER BY id"_s).toUtf8(), problem, &loaded),
                     qPrintable(problem));

            dw::Transaction reference;
            QVERIFY(testsupport::connectAccess(reference, file));
            dw::DbError error;
            auto cursor = reference.connection()->query(
                u"SELECT id, nombre, nivel_sni IS NULL, area_aplicacion, todo FROM directorio ORDER BY id"_s,
                {}, error);
            QVERIFY2(cursor, qPrintable(error.text));
            QStringList expected;
            while (cursor->next()) {
                QStringList cells;
                for (int c = 0; c < 5; ++c) {
                    const auto bytes = cursor->utf8(c);
                    cells << (c == 2 ? (cursor->integer(c) ? u"t"_s : u"f"_s)
                                     : QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
                }
                expected << cells.join(u'|');
            }
            QCOMPARE(loaded.trimmed().split(u'\n'), expected);
        }
    }

    void searchWindowOnTheServer()
    {
        // Every member; a field search with a quote; an accent in every field; a field that
        // leaves out the nulls.
        const auto all = onBoth([&] { return search(true, -1, QString()); });
        QCOMPARE(all.first.rows, 60L);
        QCOMPARE(all.first, all.second);
        const auto quote = onBoth([&] { return search(false, 0, u"o'farrill"_s); });
        QCOMPARE(quote.first.rows, 5L);
        QCOMPARE(quote.first, quote.second);
        const auto accent = onBoth([&] { return search(true, -1, u"león"_s); });
        QVERIFY2(accent.first.rows > 0 && accent.first.rows < 60, qPrintable(describe(accent.first)));
        QCOMPARE(accent.first, accent.second);
        // Typed without accents, a search finds the spellings with and without them, as the
        // built-in driver does; typed with them, exactly what was typed.
        for (const QString &typed :
             {u"leon"_s, u"LEON"_s, u"le_n"_s, u"león"_s, u"quimica"_s, u"ñ"_s, u"n"_s}) {
            const auto found = onBoth([&] { return search(true, -1, typed); });
            QVERIFY2(found.first == found.second,
                     qPrintable(typed + u": "_s + describe(found.first) + u" / "_s + describe(found.second)));
        }
        const auto unaccented = onBoth([&] { return search(true, -1, u"leon"_s); });
        QVERIFY2(unaccented.first.rows >= accent.first.rows, qPrintable(describe(unaccented.first)));
        const auto nulls = onBoth([&] { return search(false, 3, QString()); });
        QCOMPARE(nulls.first, nulls.second);
        const auto wildcards = onBoth([&] { return search(false, 0, u"o_farr%z"_s); });
        QCOMPARE(wildcards.first, wildcards.second);
        QVERIFY(m_fake.boxes.isEmpty());
    }

    void sortAndFilterFromTheMenu()
    {
        u_dw &grid = *g_w_busqueda->dw_listado;
        const auto choose = [&](const QString &column, long row, const QString &item) {
            m_fake.chooseMenuItem = item;
            gridtest::click(grid, gridtest::pointOf(grid, column, row), Qt::RightButton);
            m_fake.chooseMenuItem.clear();
        };
        const auto sorted = onBoth([&] {
            search(true, -1, QString());
            choose(u"nombre"_s, 2, u"Ordenar Descendentemente"_s);
            return shownBy(grid, {u"nombre"_s}, true);
        });
        QCOMPARE(sorted.first.rows, 60L);
        QCOMPARE(sorted.first, sorted.second);

        const auto filtered = onBoth([&] {
            search(true, -1, QString());
            choose(u"grado_academico"_s, 3, u"Filtrar por Selección"_s);
            return shownBy(grid, {u"id"_s, u"grado_academico"_s});
        });
        QVERIFY(filtered.first.rows > 0 && filtered.first.rows < 60);
        QCOMPARE(filtered.first, filtered.second);
        choose(u"grado_academico"_s, 1, u"Filtro Original"_s);
        QCOMPARE(grid.RowCount(), 60L);
        QVERIFY(m_fake.boxes.isEmpty());
    }

    // Computed columns joined with `&` (a null operand counts as empty) and tutors
    // looked up by id in the whole directory.
    void cardsOnTheServer()
    {
        const QStringList researcher = {u"nombre"_s, u"tipo_miembro_red1"_s, u"lineas"_s, u"foto"_s};
        for (const long id : {1L, 12L, 35L}) {
            const auto card = onBoth(
                [&] { return shownBy(rt::OpenWithParm(g_w_consulta, double(id))->card(), researcher); });
            QCOMPARE(card.first.rows, 1L);
            QCOMPARE(card.first, card.second);
        }
        const QStringList student = {u"nombre"_s, u"tutor"_s, u"cotutor"_s, u"tesis"_s};
        for (const QString &degree : {u"Doctorado"_s, u"Maestría"_s}) {
            const auto card = onBoth(
                [&] { return shownBy(rt::OpenWithParm(g_w_consulta_estudiante, degree)->card(), student); });
            QVERIFY(card.first.rows > 0);
            QCOMPARE(card.first, card.second);
        }
        // Looked up, not shown as stored ids.
        const auto &card = g_w_consulta_estudiante->card();
        bool named = false;
        for (long row = 1; row <= card.RowCount(); ++row)
            named |= card.model().displayText(row, card.model().columnNumber(u"tutor"_s)).contains(u' ');
        QVERIFY(named);
        QVERIFY(m_fake.boxes.isEmpty());
    }

    // Rows come in blocks; a memo longer than its slot in the block is read whole, on
    // whichever row of the block it stands, with characters of every width on the borders.
    void longValuesWholeInBlocks()
    {
        QString problem;
        QVERIFY2(m_server.loadAccess(fixture(), u"memos"_s, problem), qPrintable(problem));
        QVERIFY2(
            m_server.psql(
                u"memos"_s,
                "UPDATE directorio SET proyectos = left(repeat('ñandú 𝄞 é', 5000), 40000) WHERE id = 3;"
                "UPDATE directorio SET proyectos = repeat('x', 1023) || repeat('é𝄞', 19000) "
                "WHERE id = 12;"
                "UPDATE directorio SET proyectos = repeat('a', 1024) WHERE id = 13;"
                // What COPY's text format escapes, and a value that reads like its null.
                "UPDATE directorio SET proyectos = E'tab\\there\\nline\\\\back\\rcr \\\\N' WHERE id = 14;"
                "UPDATE directorio SET proyectos = E'\\\\N' WHERE id = 15;",
                problem),
            qPrintable(problem));
        dw::Transaction memos;
        const QString refused
            = connectTo(memos, m_server.connectString(u"memos"_s, testsupport::PostgresServer::password()));
        QVERIFY2(refused.isEmpty(), qPrintable(refused));
        dw::DbError error;
        auto cursor
            = memos.connection()->query(u"SELECT id, proyectos FROM directorio ORDER BY id"_s, {}, error);
        QVERIFY2(cursor, qPrintable(error.text));
        const auto *odbc = dynamic_cast<const dw::OdbcCursor *>(cursor.get());
        if (testsupport::PostgresServer::clientOfTheRun() == testsupport::PostgresServer::Client::Odbc)
            QVERIFY(odbc && odbc->rowsPerFetch() > 60);
        QStringList read;
        qsizetype longest = 0;
        while (cursor->next()) {
            const auto bytes = cursor->utf8(1);
            const QByteArray value(bytes.data(), qsizetype(bytes.size()));
            read << u"%1|%2"_s.arg(cursor->integer(0))
                        .arg(cursor->kind(1) == dw::CellKind::Null
                                 ? u"null"_s
                                 : QString::fromLatin1(
                                     QCryptographicHash::hash(value, QCryptographicHash::Md5).toHex()));
            longest = std::max(longest, QString::fromUtf8(value).toUcs4().size());
        }
        QVERIFY(!cursor->error());
        QCOMPARE(longest, qsizetype(40000));
        QString expected;
        QVERIFY2(
            m_server.psql(u"memos"_s,
                          "SELECT id || '|' || coalesce(md5(proyectos), 'null') FROM directorio ORDER BY id",
                          problem, &expected),
            qPrintable(problem));
        QCOMPARE(read, expected.trimmed().split(u'\n'));
    }

    // Every transaction only reads, whatever the role may do; a role that may only read
    // the directory searches as any other. The refusals say in Spanish what happened.
    void nothingCanWrite_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("state"); // empty: the statement works
        QTest::addColumn<QString>("said");

        QTest::newRow("owner updates")
            << QString() << u"UPDATE directorio SET nombre = 'x'"_s << u"25006"_s << u"sólo lectura"_s;
        QTest::newRow("owner deletes inside a select")
            << QString() << u"WITH d AS (DELETE FROM directorio RETURNING id) SELECT count(*) FROM d"_s
            << u"25006|0A000"_s << u"sólo lectura|no admite"_s;
        QTest::newRow("owner creates a table")
            << QString() << u"CREATE TABLE nueva (i int)"_s << u"25006"_s << u"sólo lectura"_s;
        QTest::newRow("reader reads")
            << u"lector"_s << u"SELECT count(*) FROM directorio"_s << QString() << u"60"_s;
        QTest::newRow("reader updates")
            << u"lector"_s << u"UPDATE directorio SET nombre = 'x'"_s << u"25006"_s << u"sólo lectura"_s;
        QTest::newRow("reader reads what is not granted")
            << u"lector"_s << u"SELECT count(*) FROM secreto"_s << u"42501"_s << u"no tiene permiso"_s;
    }

    void nothingCanWrite()
    {
        QFETCH(QString, user);
        QFETCH(QString, sql);
        QFETCH(QString, state);
        QFETCH(QString, said);
        QString problem;
        QVERIFY2(
            m_server.psql(u"directorio"_s,
                          "DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'lector') THEN "
                          "CREATE ROLE lector LOGIN PASSWORD 'L3ctor;x'; END IF; END $$;"
                          "GRANT SELECT ON directorio TO lector;"
                          "CREATE TABLE IF NOT EXISTS secreto (i int);",
                          problem),
            qPrintable(problem));
        dw::Transaction transaction;
        const QString password = user.isEmpty() ? testsupport::PostgresServer::password() : u"L3ctor;x"_s;
        const QString refused
            = connectTo(transaction, m_server.connectString(u"directorio"_s, password, user));
        QVERIFY2(refused.isEmpty(), qPrintable(refused));
        QString failure;
        const QStringList values = firstColumn(transaction, sql, &failure);
        if (state.isEmpty()) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            QCOMPARE(values, QStringList{said});
        } else {
            // Alternatives apart with |: psqlODBC's server cursor refuses a writing WITH itself.
            const auto anyOf = [&](const QString &options, const QString &prefix) {
                const QStringList all = options.split(u'|');
                return std::any_of(all.begin(), all.end(),
                                   [&](const QString &option) { return failure.contains(prefix + option); });
            };
            QVERIFY2(anyOf(state, u"SQLSTATE "_s) && anyOf(said, QString()), qPrintable(failure));
            QVERIFY(!failure.contains(password));
        }
        QString unchanged;
        QVERIFY2(m_server.psql(u"directorio"_s,
                               "SELECT count(*) FILTER (WHERE nombre = 'x') || ' ' || count(*) || ' ' "
                               "|| (to_regclass('nueva') IS NULL) FROM directorio",
                               problem, &unchanged),
                 qPrintable(problem));
        QCOMPARE(unchanged.trimmed(), u"0 60 true"_s);
    }

    // A search the server does not answer in time stops at the limit of the settings with
    // the built-in driver's message, the window says "Leyendo…" meanwhile and keeps its
    // listing, and the next search works: the server's own limit ends a statement waiting
    // for a lock; a stopped backend process is ended by the client's limit.
    void searchesStopAtTheTimeLimit_data()
    {
        QTest::addColumn<bool>("stopBackend");
        QTest::addColumn<int>("leastMs");
        QTest::addColumn<int>("mostMs");
        QTest::newRow("the server's limit") << false << 1900 << 3400;
        QTest::newRow("a stopped backend, the client's limit") << true << 4400 << 7000;
    }

    void searchesStopAtTheTimeLimit()
    {
        QFETCH(bool, stopBackend);
        QFETCH(int, leastMs);
        QFETCH(int, mostMs);
        dw::Transaction &sqlca = *rt::SQLCA();
        userSettings().setValue(u"Consultas/SegundosMaximos"_s, 2);
        sqlca.connect();
        QVERIFY2(sqlca.SQLCode == 0, qPrintable(sqlca.SQLErrText));
        const Shown before = search(true, -1, QString());
        QCOMPARE(before.rows, 60L);

        QString problem;
        std::unique_ptr<QProcess> locker;
        qint64 backend = 0;
        if (stopBackend) {
            const QStringList pid = firstColumn(sqlca, u"SELECT pg_backend_pid()"_s);
            QCOMPARE(pid.size(), 1);
            backend = pid.first().toLongLong();
            QVERIFY(backend > 0 && ::kill(pid_t(backend), SIGSTOP) == 0);
        } else {
            locker = m_server.psqlInBackground(
                u"directorio"_s,
                "BEGIN; LOCK TABLE directorio IN ACCESS EXCLUSIVE MODE; SELECT pg_sleep(60);\n", problem);
            QVERIFY2(locker, qPrintable(problem));
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    QString held;
                    return m_server.psql(u"directorio"_s,
                                         "SELECT count(*) FROM pg_locks WHERE granted AND mode = "
                                         "'AccessExclusiveLock' AND relation = 'directorio'::regclass",
                                         problem, &held)
                        && held.trimmed() == u"1"_s;
                }(),
                10000);
        }
        QString meanwhile;
        QTimer::singleShot(1000, g_w_busqueda, [&] { meanwhile = g_w_busqueda->st_cuenta->text(); });
        QElapsedTimer clock;
        clock.start();
        const Shown during = search(true, -1, QString());
        const qint64 took = clock.elapsed();
        if (backend)
            ::kill(pid_t(backend), SIGCONT);
        if (locker) {
            // Its backend holds the lock until it is told to go.
            QVERIFY2(m_server.psql(u"directorio"_s,
                                   "SELECT pg_terminate_backend(pid) FROM pg_locks WHERE granted AND mode = "
                                   "'AccessExclusiveLock' AND relation = 'directorio'::regclass",
                                   problem),
                     qPrintable(problem));
            locker->waitForFinished();
        }
        QVERIFY2(took >= leastMs && took <= mostMs, qPrintable(QString::number(took)));
        QVERIFY2(meanwhile.startsWith(u"Leyendo…"_s), qPrintable(meanwhile));
        QVERIFY(during == before);
        QCOMPARE(m_fake.boxes.size(), 1);
        QCOMPARE(m_fake.boxes.first().text,
                 u"1011: La consulta se detuvo: pasó del límite de 2 segundos de las consultas."_s);
        m_fake.boxes.clear();

        QCOMPARE(search(true, -1, u"a"_s).rows, search(true, -1, u"a"_s).rows);
        QCOMPARE(search(true, -1, QString()).rows, 60L);
        QVERIFY2(m_fake.boxes.isEmpty(), m_fake.boxes.isEmpty() ? "" : qPrintable(m_fake.boxes.first().text));
        userSettings().remove(u"Consultas"_s);
        sqlca.connect();
    }

    // A server that takes only TLS is reached with verify-full and the CA that signed its
    // certificate, and refused without TLS; a connection string without Pwd takes the
    // password from the user's .pgpass.
    void encryptedConnectionAndPasswordFile_data()
    {
        QTest::addColumn<QString>("sslmode");
        QTest::addColumn<bool>("withPassword");
        QTest::addColumn<bool>("withPasswordFile");
        QTest::addColumn<bool>("connects");
        QTest::newRow("verify-full, Pwd") << u"verify-full"_s << true << false << true;
        QTest::newRow("verify-full, .pgpass") << u"verify-full"_s << false << true << true;
        QTest::newRow("verify-full, no password") << u"verify-full"_s << false << false << false;
        QTest::newRow("no TLS") << u"disable"_s << true << false << false;
    }

    void encryptedConnectionAndPasswordFile()
    {
        QFETCH(QString, sslmode);
        QFETCH(bool, withPassword);
        QFETCH(bool, withPasswordFile);
        QFETCH(bool, connects);
        if (!m_tls) {
            m_tls = std::make_unique<testsupport::PostgresServer>();
            m_tls->setTlsOnly();
            m_tls->setClient(testsupport::PostgresServer::clientOfTheRun());
            QString problem;
            QVERIFY2(m_tls->start(problem), qPrintable(problem));
            QVERIFY2(m_tls->loadAccess(fixture(), u"directorio"_s, problem), qPrintable(problem));
        }
        const QString password = testsupport::PostgresServer::password();
        QTemporaryDir home;
        const QString passwordFile = home.filePath(u".pgpass"_s);
        if (withPasswordFile) {
            QFile file(passwordFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(u"localhost:%1:directorio:zemparol:%2\n"_s.arg(m_tls->port()).arg(password).toUtf8());
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        }
        qputenv("PGPASSFILE", QFile::encodeName(passwordFile));
        QString text = m_tls->connectString(u"directorio"_s, withPassword ? password : QString());
        text.replace(u"verify-full"_s, sslmode);
        dw::Transaction transaction;
        const QString refused = connectTo(transaction, text);
        qunsetenv("PGPASSFILE");
        QVERIFY(!refused.contains(password));
        if (!connects) {
            QVERIFY(!refused.isEmpty());
            return;
        }
        QVERIFY2(refused.isEmpty(), qPrintable(refused));
        QCOMPARE(
            firstColumn(transaction,
                        u"SELECT CASE WHEN ssl THEN 'cifrada' ELSE 'abierta' END || ' ' || "
                        u"(SELECT count(*) FROM directorio) FROM pg_stat_ssl WHERE pid = pg_backend_pid()"_s),
            QStringList{u"cifrada 60"_s});
    }

    // A stopped server is one message and no crash, and the listing stays; once it is back, the next search
    // works on a new connection without restarting the program.
    void serverStopAndReturn()
    {
        const Shown before = search(true, -1, QString());
        QVERIFY(m_server.stop());
        const Shown during = search(true, -1, QString());
        // The listing keeps what it showed.
        QCOMPARE(during.rows, before.rows);
        QVERIFY(during == before);
        QCOMPARE(m_fake.boxes.size(), 1);
        QCOMPARE(m_fake.boxes.first().title, u"Error de base de datos"_s);
        QVERIFY2(!m_fake.boxes.first().text.contains(u"Cl4ve"_s), qPrintable(m_fake.boxes.first().text));
        m_fake.boxes.clear();

        QString problem;
        QVERIFY2(m_server.start(problem), qPrintable(problem));
        const Shown after = search(true, -1, QString());
        QVERIFY2(m_fake.boxes.isEmpty(), m_fake.boxes.isEmpty() ? "" : qPrintable(m_fake.boxes.first().text));
        QCOMPARE(after.rows, 60L);
    }

    // A server that takes the connection and never answers: connecting gives up at the
    // limit with a sentence, on either path, instead of holding the window for good.
    void aServerThatNeverAnswers()
    {
        const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
        auto closeSilent = qScopeGuard([&] { ::close(silent); });
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                && ::listen(silent, 4) == 0
                && ::getsockname(silent, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        QString text = serverString();
        text.replace(m_server.socketFolder(), u"127.0.0.1"_s)
            .replace(QString::number(m_server.port()), QString::number(ntohs(address.sin_port)));
        userSettings().setValue(u"Consultas/SegundosMaximos"_s, 2);
        auto restore = qScopeGuard([] { userSettings().remove(u"Consultas"_s); });

        // A connection that hangs would hold the test too: it waits in a thread of its own.
        auto answer = std::make_shared<std::promise<QString>>();
        std::future<QString> answered = answer->get_future();
        std::thread([answer, text] {
            dw::Transaction transaction;
            answer->set_value(connectTo(transaction, text));
        }).detach();
        QVERIFY2(answered.wait_for(std::chrono::seconds(120)) == std::future_status::ready,
                 "connecting never gave up");
        const QString error = answered.get();
        QVERIFY2(!error.isEmpty() && !error.contains(testsupport::PostgresServer::password()),
                 qPrintable(error));
    }

    // A statement the server refuses is reported and leaves the connection usable; a wrong
    // password is a connection error that does not show the password.
    void serverErrorsKeepTheProgramWorking()
    {
        dw::DataWindow missing;
        QVERIFY(missing.setSyntax(u"datawindow(processing=grid)\n"
                                  u"table(name=directorio)\n"
                                  u"tablecolumn(name=x type=char(20) dbname=\"directorio.no_existe\")\n"_s));
        (void)missing.SetTransObject(rt::SQLCA());
        QCOMPARE(missing.Retrieve(), -1L);
        QCOMPARE(m_fake.boxes.size(), 1);
        QVERIFY2(m_fake.boxes.first().text.contains(u"no_existe"_s), qPrintable(m_fake.boxes.first().text));
        m_fake.boxes.clear();
        QCOMPARE(search(false, 0, u"o'farrill"_s).rows, 5L);
        QVERIFY(m_fake.boxes.isEmpty());

        const QString wrong = u"Otra;Clave=7"_s;
        dw::Transaction refused;
        refused.DBMS = u"ODBC"_s;
        refused.DBParm = driverDbParm(serverString(wrong));
        refused.connect();
        QCOMPARE(refused.SQLCode, -1L);
        QVERIFY(!refused.SQLErrText.isEmpty());
        for (const QString &part : {wrong, u"Otra"_s, u"Clave=7"_s})
            QVERIFY2(!refused.SQLErrText.contains(part), qPrintable(refused.SQLErrText));
    }

    // A directory on a primary and its hot standby, both hosts in one connection string:
    // searches are answered by the standby; when it dies, the next search is answered by
    // the primary, and when the primary dies, by the standby again, without a restart.
    void aStandbyTakesOver()
    {
        if (testsupport::PostgresServer::clientOfTheRun() != testsupport::PostgresServer::Client::Libpq)
            QSKIP("several hosts in one string are the PostgreSQL client library's");
        testsupport::PostgresServer standby;
        QString problem;
        QVERIFY2(standby.startStandbyOf(m_server, problem), qPrintable(problem));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QString count;
                return standby.psql(u"directorio"_s, "SELECT count(*) FROM directorio", problem, &count)
                    && count.trimmed() == u"60"_s;
            }(),
            30000);
        dw::Transaction &sqlca = *rt::SQLCA();
        const QString single = sqlca.DBParm;
        sqlca.DBParm = driverDbParm(
            u"host=%1,%2 port=%3,%4 dbname=directorio user=zemparol password='%5' "
            u"target_session_attrs=prefer-standby"_s.arg(m_server.socketFolder(), standby.socketFolder())
                .arg(m_server.port())
                .arg(standby.port())
                .arg(testsupport::PostgresServer::password()));
        sqlca.connect();
        QVERIFY2(sqlca.SQLCode == 0, qPrintable(sqlca.SQLErrText));
        const auto answeredBy = [&] {
            return firstColumn(sqlca,
                               u"SELECT CASE WHEN pg_is_in_recovery() THEN 'standby' ELSE 'primary' END"_s)
                .value(0);
        };
        QCOMPARE(answeredBy(), u"standby"_s);
        QCOMPARE(search(true, -1, QString()).rows, 60L);

        const auto afterLosing = [&](testsupport::PostgresServer &server, const QString &expected) {
            QVERIFY(server.stop(true));
            QCOMPARE(search(true, -1, QString()).rows, 60L);
            QVERIFY2(m_fake.boxes.size() <= 1, qPrintable(QString::number(m_fake.boxes.size())));
            m_fake.boxes.clear();
            QCOMPARE(search(true, -1, u"a"_s).rows, search(true, -1, u"a"_s).rows);
            QVERIFY(m_fake.boxes.isEmpty());
            QCOMPARE(answeredBy(), expected);
        };
        afterLosing(standby, u"primary"_s);
        QVERIFY2(standby.start(problem), qPrintable(problem));
        afterLosing(m_server, u"standby"_s);

        QVERIFY2(m_server.start(problem), qPrintable(problem));
        sqlca.DBParm = single;
        sqlca.connect();
        QVERIFY(standby.stop());
    }
};

QTEST_MAIN(TstPostgres)
#include "tst_postgres.moc"
