#pragma once

#include "db/sqliteconnection.h"

#include <QByteArray>
#include <QString>

namespace dw {

// Reads an Access file into a new in-memory SQLite database, with libmdb running in a
// child process: libmdb trusts the file, so a damaged one can make it crash, loop or read
// past the end, and none of that may reach the program. The child hands the finished
// database back whole; a crash, a time-out or a read past the end of the file is a
// damaged file. Where processes cannot be forked the import runs in place.
// Returns null with `problem` set (in Spanish) on failure.
[[nodiscard]] SqliteHandle importJetIsolated(QByteArray file, QString &problem);

} // namespace dw
