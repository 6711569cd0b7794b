// The search window around its listing: the count beside the hint after every search,
// filter and unfilter; the listing that follows the window's size; Enter that still
// searches from the grid, Ctrl+Enter that opens the current member's card; Escape that
// closes a card; the place, size and zoom the window comes back with.

#include "application.h"
#include "datawindowcontrol.h"
#include "dw_listado.h"
#include "globals.h"
#include "n_svc_dw_gridstyle.h"
#include "picture.h"
#include "registry.h"
#include "support/fakedriver.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"
#include "support/statementlog.h"
#include "units.h"
#include "w_busqueda.h"
#include "w_consulta.h"
#include "window.h"
#include "windowplacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class TestApplication : public rt::Application
{
};

// Where the layout puts a control at the window's designed size.
QRect designed(int x, int y, int width, int height)
{
    const double dpiX = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
    const double dpiY = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    return {qRound(dw::units::toPixelsX(x, dpiX)), qRound(dw::units::toPixelsY(y, dpiY)),
            qRound(dw::units::toPixelsX(width, dpiX)), qRound(dw::units::toPixelsY(height, dpiY))};
}

} // namespace

class TstListingWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void countFollowsSearchesAndFilters();
    void listingFollowsTheWindow();
    void keysAroundTheListing();
    void placeAndZoomSurviveARestart();
    // Last: it leaves the connection without the statement log.
    void failedSearchKeepsListingAndCount();

private:
    void search(const QString &text);
    // A new search window on the same settings, as the next start makes it.
    [[nodiscard]] w_busqueda *restart();
    [[nodiscard]] QString count() const { return m_window->st_cuenta->text(); }

    QTemporaryDir m_config;
    std::unique_ptr<FakeInteraction> m_fake;
    TestApplication m_application;
    testsupport::StatementLog m_statements; // before the connection
    QPointer<w_busqueda> m_window;
    long m_members = 0;
};

