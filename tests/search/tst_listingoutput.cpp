// The member listing printed and saved as a user does it from the search window, on the
// sample directory: read back from the files with the PDF tools.

#include "application.h"
#include "columnheading.h"
#include "dw_listado.h"
#include "globals.h"
#include "pagepreview.h"
#include "picture.h"
#include "printjob.h"
#include "support/fakeinteraction.h"
#include "support/pdfwords.h"
#include "support/sample.h"
#include "w_busqueda.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

class TestApplication : public rt::Application
{
};

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The word furthest left above the footer line (the line of "Página").
QString leftmost(const testsupport::PdfPage &sheet)
{
    double footer = sheet.height;
    for (const testsupport::PdfWord &word : sheet.words)
        if (word.text == u"Página")
            footer = word.top;
    const testsupport::PdfWord *found = nullptr;
    for (const testsupport::PdfWord &word : sheet.words)
        if (word.top < footer - 2 && (!found || word.left < found->left))
            found = &word;
    return found ? found->text : QString();
}

bool writeFile(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TstListingOutput : public QObject
{
    Q_OBJECT

    TestApplication m_application;
    QTemporaryDir m_config;
    QTemporaryDir m_out;
    std::unique_ptr<FakeInteraction> m_fake;
    std::unique_ptr<w_busqueda> m_window;

    dw::DataWindowControl &listing() { return *m_window->dw_listado; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_out.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        m_fake = std::make_unique<FakeInteraction>();
        m_application.appname = u"zemparol"_s;
        rt::CreateGlobals();
        const QString sample = testsupport::sampleDirectory();
        QVERIFY(!sample.isEmpty());
        dw::setPictureRoot(sample);
        QVERIFY(testsupport::connectAccess(*rt::SQLCA(), sample + u"/zemparol.mdb"_s));
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is installed: the listing would print there");

        m_window = std::make_unique<w_busqueda>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->cb_buscar->click(); // an empty search lists every member
        QVERIFY(listing().RowCount() >= 17);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        rt::DestroyGlobals();
        m_fake.reset();
    }

    // "Guardar Como..." proposes "directorio" in the documents folder, then in the folder
    // used last; the page is titled for people.
    void saveAsProposesTheDirectory()
    {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(documents));
        const QString html = m_out.filePath(u"miembros.html"_s);
        m_fake->saveTarget = dw::SaveTarget{html, u"html"_s};
        QCOMPARE(listing().SaveAs(), 1);
        QCOMPARE(m_fake->suggestedSaveName, QDir(documents).filePath(u"directorio.csv"_s));
        QVERIFY(readAll(html).contains("<title>Directorio de miembros</title>"));

        // Then the folder and the format chosen last (kept in the settings, read at each save).
        m_fake->saveTarget.reset();
        QCOMPARE(listing().SaveAs(), -1);
        QCOMPARE(m_fake->suggestedSaveName, m_out.filePath(u"directorio.html"_s));
        QCOMPARE(m_fake->suggestedSave.format, u"html"_s);

        QVERIFY(QDir(m_out.path()).mkpath(u"hojas"_s));
        m_fake->saveTarget = dw::SaveTarget{m_out.filePath(u"hojas/lista.csv"_s), u"csv"_s};
        m_fake->saveTarget->separator = u';';
        QCOMPARE(listing().SaveAs(), 1);
        m_fake->saveTarget.reset();
        QCOMPARE(listing().SaveAs(), -1);
        QCOMPARE(m_fake->suggestedSaveName, m_out.filePath(u"hojas/directorio.csv"_s));
        QCOMPARE(m_fake->suggestedSave.separator, QChar(u';'));
    }

    // Without a printer the grid's print asks where to print. The listing reaches the
    // chosen PDF file in type a person reads (words 7 points high or more): the columns
    // that do not fit a sheet continue on sheets beside it, each led by the names, every
    // sheet with its headings and a footer with the date and "Página N de M" counted over
    // every sheet; landscape, which takes fewer sheets here than portrait.
    void printedListingStaysReadable()
    {
        const QString pdf = m_out.filePath(u"listado.pdf"_s);
        m_fake->printToFile = pdf;
        const int asked = m_fake->printerSetupCalls;
        QCOMPARE(listing().Print(), 1);
        QCOMPARE(m_fake->printerSetupCalls, asked + 1);
        QVERIFY(m_fake->boxes.isEmpty());

        const dw::DataWindow &model = listing().model();
        const QPageLayout paper = dw::chosenPageLayout();
        QCOMPARE(paper.orientation(), QPageLayout::Portrait);
        const QPageLayout turned = dw::printedPageLayout(model, paper);
        QCOMPARE(turned.orientation(), QPageLayout::Landscape);
        const dw::PageRenderer renderer(model, turned);
        QVERIFY(renderer.pageCount() < dw::PageRenderer(model, paper).pageCount());
        const int across = renderer.pagesAcross();
        QVERIFY(across > 1);

        const std::vector<testsupport::PdfPage> sheets = testsupport::readPdfPages(pdf);
        QCOMPARE(int(sheets.size()), renderer.pageCount());
        const QString firstName = listing().GetItemString(1, u"nombre"_s);
        QStringList everyWord;
        double smallest = 1000;
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            const testsupport::PdfPage &sheet = sheets.at(i);
            const QString where = u"sheet %1"_s.arg(i + 1);
            QVERIFY2(sheet.width > sheet.height, qPrintable(where));
            QVERIFY2(sheet.words.size() > 10, qPrintable(where));
            for (const testsupport::PdfWord &word : sheet.words) {
                // Only what shows is in the file: no text of columns cut off the sheet.
                QVERIFY2(word.left >= 0 && word.right <= sheet.width,
                         qPrintable(where + u": "_s + word.text));
                smallest = std::min(smallest, word.height());
                everyWord << word.text;
            }
            const QString text = sheet.text();
            QVERIFY2(sheet.contains(u"Nombre"_s), qPrintable(where));
            QVERIFY2(text.contains(u"Página %1 de %2"_s.arg(i + 1).arg(sheets.size())), qPrintable(where));
            QVERIFY2(text.contains(QString::number(QDate::currentDate().year())), qPrintable(where));
            // The names lead every sheet of the first rows, at its left.
            if (int(i) < across) {
                QVERIFY2(text.contains(firstName), qPrintable(where + u": "_s + text));
                QCOMPARE(leftmost(sheet), firstName.section(u' ', 0, 0));
            }
        }
        QVERIFY2(smallest >= 7.0, qPrintable(QString::number(smallest)));
        const QString all = everyWord.join(u' ');
        for (int column = 1; column <= model.columnCount(); ++column) {
            const QString name = model.columnName(column);
            if (model.Describe(name + u".Visible"_s) == u"0"_s)
                continue;
            const QString heading = dw::columnHeading(model, name);
            QVERIFY2(all.contains(heading.simplified()), qPrintable(heading));
        }
    }

    // With rows selected the print offers "Selección"; chosen, the sheets hold those rows
    // and no other, under the same headings and footer. Without a selection it is not
    // offered and everything prints.
    void printedSelectionHoldsOnlyThoseRows()
    {
        const std::vector<long> chosen{2, 5, 9};
        for (const long row : chosen)
            QCOMPARE(listing().SelectRow(row, true), 1);
        const QString pdf = m_out.filePath(u"seleccion.pdf"_s);
        m_fake->printToFile = pdf;
        m_fake->chooseSelection = true;
        QCOMPARE(listing().Print(), 1);
        m_fake->chooseSelection = false;
        QVERIFY(m_fake->offeredSelection);
        QVERIFY(m_fake->boxes.isEmpty());

        const std::vector<testsupport::PdfPage> sheets = testsupport::readPdfPages(pdf);
        QVERIFY(!sheets.empty());
        QString all;
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            const QString text = sheets.at(i).text();
            const QString where = u"sheet %1: "_s.arg(i + 1) + text;
            QVERIFY2(sheets.at(i).contains(u"Nombre"_s), qPrintable(where));
            QVERIFY2(text.contains(u"Página %1 de %2"_s.arg(i + 1).arg(sheets.size())), qPrintable(where));
            all += text + u' ';
        }
        // One sheet down: three rows fit on one, and each sheet across shows them.
        const dw::DataWindow &model = listing().model();
        const dw::PageRenderer renderer(model, dw::printedPageLayout(model, dw::chosenPageLayout(), chosen),
                                        chosen);
        QCOMPARE(int(sheets.size()), renderer.pageCount());
        QCOMPARE(renderer.pageCount(), renderer.pagesAcross());
        for (long row = 1; row <= listing().RowCount(); ++row) {
            const QString name = listing().GetItemString(row, u"nombre"_s).simplified();
            const bool selected = std::find(chosen.begin(), chosen.end(), row) != chosen.end();
            QVERIFY2(all.contains(name) == selected, qPrintable(u"row %1: "_s.arg(row) + name));
            // Each column shows its own value, not another's.
            const QString state = listing().GetItemString(row, u"entidad_fed"_s).section(u' ', 0, 0);
            if (selected && !state.isEmpty())
                QVERIFY2(all.contains(u' ' + state + u' '), qPrintable(u"row %1: "_s.arg(row) + state));
        }

        QCOMPARE(listing().SelectRow(0, false), 1);
        const QString whole = m_out.filePath(u"todo.pdf"_s);
        m_fake->printToFile = whole;
        QCOMPARE(listing().Print(), 1);
        QVERIFY(!m_fake->offeredSelection);
        QVERIFY(testsupport::readPdfPages(whole).size() > sheets.size());
    }

    // A file chosen for an earlier print, from another window, is never written unasked:
    // the grid's print asks again, and cancelling writes nothing.
    void gridPrintNeverWritesAFileItWasNotGiven()
    {
        QVERIFY(QDir(m_out.path()).mkpath(u"fichas"_s));
        const QString cardFile = m_out.filePath(u"fichas/ficha-ana.pdf"_s);
        QVERIFY(writeFile(cardFile, "previo"));
        QWidget card;
        m_fake->printToFile = cardFile;
        QCOMPARE(dw::selectPrinter(&card, u"ficha-ana"_s), 1); // chosen in a card's printer selection

        m_fake->printToFile.clear();
        m_fake->printerSetupResult = 0;
        const int asked = m_fake->printerSetupCalls;
        QCOMPARE(listing().Print(), -1);
        QCOMPARE(m_fake->printerSetupCalls, asked + 1);
        // The listing proposes its own file, in the folder the listing was printed to last.
        QCOMPARE(m_fake->proposedPrintFile, m_out.filePath(u"directorio.pdf"_s));
        QCOMPARE(readAll(cardFile), QByteArray("previo"));
        QVERIFY(m_fake->boxes.isEmpty());

        // A selection that cannot be shown says so instead of printing nowhere.
        m_fake->printerSetupResult = -1;
        QCOMPARE(listing().Print(), -1);
        QCOMPARE(m_fake->boxes.size(), 1);
        QCOMPARE(m_fake->boxes.first().title, u"Consulta de Directorio"_s);
        QVERIFY(m_fake->boxes.first().text.startsWith(u"No se pudo imprimir.\nNo hay ninguna impresora"_s));
        QCOMPARE(readAll(cardFile), QByteArray("previo"));
        m_fake->boxes.clear();
        m_fake->printerSetupResult = 1;
    }
};

QTEST_MAIN(TstListingOutput)
#include "tst_listingoutput.moc"
