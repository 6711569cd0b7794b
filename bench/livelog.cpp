// A directory file another program keeps writing in WAL mode (its log never checkpointed),
// searched after each member the writer adds:
//   live_log   bytes the driver copies per search (the log only), against the bytes a copy
//              of the file and its log would take; the search's median time, against the
//              same search on the file without a log

#include "bench.h"

#include "db/connection.h"
#include "db/privatecopy.h"
#include "db/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kSearch = u"SELECT count(*) FROM directorio WHERE ucase(nombre) LIKE '%GARC%'"_s;

bool search(dw::Transaction &transaction)
{
    dw::DbError error;
    auto cursor = transaction.connection()->query(kSearch, {}, error);
    return cursor && cursor->next();
}

double kilobytes(qint64 bytes)
{
    return double(bytes) / 1024.0;
}

void liveLog(const bench::Options &options)
{
    for (const long members : options.sizes) {
        const QString sample = bench::sampleOf(options, members);
        if (sample.isEmpty())
            continue;
        const QString folder = QDir(options.workDir).filePath(u"live_%1"_s.arg(members));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const QString file = QDir(folder).filePath(u"zemparol.mdb"_s);
        QFile::copy(QDir(sample).filePath(u"zemparol.mdb"_s), file);

        double plainMs = 0;
        {
            dw::Transaction plain;
            if (!bench::connectAccess(plain, file) || !search(plain)) {
                bench::report({u"op=live_log"_s, u"n=%1"_s.arg(members), u"error=plain"_s});
                continue;
            }
            plainMs = bench::medianOf(options.repeats, [&] { return bench::timed([&] { search(plain); }); });
        }

        sqlite3 *writer = nullptr;
        sqlite3_open(QFile::encodeName(file).constData(), &writer);
        sqlite3_exec(writer, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0", nullptr, nullptr,
                     nullptr);
        dw::Transaction live;
        const bool connected = bench::connectAccess(live, file);
        std::vector<double> copiedKb;
        std::vector<double> times;
        std::vector<double> wholeKb;
        for (int run = 0; connected && run < options.repeats; ++run) {
            const QByteArray change
                = "INSERT INTO directorio (nombre, tipo_miembro_red) VALUES ('Miembro nuevo "
                + QByteArray::number(run + 1) + "', 'Miembro Estudiante')";
            sqlite3_exec(writer, change.constData(), nullptr, nullptr, nullptr);
            const qint64 before = dw::privateCopyBytes();
            times.push_back(bench::timed([&] { search(live); }));
            copiedKb.push_back(kilobytes(dw::privateCopyBytes() - before));
            wholeKb.push_back(kilobytes(QFileInfo(file).size() + QFileInfo(file + u"-wal"_s).size()));
        }
        sqlite3_close(writer);
        if (!connected) {
            bench::report({u"op=live_log"_s, u"n=%1"_s.arg(members), u"error=live"_s});
            continue;
        }
        const double searchMs = bench::median(times);
        bench::report({u"op=live_log"_s, u"n=%1"_s.arg(members),
                       u"copied_kb_per_search=%1"_s.arg(bench::median(copiedKb), 0, 'f', 1),
                       u"file_and_log_kb=%1"_s.arg(bench::median(wholeKb), 0, 'f', 1),
                       u"search_ms="_s + bench::ms(searchMs), u"without_log_ms="_s + bench::ms(plainMs),
                       u"ratio="_s + bench::ratio(searchMs, plainMs)});
    }
}

const bench::BenchRegistrar registrar("live_log", liveLog);

} // namespace
