// A long search leaves the user in control while it reads: its rows show as they come, under
// a remembered sort too; Esc stops it and keeps what was read; typing reaches the search
// field and Enter starts the next search; a heading click sorts once the rows are there; a
// double click opens a member's card; the window's close button stops the reading and
// closes; the popup greys what needs the whole listing. Every action here arrives through
// the application's own event dispatch while the reading runs.

#include "application.h"
#include "datawindowcontrol.h"
#include "db/transaction.h"
#include "dw_listado.h"
#include "globals.h"
#include "message.h"
#include "n_svc_dw_gridstyle.h"
#include "picture.h"
#include "support/fakeinteraction.h"
#include "support/rowpoint.h"
#include "support/sample.h"
#include "support/viewdirectory.h"
#include "w_busqueda.h"
#include "w_consulta.h"

#include <QCollator>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

class TestApplication : public rt::Application
{
};

// Each member of the sample this many times, under ids of their own: a listing that takes
// a while to read.
constexpr long Copies = 4000;

// The sample's members, each `Copies` times with the id id + 1000 × copy, behind a view
// named like the table, so that reading them all takes seconds.
QString writeLongDirectory(const QString &file)
{
    return testsupport::directoryWithView(
        file,
        u"CREATE VIEW directorio AS SELECT m.id + 1000 * n.i AS id, {others} FROM miembros m, (WITH "
        u"RECURSIVE "
        "n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT i FROM n) n"_s.arg(Copies - 1),
        u"id"_s);
}

} // namespace

class TstReadingControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void rowsShowUnderARememberedSortAndEscStops();
    void typingAndEnterStartTheNextSearch();
    void headingClickDuringReadingSortsAtTheEnd();
    void doubleClickDuringReadingOpensTheCard();
    void popupDuringReadingGreysTheListingCommands();
    void closeButtonStopsTheReadingAndCloses();
    void escFromTheWindowSystemStops();

private:
    // Searches for everybody; `during` runs once, from the event loop, as soon as the first
    // rows of that search are shown. What RowCount() was then.
    long searchAll(const std::function<void()> &during);
    void pressEsc() { QTest::keyClick(m_window->sle_filtro, Qt::Key_Escape); }
    [[nodiscard]] bool sortedBy(const QString &column, bool descending = false) const;
    [[nodiscard]] QString count() const { return m_window->st_cuenta->text(); }

    QTemporaryDir m_folder;
    std::unique_ptr<FakeInteraction> m_fake;
    TestApplication m_application;
    QPointer<w_busqueda> m_window;
};

void TstReadingControl::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.filePath(u"config"_s));
    m_fake = std::make_unique<FakeInteraction>();
    m_application.appname = u"zemparol"_s;
    rt::CreateGlobals();
    const QString sample = testsupport::sampleDirectory();
    QVERIFY(!sample.isEmpty());
    dw::setPictureRoot(sample);
    const QString file = writeLongDirectory(m_folder.filePath(u"zemparol.mdb"_s));
    QVERIFY(!file.isEmpty());
    QVERIFY2(testsupport::connectAccess(*rt::SQLCA(), file), qPrintable(rt::SQLCA()->SQLErrText));
}

void TstReadingControl::init()
{
    m_window = new w_busqueda();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_fake->boxes.clear();
}

void TstReadingControl::cleanup()
{
    delete m_window;
    delete g_w_consulta;
    QVERIFY(m_fake->unanswerable.isEmpty());
}

void TstReadingControl::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

long TstReadingControl::searchAll(const std::function<void()> &during)
{
    long shown = -1;
    search::dw_listado *grid = m_window->dw_listado;
    const auto connection = connect(grid, &dw::DataWindowControl::rowsChanged, this, [&] {
        if (shown >= 0 || !grid->model().IsReading() || grid->RowCount() == 0)
            return;
        shown = grid->RowCount();
        QTimer::singleShot(0, this, during);
    });
    m_window->sle_filtro->clear();
    QTest::mouseClick(m_window->cb_buscar, Qt::LeftButton);
    disconnect(connection);
    return shown;
}

