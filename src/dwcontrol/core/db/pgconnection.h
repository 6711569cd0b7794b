#pragma once

#include "db/connection.h"

#include <QString>

#include <memory>

namespace dw {

// Connects with PostgreSQL's own client library (libpq) for a URI or keyword connection
// string (see isPostgresConnectString). Every session only reads and stops a statement at
// the time limit of the settings; the client stops waiting shortly after that limit too.
// TLS, ~/.pgpass and the other client settings are libpq's own. On failure returns null
// with libpq's message, after a Spanish account, in `error`.
[[nodiscard]] std::unique_ptr<Connection> openPostgres(const QString &connectString, DbError &error);

} // namespace dw
