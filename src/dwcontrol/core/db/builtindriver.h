#pragma once

#include "db/connection.h"

#include <QString>

#include <memory>

namespace dw {

// The driver name the program connects with; on systems without it the built-in
// driver serves the file.
inline constexpr char16_t AccessDriverName[] = u"Microsoft Access Driver (*.mdb)";

// Opens an Access file (imported through libmdb into a local cache, see db/accesscache.h)
// or an SQLite file, read-only; before every statement the connection checks whether the
// file changed and, if it did, reads it again.
// `file` is taken relative to the current directory. A file protected by a password
// opens only with that password. On failure returns null with `error` filled: a code
// from db/errors.h and a Spanish text naming the file (never the password).
[[nodiscard]] std::unique_ptr<Connection> openBuiltInAccess(const QString &file, const QString &password,
                                                            DbError &error);

} // namespace dw
