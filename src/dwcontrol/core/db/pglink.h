#pragma once

#include "db/connection.h"

#include <libpq-fe.h>

#include <QByteArray>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace dw {

// One libpq connection, shared by the connection and the cursor reading its statement.
// Statements are sent without waiting; waiting for their results keeps the heartbeat going
// and stops at the time limit: the server's own (statement_timeout), or, when the server
// does not answer, the client's, which cancels the statement and then gives the connection
// up.
struct PgLink
{
    PGconn *conn = nullptr;
    // A statement was given up: the connection is closed, and counts as lost from the next
    // statement on (so that one goes to a new connection).
    bool givenUp = false;
    bool lost = false;
    // A cursor still reads the results of its statement, or the rows of its COPY.
    bool reading = false;
    bool copying = false;
    int limitSeconds = 30;
    std::function<void()> heartbeat;

    PgLink() = default;
    PgLink(const PgLink &) = delete;
    PgLink &operator=(const PgLink &) = delete;
    ~PgLink();

    // Sends `sql` with its parameters as text (null pointers for nulls), its rows to come
    // one at a time (or, not `rowByRow`, only prepares it unnamed); false with `error` set
    // when it could not be sent.
    [[nodiscard]] bool send(const QByteArray &sql, const std::vector<const char *> &params, DbError &error,
                            bool rowByRow = true);
    // The statement's next result, waited for; null at the end of its results, or with
    // `error` set when the wait failed (the limit, a lost connection).
    [[nodiscard]] PGresult *next(std::optional<DbError> &error);
    // The columns `sql` would give (a described unnamed statement); null with `error` set
    // when the server refuses it.
    [[nodiscard]] PGresult *describe(const QByteArray &sql, DbError &error);
    // Starts `COPY (sql) TO STDOUT`: its rows come through copyRow().
    [[nodiscard]] bool sendCopy(const QByteArray &sql, DbError &error);
    // The next COPY row (freed with PQfreemem) and its length; -1 at the end, when the
    // statement's own result follows through next(); -2 when reading failed (`error` set
    // when the wait failed, otherwise the result says why).
    [[nodiscard]] int copyRow(char **row, std::optional<DbError> &error);
    // Stops reading the statement under way: cancels it and reads what is left.
    void abandon();

    [[nodiscard]] DbError connectionError(const QString &context) const;

    // One wait for the server: until the limit, then until the cancel's answer.
    struct Wait
    {
        std::chrono::steady_clock::time_point deadline;
        bool cancelled = false;
    };
    [[nodiscard]] Wait startWait() const;
    // Waits for more of the server's answer, heartbeat going; false with `error` set when
    // the connection broke or the server did not answer in time (the connection is then
    // given up).
    [[nodiscard]] bool waitForInput(Wait &wait, std::optional<DbError> &error);
    // The error of a failed result; a statement cancelled at the time limit says so.
    [[nodiscard]] DbError resultError(const PGresult *result, const QString &context) const;
};

} // namespace dw
