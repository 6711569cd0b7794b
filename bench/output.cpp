// The listing's way out: 100,000 members saved as CSV and as a spreadsheet, and 10,000
// printed to a PDF file, each timed with its file's size (and the PDF's pages).

#include "bench.h"

#include "datawindow.h"
#include "db/transaction.h"
#include "interaction.h"
#include "pagepreview.h"
#include "printjob.h"
#include "saveas.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>

#include <algorithm>
#include <ctime>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr long kSavedRows = 100000;
constexpr long kPrintedRows = 10000;

// A data window of the listing layout over a generated directory of n members.
struct Listing
{
    dw::Transaction transaction;
    dw::DataWindow dw;
    long rows = 0;

    bool open(const bench::Options &options, long members)
    {
        const QString sample = bench::sampleOf(options, members);
        if (sample.isEmpty())
            return false;
        transaction.DBMS = u"ODBC"_s;
        transaction.DBParm = u"ConnectString='Driver={Microsoft Access Driver (*.mdb)}; DBQ=%1;UID=admin;"
                             "PWD=t4m9x2q7w805'"_s.arg(QDir(sample).filePath(u"zemparol.mdb"_s));
        transaction.connect();
        if (transaction.SQLCode != 0 || !dw.setDataObject(u"dw_listado_grid"_s))
            return false;
        dw.SetTransObject(&transaction);
        rows = dw.Retrieve();
        return rows == members;
    }
};

struct Timing
{
    double wallMs = 0;
    double cpuMs = 0; // the process's own time: what counts on a machine shared with others
};

template <class F> Timing timed(F &&work)
{
    QElapsedTimer timer;
    const std::clock_t cpuStart = std::clock();
    timer.start();
    work();
    return {double(timer.nsecsElapsed()) / 1e6, double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC};
}

QStringList timesOf(const std::vector<Timing> &runs)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Timing &t : runs) {
        wall.push_back(t.wallMs);
        cpu.push_back(t.cpuMs);
    }
    return {u"ms=%1"_s.arg(bench::median(wall), 0, 'f', 1),
            u"cpu_ms=%1"_s.arg(bench::median(cpu), 0, 'f', 1)};
}

void save(const bench::Options &options, Listing &listing, const QString &format,
          const QString &separatorName, QChar separator)
{
    dw::SaveTarget target{QDir(options.workDir).filePath(u"directorio."_s + format), format};
    target.separator = separator;
    std::vector<Timing> times;
    bool ok = true;
    for (int run = 0; run < std::min(options.repeats, 3) && ok; ++run)
        times.push_back(timed([&] { ok = dw::saveRows(listing.dw, target, nullptr); }));
    QStringList line{u"op=save_"_s + format + separatorName, u"n=%1"_s.arg(listing.rows)};
    if (!ok)
        line << u"error=save_failed"_s;
    line << timesOf(times) << u"target_ms=2000"_s << u"bytes=%1"_s.arg(QFileInfo(target.fileName).size());
    bench::report(line);
}

void output(const bench::Options &options)
{
    {
        Listing listing;
        if (!listing.open(options, kSavedRows)) {
            bench::report({u"op=save"_s, u"error=no_listing"_s});
        } else {
            save(options, listing, u"csv"_s, QString(), u',');
            save(options, listing, u"csv"_s, u"_semicolon"_s, u';');
            save(options, listing, u"xlsx"_s, QString(), u',');
        }
    }

    Listing listing;
    if (!listing.open(options, kPrintedRows)) {
        bench::report({u"op=print_listing_pdf"_s, u"error=no_listing"_s});
        return;
    }
    const QString pdf = QDir(options.workDir).filePath(u"listado.pdf"_s);
    std::vector<Timing> times;
    bool ok = true;
    for (int run = 0; run < std::min(options.repeats, 3) && ok; ++run) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageLayout(dw::chosenPageLayout());
        times.push_back(timed([&] { ok = dw::printOn(listing.dw, printer, nullptr) == 1; }));
    }
    const dw::PageRenderer renderer(listing.dw, dw::printedPageLayout(listing.dw, dw::chosenPageLayout()));
    QStringList line{u"op=print_listing_pdf"_s, u"n=%1"_s.arg(listing.rows)};
    if (!ok)
        line << u"error=print_failed"_s;
    line << timesOf(times) << u"target_ms=5000"_s << u"pages=%1"_s.arg(renderer.pageCount())
         << u"scale=%1"_s.arg(renderer.scale(), 0, 'f', 2) << u"bytes=%1"_s.arg(QFileInfo(pdf).size());
    bench::report(line);
}

const bench::BenchRegistrar registrar("output", output);

} // namespace
