#include "db/filestamp.h"

#include <QFile>

#include <sys/stat.h>

namespace dw {

namespace {

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

FileStamp stampOfStatus(const struct stat &file)
{
    FileStamp stamp;
    stamp.device = quint64(file.st_dev);
    stamp.inode = quint64(file.st_ino);
    stamp.size = qint64(file.st_size);
    stamp.modifiedNs = nanoseconds(file.st_mtim);
    stamp.changedNs = nanoseconds(file.st_ctim);
    stamp.regular = S_ISREG(file.st_mode);
    return stamp;
}

std::optional<FileStamp> stampOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat file
    {
    };
    if (::stat(name.constData(), &file) != 0)
        return std::nullopt;
    FileStamp stamp = stampOfStatus(file);
    struct stat log
    {
    };
    if (::stat((name + "-wal").constData(), &log) == 0) {
        stamp.logSize = qint64(log.st_size);
        stamp.logModifiedNs = nanoseconds(log.st_mtim);
    }
    return stamp;
}

} // namespace dw
