#include "db/builtindriver.h"

#include "db/errors.h"
#include "db/isolatedimport.h"
#include "db/jetheader.h"
#include "db/sqliteconnection.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace dw {

namespace {

constexpr char SqliteMagic[] = "SQLite format 3";
constexpr qsizetype SqliteHeaderSize = 100;

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

// Read-only, and with no journal beside the file nobody is writing it: then SQLite may
// treat it as immutable, so it takes no locks and leaves no -wal or -shm files behind.
QByteArray readOnlyUri(const QString &path)
{
    QByteArray uri = "file:" + QFile::encodeName(path).toPercentEncoding("/") + "?mode=ro";
    const bool journal = QFileInfo::exists(path + QStringLiteral("-wal"))
        || QFileInfo::exists(path + QStringLiteral("-journal"));
    if (!journal)
        uri += "&immutable=1";
    return uri;
}

std::unique_ptr<Connection> openSqlite(const QString &path, QByteArrayView header, qint64 size,
                                       DbError &error)
{
    if (!sqliteHeaderFits(header, size)) {
        error = corrupt(path);
        return nullptr;
    }
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(readOnlyUri(path).constData(), &raw,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        error = makeError(dberror::FileUnreadable,
                          QStringLiteral("No se puede abrir el archivo de base de datos %1: %2.")
                              .arg(quote(path), QString::fromUtf8(db ? sqlite3_errmsg(db.get()) : "")));
        return nullptr;
    }
    // SQLite reads lazily: read the schema now so a damaged file fails here, not later.
    char *message = nullptr;
    if (sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, &message)
        != SQLITE_OK) {
        const QString detail = QString::fromUtf8(message ? message : sqlite3_errmsg(db.get()));
        sqlite3_free(message);
        error = corrupt(path, detail);
        return nullptr;
    }
    return std::make_unique<SqliteConnection>(std::move(db));
}

std::unique_ptr<Connection> openJet(const QString &path, QFile &file, const QString &password, DbError &error)
{
    // libmdb reads a copy in memory, so nothing it does can touch the file.
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        error = makeError(
            dberror::FileUnreadable,
            QStringLiteral("No se puede leer completo el archivo de base de datos %1.").arg(quote(path)));
        return nullptr;
    }
    const std::optional<JetHeader> header = readJetHeader(bytes);
    if (!header) {
        error = corrupt(path);
        return nullptr;
    }
    if (header->version > 1) {
        error = makeError(dberror::Unsupported,
                          QStringLiteral("El archivo %1 tiene un formato de Access que este "
                                         "controlador no lee (sólo Jet 3 y Jet 4).")
                              .arg(quote(path)));
        return nullptr;
    }
    // A file cut short or padded loses whole pages; libmdb must never read past the end.
    if (bytes.size() % header->pageSize != 0 || bytes.size() < 3 * header->pageSize) {
        error = corrupt(path);
        return nullptr;
    }
    if (!header->password.isEmpty() && header->password != password) {
        error = makeError(dberror::WrongPassword,
                          QStringLiteral("La contraseña no es válida para el archivo de base de "
                                         "datos %1.")
                              .arg(quote(path)));
        return nullptr;
    }
    QString problem;
    SqliteHandle db = importJetIsolated(std::move(bytes), problem);
    if (!db) {
        error = corrupt(path, problem);
        return nullptr;
    }
    return std::make_unique<SqliteConnection>(std::move(db));
}

} // namespace

std::unique_ptr<Connection> openBuiltInAccess(const QString &file, const QString &password, DbError &error)
{
    const QFileInfo info(file);
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    if (!info.exists()) {
        error = makeError(dberror::FileMissing,
                          QStringLiteral("No se encuentra el archivo de base de datos %1.").arg(quote(path)));
        return nullptr;
    }
    if (!info.isFile()) {
        error = makeError(dberror::FileUnreadable,
                          QStringLiteral("%1 no es un archivo de base de datos (es una carpeta o "
                                         "un dispositivo).")
                              .arg(quote(path)));
        return nullptr;
    }
    QFile handle(path);
    if (!handle.open(QIODevice::ReadOnly)) {
        error = makeError(dberror::FileUnreadable,
                          QStringLiteral("No se puede leer el archivo de base de datos %1 (sin "
                                         "permiso de lectura o bloqueado).")
                              .arg(quote(path)));
        return nullptr;
    }
    const QByteArray header = handle.peek(SqliteHeaderSize);
    if (header.startsWith(QByteArrayView(SqliteMagic, sizeof SqliteMagic)))
        return openSqlite(path, header, handle.size(), error);
    if (looksLikeJet(header))
        return openJet(path, handle, password, error);
    error = makeError(dberror::NotADatabase,
                      QStringLiteral("El archivo %1 no es una base de datos de Access.").arg(quote(path)));
    return nullptr;
}

} // namespace dw
