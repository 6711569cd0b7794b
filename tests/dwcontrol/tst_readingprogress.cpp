// A listing read progressively: rows shown as they arrive are the rows read at once, in
// the same order; a sort or a filter started while reading acts on every row; meanwhile
// the user can scroll the grid and copy what it shows.
#include "datawindow.h"
#include "datawindowcontrol.h"
#include "db/transaction.h"
#include "gridcanvas.h"
#include "modelfixture.h"
#include "readingfeedback.h"
#include "support/fakeinteraction.h"
#include "support/sample.h"

#include <sqlite3.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

constexpr long Members = 3000;

// Every column of the listing, members in an order no sort gives back.
bool writeDirectory(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK)
        return false;
    const char *script
        = "CREATE TABLE directorio (id INTEGER, nombre TEXT, tipo_miembro_red TEXT, grado_academico TEXT,"
          " especialidad TEXT, nivel_sni TEXT, institucion TEXT, entidad_fed TEXT, email TEXT, cargo TEXT,"
          " linea_investigacion TEXT, area_aplicacion TEXT, subprograma_red TEXT, proyectos TEXT,"
          " enzimas TEXT, todo TEXT);"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
          " INSERT INTO directorio SELECT (i * 7919) % 3001, printf('Núñez %d', (i * 31) % 97),"
          " 'Miembro Investigador', 'Doctorado', 'Bioquímica', CASE WHEN i % 5 = 0 THEN NULL ELSE 'II' END,"
          " printf('Instituto %d', i % 13), 'Morelos', printf('m%d@red.mx', i), 'Investigador',"
          " 'Enzimas', 'Salud', 'Uno', printf('Proyecto %d', i), 'Lipasa', 'todo' FROM n;";
    const bool ok = sqlite3_exec(db, script, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Every cell of every row, as the grid shows them.
QStringList cells(const dw::DataWindow &dw, long rows)
{
    QStringList all;
    for (long row = 1; row <= rows; ++row) {
        for (int column = 1; column <= dw.columnCount(); ++column)
            all.append(dw.GetItemString(row, column));
    }
    return all;
}

// Watches a retrieval from inside: what the rows were each time they changed while reading,
// and what the test wants done at the first rows.
class Watcher final : public RecordingObserver
{
public:
    using RecordingObserver::RecordingObserver;
    explicit Watcher(dw::DataWindow &dw) : RecordingObserver(dw), m_dw(dw) {}

    std::vector<QStringList> seen; // the cells of the rows shown, at each change while reading
    std::vector<long> read; // RowsRead() at each change while reading
    std::function<void()> atFirstRows;
    bool slow = false; // each batch of rows waits, so that many batches are shown

    void rowsChanged() override
    {
        RecordingObserver::rowsChanged();
        if (!m_dw.IsReading())
            return;
        seen.push_back(cells(m_dw, m_dw.RowCount()));
        read.push_back(m_dw.RowsRead());
        if (atFirstRows) {
            auto once = std::move(atFirstRows);
            atFirstRows = {};
            once();
        }
    }
    void retrieving(bool) override
    {
        if (slow && m_dw.RowsRead() > 0)
            QThread::msleep(101);
    }

private:
    dw::DataWindow &m_dw;
};

} // namespace

class tst_ReadingProgress : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    dw::Transaction m_sqlca;

    std::unique_ptr<dw::DataWindow> listing()
    {
        auto dw = std::make_unique<dw::DataWindow>();
        if (!dw->setDataObject(u"dw_listado_grid"_s))
            return nullptr;
        dw->SetTransObject(&m_sqlca);
        return dw;
    }

