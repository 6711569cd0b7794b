// Printing on a printer whose output is a PDF file, and the page preview that shows
// the same pages.

#include "documentfolder.h"
#include "outputfixture.h"
#include "pagepreview.h"
#include "printjob.h"

#include <QFile>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

using namespace outputtest;

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    // A printed card's file is named after the member in a form every file system takes.
    void safeFileNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("apostrophe") << u"Patricio O'Farrill Baeza"_s << u"patricio-ofarrill-baeza"_s;
        QTest::newRow("accents") << u"Ñandú Güemes, María"_s << u"nandu-guemes-maria"_s;
        QTest::newRow("reserved characters") << u"a/b\\c:d*?\"<>|e. "_s << u"a-b-c-d-e"_s;
        QTest::newRow("path") << u"..\\..\\x"_s << u"x"_s;
        QTest::newRow("nothing left") << u" ¿? "_s << u"otro"_s;
        QTest::newRow("device") << u"CON"_s << u"otro"_s;
        QTest::newRow("numbered device") << u"lpt1"_s << u"otro"_s;
        QTest::newRow("not a device") << u"Consuelo"_s << u"consuelo"_s;
        QTest::newRow("long") << QString(200, u'a') << QString(80, u'a');
    }
    void safeFileNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(dw::safeFileBaseName(text, u"otro"_s), name);
    }

    // Every page reaches the file, and the file has the renderer's page count.
    void printsEveryPageToPdf_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("pages");
        QTest::newRow("no rows") << 0 << 2000 << 1;
        QTest::newRow("four pages") << 100 << 2000 << 4;
        QTest::newRow("two pages across") << 45 << 12000 << 8;
    }
    void printsEveryPageToPdf()
    {
        QFETCH(int, rows);
        QFETCH(int, width);
        QFETCH(int, pages);
        Table table;
        Bands bands;
        bands.width = width;
        QVERIFY(table.open(numberedMembers(rows), bands));
        const QString file = table.folder.filePath(u"listado.pdf"_s);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        QVERIFY(printer.setPageLayout(testPage()));
        QString error;
        QCOMPARE(dw::printOn(table.dw, printer, &error), 1);
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(pdfPageCount(bytes), pages);
    }

    void unwritableFileFails()
    {
        Table table;
        QVERIFY(table.open(numberedMembers(3)));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(table.folder.filePath(u"no/existe/listado.pdf"_s));
        QString error;
        QCOMPARE(dw::printOn(table.dw, printer, &error), -1);
        QVERIFY2(error.contains(u"no existe"_s), qPrintable(error));

        printer.setOutputFileName({});
        error.clear();
        QCOMPARE(dw::printOn(table.dw, printer, &error), -1);
        QVERIFY2(error.contains(u"No se indicó"_s), qPrintable(error));
    }

    // The preview lays out the pages of the selected printer's paper, one under the
    // other on grey, zoomed to the width, and follows the rows after a refresh.
    void previewShowsThePages()
    {
        Table table;
        QVERIFY(table.open(numberedMembers(100)));
        dw::setChosenPageLayout(testPage());
        dw::PagePreview preview(table.dw);
        preview.resize(600, 500);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.pageCount(), 4);

        const QImage shot = preview.grab().toImage();
        QCOMPARE(shot.pixel(4, 4) & 0xffffff, 0x808080u); // the grey around the pages
        // The page fills the width less the margins: 600 - 16 - 16 - the scroll bar.
        auto *area = preview.findChild<QScrollArea *>();
        QVERIFY(area);
        const int pageWidth = area->viewport()->width() - 32;
        const double zoom = pageWidth / 768.0; // the 8-inch page at 96 dpi
        const int headerY = 16 + int((48 + 58) * zoom); // low in the header, clear of its text
        QCOMPARE(shot.pixel(16 + int(140 * zoom), headerY) & 0xffffff, 0xff0000u);
        QVERIFY(area->verticalScrollBar()->maximum() > int(3 * 960 * zoom));

        // Ctrl+wheel and Ctrl++ / Ctrl+- zoom around the width fit; Ctrl+0 returns to it.
        QCOMPARE(preview.zoom(), 1.0);
        QWheelEvent wheel(QPointF(100, 100), preview.mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(area->viewport(), &wheel);
        QVERIFY(preview.zoom() > 1.0);
        QVERIFY(area->horizontalScrollBar()->maximum() > 0); // wider than the view now
        QTest::keyClick(area, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(area, Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(preview.zoom() < 1.0);
        QTest::keyClick(area, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(preview.zoom(), 1.0);
        QTest::keyClick(area, Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(area, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(preview.zoom(), 1.0);
        QCOMPARE(area->horizontalScrollBar()->maximum(), 0);

        QVERIFY(table.dw.SetFilter(u"id <= 10"_s) == 1 && table.dw.Filter() == 1);
        preview.refresh();
        QCOMPARE(preview.pageCount(), 1);
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
