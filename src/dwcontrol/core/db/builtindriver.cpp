#include "db/builtindriver.h"

#include "db/accesscache.h"
#include "db/errors.h"
#include "db/filestamp.h"
#include "db/inplacefile.h"
#include "db/jetheader.h"
#include "db/privatecopy.h"
#include "db/sqliteconnection.h"
#include "files/temporaryfolder.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw {

namespace {

constexpr char SqliteMagic[] = "SQLite format 3";
constexpr qsizetype SqliteHeaderSize = 100;
// Enough for the SQLite header and for page 0 of any Jet file.
constexpr qint64 StartBytes = 4096;
constexpr qint64 JetMaximumSize = qint64(2) * 1024 * 1024 * 1024;

QString quote(const QString &path)
{
    return u'«' + path + u'»';
}

DbError corrupt(const QString &path, const QString &detail = {})
{
    QString text = QStringLiteral("El archivo de base de datos %1 está dañado o incompleto").arg(quote(path));
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return makeError(dberror::Corrupt, text + u'.');
}

// The header's own account of the file's length must fit in the file, or pages are missing.
bool sqliteHeaderFits(QByteArrayView header, qint64 fileSize)
{
    if (header.size() < SqliteHeaderSize)
        return false;
    const auto *bytes = reinterpret_cast<const uchar *>(header.data());
    quint32 pageSize = qFromBigEndian<quint16>(bytes + 16);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return false;
    const quint32 changeCounter = qFromBigEndian<quint32>(bytes + 24);
    const quint32 pageCount = qFromBigEndian<quint32>(bytes + 28);
    const quint32 validFor = qFromBigEndian<quint32>(bytes + 92);
    if (pageCount != 0 && changeCounter == validFor)
        return qint64(pageCount) * pageSize <= fileSize;
    return fileSize % pageSize == 0;
}

// SQLite writes 2 in the header's read and write version bytes of a file in WAL mode.
bool walMode(QByteArrayView header)
{
    return header.size() >= SqliteHeaderSize && (header[18] == 2 || header[19] == 2);
}

QByteArray fileUri(const QString &path)
{
    return "file:" + QFile::encodeName(path).toPercentEncoding("/") + "?mode=ro";
}

// SQLite must roll back a journal a writer left when it stopped half-way before the file can
// be read, and this driver never writes the file.
DbError leftoverJournal(const QString &path)
{
    return makeError(dberror::LeftoverJournal,
                     QStringLiteral("El archivo de base de datos %1 tiene cambios a medias de un programa "
                                    "que se interrumpió mientras lo escribía (queda su archivo -journal); "
                                    "ábralo una vez con el programa que lo mantiene para completarlos o "
                                    "deshacerlos.")
                         .arg(quote(path)));
}

// What an open database needs kept alive.
struct OpenDatabase
{
    std::unique_ptr<Connection> connection;
};

DbError missingFile(const QString &path)
{
    return makeError(dberror::FileMissing,
                     QStringLiteral("No se encuentra el archivo de base de datos %1.").arg(quote(path)));
}

DbError unreadableFile(const QString &path)
{
    return makeError(dberror::FileUnreadable,
                     QStringLiteral("No se puede leer el archivo de base de datos %1 (sin "
                                    "permiso de lectura o bloqueado).")
                         .arg(quote(path)));
}

DbError notAFile(const QString &path, const QString &what)
{
    return makeError(dberror::FileUnreadable,
                     QStringLiteral("%1 no es un archivo de base de datos (es %2).").arg(quote(path), what));
}

// Why a file that could not be opened or looked at cannot be read, from the system's own
// answer `code` (an errno value).
DbError fileProblem(const QString &path, int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return missingFile(path);
    case ELOOP:
        return makeError(dberror::FileUnreadable,
                         QStringLiteral("No se puede llegar al archivo de base de datos %1: sus enlaces "
                                        "simbólicos forman un ciclo.")
                             .arg(quote(path)));
    case ENXIO: {
        struct stat info
        {
        };
        if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode))
            return notAFile(path, QStringLiteral("un socket"));
        return notAFile(path, QStringLiteral("un dispositivo sin conectar"));
    }
    case ENAMETOOLONG:
        return makeError(
            dberror::FileUnreadable,
            QStringLiteral("El nombre del archivo de base de datos %1 es demasiado largo.").arg(quote(path)));
    default:
        return unreadableFile(path);
    }
}

// The same for a file that stat() could not look at.
DbError statProblem(const QString &path)
{
    struct stat info
    {
    };
    return fileProblem(path, ::stat(QFile::encodeName(path).constData(), &info) == 0 ? EACCES : errno);
}

