// The engine's figures on the member listing, per directory size, each next to the
// yardstick it is judged against in the same run:
//   retrieve        the listing through DataWindow::Retrieve   vs a plain sqlite3 loop copying every value
//   search          the any-field search (ucase(todo) like)     vs the same statement without ucase
//   search_without_accents  the same search typed without accents (sinacentos(todo) like)
//                   vs the ucase search of the same run
//   search_none     the same with a text that matches nothing   vs the same without ucase
//   sort_*          SetSort + Sort                              vs QSortFilterProxyModel::sort
//   filter/unfilter SetFilter + Filter                          vs QSortFilterProxyModel filtering
//   memory          resident memory the data window adds        vs the raw size of the listing's text
// Each figure is the median of --repeats runs.

#include "bench.h"
#include "reportinginteraction.h"
#include "sqliteloop.h"

#include "datawindow.h"
#include "db/transaction.h"
#include "interaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTextStream>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

using bench::medianOf;
using bench::ms;
using bench::ratio;
using bench::timed;

const QString kSearch = u" where ucase(todo) like '%ANA%'"_s;
const QString kScan = u" where todo like '%ANA%'"_s;
const QString kSearchNone = u" where ucase(todo) like '%QXZKW%'"_s;
// What a text typed without accents searches: the stored values without them too.
const QString kSearchFolded = u" where sinacentos(todo) like '%ANA%'"_s;
const QString kScanNone = u" where todo like '%QXZKW%'"_s;
const QString kFilter = u"( string(tipo_miembro_red) = \"Miembro del CTA\" )"_s;

// Appends a condition to the listing's statement, as the search window does.
class Appender final : public dw::DataWindowObserver
{
public:
    explicit Appender(dw::DataWindow &dw) : m_dw(dw) { m_dw.setObserver(this); }
    ~Appender() override { m_dw.setObserver(nullptr); }
    Appender(const Appender &) = delete;
    Appender &operator=(const Appender &) = delete;

    QString condition;

    void sqlPreview(int, int, const QString &sqlSyntax, int, long) override
    {
        if (!condition.isEmpty())
            (void)m_dw.SetSQLPreview(sqlSyntax + condition);
    }
    void retrieveEnd(long) override {}
    void layoutChanged() override {}
    void rowsChanged() override {}
    QWidget *dialogParent() const override { return nullptr; }

private:
    dw::DataWindow &m_dw;
};

// The yardstick a developer would otherwise write: QSqlQueryModel under a
// QSortFilterProxyModel, sorting locale-aware.
struct QtFigures
{
    double load = 0;
    double sortAscending = 0;
    double sortDescending = 0;
    double sortTwoKeys = 0;
    double filter = 0;
    double unfilter = 0;
    double rssMb = 0;
    int runs = 0;
};

QtFigures qtYardstick(const QString &database, const QString &select, int runs)
{
    QtFigures figures;
    figures.runs = runs;
    const QString connection = u"dwbench"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(database);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (!db.open()) {
            QTextStream(stderr) << "dwbench: QSQLITE: " << db.lastError().text() << "\n";
            QSqlDatabase::removeDatabase(connection);
            return figures;
        }
#ifdef __GLIBC__
        malloc_trim(0);
#endif
        const double before = bench::currentRssMb();
        bench::resetPeakRss();
        std::vector<double> load, ascending, descending, twoKeys, filter, unfilter;
        for (int run = 0; run < runs; ++run) {
            QSqlQueryModel model;
            load.push_back(timed([&] {
                model.setQuery(QSqlQuery(select, db));
                while (model.canFetchMore())
                    model.fetchMore();
            }));
            QSortFilterProxyModel proxy;
            proxy.setSortLocaleAware(true);
            proxy.setSourceModel(&model);
            ascending.push_back(timed([&] { proxy.sort(0, Qt::AscendingOrder); }));
            descending.push_back(timed([&] { proxy.sort(0, Qt::DescendingOrder); }));
            // Two keys: the proxy sorts stably, so the minor key first, then the major one.
            twoKeys.push_back(timed([&] {
                proxy.sort(0, Qt::AscendingOrder);
                proxy.sort(1, Qt::AscendingOrder);
            }));
            proxy.setFilterKeyColumn(1);
            filter.push_back(timed([&] {
                proxy.setFilterRegularExpression(QRegularExpression(u"^Miembro del CTA$"_s));
                (void)proxy.rowCount();
            }));
            unfilter.push_back(timed([&] {
                proxy.setFilterRegularExpression(QRegularExpression());
                (void)proxy.rowCount();
            }));
            figures.rssMb = std::max(figures.rssMb, bench::peakRssMb() - before);
        }
        figures.load = bench::median(load);
        figures.sortAscending = bench::median(ascending);
        figures.sortDescending = bench::median(descending);
        figures.sortTwoKeys = bench::median(twoKeys);
        figures.filter = bench::median(filter);
        figures.unfilter = bench::median(unfilter);
    }
    QSqlDatabase::removeDatabase(connection);
    return figures;
}

