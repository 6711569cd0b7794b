#include "db/pgcursor.h"

#include "types/integerrange.h"

#include <charconv>
#include <cstring>

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

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A field of COPY's text format with its backslash escapes undone.
void unescape(std::string_view field, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out.push_back(c);
            continue;
        }
        const char e = field[++i];
        switch (e) {
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'v':
            out.push_back('\v');
            break;
        case 'x': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && i + 1 < field.size() && hexDigit(field[i + 1]) >= 0) {
                value = value * 16 + hexDigit(field[++i]);
                ++digits;
            }
            if (digits == 0)
                out.push_back('x');
            else
                out.push_back(char(value));
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                int value = e - '0';
                for (int digits = 1;
                     digits < 3 && i + 1 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '7';
                     ++digits)
                    value = value * 8 + (field[++i] - '0');
                out.push_back(char(value));
            } else {
                out.push_back(e);
            }
        }
    }
}

} // namespace

PgCursor::PgCursor(std::shared_ptr<PgLink> link, Source source) : m_link(std::move(link)), m_source(source) {}

PgCursor::~PgCursor()
{
    if (m_copyRow)
        PQfreemem(m_copyRow);
    PQclear(m_ahead);
    PQclear(m_row);
    PQclear(m_described);
    if (!m_finished)
        m_link->abandon();
}

bool PgCursor::describe(PGresult *described)
{
    m_described = described;
    const int count = PQnfields(described);
    for (int column = 0; column < count; ++column) {
        m_kinds.push_back(kindOf(PQftype(described, column)));
        m_binary.push_back(PQftype(described, column) == byteaType);
    }
    m_values.resize(std::size_t(count));
    m_null.resize(std::size_t(count));
    m_decoded.resize(std::size_t(count));
    return true;
}

bool PgCursor::start(const QByteArray &sql, DbError &error)
{
    if (m_source == Source::Copy) {
        PGresult *described = m_link->describe(sql, error);
        if (!described || !describe(described))
            return false;
        if (!m_link->sendCopy(sql, error))
            return false;
    }
    std::optional<DbError> failure;
    PGresult *first = m_link->next(failure);
    if (!first) {
        m_finished = true;
        error = failure.value_or(m_link->connectionError(QStringLiteral("Instrucción rechazada.")));
        return false;
    }
    const ExecStatusType status = PQresultStatus(first);
    if (m_source == Source::Copy) {
        if (status == PGRES_COPY_OUT) {
            PQclear(first);
            return true;
        }
    } else if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        (void)describe(first);
        if (status == PGRES_SINGLE_TUPLE) {
            // The first row came with the columns: it is the first next() hands over.
            m_ahead = PQcopyResult(first, PG_COPYRES_ATTRS | PG_COPYRES_TUPLES);
        } else {
            finish();
        }
        return true;
    }
    error = m_link->resultError(first, QStringLiteral("Instrucción rechazada."));
    PQclear(first);
    m_link->copying = false;
    finish();
    return false;
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

bool PgCursor::splitCopyRow(const char *row, int length)
{
    std::string_view rest(row, std::size_t(length));
    if (!rest.empty() && rest.back() == '\n')
        rest.remove_suffix(1);
    for (std::size_t column = 0; column < m_values.size(); ++column) {
        const std::size_t tab = column + 1 < m_values.size() ? rest.find('\t') : rest.size();
        if (tab == std::string_view::npos)
            return false;
        const std::string_view field = rest.substr(0, tab);
        rest.remove_prefix(std::min(rest.size(), tab + 1));
        m_null[column] = field == "\\N";
        if (field.find('\\') == std::string_view::npos) {
            m_values[column] = field;
        } else {
            unescape(field, m_decoded[column]);
            m_values[column] = m_decoded[column];
        }
    }
    return true;
}

bool PgCursor::nextCopyRow()
{
    if (m_copyRow) {
        PQfreemem(m_copyRow);
        m_copyRow = nullptr;
    }
    std::optional<DbError> failure;
    const int length = m_link->copyRow(&m_copyRow, failure);
    if (length > 0) {
        if (splitCopyRow(m_copyRow, length))
            return true;
        m_error = m_link->connectionError(QStringLiteral("Error al leer una fila."));
        finish();
        return false;
    }
    if (failure) {
        m_finished = true;
        m_error = *failure;
        return false;
    }
    // The end of the rows, or a failure the statement's result explains.
    PGresult *result = m_link->next(failure);
    if (result && PQresultStatus(result) != PGRES_COMMAND_OK)
        m_error = m_link->resultError(result, QStringLiteral("Error al leer una fila."));
    else if (!result && failure)
        m_error = *failure;
    PQclear(result);
    finish();
    return false;
}

bool PgCursor::next()
{
    if (m_source == Source::Copy)
        return !m_finished && nextCopyRow();
    PQclear(m_row);
    m_row = nullptr;
    if (m_ahead) {
        m_row = m_ahead;
        m_ahead = nullptr;
    } else if (m_finished) {
        return false;
    } else {
        std::optional<DbError> failure;
        PGresult *result = m_link->next(failure);
        if (!result) {
            m_finished = true;
            if (failure)
                m_error = *failure;
            return false;
        }
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_SINGLE_TUPLE) {
            if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
                m_error = m_link->resultError(result, QStringLiteral("Error al leer una fila."));
            PQclear(result);
            finish();
            return false;
        }
        m_row = result;
    }
    for (std::size_t column = 0; column < m_values.size(); ++column) {
        m_null[column] = PQgetisnull(m_row, 0, int(column));
        m_values[column]
            = {PQgetvalue(m_row, 0, int(column)), std::size_t(PQgetlength(m_row, 0, int(column)))};
    }
    return true;
}

CellKind PgCursor::kind(int column) const
{
    return m_null.at(std::size_t(column)) ? CellKind::Null : m_kinds.at(std::size_t(column));
}

std::string_view PgCursor::utf8(int column) const
{
    if (m_null.at(std::size_t(column)))
        return {};
    const std::string_view value = m_values[std::size_t(column)];
    if (!m_binary[std::size_t(column)])
        return value;
    const std::string text(value);
    std::size_t size = 0;
    unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(text.c_str()), &size);
    m_scratch.assign(reinterpret_cast<const char *>(bytes), bytes ? size : 0);
    PQfreemem(bytes);
    return m_scratch;
}

qint64 PgCursor::integer(int column) const
{
    const std::string_view value = m_values.at(std::size_t(column));
    if (m_kinds.at(std::size_t(column)) == CellKind::Real)
        return clampedInteger(real(column));
    if (value == "t" || value == "f")
        return value == "t" ? 1 : 0;
    qint64 number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    return number;
}

double PgCursor::real(int column) const
{
    const std::string_view value = m_values.at(std::size_t(column));
    double number = 0;
    // "NaN", "Infinity" and numbers alike; the server writes them in the C locale.
    std::from_chars(value.data(), value.data() + value.size(), number);
    return number;
}

} // namespace dw
