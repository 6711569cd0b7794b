#pragma once

#include <QString>

namespace dw {

// A connection string that PostgreSQL's own client library reads: a URI
// ("postgresql://lector@servidor/directorio") or keywords separated by blanks
// ("host=servidor dbname=directorio user=lector"). An ODBC connect string, whose pairs
// end in ';', is neither.
[[nodiscard]] bool isPostgresConnectString(const QString &text);

// The password such a string holds (keyword "password", or the URI's "user:password@"
// and "?password="), decoded; empty when it holds none.
[[nodiscard]] QString postgresPassword(const QString &text);

} // namespace dw
