#include "db/privatecopy.h"

#include "files/temporaryfolder.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw {

namespace {

std::atomic<int> copies{0};
std::atomic<qint64> copiedBytes{0};

constexpr char Prefix[] = "zemparol-privado-";

// Folders of processes that no longer run: killed before their copies lost their names.
void removeLeftovers(const QDir &temporary)
{
    const QStringList names
        = temporary.entryList({QString::fromLatin1(Prefix) + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString rest = name.mid(qsizetype(sizeof Prefix - 1));
        bool number = false;
        const qint64 pid = rest.left(rest.indexOf(u'-')).toLongLong(&number);
        if (!number || pid <= 0 || pid == qint64(::getpid()))
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
            QDir left(temporary.filePath(name));
            // Only a folder of this user: another one's is not ours to remove.
            struct stat info
            {
            };
            if (::lstat(QFile::encodeName(left.path()).constData(), &info) == 0 && info.st_uid == ::getuid()
                && S_ISDIR(info.st_mode))
                left.removeRecursively();
        }
    }
}

bool writeAll(int fd, const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

} // namespace

std::unique_ptr<QTemporaryDir> makeScratchFolder()
{
    const QString root = temporaryFolder();
    if (root.isEmpty())
        return nullptr;
    const QDir temporary(root);
    removeLeftovers(temporary);
    auto folder = std::make_unique<QTemporaryDir>(temporary.filePath(
        QLatin1StringView(Prefix) + QString::number(::getpid()) + QStringLiteral("-XXXXXX")));
    if (!folder->isValid())
        return nullptr;
    return folder;
}

bool copyWhole(const QString &source, const QString &target, bool *diskFull)
{
    if (diskFull)
        *diskFull = false;
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out
        = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    ++copies;
    bool done = false;
    bool inKernel = true;
    for (;;) {
        if (inKernel) {
            const ssize_t moved = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (moved > 0) {
                copiedBytes += moved;
                continue;
            }
            if (moved == 0) {
                done = true;
                break;
            }
            if (errno == EINTR)
                continue;
            // Not between these two file systems, or not at all: copy through a buffer.
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
                inKernel = false;
                continue;
            }
            break;
        }
        std::array<char, 1 << 16> buffer{};
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            done = got == 0;
            break;
        }
        if (!writeAll(out, buffer.data(), std::size_t(got)))
            break;
        copiedBytes += got;
    }
    if (!done && diskFull)
        *diskFull = errno == ENOSPC || errno == EDQUOT;
    done = ::close(out) == 0 && done;
    ::close(in);
    if (!done)
        ::unlink(QFile::encodeName(target).constData());
    return done;
}

SqliteHandle openAndForget(const QString &file, QString &problem)
{
    const QByteArray uri = "file:" + QFile::encodeName(file).toPercentEncoding("/") + "?mode=ro&immutable=1";
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(uri.constData(), &raw, readOnlyOpenFlags(), nullptr);
    // Reading the schema opens the file for good; from then on the name is not needed.
    return readyOrNull(rc, SqliteHandle(raw), "SELECT count(*) FROM sqlite_schema", problem);
}

int privateCopyCount()
{
    return copies.load();
}

qint64 privateCopyBytes()
{
    return copiedBytes.load();
}

} // namespace dw
