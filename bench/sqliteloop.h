#pragma once

#include <QString>

#include <cstddef>

// The yardstick of retrieval: step a statement and copy every value into one growing
// buffer, the least any reader that keeps the rows must do.
namespace bench {

struct RawResult
{
    double ms = 0;
    long rows = 0;
    std::size_t textBytes = 0;
};

// How the loop opens the database: sqlite3_open_v2 flags, and whether reads go
// through a memory map.
struct OpenMode
{
    int flags = 0;
    bool mapped = false;
};

// The loop over `sql` on a database opened read-only with `mode` (plain read-only
// flags when not given); ms is 0 when the database does not open.
[[nodiscard]] RawResult plainLoop(const QString &database, const QString &sql, OpenMode mode = {});

} // namespace bench