bool TstReadingControl::sortedBy(const QString &column, bool descending) const
{
    QCollator collator(QLocale(QLocale::Spanish, QLocale::Mexico));
    const dw::DataWindowControl &grid = *m_window->dw_listado;
    for (long row = 2; row <= grid.RowCount(); ++row) {
        const int order
            = collator.compare(grid.GetItemString(row - 1, column), grid.GetItemString(row, column));
        if (descending ? order < 0 : order > 0)
            return false;
    }
    return true;
}

void TstReadingControl::rowsShowUnderARememberedSortAndEscStops()
{
    search::dw_listado &grid = *m_window->dw_listado;
    // A heading clicked before any search: the sort is remembered and in force.
    grid.isrv_gridstyle()->clicked(0, 0, 0, {u"nombre_t"_s, u"text"_s, u"header"_s});
    QCOMPARE(grid.Describe(u"DataWindow.Table.Sort"_s), u"nombre A"_s);

    QString countWhileReading;
    const long shown = searchAll([&] {
        countWhileReading = count();
        pressEsc();
    });
    QVERIFY2(shown > 0, "the first rows show while reading, although a sort is in force");
    QVERIFY(countWhileReading.startsWith(u"Leyendo…"_s));
    QVERIFY(!grid.isRetrieving());
    QVERIFY(grid.model().ReadingStopped());
    const long read = grid.RowCount();
    QVERIFY(read >= shown && read < 150 * Copies);
    QVERIFY(sortedBy(u"nombre"_s));
    QCOMPARE(count(),
             u"Lectura detenida: %1 miembros leídos"_s.arg(
                 QLocale(QLocale::Spanish, QLocale::Mexico).toString(qlonglong(read))));
    QVERIFY(m_fake->boxes.isEmpty());

    // The next search reads to its end and counts as usual.
    m_window->sle_filtro->setText(u"O'Farrill"_s);
    QTest::mouseClick(m_window->cb_buscar, Qt::LeftButton);
    QVERIFY(!grid.model().ReadingStopped());
    QCOMPARE(grid.RowCount(), Copies);
    QVERIFY(count().endsWith(u" miembros"_s));
    QVERIFY(!count().startsWith(u"Lectura"_s));
}

void TstReadingControl::typingAndEnterStartTheNextSearch()
{
    search::dw_listado &grid = *m_window->dw_listado;
    const long shown = searchAll([&] {
        QTest::keyClicks(m_window->sle_filtro, u"Farrill"_s);
        QTest::keyClick(m_window->sle_filtro, Qt::Key_Return);
    });
    QVERIFY(shown > 0);
    // The typed text reached the field; the first search stopped and the second one runs
    // once it has returned, from the event loop.
    QCOMPARE(m_window->sle_filtro->text(), u"Farrill"_s);
    QTRY_VERIFY(!grid.isRetrieving() && grid.RowCount() == Copies);
    QVERIFY(!grid.model().ReadingStopped());
    for (long row = 1; row <= grid.RowCount(); row += 997)
        QVERIFY(grid.GetItemString(row, u"nombre"_s).contains(u"Farrill"_s));
}

void TstReadingControl::headingClickDuringReadingSortsAtTheEnd()
{
    search::dw_listado &grid = *m_window->dw_listado;
    const QString before = grid.Describe(u"DataWindow.Table.Sort"_s);
    QString column;
    QString sortAtOnce;
    bool arrowAtOnce = false;
    searchAll([&] {
        const QPoint heading = testsupport::pointOfRow(grid, 0, 2);
        QWidget *canvas = grid.childAt(heading);
        QVERIFY(canvas);
        // The arrow of a remembered sort covers the heading.
        column = grid.objectAt(heading).name.section(u'_', 0, -2);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->mapFrom(&grid, heading));
        sortAtOnce = grid.Describe(u"DataWindow.Table.Sort"_s);
        arrowAtOnce = grid.Describe(column + u"_arrow.Name"_s) != u"!"_s;
        QTimer::singleShot(0, this, [this] { pressEsc(); });
    });
    QVERIFY(!column.isEmpty());
    QVERIFY2(arrowAtOnce, "the click sets the arrow at once");
    QVERIFY(sortAtOnce.startsWith(column + u' '));
    QVERIFY(sortAtOnce != before);
    QCOMPARE(grid.Describe(u"DataWindow.Table.Sort"_s), sortAtOnce);
    QVERIFY(grid.RowCount() > 1);
    QVERIFY(sortedBy(column, sortAtOnce.endsWith(u'D')));
}