void measureSize(const bench::Options &options, long members)
{
    const QString n = u"n=%1"_s.arg(members);
    const QString sample = bench::sampleOf(options, members);
    if (sample.isEmpty()) {
        bench::report({u"op=engine"_s, n, u"error=no_sample"_s});
        return;
    }
    const QString database = QDir(sample).filePath(u"zemparol.mdb"_s);
    const bench::ReportingInteraction reporting;

    dw::Transaction transaction;
    transaction.DBMS = u"ODBC"_s;
    transaction.DBParm
        = u"ConnectString='Driver={Microsoft Access Driver (*.mdb)}; DBQ=%1;UID=admin;PWD=t4m9x2q7w805',"
          "ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'"_s.arg(database);
    transaction.connect();
    if (transaction.SQLCode != 0) {
        bench::report({u"op=engine"_s, n, u"error=no_connection"_s});
        return;
    }

    auto dw = std::make_unique<dw::DataWindow>();
    if (!dw->setDataObject(u"dw_listado_grid"_s)) {
        bench::report({u"op=engine"_s, n, u"error=no_layout"_s});
        return;
    }
    dw->SetTransObject(&transaction);
    const QString select = dw->selectSql();
    const int runs = options.repeats;

    // The plain loop runs first, so the memory it holds is given back before the data
    // window's is measured.
    std::vector<double> rawTimes;
    bench::RawResult raw;
    for (int run = 0; run < runs; ++run) {
        raw = bench::plainLoop(database, select);
        rawTimes.push_back(raw.ms);
    }
    const double rawMs = bench::median(rawTimes);

#ifdef __GLIBC__
    malloc_trim(0); // memory freed by earlier measurements must not hide what this one takes
#endif
    const double baseline = bench::currentRssMb();
    bench::resetPeakRss();
    auto appender = std::make_unique<Appender>(*dw);

    // Retrieval against the plain loop over the same statement.
    long rows = 0;
    const double retrieve = medianOf(runs, [&] { return timed([&] { rows = dw->Retrieve(); }); });
    const double peak = bench::peakRssMb() - baseline;
    bench::report({u"op=retrieve"_s, n, u"rows=%1"_s.arg(rows), u"ms=%1"_s.arg(ms(retrieve)),
                   u"raw_ms=%1"_s.arg(ms(rawMs)), u"ratio=%1"_s.arg(ratio(retrieve, rawMs)),
                   u"target=1.3"_s});

    // Sort and filter on the retrieved listing.
    const auto sortTime = [&](const QString &criteria) {
        return medianOf(runs, [&] {
            (void)dw->SetSort(u""_s); // empty, not null: null would ask the user
            (void)dw->Sort();
            return timed([&] {
                (void)dw->SetSort(criteria);
                (void)dw->Sort();
            });
        });
    };
    const double sortAscending = sortTime(u"nombre A"_s);
    const double sortDescending = medianOf(runs, [&] {
        (void)dw->SetSort(u"nombre A"_s);
        (void)dw->Sort();
        return timed([&] {
            (void)dw->SetSort(u"nombre D"_s);
            (void)dw->Sort();
        });
    });
    const double sortTwoKeys = sortTime(u"tipo_miembro_red A, nombre A"_s);
    long kept = 0;
    std::vector<double> filterTimes, unfilterTimes;
    for (int run = 0; run < runs; ++run) {
        filterTimes.push_back(timed([&] {
            (void)dw->SetFilter(kFilter);
            (void)dw->Filter();
        }));
        kept = dw->RowCount();
        unfilterTimes.push_back(timed([&] {
            (void)dw->SetFilter(QString(u""_s));
            (void)dw->Filter();
        }));
    }
    const long afterUnfilter = dw->RowCount();
    const double peakWithSorts = bench::peakRssMb() - baseline;

    // The any-field search, with and without ucase.
    const auto searchTime = [&](const QString &condition, long &found) {
        appender->condition = condition;
        const double time = medianOf(runs, [&] { return timed([&] { found = dw->Retrieve(); }); });
        appender->condition.clear();
        return time;
    };
    long found = 0;
    long scanned = 0;
    const double search = searchTime(kSearch, found);
    const double scan = searchTime(kScan, scanned);
    bench::report({u"op=search"_s, n, u"rows=%1"_s.arg(found), u"ms=%1"_s.arg(ms(search)),
                   u"scan_ms=%1"_s.arg(ms(scan)), u"scan_rows=%1"_s.arg(scanned),
                   u"ratio=%1"_s.arg(ratio(search, scan)), u"target=2.5"_s});
    long foldedFound = 0;
    const double folded = searchTime(kSearchFolded, foldedFound);
    bench::report({u"op=search_without_accents"_s, n, u"rows=%1"_s.arg(foldedFound),
                   u"ms=%1"_s.arg(ms(folded)), u"ucase_ms=%1"_s.arg(ms(search)),
                   u"ucase_rows=%1"_s.arg(found), u"ratio=%1"_s.arg(ratio(folded, search)), u"target=1.1"_s});
    const double searchNone = searchTime(kSearchNone, found);
    const double scanNone = searchTime(kScanNone, scanned);
    bench::report({u"op=search_none"_s, n, u"rows=%1"_s.arg(found), u"ms=%1"_s.arg(ms(searchNone)),
                   u"scan_ms=%1"_s.arg(ms(scanNone)), u"ratio=%1"_s.arg(ratio(searchNone, scanNone)),
                   u"target=2.5"_s});
    const double engineRss = bench::peakRssMb(); // the process with the data window, before Qt's model
    appender.reset();
    dw.reset();

    // What a developer would otherwise write, in the same run.
    const int qtRuns = members >= 1000000 ? 1 : runs; // the proxy model needs minutes per run there
    const QtFigures qt = qtYardstick(database, select, qtRuns);
    const auto sortLine = [&](const QString &op, double time, double qtTime) {
        bench::report({u"op=%1"_s.arg(op), n, u"ms=%1"_s.arg(ms(time)), u"qt_ms=%1"_s.arg(ms(qtTime)),
                       u"ratio=%1"_s.arg(ratio(time, qtTime)), u"target_ratio=0.2"_s,
                       u"qt_runs=%1"_s.arg(qt.runs)});
    };
    bench::report({u"op=load_qt"_s, n, u"ms=%1"_s.arg(ms(retrieve)), u"qt_ms=%1"_s.arg(ms(qt.load)),
                   u"ratio=%1"_s.arg(ratio(retrieve, qt.load)), u"qt_runs=%1"_s.arg(qt.runs)});
    sortLine(u"sort_nombre_a"_s, sortAscending, qt.sortAscending);
    sortLine(u"sort_nombre_d"_s, sortDescending, qt.sortDescending);
    sortLine(u"sort_two_keys"_s, sortTwoKeys, qt.sortTwoKeys);
    bench::report({u"op=filter"_s, n, u"rows=%1"_s.arg(kept), u"ms=%1"_s.arg(ms(bench::median(filterTimes))),
                   u"qt_ms=%1"_s.arg(ms(qt.filter)),
                   u"ratio=%1"_s.arg(ratio(bench::median(filterTimes), qt.filter)), u"target_ratio=0.2"_s});
    bench::report({u"op=unfilter"_s, n, u"rows=%1"_s.arg(afterUnfilter),
                   u"ms=%1"_s.arg(ms(bench::median(unfilterTimes))), u"qt_ms=%1"_s.arg(ms(qt.unfilter)),
                   u"ratio=%1"_s.arg(ratio(bench::median(unfilterTimes), qt.unfilter)),
                   u"target_ratio=0.2"_s});
    const double rawMb = double(raw.textBytes) / (1024.0 * 1024.0);
    bench::report({u"op=memory"_s, n, u"rss_mb=%1"_s.arg(ms(engineRss)), u"retrieve_mb=%1"_s.arg(ms(peak)),
                   u"with_sorts_mb=%1"_s.arg(ms(peakWithSorts)), u"raw_text_mb=%1"_s.arg(ms(rawMb)),
                   u"ratio=%1"_s.arg(ratio(peakWithSorts, rawMb)), u"target=3"_s,
                   u"qt_mb=%1"_s.arg(ms(qt.rssMb))});
}

void engine(const bench::Options &options)
{
    for (const long members : options.sizes)
        measureSize(options, members);
}

const bench::BenchRegistrar registrar("engine", engine);

} // namespace
