#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace dw {

// Copies every user table of an Access file into an SQLite database: long integers as
// INTEGER, reals as REAL, text and memos as UTF-8 TEXT (memos whole), dates as
// "yyyy-mm-dd hh:mm:ss" text, binary values as BLOB, and NULL kept apart from empty text.
// `file` is the whole file in memory; libmdb reads that copy, never the file itself.
// Returns false with `problem` set (in Spanish) when the file cannot be read.
[[nodiscard]] bool importJet(QByteArray file, sqlite3 *db, QString &problem);

} // namespace dw