void TstReadingControl::doubleClickDuringReadingOpensTheCard()
{
    search::dw_listado &grid = *m_window->dw_listado;
    long clickedId = 0;
    searchAll([&] {
        // The first researcher shown.
        long row = 1;
        while (row <= grid.RowCount()
               && grid.GetItemString(row, u"tipo_miembro_red"_s) != u"Miembro Investigador"_s)
            ++row;
        QVERIFY(row <= grid.RowCount());
        clickedId = long(*grid.GetItemNumber(row, u"id"_s));
        const QPoint point = testsupport::pointOfRow(grid, row, 2);
        QVERIFY(point.y() >= 0);
        QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, grid.mapTo(m_window, point));
        // Back in the search window (Esc in the card closes the card), Esc stops the reading.
        QTimer::singleShot(0, this, [this] {
            m_window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_window));
            pressEsc();
        });
    });
    QVERIFY(clickedId > 0);
    QVERIFY(g_w_consulta);
    QCOMPARE(g_w_consulta->findChild<dw::DataWindowControl *>()->RowCount(), 1L);
    QCOMPARE(rt::Message().DoubleParm, double(clickedId));
    QVERIFY(grid.model().ReadingStopped());
}

void TstReadingControl::popupDuringReadingGreysTheListingCommands()
{
    search::dw_listado &grid = *m_window->dw_listado;
    const auto rightClickFirstRow = [&] {
        const QPoint point = testsupport::pointOfRow(grid, 1, 2);
        QWidget *canvas = grid.childAt(point);
        QVERIFY(canvas);
        QTest::mouseClick(canvas, Qt::RightButton, {}, canvas->mapFrom(&grid, point));
    };
    QList<bool> enabledWhileReading;
    searchAll([&] {
        rightClickFirstRow();
        enabledWhileReading = m_fake->lastMenuEnabled;
        pressEsc();
    });
    QCOMPARE(m_fake->lastMenuItems.size(), 16);
    QCOMPARE(m_fake->lastMenuItems.last(), u"Columnas…"_s);
    QCOMPARE(enabledWhileReading.size(), 16);
    QCOMPARE(enabledWhileReading.count(true), 4); // the separators only
    rightClickFirstRow();
    QCOMPARE(m_fake->lastMenuEnabled.count(false), 0);
}

void TstReadingControl::closeButtonStopsTheReadingAndCloses()
{
    searchAll([&] { m_window->windowHandle()->close(); });
    // The window was still there when the search returned; it goes from the event loop.
    QTRY_VERIFY(!m_window || !m_window->isVisible());
}

// A key the window system delivers while the rows arrive reaches the window between two
// batches of rows, not only once the reading is over (on an X server: tst_readingcontrol_x11).
void TstReadingControl::escFromTheWindowSystemStops()
{
    if (QGuiApplication::platformName() != u"xcb"_s)
        QSKIP("needs an X server and xdotool");
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_window->sle_filtro->setFocus();
    int sent = -1;
    const long shown = searchAll([&] { sent = QProcess::execute(u"xdotool"_s, {u"key"_s, u"Escape"_s}); });
    QCOMPARE(sent, 0);
    QVERIFY(shown > 0);
    QVERIFY(m_window->dw_listado->model().ReadingStopped());
    QVERIFY(m_window->dw_listado->RowCount() < 150 * Copies);
}

QTEST_MAIN(TstReadingControl)
#include "tst_readingcontrol.moc"
