#pragma once

#include "db/filestamp.h"
#include "db/sqliteconnection.h"

#include <QString>

namespace dw {

// An SQLite file read where it lies, without anything written beside it and without a copy
// of it: the file is opened read-only by the program itself and never locked, the write-ahead
// log (when there is one worth reading) comes from a private copy, and the log's index lives
// in memory. Each page read checks that the file is still as it was before the log was
// copied (`before`, its stamp then); a file written meanwhile fails the statement
// (SQLITE_IOERR_DATA) rather than mix two versions of the data, and the next statement
// opens it again.
//
// `path` is the database file, of any length; `scratch` a file name in a private folder,
// whose "-wal" sibling (if any) is the copied log. The folder may be removed as soon as this
// returns. Null with `problem` set (SQLite's text) when the file does not open.
[[nodiscard]] SqliteHandle openInPlace(const QString &path, const FileStamp &before, const QString &scratch,
                                       QString &problem);

} // namespace dw
