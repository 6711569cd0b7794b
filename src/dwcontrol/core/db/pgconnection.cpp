#include "db/pgconnection.h"

#include "db/errors.h"
#include "db/pgcursor.h"
#include "db/pglink.h"
#include "db/statementlimits.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <vector>

namespace dw {

namespace {

// The `?` markers of the engine's SQL as PostgreSQL's $1, $2 ... (not inside quotes).
QByteArray numberedMarkers(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    int number = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            out += u'$' + QString::number(++number);
            continue;
        }
        out += c;
    }
    return out.toUtf8();
}

class PgConnection final : public Connection
{
public:
    explicit PgConnection(std::shared_ptr<PgLink> link) : m_link(std::move(link)) {}

    Dialect dialect() const override { return Dialect::PostgreSQL; }

    std::unique_ptr<Cursor> query(const QString &sql, const std::vector<Value> &params,
                                  DbError &error) override
    {
        if (m_link->reading) {
            error = makeError(
                dberror::StatementStopped,
                QStringLiteral("La conexión está ocupada con otra consulta; inténtelo al terminar."));
            return nullptr;
        }
        std::vector<QByteArray> values;
        values.reserve(params.size());
        std::vector<const char *> pointers;
        for (const Value &value : params) {
            if (value.isNull()) {
                values.emplace_back();
                pointers.push_back(nullptr);
                continue;
            }
            values.push_back(value.isInteger()    ? QByteArray::number(value.toInteger())
                                 : value.isReal() ? QByteArray::number(value.toNumber(), 'g', 17)
                                                  : value.toText().toUtf8());
            pointers.push_back(values.back().constData());
        }
        const QByteArray text = numberedMarkers(sql);
        // A statement without arguments (the listing) comes out through COPY, the
        // server's fastest way; one with arguments (a card) row by row.
        const auto source = params.empty() && sql.trimmed().startsWith(u"select", Qt::CaseInsensitive)
            ? PgCursor::Source::Copy
            : PgCursor::Source::RowByRow;
        if (source == PgCursor::Source::RowByRow && !m_link->send(text, pointers, error))
            return nullptr;
        auto cursor = std::make_unique<PgCursor>(m_link, source);
        if (!cursor->start(text, error))
            return nullptr;
        return cursor;
    }

    bool lost() const override { return m_link->lost; }
    void setHeartbeat(std::function<void()> heartbeat) override { m_link->heartbeat = std::move(heartbeat); }

private:
    std::shared_ptr<PgLink> m_link;
};

} // namespace

std::unique_ptr<Connection> openPostgres(const QString &connectString, DbError &error)
{
    auto link = std::make_shared<PgLink>();
    link->limitSeconds = statementLimits().seconds;
    // The string's own settings come after the defaults, so they win; the encoding does not.
    const QByteArray timeout = QByteArray::number(statementLimits().connectSeconds());
    const QByteArray string = connectString.trimmed().toUtf8();
    const std::array<const char *, 5> keywords{"connect_timeout", "fallback_application_name", "dbname",
                                               "client_encoding", nullptr};
    const std::array<const char *, 5> values{timeout.constData(), "zemparol", string.constData(), "UTF8",
                                             nullptr};
    link->conn = PQconnectdbParams(keywords.data(), values.data(), 1);
    if (!link->conn || PQstatus(link->conn) != CONNECTION_OK) {
        error = link->connectionError(QStringLiteral("No se pudo conectar con el servidor PostgreSQL."));
        return nullptr;
    }
    // The server's notices (a shutdown under way, say) are no business of the terminal.
    PQsetNoticeProcessor(
        link->conn, [](void *, const char *) {}, nullptr);
    // Each statement stops on the server at the time limit, and each transaction only
    // reads, so even a role that may write cannot change the directory through the program.
    const QByteArray session
        = "SET statement_timeout = " + QByteArray::number(qint64(link->limitSeconds) * 1000)
        + "; SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY";
    PGresult *result = PQexec(link->conn, session.constData());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        error = link->resultError(result, QStringLiteral("No se pudo preparar la sesión."));
    PQclear(result);
    if (!ok)
        return nullptr;
    return std::make_unique<PgConnection>(std::move(link));
}

} // namespace dw
