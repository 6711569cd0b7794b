#pragma once

#include "db/connection.h"

#include <QString>

#include <memory>

namespace dw {

// The driver name the program connects with; on systems without it the built-in
// driver serves the file.
inline constexpr char16_t AccessDriverName[] = u"Microsoft Access Driver (*.mdb)";

// Opens an Access file (read through libmdb into memory) or an SQLite file, read-only.
// `file` is taken relative to the current directory. A file protected by a password
// opens only with that password. On failure returns null with `error` filled: a code
// from db/errors.h and a Spanish text naming the file (never the password).
[[nodiscard]] std::unique_ptr<Connection> openBuiltInAccess(const QString &file, const QString &password,
                                                            DbError &error);

} // namespace dw
