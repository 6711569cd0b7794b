#pragma once

#include "db/connection.h"

#include <QString>

#include <memory>

namespace dw {

// Connects through the ODBC driver manager with SQLDriverConnect, never prompting.
// `autoCommit` false runs the connection inside a transaction that is never committed.
// On failure returns null with the driver's native code and message in `error`.
[[nodiscard]] std::unique_ptr<Connection> openOdbc(const QString &connectString, bool autoCommit,
                                                   DbError &error);

// The dialect of the database a driver names in SQL_DBMS_NAME ("ACCESS", "SQLite",
// "PostgreSQL", ...); any other name gets the generic dialect.
[[nodiscard]] Dialect dialectOfDbms(const QString &dbmsName);

} // namespace dw
