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

bool PgLink::send(const QByteArray &sql, const std::vector<const char *> &params, DbError &error,
                  bool rowByRow)
{
    if (givenUp || !conn) {
        lost = true;
        error = makeError(dberror::StatementStopped,
                          QStringLiteral("El servidor no respondió a la consulta anterior."));
        return false;
    }
    const bool sent = rowByRow ? PQsendQueryParams(conn, sql.constData(), int(params.size()), nullptr,
                                                   params.data(), nullptr, nullptr, 0)
            && PQsetSingleRowMode(conn)
                               : PQsendPrepare(conn, "", sql.constData(), 0, nullptr);
    if (!sent) {
        error = connectionError(QStringLiteral("No se pudo enviar la instrucción."));
        lost = PQstatus(conn) != CONNECTION_OK;
        return false;
    }
    reading = true;
    return true;
}

PgLink::Wait PgLink::startWait() const
{
    return {Clock::now() + std::chrono::seconds(limitSeconds) + clientMargin, false};
}

bool PgLink::waitForInput(Wait &wait, std::optional<DbError> &error)
{
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(wait.deadline - Clock::now()).count();
        pollfd socket{PQsocket(conn), POLLIN, 0};
        const bool readable = ::poll(&socket, 1, int(std::clamp<qint64>(left, 0, beatMs))) > 0;
        if (readable && !PQconsumeInput(conn)) {
            lost = true;
            reading = copying = false;
            error = connectionError(QStringLiteral("Se perdió la conexión con el servidor."));
            return false;
        }
        if (heartbeat)
            heartbeat();
        if (readable)
            return true;
        if (Clock::now() < wait.deadline)
            continue;
        if (!wait.cancelled) {
            cancel(conn);
            wait.cancelled = true;
            wait.deadline = Clock::now() + cancelGrace;
            continue;
        }
        // Not even the cancel was answered: the connection goes with the statement.
        PQfinish(conn);
        conn = nullptr;
        givenUp = true;
        reading = copying = false;
        error = timeLimitError(limitSeconds);
        return false;
    }
}

PGresult *PgLink::next(std::optional<DbError> &error)
{
    Wait wait = startWait();
    // What is already read comes first: reading the socket for every row would move the
    // rows read ahead to the front of libpq's buffer each time.
    while (PQisBusy(conn)) {
        if (!waitForInput(wait, error))
            return nullptr;
    }
    PGresult *result = PQgetResult(conn);
    if (!result)
        reading = false;
    // A server that went away mid-statement (shut down, crashed, failed over): only a new
    // connection can answer, possibly from another of the string's hosts.
    if (PQstatus(conn) == CONNECTION_BAD)
        lost = true;
    return result;
}

PGresult *PgLink::describe(const QByteArray &sql, DbError &error)
{
    const auto answer = [&](const QString &context) -> PGresult * {
        std::optional<DbError> failure;
        PGresult *result = next(failure);
        for (PGresult *rest = result ? next(failure) : nullptr; rest; rest = next(failure))
            PQclear(rest);
        if (!result) {
            error = failure.value_or(connectionError(context));
            return nullptr;
        }
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            error = resultError(result, context);
            PQclear(result);
            return nullptr;
        }
        return result;
    };
    if (!send(sql, {}, error, false))
        return nullptr;
    PGresult *prepared = answer(QStringLiteral("Instrucción rechazada."));
    if (!prepared)
        return nullptr;
    PQclear(prepared);
    if (!PQsendDescribePrepared(conn, "")) {
        error = connectionError(QStringLiteral("Instrucción rechazada."));
        return nullptr;
    }
    reading = true;
    return answer(QStringLiteral("Instrucción rechazada."));
}

bool PgLink::sendCopy(const QByteArray &sql, DbError &error)
{
    if (!PQsendQuery(conn, "COPY (" + sql + ") TO STDOUT")) {
        error = connectionError(QStringLiteral("No se pudo enviar la instrucción."));
        lost = PQstatus(conn) != CONNECTION_OK;
        return false;
    }
    reading = copying = true;
    return true;
}

int PgLink::copyRow(char **row, std::optional<DbError> &error)
{
    Wait wait = startWait();
    for (;;) {
        const int length = PQgetCopyData(conn, row, 1);
        if (length != 0) {
            if (length < 0)
                copying = false;
            return length;
        }
        if (!waitForInput(wait, error))
            return -2;
    }
}

void PgLink::abandon()
{
    if (!reading || !conn)
        return;
    cancel(conn);
    std::optional<DbError> ignored;
    char *row = nullptr;
    while (copying && copyRow(&row, ignored) > 0)
        PQfreemem(row);
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
