// The directory on a real PostgreSQL server: a private cluster loaded from an Access file
// with the mdbtools commands of the README, reached through the psqlODBC driver the way
// an administrator configures it. Every answer is compared with the built-in driver
// reading the same Access file.

#include "datawindow.h"
#include "db/transaction.h"
#include "dw_listado.h"
#include "globals.h"
#include "gridstyle/gridstylefixture.h"
#include "support/fakeinteraction.h"
#include "support/pgserver.h"
#include "support/sample.h"
#include "w_busqueda.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "zemparol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

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
        QString problem;
        QVERIFY2(m_server.start(problem), qPrintable(problem));
        QVERIFY2(m_server.loadAccess(fixture(), u"directorio"_s, problem), qPrintable(problem));
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir::setCurrent(m_folder.path()));

        userSettings().setValue(kSetting, serverString());
        m_program.create();
        m_program.open(QString());
        m_started = true;
        QVERIFY2(m_fake.boxes.isEmpty(), m_fake.boxes.isEmpty() ? "" : qPrintable(m_fake.boxes.first().text));
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
        refused.DBParm = u"ConnectString='%1'"_s.arg(serverString(wrong));
        refused.connect();
        QCOMPARE(refused.SQLCode, -1L);
        QVERIFY(!refused.SQLErrText.isEmpty());
        for (const QString &part : {wrong, u"Otra"_s, u"Clave=7"_s})
            QVERIFY2(!refused.SQLErrText.contains(part), qPrintable(refused.SQLErrText));
    }
};

QTEST_MAIN(TstPostgres)
#include "tst_postgres.moc"
