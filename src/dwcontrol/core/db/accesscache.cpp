#include "db/accesscache.h"

#include "db/filestamp.h"
#include "db/isolatedimport.h"
#include "db/privatecopy.h"
#include "db/sqliteconnection.h"
#include "files/temporaryfolder.h"

#include <sqlite3.h>
#include <xxhash.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw {

namespace {

constexpr int KeptCaches = 3;
constexpr char Suffix[] = ".sqlite";
constexpr char RecordSuffix[] = ".origen";
// The file is hashed in blocks of this many bytes.
constexpr std::size_t HashBlock = 1024 * 1024;

std::atomic<int> imports{0};

} // namespace

quint64 accessFileKey(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> hash(XXH3_createState(), &XXH3_freeState);
    std::vector<unsigned char> block(HashBlock);
    bool whole = hash && XXH3_64bits_reset(hash.get()) == XXH_OK;
    while (whole) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            whole = got == 0;
            break;
        }
        XXH3_64bits_update(hash.get(), block.data(), std::size_t(got));
    }
    ::close(fd);
    if (!whole)
        return 0;
    const quint64 key = XXH3_64bits_digest(hash.get());
    return key == 0 ? 1 : key;
}

namespace {

// What the cache was made from and what it was made as: the key of the Access file's content
// with the file's stamp when it was hashed, and the stamp of the cache file as written. While
// both stamps stay, a start opens the cache without reading the Access file: no tool sets a
// file's change time back (touch, cp -p and rsync -t restore the modification time only),
// so a file rewritten with its size and times kept still shows as changed, and is hashed.
struct CacheRecord
{
    quint64 key = 0;
    FileStamp source;
    FileStamp cache;
};

QString recordPath(const QString &cache)
{
    return cache + QLatin1StringView(RecordSuffix);
}

QByteArray stampText(const FileStamp &stamp)
{
    return QByteArray::number(stamp.device) + ' ' + QByteArray::number(stamp.inode) + ' '
        + QByteArray::number(stamp.size) + ' ' + QByteArray::number(stamp.modifiedNs) + ' '
        + QByteArray::number(stamp.changedNs);
}

std::optional<FileStamp> stampFromText(const QList<QByteArray> &fields, qsizetype from)
{
    if (fields.size() < from + 5)
        return std::nullopt;
    FileStamp stamp;
    bool ok[5] = {};
    stamp.device = fields[from].toULongLong(&ok[0]);
    stamp.inode = fields[from + 1].toULongLong(&ok[1]);
    stamp.size = fields[from + 2].toLongLong(&ok[2]);
    stamp.modifiedNs = fields[from + 3].toLongLong(&ok[3]);
    stamp.changedNs = fields[from + 4].toLongLong(&ok[4]);
    stamp.regular = true;
    return std::all_of(std::begin(ok), std::end(ok), [](bool each) { return each; }) ? std::optional(stamp)
                                                                                     : std::nullopt;
}

// Only what decides whether the record still holds: a file without a log beside it.
bool sameFile(const FileStamp &now, const FileStamp &recorded)
{
    return now.regular && now.logSize < 0 && now.device == recorded.device && now.inode == recorded.inode
        && now.size == recorded.size && now.modifiedNs == recorded.modifiedNs
        && now.changedNs == recorded.changedNs;
}

std::optional<CacheRecord> readRecord(const QString &cache)
{
    QFile file(recordPath(cache));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024)
        return std::nullopt;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    bool ok = false;
    CacheRecord record;
    record.key = fields.value(0).toULongLong(&ok);
    const auto source = stampFromText(fields, 1);
    const auto made = stampFromText(fields, 6);
    if (!ok || record.key == 0 || !source || !made)
        return std::nullopt;
    record.source = *source;
    record.cache = *made;
    return record;
}

