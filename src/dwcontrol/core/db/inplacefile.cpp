#include "db/inplacefile.h"

#include <sqlite3.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw {

namespace {

constexpr char VfsName[] = "zemparol-en-su-sitio";

// The database file as SQLite sees it through this file system: a descriptor opened
// read-only, and what the file was when the log was copied.
struct InPlaceFile
{
    sqlite3_file base;
    int fd;
    quint64 inode;
    qint64 size;
    qint64 modifiedNs;
};

InPlaceFile &inPlace(sqlite3_file *file)
{
    return *reinterpret_cast<InPlaceFile *>(file);
}

// A writer that checkpoints its log into the file changes the pages the copied log does
// not hold; reading on would mix two versions of the data.
bool unchanged(const InPlaceFile &file)
{
    struct stat now
    {
    };
    if (::fstat(file.fd, &now) != 0)
        return false;
    const FileStamp stamp = stampOfStatus(now);
    return stamp.inode == file.inode && stamp.size == file.size && stamp.modifiedNs == file.modifiedNs;
}

int fileClose(sqlite3_file *file)
{
    ::close(inPlace(file).fd);
    return SQLITE_OK;
}

int fileRead(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    const InPlaceFile &f = inPlace(file);
    auto *bytes = static_cast<char *>(buffer);
    int got = 0;
    while (got < amount) {
        const ssize_t read = ::pread(f.fd, bytes + got, std::size_t(amount - got), off_t(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return SQLITE_IOERR_READ;
        if (read == 0)
            break;
        got += int(read);
    }
    if (!unchanged(f))
        return SQLITE_IOERR_DATA;
    if (got < amount) {
        // SQLite wants the rest of a short read zeroed.
        std::memset(bytes + got, 0, std::size_t(amount - got));
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int fileWrite(sqlite3_file *, const void *, int, sqlite3_int64)
{
    return SQLITE_READONLY;
}

int fileTruncate(sqlite3_file *, sqlite3_int64)
{
    return SQLITE_READONLY;
}

int fileSync(sqlite3_file *, int)
{
    return SQLITE_OK;
}

int fileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    struct stat status
    {
    };
    if (::fstat(inPlace(file).fd, &status) != 0)
        return SQLITE_IOERR_FSTAT;
    *size = sqlite3_int64(status.st_size);
    return SQLITE_OK;
}

// Nothing here ever writes, and the copied log is this connection's alone: there is
// nobody to agree with, and the file's own locks stay the writers' business.
int fileLock(sqlite3_file *, int)
{
    return SQLITE_OK;
}

int fileCheckReservedLock(sqlite3_file *, int *reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int fileControl(sqlite3_file *, int, void *)
{
    return SQLITE_NOTFOUND;
}

int fileSectorSize(sqlite3_file *)
{
    return 4096;
}

int fileDeviceCharacteristics(sqlite3_file *)
{
    return 0;
}

// Version 1: no shared memory (the log's index is kept in memory under the exclusive
// locking mode) and no memory map (a file cut short under a map kills the process).
const sqlite3_io_methods InPlaceMethods = {
    1,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileLock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

sqlite3_vfs *systemOf(sqlite3_vfs *vfs)
{
    return static_cast<sqlite3_vfs *>(vfs->pAppData);
}

// The database file named by the "fuente" parameter is opened here; every other file (the
// copied log, temporary files) is the system file system's.
int vfsOpen(sqlite3_vfs *vfs, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    if (!(flags & SQLITE_OPEN_MAIN_DB))
        return systemOf(vfs)->xOpen(systemOf(vfs), name, file, flags, outFlags);
    InPlaceFile &f = inPlace(file);
    f.base.pMethods = nullptr;
    const char *source = sqlite3_uri_parameter(name, "fuente");
    if (!source)
        return SQLITE_CANTOPEN;
    const int fd = ::open(source, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return SQLITE_CANTOPEN;
    f.fd = fd;
    f.inode = quint64(sqlite3_uri_int64(name, "nodo", -1));
    f.size = sqlite3_uri_int64(name, "tamano", -1);
    f.modifiedNs = sqlite3_uri_int64(name, "modificado", -1);
    f.base.pMethods = &InPlaceMethods;
    if (outFlags)
        *outFlags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs *vfs, const char *name, int syncDir)
{
    return systemOf(vfs)->xDelete(systemOf(vfs), name, syncDir);
}

int vfsAccess(sqlite3_vfs *vfs, const char *name, int flags, int *result)
{
    return systemOf(vfs)->xAccess(systemOf(vfs), name, flags, result);
}

int vfsFullPathname(sqlite3_vfs *vfs, const char *name, int size, char *out)
{
    return systemOf(vfs)->xFullPathname(systemOf(vfs), name, size, out);
}

sqlite3_vfs *inPlaceVfs()
{
    static sqlite3_vfs vfs = [] {
        sqlite3_vfs *systemVfs = sqlite3_vfs_find(nullptr);
        sqlite3_vfs own = *systemVfs;
        own.pNext = nullptr;
        own.szOsFile = std::max(systemVfs->szOsFile, int(sizeof(InPlaceFile)));
        own.zName = VfsName;
        own.pAppData = systemVfs;
        own.xOpen = vfsOpen;
        own.xDelete = vfsDelete;
        own.xAccess = vfsAccess;
        own.xFullPathname = vfsFullPathname;
        return own;
    }();
    static std::once_flag registered;
    std::call_once(registered, [] { sqlite3_vfs_register(&vfs, 0); });
    return &vfs;
}

} // namespace

SqliteHandle openInPlace(const QString &path, const FileStamp &before, const QString &scratch,
                         QString &problem)
{
    const QByteArray uri = "file:" + QFile::encodeName(scratch).toPercentEncoding("/")
        + "?mode=ro&fuente=" + QFile::encodeName(path).toPercentEncoding()
        + "&nodo=" + QByteArray::number(before.inode) + "&tamano=" + QByteArray::number(before.size)
        + "&modificado=" + QByteArray::number(before.modifiedNs);
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(uri.constData(), &raw, readOnlyOpenFlags(), inPlaceVfs()->zName);
    SqliteHandle db(raw);
    if (rc == SQLITE_OK)
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Under the exclusive locking mode, set before the first read, SQLite keeps the log's
    // index in memory instead of a shared file; reading the schema reads the log in.
    return readyOrNull(rc, std::move(db), "PRAGMA locking_mode=EXCLUSIVE; SELECT count(*) FROM sqlite_schema",
                       problem);
}

} // namespace dw