// A file in WAL mode is read where it lies, with a private copy of its log when the log
// holds changes (SQLite would otherwise create its shared-memory file beside the database),
// made anew only when the log or the file changed; the copy loses its name once open, so it
// never outlives the connection. A writer that checkpoints while a reading runs stops that
// reading; the freshness check then opens the file again. A file whose name is too long for
// SQLite is read the same way.
SqliteHandle openInPrivateFolder(const QString &path, bool withLog, DbError &error)
{
    const auto failed = [&](const QString &why) {
        error = makeError(dberror::FileUnreadable,
                          QStringLiteral("No se puede leer el archivo de base de datos %1 junto con su "
                                         "registro de cambios (-wal): %2.")
                              .arg(quote(path), why));
        return nullptr;
    };
    // Stamped before the log is copied: a checkpoint after this moment fails the reading.
    const std::optional<FileStamp> before = stampOf(path);
    if (!before) {
        error = statProblem(path);
        return nullptr;
    }
    const std::unique_ptr<QTemporaryDir> folder = makeScratchFolder();
    if (!folder)
        return failed(
            QStringLiteral("no se puede escribir en la carpeta temporal %1").arg(intendedTemporaryFolder()));
    // SQLite gives the log the permissions of the file beside it: an empty stand-in.
    const QString scratch = folder->filePath(QStringLiteral("base.sqlite"));
    QFile standIn(scratch);
    if (!standIn.open(QIODevice::WriteOnly))
        return failed(QStringLiteral("no se puede escribir en la carpeta temporal %1").arg(folder->path()));
    standIn.close();
    bool diskFull = false;
    if (withLog && !copyWhole(path + QStringLiteral("-wal"), scratch + QStringLiteral("-wal"), &diskFull))
        return failed(
            diskFull
                ? QStringLiteral("no queda espacio en el disco de la carpeta temporal %1").arg(folder->path())
                : QStringLiteral("no se puede copiar a la carpeta temporal %1").arg(folder->path()));
    QString problem;
    SqliteHandle db = openInPlace(path, *before, scratch, problem);
    if (!db)
        error = corrupt(path, problem);
    return db;
}

// Longer than this a file name does not reach SQLite's own file system.
bool tooLongForSqlite(const QString &path)
{
    return QFile::encodeName(path).size() >= sqlite3_vfs_find(nullptr)->mxPathname;
}

bool openSqlite(const QString &path, QByteArrayView header, qint64 size, OpenDatabase &open, DbError &error)
{
    if (!sqliteHeaderFits(header, size)) {
        error = corrupt(path);
        return false;
    }
    const bool withLog = walMode(header) && QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    if (walMode(header) || tooLongForSqlite(path)) {
        if (!withLog && QFileInfo(path + QStringLiteral("-journal")).size() > 0) {
            error = leftoverJournal(path);
            return false;
        }
        SqliteHandle db = openInPrivateFolder(path, withLog, error);
        if (!db)
            return false;
        open.connection = std::make_unique<SqliteConnection>(std::move(db));
        return true;
    }
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(fileUri(path).constData(), &raw, readOnlyOpenFlags(), nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        error = makeError(dberror::FileUnreadable,
                          QStringLiteral("No se puede abrir el archivo de base de datos %1: %2.")
                              .arg(quote(path), QString::fromUtf8(db ? sqlite3_errmsg(db.get()) : "")));
        return false;
    }
    // SQLite reads lazily: read the schema now so a damaged file fails here, not later.
    char *message = nullptr;
    if (sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, &message)
        != SQLITE_OK) {
        const QString detail = QString::fromUtf8(message ? message : sqlite3_errmsg(db.get()));
        sqlite3_free(message);
        error = sqlite3_extended_errcode(db.get()) == SQLITE_READONLY_ROLLBACK ? leftoverJournal(path)
                                                                               : corrupt(path, detail);
        return false;
    }
    // Never mapped into memory: another program may cut the file short at any moment (a copy
    // over it truncates first), and touching a mapped page that is gone kills the process.
    // Read through SQLite's own page reads, a cut shows as a failed search instead.
    open.connection = std::make_unique<SqliteConnection>(std::move(db));
    return true;
}

