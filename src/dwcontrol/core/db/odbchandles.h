#pragma once

#include "db/callthread.h"
#include "db/odbcdiagnostics.h"

#include <functional>
#include <optional>

namespace dw {

// The environment and connection handles, shared by the connection and its cursors so a
// cursor that outlives its connection still frees its statement first. Every call that
// waits for the server goes through wait(): on a thread of its own, with the connection's
// heartbeat going and the time limit of the settings enforced on this side too.
struct OdbcHandles
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    bool autoCommit = false;
    bool lost = false;
    // The limit a statement has on the server; the client gives it a little longer.
    int limitSeconds = 30;
    std::function<void()> heartbeat;
    CallThread calls;

    OdbcHandles() = default;
    OdbcHandles(const OdbcHandles &) = delete;
    OdbcHandles &operator=(const OdbcHandles &) = delete;
    ~OdbcHandles();

    // Runs `call` (which uses `statement`) and waits for it. A call still running past the
    // limit is cancelled (SQLCancel); one that does not return even then is abandoned with
    // the connection, which counts as lost from the next statement on.
    [[nodiscard]] CallThread::Result wait(std::function<SQLRETURN()> call, SQLHSTMT statement);

    // The program never writes: whatever a statement opened on the server (a transaction,
    // its locks, or a failed statement that would refuse every later one) is given up
    // as soon as the statement is done.
    void endRead();
    // After a failure: a communication error (SQLSTATE class 08) or a driver that calls
    // the connection dead means only a new connection can answer.
    void noteFailure(const DbError &error);
};

// The error of a call that did not return by itself (stopped, out of time, abandoned),
// or nothing when it did and its own result tells how it went.
[[nodiscard]] std::optional<DbError> interruption(const CallThread::Result &result, int limitSeconds);

} // namespace dw
