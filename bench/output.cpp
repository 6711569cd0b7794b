// The listing's way out: 100,000 members saved in every text format and as a spreadsheet
// and copied as the clipboard takes them (as retrieved and sorted by name), and 10,000
// printed to a PDF file. Each line gives the export's wall and processor time and its
// peak memory against the listing's own (the process's resident memory with the listing
// read), and beside it a floor measured in the same run (floor_*), a plain loop that makes
// the same output from everything prepared in memory beforehand (see outputfloor.h).

#include "bench.h"
#include "outputfloor.h"

#include "datawindow.h"
#include "db/transaction.h"
#include "pagepreview.h"
#include "printjob.h"
#include "rowsclipboard.h"
#include "rowscopy.h"
#include "saveas.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPrinter>

#include <algorithm>
#include <ctime>
#include <malloc.h>
#include <numeric>

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
    double residentMb = 0; // the process with the listing read

    bool open(const bench::Options &options, long members)
    {
        const QString sample = bench::sampleOf(options, members);
        if (sample.isEmpty() || !bench::connectAccess(transaction, QDir(sample).filePath(u"zemparol.mdb"_s))
            || !dw.setDataObject(u"dw_listado_grid"_s))
            return false;
        dw.SetTransObject(&transaction);
        rows = dw.Retrieve();
        // The listing's own memory: with every value read once, as any export reads them.
        unsigned sum = 0;
        for (long row = 1; row <= rows; ++row) {
            for (int column = 1; column <= dw.columnCount(); ++column) {
                for (const char c : dw.storedText(row, column))
                    sum += static_cast<unsigned char>(c);
            }
        }
        residentMb = bench::currentRssMb();
        return rows == members && sum > 0;
    }
};

struct Run
{
    double wallMs = 0;
    double cpuMs = 0; // the process's own time: what counts on a machine shared with others
    double extraMb = 0; // resident memory above what the process held before
};

template <class F> Run measured(F &&work)
{
    const double before = bench::currentRssMb();
    bench::resetPeakRss();
    QElapsedTimer timer;
    const std::clock_t cpuStart = std::clock();
    timer.start();
    work();
    Run run{double(timer.nsecsElapsed()) / 1e6, double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC};
    run.extraMb = std::max(0.0, bench::peakRssMb() - before);
    return run;
}

// The median times and the largest extra memory of a few runs.
Run summary(const std::vector<Run> &runs)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    Run result;
    for (const Run &run : runs) {
        wall.push_back(run.wallMs);
        cpu.push_back(run.cpuMs);
        result.extraMb = std::max(result.extraMb, run.extraMb);
    }
    result.wallMs = bench::median(wall);
    result.cpuMs = bench::median(cpu);
    return result;
}

template <class F> Run repeated(const bench::Options &options, F &&work)
{
    std::vector<Run> runs;
    for (int i = 0; i < std::max(1, std::min(options.repeats, 3)); ++i)
        runs.push_back(measured(work));
    return summary(runs);
}

// One line: the export, its floor, and the export's peak memory against the listing's.
void report(const QString &op, long rows, const Run &run, const Run &floor, double listingMb, double targetMs,
            QStringList extra)
{
    QStringList line{u"op="_s + op,
                     u"n=%1"_s.arg(rows),
                     u"ms=%1"_s.arg(run.wallMs, 0, 'f', 1),
                     u"cpu_ms=%1"_s.arg(run.cpuMs, 0, 'f', 1),
                     u"floor_ms=%1"_s.arg(floor.wallMs, 0, 'f', 1),
                     u"floor_cpu_ms=%1"_s.arg(floor.cpuMs, 0, 'f', 1),
                     u"cpu_to_floor=%1"_s.arg(bench::ratio(run.cpuMs, floor.cpuMs)),
                     u"target_cpu_ms=%1"_s.arg(targetMs, 0, 'f', 0),
                     u"listing_mb=%1"_s.arg(listingMb, 0, 'f', 0),
                     u"peak_ratio=%1"_s.arg((listingMb + run.extraMb) / listingMb, 0, 'f', 2)};
    line << extra;
    bench::report(line);
}

void save(const bench::Options &options, Listing &listing, const QString &op, dw::SaveTarget target,
          double targetMs)
{
    bool ok = true;
    const Run run = repeated(options, [&] { ok = ok && dw::saveRows(listing.dw, target, nullptr); });
    if (!ok) {
        bench::report({u"op="_s + op, u"error=save_failed"_s});
        return;
    }
    const QString floorFile = target.fileName + u".floor"_s;
    Run floor;
    if (target.format == u"xlsx") {
        const bench::PreparedCells cells = bench::prepareCells(listing.dw);
        floor = repeated(options, [&] { bench::xlsxFloor(cells, floorFile); });
    } else {
        const bench::PreparedLines lines = bench::prepareLines(target.fileName);
        floor = repeated(options, [&] { bench::linesFloor(lines, floorFile); });
    }
    QFile::remove(floorFile);
    report(op, listing.rows, run, floor, listing.residentMb, targetMs,
           {u"bytes=%1"_s.arg(QFileInfo(target.fileName).size())});
}

