// The directory on a local PostgreSQL server, reached through its ODBC driver and then
// through its own client library (libpq), as several offices share it: the all-members listing, an any-field
// search and a card, each beside psql copying the same query's rows to nowhere; then eight clients searching
// at once for 30 seconds (searches per second, median and 95th percentile latency).

#include "bench.h"

#include "datawindow.h"
#include "db/transaction.h"
#include "interaction.h"
#include "searchcondition.h"
#include "sql/selectdefinition.h"
#include "support/pgserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

constexpr long kMembers = 100000;
constexpr int kClients = 8;
constexpr int kClientSeconds = 30;
const QStringList kWords = {u"ana"_s, u"uni"_s, u"bio"_s, u"méx"_s, u"quí"_s, u"pro"_s, u"lin"_s, u"mar"_s};

// The rows of a generated directory as COPY text: tab-separated, \N for null, and the
// backslash, tab and line breaks escaped.
QByteArray copyRows(const QString &sqliteFile, QStringList &columns)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(sqliteFile).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    sqlite3_stmt *statement = nullptr;
    if (!db || sqlite3_prepare_v2(db.get(), "SELECT * FROM directorio", -1, &statement, nullptr) != SQLITE_OK)
        return {};
    const int count = sqlite3_column_count(statement);
    for (int c = 0; c < count; ++c)
        columns << QString::fromUtf8(sqlite3_column_name(statement, c));
    QByteArray out;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < count; ++c) {
            if (c)
                out += '\t';
            if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
                out += "\\N";
                continue;
            }
            const char *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, c));
            for (const char *p = text; *p; ++p) {
                switch (*p) {
                case '\\':
                    out += "\\\\";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                default:
                    out += *p;
                }
            }
        }
        out += '\n';
    }
    sqlite3_finalize(statement);
    return out;
}

// The table as mdb-schema writes it from an Access file, filled with a generated directory.
bool loadDirectory(const testsupport::PostgresServer &server, const QString &sample, QString &problem)
{
    QStringList columns;
    const QByteArray rows = copyRows(QDir(sample).filePath(u"zemparol.mdb"_s), columns);
    if (rows.isEmpty()) {
        problem = u"cannot read the generated directory"_s;
        return false;
    }
    QString schema;
    QProcess mdbSchema;
    mdbSchema.start(u"mdb-schema"_s, {QStringLiteral(ZEMPAROL_FIXTURES "/zemparol_jet4.mdb"), u"postgres"_s});
    if (!mdbSchema.waitForFinished(60000) || mdbSchema.exitCode() != 0) {
        problem = u"mdb-schema failed"_s;
        return false;
    }
    schema = QString::fromUtf8(mdbSchema.readAllStandardOutput());
    QByteArray script = u"CREATE DATABASE directorio;"_s.toUtf8();
    if (!server.psql(u"postgres"_s, script, problem)
        || !server.psql(u"directorio"_s, schema.toUtf8(), problem))
        return false;
    QStringList quoted;
    for (const QString &column : columns)
        quoted << u'"' + column + u'"';
    script = u"COPY directorio (%1) FROM STDIN;\n"_s.arg(quoted.join(u", "_s)).toUtf8() + rows
        + "\\.\nANALYZE;\n";
    return server.psql(u"directorio"_s, script, problem);
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// psql copying a query's rows to /dev/null: the floor of what any client can do.
double copyMs(const testsupport::PostgresServer &server, const QString &sql, int repeats)
{
    std::vector<double> times;
    for (int run = 0; run < repeats; ++run) {
        QElapsedTimer timer;
        timer.start();
        QString problem;
        if (!server.psql(u"directorio"_s, u"\\copy (%1) TO '/dev/null'"_s.arg(sql).toUtf8(), problem))
            return -1;
        times.push_back(msSince(timer));
    }
    return bench::median(times);
}

// A layout's statement as it goes to the server: with the search condition, translated.
QString sentSql(const QString &dataObject, const QString &condition)
{
    dw::DataWindow layout;
    if (!layout.setDataObject(dataObject))
        return {};
    auto translated = dw::translateSelect(layout.selectSql() + condition, {}, dw::Dialect::PostgreSQL);
    return translated ? translated->sql : QString();
}

// Retrieves the layout with `condition` appended in its preview.
class Searcher final : public dw::DataWindowObserver
{
public:
    explicit Searcher(dw::Transaction &transaction)
    {
        (void)m_listing.setDataObject(u"dw_listado_grid"_s);
        m_listing.SetTransObject(&transaction);
        m_listing.setObserver(this);
    }
    ~Searcher() override { m_listing.setObserver(nullptr); }
    Searcher(const Searcher &) = delete;
    Searcher &operator=(const Searcher &) = delete;

    long search(const QString &condition)
    {
        m_condition = condition;
        return m_listing.Retrieve();
    }

    void sqlPreview(int, int, const QString &sql, int, long) override
    {
        m_listing.SetSQLPreview(sql + m_condition);
    }
    void retrieveEnd(long) override {}
    void layoutChanged() override {}
    void rowsChanged() override {}
    QWidget *dialogParent() const override { return nullptr; }

private:
    dw::DataWindow m_listing;
    QString m_condition;
};

void connect(dw::Transaction &transaction, const QString &connectString)
{
    transaction.DBMS = u"ODBC"_s;
    QString quoted = connectString;
    quoted.replace(u'\'', u"''"_s);
    transaction.DBParm = u"ConnectString='%1'"_s.arg(quoted);
    transaction.connect();
}

template <class Run> double medianMs(int repeats, Run run)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(msSince(timer));
    }
    return bench::median(times);
}

