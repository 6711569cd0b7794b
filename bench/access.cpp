// Access directories through the built-in driver, per size, next to their yardsticks:
//   access_start_hit   connect + read every member, import cache valid  vs the same data as SQLite
//   access_start_miss  the same with no cache (import in the child)     vs mdb-export of the table
//   access_memory      peak resident memory of program + import child   vs the SQLite path
//   access_freshness   the change check made before every retrieval (microseconds)
// Real Jet 4 files come from ../shared/tools/jet/make-jet.sh (or $MAKE_JET); without it the
// measurement says so and is skipped. Sizes above 100,000 are skipped (slow to generate).

#include "bench.h"

#include "db/accesscache.h"
#include "db/filestamp.h"
#include "db/transaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

QString makeJetScript(const bench::Options &options)
{
    const QString configured = qEnvironmentVariable("MAKE_JET");
    if (!configured.isEmpty())
        return configured;
    for (QDir dir(options.workDir); !dir.isRoot(); dir.cdUp()) {
        const QString candidate = dir.filePath(u"shared/tools/jet/make-jet.sh"_s);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QFileInfo::exists(u"/work/shared/tools/jet/make-jet.sh"_s)
        ? u"/work/shared/tools/jet/make-jet.sh"_s
        : QString();
}

QString accessFileOf(const bench::Options &options, const QString &script, long members)
{
    const QString file = QDir(options.workDir).filePath(u"access_%1/zemparol.mdb"_s.arg(members));
    if (QFileInfo::exists(file))
        return file;
    QDir().mkpath(QFileInfo(file).path());
    QProcess make;
    make.start(script, {file, QString::number(members)});
    if (!make.waitForFinished(-1) || make.exitCode() != 0) {
        QTextStream(stderr) << "dwbench: " << script << " failed: " << make.readAllStandardError() << "\n";
        return {};
    }
    return file;
}

// Connects as the program does and reads every member's every column once.
qint64 startAndRead(const QString &file)
{
    dw::Transaction transaction;
    transaction.DBMS = u"ODBC"_s;
    transaction.DBParm
        = u"ConnectString='Driver={Microsoft Access Driver (*.mdb)};DBQ=%1;UID=admin;PWD='"_s.arg(file);
    transaction.connect();
    if (!transaction.isConnected()) {
        QTextStream(stderr) << "dwbench: " << transaction.SQLErrText << "\n";
        return -1;
    }
    dw::DbError error;
    auto cursor = transaction.connection()->query(u"SELECT * FROM directorio"_s, {}, error);
    qint64 rows = 0;
    qint64 bytes = 0;
    while (cursor && cursor->next()) {
        for (int i = 0; i < cursor->columnCount(); ++i)
            bytes += qint64(cursor->utf8(i).size());
        ++rows;
    }
    return bytes > 0 ? rows : -1;
}

double timed(const std::function<void()> &work, int repeats)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return bench::median(times);
}

void measure(const bench::Options &options)
{
    const QString script = makeJetScript(options);
    if (script.isEmpty()) {
        bench::report({u"op=access"_s, u"skipped=make-jet.sh_not_found"_s});
        return;
    }
    for (const long members : options.sizes) {
        if (members > 100000)
            continue;
        const QString file = accessFileOf(options, script, members);
        if (file.isEmpty())
            continue;
        const QString cacheFolder = dw::accessCacheDirectory();
        // The same data as SQLite: the cache the import wrote is exactly those tables.
        QDir(cacheFolder).removeRecursively();
        if (startAndRead(file) != members)
            continue;
        const QString sqlite
            = QDir(options.workDir).filePath(u"access_%1_sqlite/zemparol.mdb"_s.arg(members));
        QDir().mkpath(QFileInfo(sqlite).path());
        QFile::remove(sqlite);
        QFile::copy(QDir(cacheFolder).entryInfoList({u"*.sqlite"_s}, QDir::Files).value(0).absoluteFilePath(),
                    sqlite);

        const double sqliteMs = timed([&] { (void)startAndRead(sqlite); }, options.repeats);
        const double hitMs = timed([&] { (void)startAndRead(file); }, options.repeats);
        const double missMs = timed(
            [&] {
                QDir(cacheFolder).removeRecursively();
                (void)startAndRead(file);
            },
            options.repeats);
        const double exportMs = timed(
            [&] {
                QProcess exporter;
                exporter.setStandardOutputFile(QProcess::nullDevice());
                exporter.start(u"mdb-export"_s, {file, u"directorio"_s});
                exporter.waitForFinished(-1);
            },
            options.repeats);
        bench::report({u"op=access_start_hit"_s, u"n=%1"_s.arg(members), u"ms=%1"_s.arg(hitMs, 0, 'f', 1),
                       u"sqlite_ms=%1"_s.arg(sqliteMs, 0, 'f', 1),
                       u"ratio=%1"_s.arg(hitMs / sqliteMs, 0, 'f', 2)});
        bench::report({u"op=access_start_miss"_s, u"n=%1"_s.arg(members), u"ms=%1"_s.arg(missMs, 0, 'f', 1),
                       u"mdb_export_ms=%1"_s.arg(exportMs, 0, 'f', 1),
                       u"ratio=%1"_s.arg(missMs / exportMs, 0, 'f', 2)});

        const double sqliteMb = bench::peakOfRun([&] { (void)startAndRead(sqlite); });
        const double missMb = bench::peakOfRun([&] {
            QDir(cacheFolder).removeRecursively();
            (void)startAndRead(file);
        });
        const double hitMb = bench::peakOfRun([&] { (void)startAndRead(file); });
        bench::report({u"op=access_memory"_s, u"n=%1"_s.arg(members), u"miss_mb=%1"_s.arg(missMb, 0, 'f', 1),
                       u"hit_mb=%1"_s.arg(hitMb, 0, 'f', 1), u"sqlite_mb=%1"_s.arg(sqliteMb, 0, 'f', 1),
                       u"ratio=%1"_s.arg(missMb / sqliteMb, 0, 'f', 2)});

        constexpr int checks = 100000;
        const double checkMs = timed(
            [&] {
                for (int i = 0; i < checks; ++i)
                    (void)dw::stampOf(file);
            },
            options.repeats);
        bench::report({u"op=access_freshness"_s, u"n=%1"_s.arg(members),
                       u"us_per_check=%1"_s.arg(checkMs * 1000.0 / checks, 0, 'f', 2)});
    }
}

const bench::BenchRegistrar registrar("access", measure);

} // namespace