bool openJet(const QString &path, QByteArrayView start, qint64 size, const QString &password,
             OpenDatabase &open, DbError &error)
{
    if (size > JetMaximumSize) {
        error = makeError(dberror::TooLarge,
                          QStringLiteral("El archivo %1 mide %2 MB, más de los 2 GB que admite una base "
                                         "de datos de Access.")
                              .arg(quote(path))
                              .arg(size / 1024 / 1024));
        return false;
    }
    const std::optional<JetHeader> header = readJetHeader(start);
    if (!header) {
        error = corrupt(path);
        return false;
    }
    if (header->version > 1) {
        error = makeError(dberror::Unsupported,
                          QStringLiteral("El archivo %1 tiene un formato de Access que este "
                                         "controlador no lee (sólo Jet 3 y Jet 4).")
                              .arg(quote(path)));
        return false;
    }
    // A file cut short or padded loses whole pages; libmdb must never read past the end.
    if (size % header->pageSize != 0 || size < 3 * header->pageSize) {
        error = corrupt(path);
        return false;
    }
    if (!header->password.isEmpty() && header->password != password) {
        error = makeError(dberror::WrongPassword,
                          QStringLiteral("La contraseña no es válida para el archivo de base de "
                                         "datos %1.")
                              .arg(quote(path)));
        return false;
    }
    QString problem;
    AccessImportFailure failure = AccessImportFailure::None;
    SqliteHandle db = openAccessThroughCache(path, problem, failure);
    if (!db && failure == AccessImportFailure::LocalCopy) {
        error = makeError(dberror::LocalCopy,
                          QStringLiteral("No se puede abrir el archivo de base de datos %1: %2.")
                              .arg(quote(path), problem));
        return false;
    }
    if (!db) {
        error = corrupt(path, problem);
        return false;
    }
    open.connection = std::make_unique<SqliteConnection>(std::move(db));
    return true;
}

// The first bytes of a regular file, read without ever blocking: a FIFO or a device is
// refused before anything waits on it, and a huge file costs no more than its header.
bool readStart(const QString &path, QByteArray &start, qint64 &size, DbError &error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = fileProblem(path, errno);
        return false;
    }
    struct stat info
    {
    };
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular) {
        size = qint64(info.st_size);
        start.resize(qsizetype(std::min<qint64>(size, StartBytes)));
        const ssize_t got = ::pread(fd, start.data(), std::size_t(start.size()), 0);
        start.resize(got < 0 ? 0 : qsizetype(got));
    }
    ::close(fd);
    if (!regular) {
        error = makeError(dberror::FileUnreadable,
                          QStringLiteral("%1 no es un archivo de base de datos (es una carpeta, un "
                                         "dispositivo o una tubería).")
                              .arg(quote(path)));
        return false;
    }
    return true;
}

// Opens the file as it is now, by its first bytes: SQLite or Access.
bool openDatabase(const QString &path, const QString &password, OpenDatabase &open, DbError &error)
{
    QByteArray start;
    qint64 size = 0;
    if (!readStart(path, start, size, error))
        return false;
    if (start.startsWith(QByteArrayView(SqliteMagic, sizeof SqliteMagic)))
        return openSqlite(path, start, size, open, error);
    if (looksLikeJet(start))
        return openJet(path, start, size, password, open, error);
    error = makeError(dberror::NotADatabase,
                      QStringLiteral("El archivo %1 no es una base de datos de Access.").arg(quote(path)));
    return false;
}

// A connection that sees the file as it is at every statement: before each one it compares
// the file's stamp with the one it opened and, when the file changed, opens it again. A file
// gone or unreadable fails the statement and leaves the connection as it was, so the next
// statement after the file returns works.
class LiveFileConnection final : public Connection
{
public:
    LiveFileConnection(QString path, QString password, FileStamp stamp, OpenDatabase open)
        : m_path(std::move(path))
        , m_password(std::move(password))
        , m_stamp(stamp)
        , m_open(std::move(open))
    {}

    [[nodiscard]] Dialect dialect() const override { return Dialect::SQLite; }
    [[nodiscard]] bool foldsAccents() const override { return true; }

    [[nodiscard]] std::unique_ptr<Cursor> query(const QString &sql, const std::vector<Value> &params,
                                                DbError &error) override
    {
        return refresh(error) ? m_open.connection->query(sql, params, error) : nullptr;
    }

    void setHeartbeat(std::function<void()> heartbeat) override
    {
        m_heartbeat = std::move(heartbeat);
        m_open.connection->setHeartbeat(m_heartbeat);
    }

private:
    bool refresh(DbError &error)
    {
        const std::optional<FileStamp> now = stampOf(m_path);
        if (!now) {
            error = statProblem(m_path);
            error.unavailable = true;
            return false;
        }
        if (*now == m_stamp)
            return true;
        OpenDatabase reopened;
        if (!openDatabase(m_path, m_password, reopened, error)) {
            error.unavailable = true;
            return false;
        }
        m_open.connection = std::move(reopened.connection);
        m_open.connection->setHeartbeat(m_heartbeat);
        m_stamp = *now;
        return true;
    }

    QString m_path;
    QString m_password;
    FileStamp m_stamp;
    OpenDatabase m_open;
    std::function<void()> m_heartbeat;
};

} // namespace

std::unique_ptr<Connection> openBuiltInAccess(const QString &file, const QString &password, DbError &error)
{
    const QString path = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    // Stamped before opening: a change made while it opens is seen by the first statement.
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp) {
        error = statProblem(path);
        return nullptr;
    }
    OpenDatabase open;
    if (!openDatabase(path, password, open, error))
        return nullptr;
    return std::make_unique<LiveFileConnection>(path, password, *stamp, std::move(open));
}

} // namespace dw