// The peak resident memory, in MB, of a fresh child process that connects with `dbParm`
// and lists every member.
double peakOfListing(const QString &dbParm)
{
    return bench::peakOfRun([&] {
        dw::Transaction transaction;
        transaction.DBMS = u"ODBC"_s;
        transaction.DBParm = dbParm;
        transaction.connect();
        Searcher(transaction).search({});
    });
}

void measure(const bench::Options &options, const testsupport::PostgresServer &server, const QString &path,
             const QString &sample)
{
    const QString connectString
        = server.connectString(u"directorio"_s, testsupport::PostgresServer::password());
    dw::Transaction sqlca;
    connect(sqlca, connectString);
    if (sqlca.SQLCode != 0) {
        bench::report({u"op=server"_s, u"client="_s + path, u"error=no_connection"_s});
        return;
    }

    Searcher listing(sqlca);
    long rows = 0;
    const double all = medianMs(options.repeats, [&] { rows = listing.search({}); });
    const double allCopy = copyMs(server, sentSql(u"dw_listado_grid"_s, {}), options.repeats);
    bench::report({u"op=server_all_members"_s, u"client="_s + path, u"n=%1"_s.arg(rows),
                   u"ms=%1"_s.arg(all, 0, 'f', 1), u"psql_copy_ms=%1"_s.arg(allCopy, 0, 'f', 1),
                   u"ratio=%1"_s.arg(all / allCopy, 0, 'f', 2), u"target_ratio=2"_s});

    // Peak memory of a program that lists every member, beside the built-in driver reading
    // the same rows from the generated file.
    dw::Transaction builtIn;
    if (bench::connectAccess(builtIn, QDir(sample).filePath(u"zemparol.mdb"_s))) {
        const double serverMb = peakOfListing(sqlca.DBParm);
        const double builtInMb = peakOfListing(builtIn.DBParm);
        bench::report({u"op=server_all_members_memory"_s, u"client="_s + path, u"n=%1"_s.arg(rows),
                       u"peak_mb=%1"_s.arg(serverMb, 0, 'f', 1),
                       u"built_in_peak_mb=%1"_s.arg(builtInMb, 0, 'f', 1),
                       u"ratio=%1"_s.arg(serverMb / builtInMb, 0, 'f', 2)});
    }

    const QString anyField = search::condition(true, {}, u"química"_s);
    const double found = medianMs(options.repeats, [&] { rows = listing.search(anyField); });
    const double foundCopy = copyMs(server, sentSql(u"dw_listado_grid"_s, anyField), options.repeats);
    bench::report({u"op=server_any_field_search"_s, u"client="_s + path, u"rows=%1"_s.arg(rows),
                   u"ms=%1"_s.arg(found, 0, 'f', 1), u"psql_copy_ms=%1"_s.arg(foundCopy, 0, 'f', 1),
                   u"ratio=%1"_s.arg(found / foundCopy, 0, 'f', 2)});

    dw::DataWindow card;
    (void)card.setDataObject(u"dw_miembro"_s);
    card.SetTransObject(&sqlca);
    qint64 id = 0;
    const double cardMs = medianMs(options.repeats * 4, [&] {
        id = id % kMembers + 997;
        rows = card.Retrieve({dw::Value(id)});
    });
    bench::report({u"op=server_card"_s, u"client="_s + path, u"rows=%1"_s.arg(rows),
                   u"ms=%1"_s.arg(cardMs, 0, 'f', 2)});

    // Eight clients, each with its own connection, searching one word after another.
    std::vector<std::unique_ptr<dw::Transaction>> connections;
    std::vector<std::unique_ptr<Searcher>> searchers;
    for (int c = 0; c < kClients; ++c) {
        connections.push_back(std::make_unique<dw::Transaction>());
        connect(*connections.back(), connectString);
        searchers.push_back(std::make_unique<Searcher>(*connections.back()));
    }
    std::vector<std::vector<double>> latencies(kClients);
    std::atomic<long> failures{0};
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            for (int n = c; clock.elapsed() < kClientSeconds * 1000; ++n) {
                const QString condition = search::condition(true, {}, kWords.at(n % kWords.size()));
                QElapsedTimer timer;
                timer.start();
                if (searchers[std::size_t(c)]->search(condition) < 0)
                    ++failures;
                latencies[std::size_t(c)].push_back(msSince(timer));
            }
        });
    }
    for (std::thread &client : clients)
        client.join();
    const double seconds = double(clock.elapsed()) / 1000;
    std::vector<double> every;
    for (const auto &client : latencies)
        every.insert(every.end(), client.begin(), client.end());
    std::sort(every.begin(), every.end());
    const auto percentile = [&every](double p) {
        return every.empty() ? 0.0 : every[std::min(every.size() - 1, std::size_t(p * double(every.size())))];
    };
    bench::report({u"op=server_concurrent_search"_s, u"client="_s + path, u"clients=%1"_s.arg(kClients),
                   u"searches=%1"_s.arg(every.size()), u"failures=%1"_s.arg(failures.load()),
                   u"per_s=%1"_s.arg(double(every.size()) / seconds, 0, 'f', 1),
                   u"p50_ms=%1"_s.arg(percentile(0.5), 0, 'f', 1),
                   u"p95_ms=%1"_s.arg(percentile(0.95), 0, 'f', 1), u"target_p95_ms=1000"_s});
}

