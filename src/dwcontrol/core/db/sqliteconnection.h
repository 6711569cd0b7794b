#pragma once

#include "db/connection.h"
#include "db/statementlimits.h"

#include <memory>

struct sqlite3;

namespace dw {

struct SqliteCloser
{
    void operator()(sqlite3 *db) const;
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// A connection over an SQLite handle, answering the Access dialect the program sends
// (ucase() on top of SQLite's own like). Once made, it refuses every statement that
// would write: the database is only read. Every statement runs within the limits of
// the settings (statementLimits(), read when the connection is made).
class SqliteConnection final : public Connection
{
public:
    // Takes the handle over, registers the SQL functions and installs the read-only guard.
    explicit SqliteConnection(SqliteHandle db);
    ~SqliteConnection() override;

    [[nodiscard]] Dialect dialect() const override { return Dialect::SQLite; }
    [[nodiscard]] bool foldsAccents() const override { return true; }
    [[nodiscard]] std::unique_ptr<Cursor> query(const QString &sql, const std::vector<Value> &params,
                                                DbError &error) override;
    void setHeartbeat(std::function<void()> heartbeat) override;

    class MapWhileReading;

private:
    SqliteHandle m_db;
    StatementLimits m_limits;
    // Shared with the cursors, which may outlive the connection.
    std::shared_ptr<MapWhileReading> m_map;
    // Shared with the cursors, which may outlive the connection.
    std::shared_ptr<std::function<void()>> m_heartbeat = std::make_shared<std::function<void()>>();
};

// The handle's last error: SQLite's code, and its text after a Spanish explanation.
[[nodiscard]] DbError sqliteError(sqlite3 *db);

// Flags of the built-in driver's own handles: each is used by one thread at a time,
// so SQLite's per-connection mutexes are only overhead on every step of a cursor.
int readOnlyOpenFlags();
// `db` as sqlite3_open_v2 answered `rc`, once `statement` (one that reads the schema, so a
// damaged file fails here rather than at the first search) ran on it; null with `problem`
// set (SQLite's text) when the open or the statement failed.
[[nodiscard]] SqliteHandle readyOrNull(int rc, SqliteHandle db, const char *statement, QString &problem);
// Lets SQLite read the database file through a memory map where the platform has
// one, instead of copying each page into its cache; a no-op elsewhere. Call it
// before the connection takes the handle (its guard refuses setting pragmas). The
// connection keeps the map only while a statement runs.
void enableMappedReads(sqlite3 *db);
// Registers the Access-dialect functions (ucase, and upper with the same meaning) on a
// handle.
void registerAccessFunctions(sqlite3 *db);
// Installs the authorizer that lets only reading statements through.
void installReadOnlyGuard(sqlite3 *db);

} // namespace dw
