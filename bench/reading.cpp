// Reading and re-ordering the whole member listing, each figure next to its same-run
// reference (medians of --repeats runs):
//   read            all members through DataWindow::Retrieve; the same cursor-to-store path
//                   on a handle opened as the driver opens it (read-only, no mutexes, a
//                   memory map) and on one opened the old way (read-only and immutable,
//                   SQLite's mutexes, no memory map); the plain C loop with the default
//                   flags, with NOMUTEX, and with NOMUTEX and a memory map
//   read_memory     resident memory (private and file-backed, from /proc/self/status) after
//                   a fresh data window read every member, then with the ranks of the shown
//                   columns made, and the peak while it read, against the raw size of the
//                   listing's text
//   second_search_memory  the peak while a second search reads with the first one's rows
//                   and ranks still held, against the raw size of the listing's text
//   heading_sort    a heading click on nombre after a sort on tipo_miembro_red: the first
//                   one after a retrieval (ranks made) and later ones (ranks kept)
//   filter_sorted   "Filtrar por Selección": filter, then the re-sort by the remembered
//                   sort on nombre; then the filter removed and the rows re-sorted
//   search_sorted   the all-members search (Retrieve, then Sort, as the search window does)
//                   with a remembered sort on nombre, against the same without a sort

#include "bench.h"
#include "reportinginteraction.h"
#include "sqliteloop.h"

#include "datawindow.h"
#include "db/sqliteconnection.h"
#include "db/transaction.h"
#include "interaction.h"
#include "rows/rowstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QThread>

#include <sqlite3.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

using bench::medianOf;
using bench::ms;
using bench::ratio;
using bench::timed;

const QString kCommittee = u"( string(tipo_miembro_red) = \"Miembro del CTA\" )"_s;

