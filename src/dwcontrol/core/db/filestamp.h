#pragma once

#include <QString>

#include <optional>

struct stat;

namespace dw {

// What the file system says about a database file, cheaply (two stat calls, no read): when
// any of it changes, the file was written, replaced or touched and must be read again. The
// write-ahead log beside an SQLite file counts too, since a writer changes it first.
struct FileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool regular = false;
    qint64 logSize = -1; // -1: no log beside the file
    qint64 logModifiedNs = 0;

    bool operator==(const FileStamp &) const = default;
};

// The stamp of `path`; nothing when the file cannot be looked at (gone, or a folder on its
// way that denies access).
[[nodiscard]] std::optional<FileStamp> stampOf(const QString &path);

// The stamp of a file already looked at (its log left out).
[[nodiscard]] FileStamp stampOfStatus(const struct stat &file);

} // namespace dw
