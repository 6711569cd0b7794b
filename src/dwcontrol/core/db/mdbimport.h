#pragma once

#include <QString>

struct sqlite3;

namespace dw {

// Copies every user table of an Access file into an SQLite database: long integers as
// INTEGER, reals as REAL, text and memos as UTF-8 TEXT (memos whole), dates as
// "yyyy-mm-dd hh:mm:ss" text, binary values as BLOB, and NULL kept apart from empty text.
// libmdb reads the file at `path` read-only, page by page, and rows go into `db` as they are
// read. A memo or OLE value that cannot be read whole (pages not what its row points at,
// pieces that do not add up to its length, length flags unknown) fails the import,
// with the number of such values in `problem`: damaged data is never shown as empty.
// Returns false with `problem` set (in Spanish) when the file cannot be read.
[[nodiscard]] bool importJet(const QString &path, sqlite3 *db, QString &problem);

} // namespace dw