// Every row copied, once in the order retrieved and once sorted by name: a sort visits the
// rows' values out of the order they are stored in. The copy gives the clipboard what it
// needs to make the text and the HTML when a program asks for them (op); a program pasting
// both makes this one write them (op_pasted). Both stand beside the same floor, which
// writes the same bytes.
void copy(const bench::Options &options, Listing &listing, const QString &op, const QString &sort)
{
    malloc_trim(0); // the heap an earlier floor left is not counted as room this copy needs
    (void)listing.dw.SetSort(sort); // empty, not null: null would ask the user
    (void)listing.dw.Sort();
    std::vector<long> rows(std::size_t(listing.rows));
    std::iota(rows.begin(), rows.end(), 1L);
    const auto copied = [&] {
        QApplication::clipboard()->setMimeData(dw::clipboardData(dw::CopiedRows(listing.dw, rows)).release());
    };
    const Run run = repeated(options, copied);
    qsizetype bytes = 0;
    const Run pasted = repeated(options, [&] {
        copied();
        const QMimeData *mime = QApplication::clipboard()->mimeData();
        bytes = mime->data(u"text/plain"_s).size(); // one format at a time, as programs ask
        bytes += mime->data(u"text/html"_s).size();
    });
    const bench::PreparedCopy prepared = bench::prepareCopy(listing.dw, rows);
    const Run floor = repeated(options, [&] { bench::copyFloor(prepared); });
    QApplication::clipboard()->clear();
    (void)listing.dw.SetSort(u""_s);
    (void)listing.dw.Sort();
    report(op, listing.rows, run, floor, listing.residentMb, 500, {u"bytes=%1"_s.arg(bytes)});
    report(op + u"_pasted"_s, listing.rows, pasted, floor, listing.residentMb, 500,
           {u"bytes=%1"_s.arg(bytes)});
}

void print(const bench::Options &options, Listing &listing)
{
    const QString pdf = QDir(options.workDir).filePath(u"listado.pdf"_s);
    bool ok = true;
    const Run run = repeated(options, [&] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageLayout(dw::chosenPageLayout());
        ok = ok && dw::printOn(listing.dw, printer, nullptr) == 1;
    });
    if (!ok) {
        bench::report({u"op=print_listing_pdf"_s, u"error=print_failed"_s});
        return;
    }
    const QPageLayout paper = dw::printedPageLayout(listing.dw, dw::chosenPageLayout());
    const dw::PageRenderer renderer(listing.dw, paper);
    const bench::PreparedSheets sheets = bench::prepareSheets(listing.dw, renderer);
    const QString floorFile = pdf + u".floor"_s;
    const Run floor = repeated(options, [&] { bench::printFloor(sheets, paper, floorFile); });
    QFile::remove(floorFile);
    const int pages = renderer.pageCount();
    report(u"print_listing_pdf"_s, listing.rows, run, floor, listing.residentMb, 2.0 * pages,
           {u"pages=%1"_s.arg(pages), u"cpu_ms_per_sheet=%1"_s.arg(run.cpuMs / pages, 0, 'f', 2),
            u"floor_cpu_ms_per_sheet=%1"_s.arg(floor.cpuMs / pages, 0, 'f', 2),
            u"scale=%1"_s.arg(renderer.scale(), 0, 'f', 2), u"bytes=%1"_s.arg(QFileInfo(pdf).size())});
}

void output(const bench::Options &options)
{
    {
        Listing listing;
        if (!listing.open(options, kSavedRows)) {
            bench::report({u"op=save"_s, u"error=no_listing"_s});
        } else {
            const QDir work(options.workDir);
            dw::SaveTarget csv{work.filePath(u"directorio.csv"_s), u"csv"_s};
            save(options, listing, u"save_csv"_s, csv, 400);
            dw::SaveTarget semicolon{work.filePath(u"directorio-pc.csv"_s), u"csv"_s};
            semicolon.separator = u';';
            save(options, listing, u"save_csv_semicolon"_s, semicolon, 400);
            save(options, listing, u"save_txt"_s, {work.filePath(u"directorio.txt"_s), u"txt"_s}, 400);
            save(options, listing, u"save_html"_s, {work.filePath(u"directorio.html"_s), u"html"_s}, 400);
            save(options, listing, u"save_xlsx"_s, {work.filePath(u"directorio.xlsx"_s), u"xlsx"_s}, 1500);
            copy(options, listing, u"copy_clipboard"_s, u""_s);
            copy(options, listing, u"copy_clipboard_sorted"_s, u"nombre A"_s);
        }
    }
    malloc_trim(0); // what the larger listing left is not counted as the printed one's
    Listing listing;
    if (!listing.open(options, kPrintedRows)) {
        bench::report({u"op=print_listing_pdf"_s, u"error=no_listing"_s});
        return;
    }
    print(options, listing);
}

const bench::BenchRegistrar registrar("output", output);

} // namespace
