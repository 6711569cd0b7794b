#include "db/accesscache.h"

#include "db/isolatedimport.h"
#include "db/sqliteconnection.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw {

namespace {

// Enough pages to cover the header, the catalog's start and the first table definitions.
constexpr qint64 HashedBytes = 64 * 1024;
constexpr int KeptCaches = 3;
constexpr char Suffix[] = ".sqlite";

std::atomic<int> imports{0};

// Size, modification time and the first pages make one state of the file; the key is 64
// bits of their hash (0 when the file cannot be read).
quint64 cacheKey(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QFileInfo info(file);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(info.size()) + ':'
                 + QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + ':');
    hash.addData(file.read(HashedBytes));
    const QByteArray digest = hash.result();
    quint64 key = 0;
    std::memcpy(&key, digest.constData(), sizeof key);
    return key == 0 ? 1 : key;
}

QString cachePath(const QString &path)
{
    const QByteArray name = QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha256);
    return QDir(accessCacheDirectory())
        .filePath(QString::fromLatin1(name.toHex().left(32)) + QLatin1StringView(Suffix));
}

SqliteHandle openFile(const QString &file, int flags)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, flags, nullptr);
    return SqliteHandle(raw);
}

// The key lives in the two free 32-bit fields of the SQLite header, so the cache holds
// exactly the Access file's tables and nothing a query could see.
qint64 integerPragma(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

quint64 headerKey(sqlite3 *db)
{
    return quint64(quint32(integerPragma(db, "PRAGMA application_id"))) << 32
        | quint32(integerPragma(db, "PRAGMA user_version"));
}

bool writeHeaderKey(sqlite3 *db, quint64 key)
{
    const QByteArray sql = "PRAGMA application_id=" + QByteArray::number(qint32(key >> 32))
        + "; PRAGMA user_version=" + QByteArray::number(qint32(key & 0xffffffffU));
    return sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The cache when it holds `key` and reads back whole; anything else is not used.
SqliteHandle openValid(const QString &file, quint64 key, bool checkPages)
{
    const QByteArray uri = "file:" + QFile::encodeName(file).toPercentEncoding("/") + "?mode=ro&immutable=1";
    SqliteHandle db = openFile(QString::fromUtf8(uri), readOnlyOpenFlags());
    if (!db)
        return nullptr;
    enableMappedReads(db.get());
    if (headerKey(db.get()) != key)
        return nullptr;
    if (!checkPages)
        return db;
    // Bytes damaged on disk show here rather than as wrong rows later.
    sqlite3_stmt *statement = nullptr;
    bool whole = false;
    if (sqlite3_prepare_v2(db.get(), "PRAGMA quick_check(1)", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
        whole = text && qstrcmp(text, "ok") == 0;
    }
    sqlite3_finalize(statement);
    return whole ? std::move(db) : nullptr;
}

// Marks the cache as used now, so pruning keeps it.
void touch(const QString &file)
{
    ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), nullptr, 0);
}

// Keeps the most recently used caches, and never the one just opened.
void prune(const QString &keep)
{
    const QDir folder(accessCacheDirectory());
    const QFileInfoList caches
        = folder.entryInfoList({u'*' + QLatin1StringView(Suffix)}, QDir::Files, QDir::Time);
    int kept = 0;
    for (const QFileInfo &cache : caches) {
        if (cache.absoluteFilePath() == keep || ++kept < KeptCaches)
            continue;
        QFile::remove(cache.absoluteFilePath());
    }
    // What an import killed half-way left behind.
    const QDateTime stale = QDateTime::currentDateTime().addDays(-1);
    for (const QFileInfo &left : folder.entryInfoList({QStringLiteral("*.tmp")}, QDir::Files)) {
        if (left.lastModified() < stale)
            QFile::remove(left.absoluteFilePath());
    }
}

// An empty file only the user can read or write, for the import to fill.
bool createPrivate(const QString &file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Imports into a private temporary file beside the cache, stamps it with the key, and puts
// it in place with one rename: a reader sees the old cache or the new one, never half.
bool rebuild(const QString &source, const QString &target, quint64 key, QString &problem)
{
    const QString temporary = target + QStringLiteral(".%1.tmp").arg(::getpid());
    QFile::remove(temporary);
    if (!QDir().mkpath(accessCacheDirectory()) || !createPrivate(temporary)) {
        problem = QStringLiteral("no se puede escribir la copia local en %1").arg(accessCacheDirectory());
        return false;
    }
    ++imports;
    bool done = importJetIsolated(source, temporary, problem);
    if (done) {
        SqliteHandle db = openFile(temporary, SQLITE_OPEN_READWRITE);
        done = db && writeHeaderKey(db.get(), key);
        db.reset();
        if (!done)
            problem = QStringLiteral("no se puede escribir la copia local en %1").arg(accessCacheDirectory());
    }
    // Not flushed to disk first: a cache cut short by a crash fails its check and is made again.
    done = done
        && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0;
    if (!done) {
        QFile::remove(temporary);
        if (problem.isEmpty())
            problem = QStringLiteral("no se puede escribir la copia local en %1").arg(accessCacheDirectory());
    }
    return done;
}

} // namespace

QString accessCacheDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("access"));
}

int accessImportCount()
{
    return imports.load();
}

SqliteHandle openAccessThroughCache(const QString &path, QString &problem)
{
    const quint64 key = cacheKey(path);
    if (key == 0) {
        problem = QStringLiteral("no se puede leer el archivo");
        return nullptr;
    }
    const QString cache = cachePath(path);
    if (SqliteHandle db = openValid(cache, key, true)) {
        touch(cache);
        return db;
    }
    // Missing, stale or damaged: it is never shown, only replaced.
    if (!rebuild(path, cache, key, problem))
        return nullptr;
    prune(cache);
    // Just written and renamed into place: its pages need no second reading.
    SqliteHandle db = openValid(cache, key, false);
    if (!db)
        problem = QStringLiteral("la copia local en %1 no se puede leer").arg(accessCacheDirectory());
    return db;
}

} // namespace dw
