// The long student list on pages: how soon its preview shows the first page, and how
// long printing every page to a PDF file takes.

#include "bench.h"

#include "datawindow.h"
#include "db/transaction.h"
#include "interaction.h"
#include "views/pagepreview.h"
#include "views/picture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>

#include <sqlite3.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr long studentCount = 10000;

// A copy of a generated directory in which every member is a doctoral student, so the
// student card of that level lists all of them.
QString studentDatabase(const bench::Options &options)
{
    const QString sample = bench::sampleOf(options, studentCount);
    const QString copy = QDir(options.workDir).filePath(u"estudiantes.mdb"_s);
    QFile::remove(copy);
    if (sample.isEmpty() || !QFile::copy(QDir(sample).filePath(u"zemparol.mdb"_s), copy))
        return {};
    sqlite3 *raw = nullptr;
    sqlite3_open(QFile::encodeName(copy).constData(), &raw);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    const char *update = "UPDATE directorio SET tipo_miembro_red = 'Miembro Estudiante', grado_academico = 'Doctorado'";
    if (!db || sqlite3_exec(db.get(), update, nullptr, nullptr, nullptr) != SQLITE_OK)
        return {};
    dw::setPictureRoot(sample);
    return copy;
}

void printStudents(const bench::Options &options)
{
    const QString database = studentDatabase(options);
    if (database.isEmpty()) {
        bench::report({u"op=print_students"_s, u"error=no_sample"_s});
        return;
    }
    dw::Transaction transaction;
    transaction.DBMS = u"ODBC"_s;
    transaction.DBParm = u"ConnectString='Driver={Microsoft Access Driver (*.mdb)};DBQ=%1'"_s.arg(database);
    transaction.connect();
    dw::DataWindow dw;
    if (transaction.SQLCode != 0 || !dw.setDataObject(u"dw_miembro_estudiante"_s)) {
        bench::report({u"op=print_students"_s, u"error=no_layout_or_connection"_s});
        return;
    }
    dw.SetTransObject(&transaction);
    const long rows = dw.Retrieve({dw::Value(u"Doctorado"_s)});

    std::vector<double> firstPage;
    std::vector<double> pdf;
    int pages = 0;
    const QString output = QDir(options.workDir).filePath(u"estudiantes.pdf"_s);
    for (int run = 0; run < options.repeats; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            dw::PagePreview preview(dw);
            preview.resize(1100, 800);
            const QImage shown = preview.grab().toImage();
            firstPage.push_back(double(timer.nsecsElapsed()) / 1e6);
            pages = preview.pageCount();
            Q_UNUSED(shown);
        }
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(output);
        printer.setPageLayout(dw::selectedPrinter().pageLayout());
        timer.restart();
        if (dw::printDataWindow(dw, printer) != 1) {
            bench::report({u"op=print_students"_s, u"error=print_failed"_s});
            return;
        }
        pdf.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    bench::report({u"op=preview_first_page"_s, u"n=%1"_s.arg(rows), u"pages=%1"_s.arg(pages),
                   u"ms=%1"_s.arg(bench::median(firstPage), 0, 'f', 1), u"target_ms=300"_s});
    bench::report({u"op=print_pdf"_s, u"n=%1"_s.arg(rows), u"pages=%1"_s.arg(pages),
                   u"ms=%1"_s.arg(bench::median(pdf), 0, 'f', 1), u"target_ms=5000"_s,
                   u"bytes=%1"_s.arg(QFileInfo(output).size())});
}

const bench::BenchRegistrar registrar("print_students", printStudents);

} // namespace