void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// How the engine's reading path opens the database: URI parameters after "mode=ro",
// open flags, memory map.
struct PathOpening
{
    const char *parameters;
    int flags;
    bool mapped;
};
// As the built-in driver opened an SQLite file before it stopped paying for locks.
const PathOpening kOldOpening{"&immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, false};

// The engine's own reading path (a cursor of the built-in connection copied into a
// column store) on a handle opened as `opening` says; 0 when it fails.
double storePath(const QString &database, const QString &sql, const PathOpening &opening)
{
    const QByteArray uri
        = "file:" + QFile::encodeName(database).toPercentEncoding("/") + "?mode=ro" + opening.parameters;
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(uri.constData(), &raw, opening.flags, nullptr);
    dw::SqliteHandle handle(raw);
    if (rc != SQLITE_OK)
        return 0;
    if (opening.mapped)
        dw::enableMappedReads(handle.get());
    dw::SqliteConnection connection(std::move(handle));
    qint64 rows = 0;
    const double time = timed([&] {
        dw::DbError error;
        const std::unique_ptr<dw::Cursor> cursor = connection.query(sql, {}, error);
        if (!cursor)
            return;
        dw::ColumnStore store;
        rows = store.appendAll(*cursor);
    });
    releaseFreedMemory();
    return rows > 0 ? time : 0;
}

void measureSize(const bench::Options &options, long members)
{
    const QString n = u"n=%1"_s.arg(members);
    const QString sample = bench::sampleOf(options, members);
    if (sample.isEmpty()) {
        bench::report({u"op=reading"_s, n, u"error=no_sample"_s});
        return;
    }
    const QString database = QDir(sample).filePath(u"zemparol.mdb"_s);
    const bench::ReportingInteraction reporting;
    dw::Transaction transaction;
    bench::connectAccess(transaction, database);
    auto dw = std::make_unique<dw::DataWindow>();
    if (transaction.SQLCode != 0 || !dw->setDataObject(u"dw_listado_grid"_s)) {
        bench::report({u"op=reading"_s, n, u"error=no_connection"_s});
        return;
    }
    dw->SetTransObject(&transaction);
    const QString select = dw->selectSql();
    const int runs = options.repeats;

    // Every reader of the statement in turn within each run, so a drift of the machine
    // touches them alike.
    std::vector<double> retrieve, driverPath, oldPath, rawDefault, rawNoMutex, rawMapped;
    long rows = 0;
    std::size_t rawTextBytes = 0;
    const bench::OpenMode noMutex{SQLITE_OPEN_NOMUTEX, false};
    const bench::OpenMode mapped{SQLITE_OPEN_NOMUTEX, true};
    for (int run = 0; run < runs; ++run) {
        const bench::RawResult raw = bench::plainLoop(database, select);
        rawDefault.push_back(raw.ms);
        rawTextBytes = raw.textBytes;
        rawNoMutex.push_back(bench::plainLoop(database, select, noMutex).ms);
        rawMapped.push_back(bench::plainLoop(database, select, mapped).ms);
        oldPath.push_back(storePath(database, select, kOldOpening));
        driverPath.push_back(storePath(database, select, {"", dw::readOnlyOpenFlags(), true}));
        (void)dw->SetSort(u""_s);
        retrieve.push_back(timed([&] { rows = dw->Retrieve(); }));
    }
    const double reference = bench::median(rawDefault);
    const double retrieved = bench::median(retrieve);
    bench::report({u"op=read"_s, n, u"rows=%1"_s.arg(rows), u"ms=%1"_s.arg(ms(retrieved)),
                   u"store_ms=%1"_s.arg(ms(bench::median(driverPath))),
                   u"store_old_flags_ms=%1"_s.arg(ms(bench::median(oldPath))),
                   u"raw_default_ms=%1"_s.arg(ms(reference)),
                   u"raw_nomutex_ms=%1"_s.arg(ms(bench::median(rawNoMutex))),
                   u"raw_nomutex_mmap_ms=%1"_s.arg(ms(bench::median(rawMapped))),
                   u"ratio_store=%1"_s.arg(ratio(bench::median(driverPath), bench::median(oldPath))),
                   u"ratio_raw_default=%1"_s.arg(ratio(retrieved, reference)), u"target=1.0"_s});

    // Resident memory once "Buscar" has read every member, as a system monitor shows it,
    // against the raw size of the listing's text; a fresh data window, so nothing of the
    // runs above is counted.
    dw.reset();
    releaseFreedMemory();
    const bench::Resident before = bench::residentNow();
    bench::resetPeakRss();
    dw = std::make_unique<dw::DataWindow>();
    (void)dw->setDataObject(u"dw_listado_grid"_s);
    dw->SetTransObject(&transaction);
    (void)dw->Retrieve();
    const bench::Resident after = bench::residentNow();
    const double rowsMb = double(dw->rowMemoryBytes()) / (1024.0 * 1024.0);
    // The ranks of every shown column, which a second thread makes after the retrieval.
    dw->finishPreparingSorts();
    const bench::Resident ranked = bench::residentNow();
    const double rawMb = double(rawTextBytes) / (1024.0 * 1024.0);
    bench::report(
        {u"op=read_memory"_s, n, u"raw_text_mb=%1"_s.arg(ms(rawMb)), u"rss_mb=%1"_s.arg(ms(after.totalMb())),
         u"anon_mb=%1"_s.arg(ms(after.anonMb)), u"file_mb=%1"_s.arg(ms(after.fileMb)),
         u"added_anon_mb=%1"_s.arg(ms(after.anonMb - before.anonMb)),
         u"added_file_mb=%1"_s.arg(ms(after.fileMb - before.fileMb)), u"rows_mb=%1"_s.arg(ms(rowsMb)),
         u"with_ranks_anon_mb=%1"_s.arg(ms(ranked.anonMb)),
         u"with_ranks_rss_mb=%1"_s.arg(ms(ranked.totalMb())), u"peak_mb=%1"_s.arg(ms(bench::peakRssMb())),
         u"ratio_rss=%1"_s.arg(ratio(after.totalMb(), rawMb)),
         u"ratio_anon=%1"_s.arg(ratio(after.anonMb, rawMb)),
         u"ratio_anon_with_ranks=%1"_s.arg(ratio(ranked.anonMb, rawMb)), u"target_rss=1.8"_s,
         u"target_anon=1.5"_s});

    // A second search while the first one's rows are shown: they are kept until the new
    // rows are all there (a failed search leaves them), so for a while both are held.
    bench::resetPeakRss();
    (void)dw->Retrieve();
    dw->finishPreparingSorts();
    const double secondPeakMb = bench::peakRssMb();
    bench::report({u"op=second_search_memory"_s, n, u"raw_text_mb=%1"_s.arg(ms(rawMb)),
                   u"peak_mb=%1"_s.arg(ms(secondPeakMb)), u"ratio=%1"_s.arg(ratio(secondPeakMb, rawMb)),
                   u"target=2.5"_s});

    // A heading click on nombre after a sort on another column.
    const auto sortBy = [&](const QString &criteria) {
        (void)dw->SetSort(criteria);
        (void)dw->Sort();
    };
    // The first one comes right after the retrieval (the ranks the second thread prepares
    // may not be there yet), or after the user looked at the rows for a second.
    std::vector<double> firstSort, lookedSort, keptSort;
    for (int run = 0; run < runs; ++run) {
        (void)dw->SetSort(u""_s);
        (void)dw->Retrieve();
        sortBy(u"tipo_miembro_red A"_s);
        firstSort.push_back(timed([&] { sortBy(u"nombre A"_s); }));
        sortBy(u"tipo_miembro_red A"_s);
        keptSort.push_back(timed([&] { sortBy(u"nombre A"_s); }));
        (void)dw->SetSort(u""_s);
        (void)dw->Retrieve();
        QThread::msleep(1000);
        lookedSort.push_back(timed([&] { sortBy(u"nombre A"_s); }));
    }
    bench::report({u"op=heading_sort"_s, n, u"ms=%1"_s.arg(ms(bench::median(keptSort))),
                   u"first_after_retrieve_ms=%1"_s.arg(ms(bench::median(firstSort))),
                   u"first_after_1s_ms=%1"_s.arg(ms(bench::median(lookedSort))), u"target_first_ms=300"_s,
                   u"target_ms=150"_s});

    // "Filtrar por Selección" with the remembered sort, and the filter taken off again.
    std::vector<double> filtered, unfiltered;
    long kept = 0;
    for (int run = 0; run < runs; ++run) {
        filtered.push_back(timed([&] {
            (void)dw->SetFilter(kCommittee);
            (void)dw->Filter();
            (void)dw->Sort();
        }));
        kept = dw->RowCount();
        unfiltered.push_back(timed([&] {
            (void)dw->SetFilter(u""_s);
            (void)dw->Filter();
            (void)dw->Sort();
        }));
    }
    bench::report({u"op=filter_sorted"_s, n, u"rows=%1"_s.arg(kept),
                   u"ms=%1"_s.arg(ms(bench::median(filtered))),
                   u"unfilter_ms=%1"_s.arg(ms(bench::median(unfiltered))), u"target_ms=80"_s});

    // The search window's search: Retrieve, then Sort, with and without a remembered sort.
    const auto search = [&](const QString &criteria) {
        return medianOf(runs, [&] {
            (void)dw->SetSort(criteria);
            return timed([&] {
                (void)dw->Retrieve();
                (void)dw->Sort();
            });
        });
    };
    const double unsorted = search(u""_s);
    const double sorted = search(u"nombre A"_s);
    bench::report({u"op=search_sorted"_s, n, u"ms=%1"_s.arg(ms(sorted)),
                   u"unsorted_ms=%1"_s.arg(ms(unsorted)), u"ratio=%1"_s.arg(ratio(sorted, unsorted))});
}

void reading(const bench::Options &options)
{
    for (const long members : options.sizes)
        measureSize(options, members);
}

const bench::BenchRegistrar registrar("reading", reading);

} // namespace