void TstListingWindow::initTestCase()
{
    QVERIFY(m_config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    m_fake = std::make_unique<FakeInteraction>();
    m_application.appname = u"zemparol"_s;
    rt::CreateGlobals();
    const QString sample = testsupport::sampleDirectory();
    QVERIFY(!sample.isEmpty());
    dw::setPictureRoot(sample);
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
}

void TstListingWindow::init()
{
    m_window = new w_busqueda();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TstListingWindow::cleanup()
{
    delete m_window;
    delete g_w_consulta;
}

void TstListingWindow::cleanupTestCase()
{
    rt::DestroyGlobals();
    m_fake.reset();
}

void TstListingWindow::search(const QString &text)
{
    m_window->sle_filtro->setText(text);
    QTest::mouseClick(m_window->cb_buscar, Qt::LeftButton);
}

void TstListingWindow::countFollowsSearchesAndFilters()
{
    w_busqueda &w = *m_window;
    // Before any search the label says nothing; it reads like the hint beside it.
    QCOMPARE(count(), u""_s);
    QCOMPARE(w.st_cuenta->font(), w.st_2->font());
    QCOMPARE(w.st_cuenta->palette().color(QPalette::WindowText),
             w.st_2->palette().color(QPalette::WindowText));
    QCOMPARE(w.st_cuenta->geometry().top(), w.st_2->geometry().top());
    QCOMPARE(w.st_cuenta->geometry().right(), w.dw_listado->geometry().right());
    QVERIFY(w.st_cuenta->alignment() & Qt::AlignRight);

    search(QString());
    m_members = w.dw_listado->RowCount();
    QVERIFY(m_members >= 17);
    QCOMPARE(count(), u"%1 miembros"_s.arg(m_members));

    // A filter by selection hides some; removing it shows them all again.
    n_svc_dw_gridstyle &style = *w.dw_listado->isrv_gridstyle();
    style.of_process_popup(u"m_filterbyselection"_s, 1, u"tipo_miembro_red"_s);
    const long listed = w.dw_listado->RowCount();
    QVERIFY(listed > 0 && listed < m_members);
    QCOMPARE(count(), u"%1 de %2 miembros (filtro activo)"_s.arg(listed).arg(m_members));
    style.of_process_popup(u"m_originalfilter"_s, 0, u"datawindow"_s);
    QCOMPARE(count(), u"%1 miembros"_s.arg(m_members));

    // One member, then nobody.
    search(u"farrill"_s);
    QCOMPARE(count(), u"1 miembro"_s);
    search(u"zzqxj no existe"_s);
    QCOMPARE(w.dw_listado->RowCount(), 0L);
    QCOMPARE(count(), u"Ningún miembro coincide con la búsqueda"_s);

    // A filter left on from before makes a search list fewer, and says so.
    search(QString());
    style.of_process_popup(u"m_filterexcludingselection"_s, 1, u"tipo_miembro_red"_s);
    search(QString());
    QVERIFY(count().endsWith(u" de %1 miembros (filtro activo)"_s.arg(m_members)));

    // A word of progress stays until the next count.
    w.wf_showstatus(u"Leyendo…"_s);
    QCOMPARE(count(), u"Leyendo…"_s);
    w.wf_showcount();
    QVERIFY(count().endsWith(u"(filtro activo)"_s));
}

void TstListingWindow::failedSearchKeepsListingAndCount()
{
    w_busqueda &w = *m_window;
    search(QString());
    const long members = w.dw_listado->RowCount();
    QVERIFY(members >= 17);
    w.dw_listado->isrv_gridstyle()->of_process_popup(u"m_filterbyselection"_s, 1, u"tipo_miembro_red"_s);
    const long listed = w.dw_listado->RowCount();
    const QString listedCount = count();
    const QString firstName = w.dw_listado->GetItemString(1, u"nombre"_s);
    QVERIFY(listed > 0 && listed < members);

    {
        testsupport::FakeDriver failing;
        failing.queryError = u"database disk image is malformed"_s;
        QVERIFY(testsupport::connectSample(*rt::SQLCA()));
        m_fake->boxes.clear();

        // The listing, its filter and its count stay; the error says what failed.
        search(u"ana"_s);
        QCOMPARE(w.dw_listado->RowCount(), listed);
        QCOMPARE(w.dw_listado->model().FilteredCount(), members - listed);
        QCOMPARE(w.dw_listado->GetItemString(1, u"nombre"_s), firstName);
        QCOMPARE(count(), listedCount);
        QCOMPARE(m_fake->boxes.size(), 1);
        QVERIFY(m_fake->boxes.at(0).text.contains(u"malformed"_s));

        // A window whose first search fails has found nobody, and does not say it did.
        auto fresh = std::make_unique<w_busqueda>();
        fresh->show();
        fresh->sle_filtro->setText(u"ana"_s);
        QTest::mouseClick(fresh->cb_buscar, Qt::LeftButton);
        QCOMPARE(fresh->dw_listado->RowCount(), 0L);
        QCOMPARE(fresh->st_cuenta->text(), u""_s);
        QCOMPARE(m_fake->boxes.size(), 2);
    }
    QVERIFY(testsupport::connectSample(*rt::SQLCA()));
    search(u"zzqxj no existe"_s);
    QCOMPARE(count(), u"Ningún miembro coincide con la búsqueda"_s);
}

void TstListingWindow::listingFollowsTheWindow()
{
    w_busqueda &w = *m_window;
    const QRect grid = designed(55, 332, 4905, 1620);
    const QRect hint = designed(242, 1952, 1189, 80);
    QCOMPARE(w.dw_listado->geometry(), grid);
    QCOMPARE(w.st_2->geometry(), hint);
    const QRect search = w.cb_buscar->geometry();
    const QRect frame = w.gb_1->geometry();
    const QRect above = w.st_4->geometry();
    const QSize designedSize = w.size();

    // Larger: the grid takes all of it, the hint and the count stay under the grid.
    w.resize(designedSize + QSize(300, 200));
    QTRY_COMPARE(w.dw_listado->geometry(), grid.adjusted(0, 0, 300, 200));
    QCOMPARE(w.st_2->geometry(), hint.translated(0, 200));
    QCOMPARE(w.st_cuenta->geometry().top(), hint.top() + 200);
    QCOMPARE(w.st_cuenta->geometry().right(), grid.right() + 300);
    QCOMPARE(w.cb_buscar->geometry(), search);
    QCOMPARE(w.gb_1->geometry(), frame);
    QCOMPARE(w.st_4->geometry(), above);

    // Smaller than designed: the grid shrinks with the window, never to nothing.
    w.resize(designedSize - QSize(200, 100));
    QTRY_COMPARE(w.dw_listado->geometry(), grid.adjusted(0, 0, -200, -100));
    w.resize(200, 200);
    QTRY_VERIFY(w.dw_listado->width() >= 160 && w.dw_listado->height() >= 80);

    // Back at the designed size everything is where the layout puts it.
    w.resize(designedSize);
    QTRY_COMPARE(w.dw_listado->geometry(), grid);
    QCOMPARE(w.st_2->geometry(), hint);
}

w_busqueda *TstListingWindow::restart()
{
    m_window->close(); // deletes itself
    m_window = new w_busqueda();
    m_window->show();
    return m_window;
}

void TstListingWindow::placeAndZoomSurviveARestart()
{
    const QRect left(30, 40, 700, 480);
    m_window->setGeometry(left);
    // The listing zooms from the search box too.
    QTest::keyClick(m_window->sle_filtro, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(m_window->sle_filtro, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(m_window->dw_listado->zoom(), 1.5625);

    w_busqueda *next = restart();
    QCOMPARE(next->geometry(), left);
    QCOMPARE(next->dw_listado->zoom(), 1.5625);
    // The listing fills the window it came back in.
    QTRY_COMPARE(next->dw_listado->geometry().right() - next->width(),
                 designed(55, 332, 4905, 1620).right() - designed(0, 0, 5001, 2128).width());

    next->showMaximized();
    QTRY_VERIFY(next->isMaximized());
    next = restart();
    QVERIFY(next->isMaximized());
    next->showNormal();
    QTRY_COMPARE(next->geometry(), left);

    // Left on a screen that is no longer there, the window opens where it would at first.
    m_window->close();
    const QString key = rt::ProgramKey(u"Window\\w_busqueda"_s);
    QCOMPARE(rt::RegistrySet(key, rt::screenArrangement(), u""_s), 1);
    const QRect byDefault = w_busqueda().geometry();
    QCOMPARE(rt::RegistrySet(key, rt::screenArrangement(), u"5000,40,700,480"_s), 1);
    m_window = new w_busqueda();
    QCOMPARE(m_window->geometry(), byDefault);
    QCOMPARE(rt::RegistrySet(key, rt::screenArrangement(), u""_s), 1);
}

void TstListingWindow::keysAroundTheListing()
{
    w_busqueda &w = *m_window;
    m_statements.clear();
    search(QString());
    QCOMPARE(m_statements.searches().size(), 1);

    // Enter in the grid still presses "Buscar".
    w.dw_listado->setFocus();
    QTest::keyClick(w.dw_listado, Qt::Key_Down);
    QTest::keyClick(w.dw_listado, Qt::Key_Return);
    QCOMPARE(m_statements.searches().size(), 2);

    // Ctrl+Enter opens the current member's card, as a double click on it does, and
    // searches nothing.
    long researcher = 0;
    for (long row = 1; row <= w.dw_listado->RowCount() && researcher == 0; ++row) {
        if (w.dw_listado->GetItemNumber(row, u"id"_s) == double(testsupport::sample::kResearcher))
            researcher = row;
    }
    QVERIFY(researcher > 0);
    w.dw_listado->SetRow(researcher);
    QVERIFY(!g_w_consulta);
    QTest::keyClick(w.dw_listado, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(w.dw_listado->GetRow(), researcher);
    QVERIFY(g_w_consulta);
    // One statement more: the card's, not the listing's again.
    QCOMPARE(m_statements.searches().size(), 3);
    QVERIFY(m_statements.searches().at(2) != m_statements.searches().at(1));
    QCOMPARE(g_w_consulta->card().GetItemString(1, u"nombre"_s),
             w.dw_listado->GetItemString(researcher, u"nombre"_s));
    delete g_w_consulta;

    // Escape closes a card window.
    rt::OpenWithParm(g_w_consulta, double(testsupport::sample::kResearcher));
    QVERIFY(g_w_consulta);
    QVERIFY(QTest::qWaitForWindowExposed(g_w_consulta));
    g_w_consulta->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(g_w_consulta));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : g_w_consulta.data(),
                    Qt::Key_Escape);
    QTRY_VERIFY(!g_w_consulta || !g_w_consulta->isVisible());
}

QTEST_MAIN(TstListingWindow)
#include "tst_listingwindow.moc"