private slots:
    void initTestCase()
    {
        const QString file = m_folder.filePath(u"zemparol.mdb"_s);
        QVERIFY(writeDirectory(file));
        QVERIFY(testsupport::connectAccess(m_sqlca, file));
    }

    // Shown as they arrive, the rows grow batch by batch, each batch the start of the
    // whole listing, and end identical, cell for cell, to a listing read at once (a
    // filter that keeps every row holds them back until the end).
    void progressiveListingEqualsOneReadAtOnce()
    {
        auto progressive = listing();
        QVERIFY(progressive);
        Watcher watcher(*progressive);
        watcher.slow = true;
        QCOMPARE(progressive->Retrieve(), Members);
        const QStringList whole = cells(*progressive, Members);

        auto atOnce = listing();
        QVERIFY(atOnce);
        Watcher held(*atOnce);
        QCOMPARE(atOnce->SetFilter(u"id >= 0"_s), 1);
        QCOMPARE(atOnce->Retrieve(), Members);
        QCOMPARE(cells(*atOnce, Members), whole);
        QVERIFY(!held.read.empty());
        for (const QStringList &shown : held.seen)
            QVERIFY(shown.isEmpty()); // nothing shown before the filter ran on every row

        QVERIFY2(watcher.seen.size() >= 3, "the rows arrive in several batches");
        qsizetype before = 0;
        for (std::size_t i = 0; i < watcher.seen.size(); ++i) {
            const QStringList &shown = watcher.seen[i];
            QVERIFY(shown.size() > before);
            QVERIFY(shown.size() < whole.size());
            QCOMPARE(shown, whole.mid(0, shown.size()));
            QCOMPARE(shown.size(), watcher.read[i] * progressive->columnCount());
            before = shown.size();
        }
        QVERIFY(!progressive->IsReading());
        QCOMPARE(progressive->RowsRead(), Members);
    }

    // A sort and a filter set while the rows arrive, and a second retrieval asked for
    // meanwhile: the listing ends sorted and filtered over every row, as if both had come
    // after the reading, and the second retrieval is refused.
    void sortAndFilterDuringReadingActOnTheWhole()
    {
        auto dw = listing();
        QVERIFY(dw);
        Watcher watcher(*dw);
        long again = 0;
        watcher.atFirstRows = [&] {
            QCOMPARE(dw->SetSort(u"nombre D, id A"_s), 1);
            QCOMPARE(dw->Sort(), 1);
            QCOMPARE(dw->SetFilter(u"id > 1000"_s), 1);
            QCOMPARE(dw->Filter(), 1);
            again = dw->Retrieve();
        };
        QCOMPARE(dw->Retrieve(), 2000);
        QCOMPARE(again, -1);

        auto after = listing();
        QVERIFY(after);
        QCOMPARE(after->Retrieve(), Members);
        QCOMPARE(after->SetSort(u"nombre D, id A"_s), 1);
        QCOMPARE(after->Sort(), 1);
        QCOMPARE(after->SetFilter(u"id > 1000"_s), 1);
        QCOMPARE(after->Filter(), 1);
        QCOMPARE(after->RowCount(), 2000);
        QCOMPARE(cells(*dw, 2000), cells(*after, 2000));
        QCOMPARE(dw->FilteredCount(), Members - 2000);
    }

    // In the grid: the first rows are painted at once, the wheel scrolls them while the
    // rest arrive, and a copy asked for meanwhile copies the current row, which is shown.
    void gridScrollsAndCopiesWhileReading()
    {
        FakeInteraction interaction;
        dw::DataWindowControl control;
        control.setDataObject(u"dw_listado_grid"_s);
        control.SetTransObject(&m_sqlca);
        control.resize(600, 300);
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
        QScrollBar *vertical = nullptr;
        for (QScrollBar *bar : control.findChildren<QScrollBar *>()) {
            if (bar->orientation() == Qt::Vertical)
                vertical = bar;
        }
        QVERIFY(vertical);
        dw::GridCanvas *canvas = nullptr;
        for (QWidget *child : control.findChildren<QWidget *>()) {
            if (auto *found = dynamic_cast<dw::GridCanvas *>(child))
                canvas = found;
        }
        QVERIFY(canvas);
        QGuiApplication::clipboard()->setText(u"antes"_s);

        int scrolledWhileReading = -1;
        bool announced = false;
        connect(&control, &dw::DataWindowControl::readingChanged, this, [&](bool on) { announced |= on; });
        const auto connection = connect(&control, &dw::DataWindowControl::rowsChanged, this, [&] {
            if (!control.model().IsReading() || control.RowCount() < 100 || scrolledWhileReading >= 0)
                return;
            QWheelEvent wheel(QPointF(50, 100), canvas->mapToGlobal(QPointF(50, 100)), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(canvas, &wheel);
            QTest::keyClick(&control, Qt::Key_C, Qt::ControlModifier);
            scrolledWhileReading = vertical->value();
        });
        QCOMPARE(control.Retrieve(), Members);
        disconnect(connection);
        QVERIFY(announced); // the first rows are shown at once, without waiting for the delay
        QVERIFY2(scrolledWhileReading > 0, "the wheel scrolls while the rest arrive");
        QVERIFY(QGuiApplication::clipboard()->text().contains(control.GetItemString(1, u"email"_s)));
    }
};

QTEST_MAIN(tst_ReadingProgress)
#include "tst_readingprogress.moc"
