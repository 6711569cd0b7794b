#include "db/odbchandles.h"

#include "db/errors.h"
#include "db/sqlstate.h"

namespace dw {

namespace {

// The client waits this much longer than the server's own limit before it cancels: the
// server's answer, when it comes, says more.
constexpr std::chrono::milliseconds clientMargin{1500};

} // namespace

OdbcHandles::~OdbcHandles()
{
    // An abandoned call still uses the handles: they go once it returns.
    calls.whenIdle([env = env, dbc = dbc, connected = connected] {
        if (connected) {
            // Nothing is ever written; end the open transaction without keeping anything.
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
            SQLDisconnect(dbc);
        }
        if (dbc != SQL_NULL_HDBC)
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    });
}

CallThread::Result OdbcHandles::wait(std::function<SQLRETURN()> call, SQLHSTMT statement)
{
    CallWatch watch;
    if (heartbeat) {
        watch.heartbeat = [this] {
            heartbeat();
            return true;
        };
    }
    watch.limit = std::chrono::seconds(limitSeconds) + clientMargin;
    watch.cancel = [statement] { SQLCancel(statement); };
    return calls.run([call = std::move(call)] { return int(call()); }, watch);
}

void OdbcHandles::endRead()
{
    if (connected && !autoCommit && !calls.abandoned())
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
}

void OdbcHandles::noteFailure(const DbError &error)
{
    if (calls.abandoned())
        return; // the connection is busy with that call; the next statement finds it lost
    SQLUINTEGER dead = SQL_CD_FALSE;
    lost = lost || error.state.startsWith(u"08")
        || (SQL_SUCCEEDED(SQLGetConnectAttrW(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))
            && dead == SQL_CD_TRUE);
}

std::optional<DbError> interruption(const CallThread::Result &result, int limitSeconds)
{
    switch (result.outcome) {
    case CallThread::Outcome::Done:
        return std::nullopt;
    case CallThread::Outcome::Stopped:
        return makeError(dberror::StatementStopped,
                         QStringLiteral("La consulta se detuvo a petición del usuario."));
    case CallThread::Outcome::TimedOut:
    case CallThread::Outcome::Abandoned:
        return timeLimitError(limitSeconds);
    case CallThread::Outcome::Busy:
        break;
    }
    return makeError(dberror::StatementStopped,
                     QStringLiteral("La conexión está ocupada con otra consulta; inténtelo al terminar."));
}

} // namespace dw
