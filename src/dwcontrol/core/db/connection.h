#pragma once

#include "types/value.h"

#include <QString>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace dw {

// The SQL dialect a connection answers; the engine renders its SELECTs in it.
enum class Dialect {
    Access, // the Access driver: `&` joins texts, ucase(), like with % and _
    SQLite, // the built-in driver and SQLite ODBC: `||`, the built-in ucase()
    PostgreSQL, // PostgreSQL through its ODBC driver: `||`, upper(), quoted names
    Generic, // any other ODBC driver: ANSI SQL
};

// What a failed database call reports: the driver's own code and text.
struct DbError
{
    long code = 0;
    QString text;
    QString state; // the five-character SQLSTATE when the driver gave one
    // The database itself could not be read (its file gone or unreadable), so the statement
    // never ran; what was read before is still the best the user has.
    bool unavailable = false;
};

enum class CellKind { Null, Integer, Real, Text };

// Rows of one statement, read forward once. Text comes as UTF-8 bytes that stay
// valid until the next call of next(), so the engine copies without conversions.
class Cursor
{
public:
    virtual ~Cursor() = default;
    [[nodiscard]] virtual int columnCount() const = 0;
    [[nodiscard]] virtual QString columnName(int column) const = 0;
    // Moves to the next row; false at the end or on an error (see error()).
    [[nodiscard]] virtual bool next() = 0;
    [[nodiscard]] virtual CellKind kind(int column) const = 0;
    [[nodiscard]] virtual std::string_view utf8(int column) const = 0;
    [[nodiscard]] virtual qint64 integer(int column) const = 0;
    [[nodiscard]] virtual double real(int column) const = 0;
    // Set when next() stopped because of an error rather than the end of the rows.
    [[nodiscard]] virtual const DbError *error() const = 0;
};

// An open connection. Parameters are bound in the order of the `?` markers.
class Connection
{
public:
    virtual ~Connection() = default;
    [[nodiscard]] virtual Dialect dialect() const = 0;
    // Prepares and starts a statement; null with `error` filled when the database refuses it.
    [[nodiscard]] virtual std::unique_ptr<Cursor> query(const QString &sql, const std::vector<Value> &params,
                                                        DbError &error)
        = 0;
    // True once the link to the database is gone (a server that stopped or restarted);
    // only a new connection can answer again.
    [[nodiscard]] virtual bool lost() const { return false; }
    // Whether statements may call sinacentos(x): x upper-cased without accents (the
    // built-in driver's own function).
    [[nodiscard]] virtual bool foldsAccents() const { return false; }
    // Called now and then while a statement of this connection runs, also when it
    // finds no rows for a long time (empty: none). A driver that cannot call back
    // ignores it. The heartbeat must not use the connection.
    virtual void setHeartbeat(std::function<void()> heartbeat) { (void)heartbeat; }
};

} // namespace dw
