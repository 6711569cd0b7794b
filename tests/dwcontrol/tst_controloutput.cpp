// The control's way out of the grid: SaveAs asking through the interaction, Print on the
// selected printer, and the page view that replaces the grid while print preview is on.

#include "gridfixture.h"

#include "datawindowcontrol.h"
#include "pagepreview.h"
#include "support/fakeinteraction.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestControlOutput : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<gridtest::Directory> m_directory;
    std::unique_ptr<dw::DataWindowControl> m_control;
    QTemporaryDir m_out;

    void showListing(int rows) { gridtest::showListing(rows, m_directory, m_control); }

private slots:
    void cleanup()
    {
        m_control.reset();
        m_directory.reset();
    }

    void saveAsAsksAndWrites()
    {
        showListing(3);
        FakeInteraction fake;
        // Cancelled: nothing written, -1.
        QCOMPARE(m_control->SaveAs(), -1);
        QCOMPARE(fake.saveAsCalls, 1);

        const QString file = m_out.filePath(u"listado.csv"_s);
        fake.saveTarget = dw::SaveTarget{file, u"csv"_s};
        QCOMPARE(m_control->SaveAs(), 1);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(written.readAll());
        QVERIFY(text.contains(u"Nombre"_s));
        QVERIFY(text.contains(gridtest::cell(u"especialidad"_s, 3)));
        QVERIFY(fake.boxes.isEmpty());

        // A folder that does not exist: -1 and the user is told.
        fake.saveTarget = dw::SaveTarget{m_out.filePath(u"no/such/folder/x.csv"_s), u"csv"_s};
        QCOMPARE(m_control->SaveAs(), -1);
        QCOMPARE(fake.boxes.size(), 1);
    }

    // Each print is a job of its own: after one whose file could not be written, the next
    // one, to a file that can, works.
    void printAfterAFailedPrint()
    {
        showListing(40);
        FakeInteraction fake;
        fake.printToFile = m_out.filePath(u"no/existe/listado.pdf"_s);
        QCOMPARE(m_control->Print(), -1);
        QCOMPARE(fake.boxes.size(), 1);
        QVERIFY(fake.boxes.first().text.startsWith(u"No se pudo imprimir."_s));

        const QString file = m_out.filePath(u"listado.pdf"_s);
        fake.printToFile = file;
        QCOMPARE(m_control->Print(), 1);
        QCOMPARE(fake.boxes.size(), 1);
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
    }

    void previewReplacesTheGrid()
    {
        showListing(3);
        QWidget *grid = m_control->childAt(QPoint(5, 5));
        QVERIFY(grid);
        m_control->Modify(u"DataWindow.Print.Preview=yes"_s);
        auto *preview = m_control->findChild<dw::PagePreview *>();
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(preview->geometry(), m_control->rect());
        QVERIFY(!grid->isVisible());
        // Pointer events have no object under them while the pages show.
        QCOMPARE(m_control->objectAt(QPoint(50, 8)).name, u"datawindow"_s);

        m_control->Modify(u"DataWindow.Print.Preview=no"_s);
        QTRY_VERIFY(!m_control->findChild<dw::PagePreview *>());
        QVERIFY(grid->isVisible());
        QCOMPARE(m_control->objectAt(grid->mapTo(m_control.get(), QPoint(50, 8))).name, u"nombre_t"_s);
    }
};

QTEST_MAIN(TestControlOutput)
#include "tst_controloutput.moc"
