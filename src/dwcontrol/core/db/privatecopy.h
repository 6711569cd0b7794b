#pragma once

#include "db/sqliteconnection.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace dw {

// Files the built-in driver makes for itself alone (the copy of a write-ahead log, an Access
// import when the cache folder cannot be written) live in a folder only the user can enter,
// under the system's temporary folder, and lose their name as soon as SQLite has them open: nothing of them
// outlives the connection, not even after a killed program. Folders left by a program killed before that
// moment are removed by the next one that makes such a folder.

// A new private folder for such files; null when the temporary folder cannot be written.
[[nodiscard]] std::unique_ptr<QTemporaryDir> makeScratchFolder();

// Copies `source` to `target` (which must not exist) in the kernel where it can; false when
// it cannot be read whole or written (`diskFull` tells which reason the write failed for).
[[nodiscard]] bool copyWhole(const QString &source, const QString &target, bool *diskFull = nullptr);

// Opens the SQLite file `file` (in a scratch folder) read-only and reads its schema; the
// scratch folder, removed by the caller right after, takes its name away. Null with `problem` set (SQLite's
// text) when the file does not open.
[[nodiscard]] SqliteHandle openAndForget(const QString &file, QString &problem);

// How many private copies of database files this process made, and how many bytes they
// took (tests and the benchmark count them).
[[nodiscard]] int privateCopyCount();
[[nodiscard]] qint64 privateCopyBytes();

} // namespace dw
