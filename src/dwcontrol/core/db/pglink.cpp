#include "db/pglink.h"

#include "db/errors.h"
#include "db/sqlstate.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>

namespace dw {

namespace {

using Clock = std::chrono::steady_clock;

// As on the ODBC path: the client waits a little longer than the server's own limit, then
// gives a cancelled statement one second more.
constexpr std::chrono::milliseconds clientMargin{1500};
constexpr std::chrono::milliseconds cancelGrace{1000};
constexpr int beatMs = 50;

void cancel(PGconn *conn)
{
    PGcancel *request = PQgetCancel(conn);
    if (!request)
        return;
    std::array<char, 256> ignored{};
    PQcancel(request, ignored.data(), int(ignored.size()));
    PQfreeCancel(request);
}

} // namespace

PgLink::~PgLink()
{
    if (conn)
        PQfinish(conn);
}

bool PgLink::send(const QByteArray &sql, const std::vector<const char *> &params, DbError &error)
{
    if (givenUp || !conn) {
        lost = true;
        error = makeError(dberror::StatementStopped,
                          QStringLiteral("El servidor no respondió a la consulta anterior."));
        return false;
    }
    if (!PQsendQueryParams(conn, sql.constData(), int(params.size()), nullptr, params.data(), nullptr,
                           nullptr, 0)
        || !PQsetSingleRowMode(conn)) {
        error = connectionError(QStringLiteral("No se pudo enviar la instrucción."));
        lost = PQstatus(conn) != CONNECTION_OK;
        return false;
    }
    reading = true;
    return true;
}

PGresult *PgLink::next(std::optional<DbError> &error)
{
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(limitSeconds) + clientMargin;
    bool cancelled = false;
    for (;;) {
        if (!PQconsumeInput(conn)) {
            lost = true;
            reading = false;
            error = connectionError(QStringLiteral("Se perdió la conexión con el servidor."));
            return nullptr;
        }
        if (!PQisBusy(conn)) {
            PGresult *result = PQgetResult(conn);
            if (!result)
                reading = false;
            return result;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd socket{PQsocket(conn), POLLIN, 0};
        ::poll(&socket, 1, int(std::clamp<qint64>(left, 0, beatMs)));
        if (heartbeat)
            heartbeat();
        if (Clock::now() < deadline)
            continue;
        if (!cancelled) {
            cancel(conn);
            cancelled = true;
            deadline = Clock::now() + cancelGrace;
            continue;
        }
        // Not even the cancel was answered: the connection goes with the statement.
        PQfinish(conn);
        conn = nullptr;
        givenUp = true;
        reading = false;
        error = timeLimitError(limitSeconds);
        return nullptr;
    }
}

void PgLink::abandon()
{
    if (!reading || !conn)
        return;
    cancel(conn);
    std::optional<DbError> ignored;
    while (PGresult *result = next(ignored))
        PQclear(result);
}

DbError PgLink::connectionError(const QString &context) const
{
    return makeError(dberror::Server,
                     explainedError(context, QString(),
                                    conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed()
                                         : QStringLiteral("sin memoria")));
}

DbError PgLink::resultError(const PGresult *result, const QString &context) const
{
    const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
    DbError error = isCancelledState(state)
        ? timeLimitError(limitSeconds)
        : makeError(
            dberror::Server,
            explainedError(context, state, QString::fromUtf8(PQresultErrorMessage(result)).trimmed()));
    error.state = state;
    return error;
}

} // namespace dw
