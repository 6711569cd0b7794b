#include "db/accesscache.h"

#include "db/isolatedimport.h"
#include "db/privatecopy.h"
#include "db/sqliteconnection.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw {

namespace {

constexpr int KeptCaches = 3;
constexpr char Suffix[] = ".sqlite";
// The file is hashed in blocks of this many bytes.
constexpr std::size_t HashBlock = 1024 * 1024;

std::atomic<int> imports{0};

// A fast 64-bit hash of every byte of the file (four independent multiply-rotate lanes over
// 8-byte words, then the length): a change anywhere in the file changes the key, whatever
// its size and times say, since copies and backups restore a file's modification time.
// Not a defence against someone who forges a collision, only against stale data.
class ContentHash
{
public:
    void add(const unsigned char *bytes, std::size_t size)
    {
        std::size_t at = 0;
        for (; at + 32 <= size; at += 32) {
            for (int lane = 0; lane < 4; ++lane)
                m_lanes[lane] = round(m_lanes[lane], word(bytes + at + 8 * std::size_t(lane)));
        }
        // Only the file's last block may end inside a 32-byte group: pad it with zeros, the
        // length added at the end tells the padding from real zeros.
        if (at < size) {
            unsigned char tail[32] = {};
            std::memcpy(tail, bytes + at, size - at);
            for (int lane = 0; lane < 4; ++lane)
                m_lanes[lane] = round(m_lanes[lane], word(tail + 8 * lane));
        }
        m_length += size;
    }

    [[nodiscard]] quint64 result() const
    {
        quint64 hash = m_length * Prime1;
        for (const quint64 lane : m_lanes)
            hash = (hash ^ round(0, lane)) * Prime1 + Prime4;
        hash ^= hash >> 33;
        hash *= Prime2;
        hash ^= hash >> 29;
        hash *= Prime3;
        return hash ^ (hash >> 32);
    }

private:
    static constexpr quint64 Prime1 = 0x9E3779B185EBCA87ULL;
    static constexpr quint64 Prime2 = 0xC2B2AE3D27D4EB4FULL;
    static constexpr quint64 Prime3 = 0x165667B19E3779F9ULL;
    static constexpr quint64 Prime4 = 0x85EBCA77C2B2AE63ULL;

    static quint64 word(const unsigned char *bytes)
    {
        quint64 value = 0;
        std::memcpy(&value, bytes, sizeof value);
        return qFromLittleEndian(value);
    }
    static quint64 round(quint64 lane, quint64 input)
    {
        lane += input * Prime2;
        lane = (lane << 31) | (lane >> 33);
        return lane * Prime1;
    }

    quint64 m_lanes[4] = {Prime1 + Prime2, Prime2, 0, 0 - Prime1};
    quint64 m_length = 0;
};

// The key of the file's present content: 64 bits of its hash (0 when the file cannot be read
// to its end).
quint64 cacheKey(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<unsigned char> block(HashBlock);
    ContentHash hash;
    bool whole = true;
    for (;;) {
        // Fill the block, so that only the last one is short.
        std::size_t filled = 0;
        while (filled < block.size()) {
            const ssize_t got = ::read(fd, block.data() + filled, block.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                whole = got == 0;
                break;
            }
            filled += std::size_t(got);
        }
        hash.add(block.data(), filled);
        if (filled < block.size() || !whole)
            break;
    }
    ::close(fd);
    if (!whole)
        return 0;
    const quint64 key = hash.result();
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
    if (!folder || !createPrivate(file)) {
        problem = cannotWrite(QDir::tempPath(), errno == ENOSPC || errno == EDQUOT);
        return nullptr;
    }
    const Outcome outcome = importInto(source, file, QDir::tempPath(), problem);
    if (outcome != Outcome::Done) {
        if (outcome == Outcome::Damaged)
            failure = AccessImportFailure::Damaged;
        return nullptr;
    }
    QString detail;
    SqliteHandle db = openAndForget(file, detail);
    if (!db)
        problem = cannotWrite(QDir::tempPath(), false) + QStringLiteral(" (") + detail + u')';
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