// Written beside and renamed into place, readable only by the user; a record that cannot be
// written costs a hash at the next start, nothing more.
void writeRecord(const QString &cache, quint64 key, const FileStamp &source)
{
    const std::optional<FileStamp> made = stampOf(cache);
    if (!made)
        return;
    const QString target = recordPath(cache);
    const QString temporary = target + QStringLiteral(".%1.tmp").arg(::getpid());
    const int fd
        = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const QByteArray text = QByteArray::number(key) + ' ' + stampText(source) + ' ' + stampText(*made) + '\n';
    const bool written = ::write(fd, text.constData(), std::size_t(text.size())) == text.size();
    ::close(fd);
    if (!written
        || ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0)
        ::unlink(QFile::encodeName(temporary).constData());
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

// Marks the cache as used now, so pruning keeps it: on its record, since the cache file's
// own times are part of what the record says about it.
void touch(const QString &cache)
{
    ::utimensat(AT_FDCWD, QFile::encodeName(recordPath(cache)).constData(), nullptr, 0);
}

// When a cache was last used: its record's time, else its own.
QDateTime lastUsed(const QFileInfo &cache)
{
    const QFileInfo record(recordPath(cache.absoluteFilePath()));
    return record.exists() ? record.lastModified() : cache.lastModified();
}

// Keeps the most recently used caches, and never the one just opened.
void prune(const QString &keep)
{
    const QDir folder(accessCacheDirectory());
    QFileInfoList caches = folder.entryInfoList({u'*' + QLatin1StringView(Suffix)}, QDir::Files);
    std::sort(caches.begin(), caches.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return lastUsed(a) > lastUsed(b); });
    int kept = 0;
    for (const QFileInfo &cache : caches) {
        if (cache.absoluteFilePath() == keep || ++kept < KeptCaches)
            continue;
        QFile::remove(cache.absoluteFilePath());
        QFile::remove(recordPath(cache.absoluteFilePath()));
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

// What a failed import was stopped by: the Access file, or the copy that could not be written.
enum class Outcome { Done, Damaged, CannotWrite };

QString cannotWrite(const QString &folder, bool diskFull)
{
    return diskFull ? QStringLiteral("no queda espacio en el disco para la copia local en %1").arg(folder)
                    : QStringLiteral("no se puede escribir la copia local en %1").arg(folder);
}

// Imports `source` into the empty private file `target`.
Outcome importInto(const QString &source, const QString &target, const QString &folder, QString &problem)
{
    ++imports;
    ImportWriteFailure writeFailure = ImportWriteFailure::None;
    if (importJetIsolated(source, target, problem, &writeFailure))
        return Outcome::Done;
    if (writeFailure == ImportWriteFailure::None)
        return Outcome::Damaged;
    problem = cannotWrite(folder, writeFailure == ImportWriteFailure::DiskFull);
    return Outcome::CannotWrite;
}

// Imports into a private temporary file beside the cache, stamps it with the key, and puts
// it in place with one rename: a reader sees the old cache or the new one, never half.
Outcome rebuild(const QString &source, const QString &target, quint64 key, QString &problem)
{
    const QString folder = accessCacheDirectory();
    const QString temporary = target + QStringLiteral(".%1.tmp").arg(::getpid());
    QFile::remove(temporary);
    if (!QDir().mkpath(folder) || !createPrivate(temporary)) {
        problem = cannotWrite(folder, errno == ENOSPC || errno == EDQUOT);
        return Outcome::CannotWrite;
    }
    Outcome outcome = importInto(source, temporary, folder, problem);
    if (outcome == Outcome::Done) {
        SqliteHandle db = openFile(temporary, SQLITE_OPEN_READWRITE);
        const bool stamped = db && writeHeaderKey(db.get(), key);
        db.reset();
        // Not flushed to disk first: a cache cut short by a crash fails its check and is made again.
        if (!stamped
            || ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData())
                != 0) {
            problem = cannotWrite(folder, errno == ENOSPC || errno == EDQUOT);
            outcome = Outcome::CannotWrite;
        }
    }
    if (outcome != Outcome::Done)
        QFile::remove(temporary);
    return outcome;
}

// The import for this connection alone, when the cache folder cannot take it: a private
// file under the temporary folder that is gone from the disk once open.
SqliteHandle importPrivately(const QString &source, QString &problem, AccessImportFailure &failure)
{
    failure = AccessImportFailure::LocalCopy;
    const std::unique_ptr<QTemporaryDir> folder = makeScratchFolder();
    const QString file = folder ? folder->filePath(QStringLiteral("importado.sqlite")) : QString();
    const QString where = folder ? QFileInfo(folder->path()).absolutePath() : intendedTemporaryFolder();
    if (!folder || !createPrivate(file)) {
        problem = cannotWrite(where, errno == ENOSPC || errno == EDQUOT);
        return nullptr;
    }
    const Outcome outcome = importInto(source, file, where, problem);
    if (outcome != Outcome::Done) {
        if (outcome == Outcome::Damaged)
            failure = AccessImportFailure::Damaged;
        return nullptr;
    }
    QString detail;
    SqliteHandle db = openAndForget(file, detail);
    if (!db)
        problem = cannotWrite(where, false) + QStringLiteral(" (") + detail + u')';
    return db;
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

SqliteHandle openAccessThroughCache(const QString &path, QString &problem, AccessImportFailure &failure)
{
    failure = AccessImportFailure::Damaged;
    const QString cache = cachePath(path);
    // Stamped before anything is read: a change made meanwhile shows at the next start.
    const std::optional<FileStamp> source = stampOf(path);
    if (const std::optional<CacheRecord> record = source ? readRecord(cache) : std::nullopt) {
        const std::optional<FileStamp> made = stampOf(cache);
        if (sameFile(*source, record->source) && made && sameFile(*made, record->cache)) {
            if (SqliteHandle db = openValid(cache, record->key, false)) {
                touch(cache);
                failure = AccessImportFailure::None;
                return db;
            }
        }
    }
    const quint64 key = accessFileKey(path);
    if (key == 0) {
        problem = QStringLiteral("no se puede leer el archivo");
        return nullptr;
    }
    if (SqliteHandle db = openValid(cache, key, true)) {
        if (source)
            writeRecord(cache, key, *source);
        touch(cache);
        failure = AccessImportFailure::None;
        return db;
    }
    // Missing, stale or damaged: it is never shown, only replaced.
    switch (rebuild(path, cache, key, problem)) {
    case Outcome::Damaged:
        return nullptr;
    case Outcome::CannotWrite: {
        // A folder that cannot take the cache costs only the import at every start.
        const QString cacheProblem = problem;
        SqliteHandle db = importPrivately(path, problem, failure);
        if (db) {
            failure = AccessImportFailure::None;
            qWarning("zemparol: %s; se usa una copia temporal mientras dure la conexión",
                     qPrintable(cacheProblem));
        } else if (failure == AccessImportFailure::LocalCopy) {
            problem = cacheProblem + QStringLiteral(", y ") + problem;
        }
        return db;
    }
    case Outcome::Done:
        break;
    }
    if (source)
        writeRecord(cache, key, *source);
    prune(cache);
    // Just written and renamed into place: its pages need no second reading.
    SqliteHandle db = openValid(cache, key, false);
    if (!db) {
        problem = QStringLiteral("la copia local en %1 no se puede leer").arg(accessCacheDirectory());
        failure = AccessImportFailure::LocalCopy;
    } else {
        failure = AccessImportFailure::None;
    }
    return db;
}

} // namespace dw