// Offices at work: 32 clients, each with its own connection, looking a member up (a
// surname or an e-mail taken from the directory itself) once a second, while 4 clients list
// every member over and over, for 60 seconds.
void officeLoad(const QString &connectString, const QString &label)
{
    constexpr int lookupClients = 32;
    constexpr int listingClients = 4;
    constexpr int seconds = 60;
    dw::Transaction probe;
    connect(probe, connectString);
    if (probe.SQLCode != 0) {
        bench::report({u"op=server_load"_s, label, u"error=no_connection"_s});
        return;
    }
    QStringList lookups;
    dw::DbError error;
    auto cursor = probe.connection()->query(
        u"SELECT nombre, email FROM directorio WHERE nombre LIKE '% %' ORDER BY md5(id::text) LIMIT 200"_s,
        {}, error);
    while (cursor && cursor->next()) {
        const auto name = cursor->utf8(0);
        const auto mail = cursor->utf8(1);
        lookups << u"Nombre\t"_s + QString::fromUtf8(name.data(), qsizetype(name.size())).section(u' ', -1);
        if (!mail.empty())
            lookups << u"e-mail\t"_s
                    + QString::fromUtf8(mail.data(), qsizetype(mail.size())).section(u'@', 0, 0);
    }
    cursor.reset();
    if (lookups.isEmpty()) {
        bench::report({u"op=server_load"_s, label, u"error=no_terms"_s});
        return;
    }
    std::vector<std::unique_ptr<dw::Transaction>> connections;
    std::vector<std::unique_ptr<Searcher>> searchers;
    for (int c = 0; c < lookupClients + listingClients; ++c) {
        connections.push_back(std::make_unique<dw::Transaction>());
        connect(*connections.back(), connectString);
        searchers.push_back(std::make_unique<Searcher>(*connections.back()));
    }
    std::vector<std::vector<double>> latencies(std::size_t(lookupClients + listingClients));
    std::atomic<long> failures{0};
    std::atomic<long> listingFailures{0};
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> clients;
    for (int c = 0; c < lookupClients + listingClients; ++c) {
        clients.emplace_back([&, c] {
            const bool lists = c >= lookupClients;
            for (int n = c * 7; clock.elapsed() < seconds * 1000; ++n) {
                const QStringList term = lookups.at(n % lookups.size()).split(u'\t');
                QElapsedTimer timer;
                timer.start();
                const long found = searchers[std::size_t(c)]->search(
                    lists ? QString() : search::condition(false, term.at(0), term.at(1)));
                if (found < 0)
                    ++(lists ? listingFailures : failures);
                latencies[std::size_t(c)].push_back(msSince(timer));
                if (!lists)
                    std::this_thread::sleep_for(std::chrono::seconds(1));
            }
        });
    }
    for (std::thread &client : clients)
        client.join();
    const auto percentiles = [&](int from, int to) {
        std::vector<double> every;
        for (int c = from; c < to; ++c)
            every.insert(every.end(), latencies[std::size_t(c)].begin(), latencies[std::size_t(c)].end());
        std::sort(every.begin(), every.end());
        const auto at = [&every](double p) {
            return every.empty() ? 0.0
                                 : every[std::min(every.size() - 1, std::size_t(p * double(every.size())))];
        };
        return std::tuple{every.size(), at(0.5), at(0.95), at(0.99)};
    };
    const auto [looked, p50, p95, p99] = percentiles(0, lookupClients);
    const auto [listed, l50, l95, l99] = percentiles(lookupClients, lookupClients + listingClients);
    (void)l99;
    bench::report({u"op=server_load"_s, label, u"lookup_clients=%1"_s.arg(lookupClients),
                   u"lookups=%1"_s.arg(looked), u"per_s=%1"_s.arg(double(looked) / seconds, 0, 'f', 1),
                   u"p50_ms=%1"_s.arg(p50, 0, 'f', 1), u"p95_ms=%1"_s.arg(p95, 0, 'f', 1),
                   u"p99_ms=%1"_s.arg(p99, 0, 'f', 1), u"failures=%1"_s.arg(failures.load()),
                   u"listing_clients=%1"_s.arg(listingClients), u"listings=%1"_s.arg(listed),
                   u"listing_p50_ms=%1"_s.arg(l50, 0, 'f', 1), u"listing_p95_ms=%1"_s.arg(l95, 0, 'f', 1),
                   u"listing_failures=%1"_s.arg(listingFailures.load()), u"target_p95_ms=250"_s});
}

