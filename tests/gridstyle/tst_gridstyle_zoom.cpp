// The listing zoomed: a heading click sorts the column drawn under the pointer, the stripe
// reaches the bottom of what the control shows, and the zoom comes back at the next start
// unless what is stored is no zoom.

#include "gridstylefixture.h"
#include "support/fakeinteraction.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString storedZoom(u_dw &control)
{
    n_svc_dw_gridstyle reader;
    reader.idw_client = &control;
    return reader.of_getreg(u"zoom"_s, u"<none>"_s);
}

void storeZoom(u_dw &control, const QString &zoom)
{
    n_svc_dw_gridstyle writer;
    writer.idw_client = &control;
    writer.of_setreg(u"zoom"_s, zoom);
}

} // namespace

class TstGridStyleZoom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_fake = std::make_unique<FakeInteraction>();
        rt::CreateGlobals();
        QVERIFY(testsupport::connectSample(*rt::SQLCA()));
    }

    void init()
    {
        // Every test starts at the designed size, with no sort remembered.
        auto grid = gridtest::makeGrid(false, false);
        QVERIFY(grid);
        storeZoom(*grid->control, u""_s);
        grid->service().of_setreg(u"sortorder"_s, u""_s);
    }

    void cleanupTestCase()
    {
        rt::DestroyGlobals();
        m_fake.reset();
    }

    // At 150 % the point 450 pixels across is on the heading of tipo_miembro_red, where the
    // designed size has grado_academico's.
    void headingClickSortsTheColumnUnderThePointer()
    {
        auto grid = gridtest::makeGrid();
        QVERIFY(grid);
        u_dw &control = *grid->control;
        control.setZoom(1.5);
        QCOMPARE(storedZoom(control), u"1.5"_s);
        gridtest::click(control, QPoint(450, 12));
        QCOMPARE(grid->describe(u"DataWindow.Table.Sort"_s), u"tipo_miembro_red A"_s);
        QCOMPARE(grid->describe(u"tipo_miembro_red_arrow.text"_s), u"t"_s);
    }

    // Zoomed out, the control shows twice its height of layout: the stripe of the sorted
    // column covers that, made again when the zoom changes.
    void stripeCoversWhatTheControlShows()
    {
        auto grid = gridtest::makeGrid();
        QVERIFY(grid);
        u_dw &control = *grid->control;
        control.SetFilter(u"id <= 3"_s);
        control.Filter();
        gridtest::click(control, gridtest::pointOf(control, u"nombre_t"_s));
        QCOMPARE(grid->describe(u"nombre_shade.height"_s), QString::number(control.Height()));
        control.setZoom(0.5);
        QCOMPARE(grid->describe(u"nombre_shade.height"_s), QString::number(2 * control.Height()));
    }

    void storedZoomComesBack_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("zoom");
        QTest::newRow("a step") << u"1.5625"_s << 1.5625;
        QTest::newRow("between steps") << u"1.5"_s << 1.5;
        QTest::newRow("smallest") << u"0.25"_s << 0.25;
        QTest::newRow("no number") << u"grande"_s << 1.0;
        QTest::newRow("decimal comma") << u"1,5"_s << 1.0;
        QTest::newRow("too small") << u"0.1"_s << 1.0;
        QTest::newRow("too large") << u"12"_s << 1.0;
        QTest::newRow("not a number") << u"nan"_s << 1.0;
        QTest::newRow("too long") << u"1.5"_s + QString(5000, u'0') << 1.0;
    }

    void storedZoomComesBack()
    {
        QFETCH(QString, stored);
        QFETCH(double, zoom);
        auto grid = gridtest::makeGrid(true, true, [&](u_dw &control) { storeZoom(control, stored); });
        QVERIFY(grid);
        QCOMPARE(grid->control->zoom(), zoom);
        QCOMPARE(m_fake->boxes.size(), 0);
    }

private:
    std::unique_ptr<FakeInteraction> m_fake;
};

QTEST_MAIN(TstGridStyleZoom)
#include "tst_gridstyle_zoom.moc"
