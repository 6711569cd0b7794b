#include "db/pgcursor.h"

#include "types/integerrange.h"

#include <charconv>
#include <cstdlib>

namespace dw {

namespace {

// Type numbers of PostgreSQL's built-in types (pg_type.oid), fixed since forever.
constexpr Oid boolType = 16;
constexpr Oid byteaType = 17;
constexpr Oid int8Type = 20;
constexpr Oid int2Type = 21;
constexpr Oid int4Type = 23;
constexpr Oid oidType = 26;
constexpr Oid float4Type = 700;
constexpr Oid float8Type = 701;
constexpr Oid numericType = 1700;

CellKind kindOf(Oid type)
{
    switch (type) {
    case boolType:
    case int8Type:
    case int2Type:
    case int4Type:
    case oidType:
        return CellKind::Integer;
    case float4Type:
    case float8Type:
    case numericType:
        return CellKind::Real;
    default:
        return CellKind::Text;
    }
}

} // namespace

PgCursor::PgCursor(std::shared_ptr<PgLink> link) : m_link(std::move(link)) {}

PgCursor::~PgCursor()
{
    PQclear(m_ahead);
    PQclear(m_row);
    PQclear(m_described);
    if (!m_finished)
        m_link->abandon();
}

bool PgCursor::start(DbError &error)
{
    std::optional<DbError> failure;
    PGresult *first = m_link->next(failure);
    if (!first) {
        m_finished = true;
        error = failure.value_or(m_link->connectionError(QStringLiteral("Instrucción rechazada.")));
        return false;
    }
    const ExecStatusType status = PQresultStatus(first);
    if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        error = m_link->resultError(first, QStringLiteral("Instrucción rechazada."));
        PQclear(first);
        finish();
        return false;
    }
    m_described = first;
    for (int column = 0, count = PQnfields(first); column < count; ++column) {
        m_kinds.push_back(kindOf(PQftype(first, column)));
        m_binary.push_back(PQftype(first, column) == byteaType);
    }
    if (status == PGRES_SINGLE_TUPLE) {
        // The first row came with the columns: it is the first next() hands over.
        m_ahead = PQcopyResult(first, PG_COPYRES_ATTRS | PG_COPYRES_TUPLES);
    } else {
        finish();
    }
    return true;
}

void PgCursor::finish()
{
    m_finished = true;
    // Whatever follows the last result, up to the end of the statement.
    std::optional<DbError> ignored;
    while (m_link->reading) {
        PGresult *rest = m_link->next(ignored);
        if (!rest)
            break;
        PQclear(rest);
    }
}

QString PgCursor::columnName(int column) const
{
    return QString::fromUtf8(PQfname(m_described, column));
}

bool PgCursor::next()
{
    PQclear(m_row);
    m_row = nullptr;
    if (m_ahead) {
        m_row = m_ahead;
        m_ahead = nullptr;
        return true;
    }
    if (m_finished)
        return false;
    std::optional<DbError> failure;
    PGresult *result = m_link->next(failure);
    if (!result) {
        m_finished = true;
        if (failure)
            m_error = *failure;
        return false;
    }
    switch (PQresultStatus(result)) {
    case PGRES_SINGLE_TUPLE:
        m_row = result;
        return true;
    case PGRES_TUPLES_OK:
    case PGRES_COMMAND_OK:
        PQclear(result);
        finish();
        return false;
    default:
        m_error = m_link->resultError(result, QStringLiteral("Error al leer una fila."));
        PQclear(result);
        finish();
        return false;
    }
}

CellKind PgCursor::kind(int column) const
{
    return PQgetisnull(m_row, 0, column) ? CellKind::Null : m_kinds.at(std::size_t(column));
}

std::string_view PgCursor::utf8(int column) const
{
    if (PQgetisnull(m_row, 0, column))
        return {};
    const char *value = PQgetvalue(m_row, 0, column);
    if (!m_binary.at(std::size_t(column)))
        return {value, std::size_t(PQgetlength(m_row, 0, column))};
    std::size_t size = 0;
    unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(value), &size);
    m_scratch.assign(reinterpret_cast<const char *>(bytes), bytes ? size : 0);
    PQfreemem(bytes);
    return m_scratch;
}

qint64 PgCursor::integer(int column) const
{
    const char *value = PQgetvalue(m_row, 0, column);
    const int length = PQgetlength(m_row, 0, column);
    if (m_kinds.at(std::size_t(column)) == CellKind::Real)
        return clampedInteger(real(column));
    if (length == 1 && (*value == 't' || *value == 'f'))
        return *value == 't' ? 1 : 0;
    qint64 number = 0;
    std::from_chars(value, value + length, number);
    return number;
}

double PgCursor::real(int column) const
{
    const char *value = PQgetvalue(m_row, 0, column);
    double number = 0;
    // "NaN", "Infinity" and numbers alike; the server writes them in the C locale.
    std::from_chars(value, value + PQgetlength(m_row, 0, column), number);
    return number;
}

} // namespace dw