// Answers every message with nothing, so a failing search is counted instead of waiting.
class SilentInteraction final : public dw::Interaction
{
public:
    SilentInteraction() { dw::setInteraction(this); }
    ~SilentInteraction() override { dw::setInteraction(nullptr); }
    SilentInteraction(const SilentInteraction &) = delete;
    SilentInteraction &operator=(const SilentInteraction &) = delete;

    void messageBox(QWidget *, const QString &, const QString &) override {}
    int printerSetup(QWidget *, QPrinter &, bool) override { return -1; }
    std::optional<dw::SaveTarget> askSaveAs(QWidget *, const dw::SaveTarget &) override
    {
        return std::nullopt;
    }
    int sortDialog(QWidget *, const dw::DataWindow &, QString &) override { return 0; }
    int filterDialog(QWidget *, const dw::DataWindow &, QString &) override { return 0; }
    bool keyDown(int) override { return false; }
    QAction *popMenu(QMenu &, const QPoint &) override { return nullptr; }
};

void serverBenchmark(const bench::Options &options)
{
    const QString reason = testsupport::PostgresServer::unavailableReason();
    if (!reason.isEmpty()) {
        bench::report({u"op=server"_s, u"skipped=\"%1\""_s.arg(reason)});
        return;
    }
    const QString sample = bench::sampleOf(options, kMembers);
    testsupport::PostgresServer server;
    QString problem;
    if (sample.isEmpty() || !server.start(problem) || !loadDirectory(server, sample, problem)) {
        bench::report({u"op=server"_s, u"error=\"%1\""_s.arg(problem)});
        return;
    }
    const SilentInteraction silent;
    measure(options, server, u"odbc"_s, sample);
    server.setClient(testsupport::PostgresServer::Client::Libpq);
    measure(options, server, u"libpq"_s, sample);

    // The offices' load on the client library's path, without and with the trigram indexes
    // of the README.
    const QString libpq = server.connectString(u"directorio"_s, testsupport::PostgresServer::password());
    officeLoad(libpq, u"index=none"_s);
    if (server.psql(
            u"directorio"_s,
            "CREATE EXTENSION IF NOT EXISTS pg_trgm;"
            "CREATE INDEX directorio_todo_trgm ON directorio USING gin (upper(todo) gin_trgm_ops);"
            "CREATE INDEX directorio_nombre_trgm ON directorio USING gin (upper(nombre) gin_trgm_ops);"
            "CREATE INDEX directorio_email_trgm ON directorio USING gin (upper(email) gin_trgm_ops);"
            "ANALYZE directorio;",
            problem))
        officeLoad(libpq, u"index=trigram"_s);
    else
        bench::report({u"op=server_load"_s, u"index=trigram"_s, u"error=\"%1\""_s.arg(problem)});
}

const bench::BenchRegistrar registrar("server", serverBenchmark);

} // namespace
