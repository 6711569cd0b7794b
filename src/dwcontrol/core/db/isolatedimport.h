#pragma once

#include <QString>

namespace dw {

// Reads the Access file at `source` into the SQLite file `target` (which exists, empty),
// with libmdb running in a child process: libmdb trusts the file, so a damaged one can make
// it crash, loop or read past the end, and none of that may reach the program. The child
// writes rows into `target` as it reads them, so neither process holds the database in
// memory. A crash, a time-out or a read past the end of the file is a damaged file; then
// `target` holds nothing usable. Where processes cannot be forked the import runs in place.
// Returns false with `problem` set (in Spanish) on failure; `writeFailure`, when given, tells
// a failure to write `target` (the disk full, the folder not writable) from a damaged file.
enum class ImportWriteFailure { None, CannotWrite, DiskFull };
[[nodiscard]] bool importJetIsolated(const QString &source, const QString &target, QString &problem,
                                     ImportWriteFailure *writeFailure = nullptr);

} // namespace dw
