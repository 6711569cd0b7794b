#include "db/odbccursor.h"

#include "db/errors.h"
#include "db/sqlstate.h"
#include "types/integerrange.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace dw {

namespace {

enum class Fetch { Integer, Real, Text, Binary };

Fetch fetchFor(SQLSMALLINT type)
{
    switch (type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_BIT:
        return Fetch::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return Fetch::Real;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return Fetch::Binary;
    default:
        return Fetch::Text;
    }
}

struct Cell
{
    CellKind kind = CellKind::Null;
    qint64 integer = 0;
    double real = 0;
    std::string text;
};

// One column of a block: a slot per row, and the length or null mark of each.
struct ColumnArray
{
    Fetch fetch = Fetch::Text;
    SQLLEN width = 0; // bytes of one slot
    std::vector<char> data;
    std::vector<SQLLEN> lengths;
};

// Memory for one block of rows, all columns together; the number of rows follows from it.
constexpr SQLLEN blockBytes = SQLLEN(4) << 20;
constexpr SQLULEN mostRowsPerBlock = 1000;
// Longer text than this goes through SQLGetData, as does text longer than its column's slot.
constexpr SQLULEN widestTextSlot = 1024;
constexpr SQLULEN widestBinarySlot = 4096;

// The value of `column` in the current row, read with SQLGetData in as many pieces as it takes.
bool readCell(SQLHSTMT statement, SQLUSMALLINT column, Fetch fetch, Cell &cell)
{
    SQLLEN indicator = 0;
    cell.text.clear();
    if (fetch == Fetch::Integer) {
        SQLBIGINT value = 0;
        if (!SQL_SUCCEEDED(SQLGetData(statement, column, SQL_C_SBIGINT, &value, 0, &indicator)))
            return false;
        cell.kind = indicator == SQL_NULL_DATA ? CellKind::Null : CellKind::Integer;
        cell.integer = value;
        return true;
    }
    if (fetch == Fetch::Real) {
        double value = 0;
        if (!SQL_SUCCEEDED(SQLGetData(statement, column, SQL_C_DOUBLE, &value, 0, &indicator)))
            return false;
        cell.kind = indicator == SQL_NULL_DATA ? CellKind::Null : CellKind::Real;
        cell.real = value;
        return true;
    }
    // Text is converted once it is whole: a piece may end inside a surrogate pair.
    const bool binary = fetch == Fetch::Binary;
    std::u16string wideText;
    std::array<SQLWCHAR, 8192> buffer{};
    const SQLLEN bufferBytes = SQLLEN(sizeof buffer);
    const SQLLEN usable = binary ? bufferBytes : bufferBytes - SQLLEN(sizeof(SQLWCHAR));
    for (;;) {
        const SQLRETURN rc = SQLGetData(statement, column, binary ? SQL_C_BINARY : SQL_C_WCHAR, buffer.data(),
                                        bufferBytes, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            return false;
        if (indicator == SQL_NULL_DATA) {
            cell.kind = CellKind::Null;
            return true;
        }
        const SQLLEN got = (indicator == SQL_NO_TOTAL || indicator > usable) ? usable : indicator;
        if (binary)
            cell.text.append(reinterpret_cast<const char *>(buffer.data()), std::size_t(got));
        else
            wideText.append(reinterpret_cast<const char16_t *>(buffer.data()),
                            std::size_t(got) / sizeof(SQLWCHAR));
        if (rc == SQL_SUCCESS || (indicator != SQL_NO_TOTAL && indicator <= usable))
            break;
    }
    cell.kind = CellKind::Text;
    appendUtf8(cell.text, wideText.data(), wideText.size());
    return true;
}

// What a row-at-a-time fetch returns when the row came but one of its values did not.
constexpr int valueUnreadable = -1000;

} // namespace

struct OdbcCursor::Rows
{
    std::vector<ColumnArray> columns;
    std::vector<Cell> cells;
    bool block = false;
    SQLULEN fetched = 0;
    SQLULEN nextRow = 0;
    std::vector<SQLUSMALLINT> status;
};

OdbcCursor::OdbcCursor(std::shared_ptr<OdbcHandles> handles, SQLHSTMT statement)
    : m_handles(std::move(handles))
    , m_statement(statement)
    , m_rows(std::make_shared<Rows>())
{}

OdbcCursor::~OdbcCursor()
{
    // The arrays stay until the statement is freed: an abandoned fetch may still fill them.
    m_handles->calls.whenIdle(
        [statement = m_statement, rows = m_rows] { SQLFreeHandle(SQL_HANDLE_STMT, statement); });
    m_handles->endRead();
}

bool OdbcCursor::describe(DbError &error)
{
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(m_statement, &count))) {
        error = diagnostics(SQL_HANDLE_STMT, m_statement, QStringLiteral("Resultado ilegible."));
        return false;
    }
    Rows &rows = *m_rows;
    SQLLEN rowBytes = 0;
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        std::array<SQLWCHAR, 256> name{};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(m_statement, SQLUSMALLINT(i), name.data(),
                                           SQLSMALLINT(name.size()), &nameLength, &type, &size, &digits,
                                           &nullable))) {
            error = diagnostics(SQL_HANDLE_STMT, m_statement, QStringLiteral("Resultado ilegible."));
            return false;
        }
        m_names << QString::fromUtf16(reinterpret_cast<const char16_t *>(name.data()),
                                      std::min<qsizetype>(nameLength, qsizetype(name.size()) - 1));
        ColumnArray column;
        column.fetch = fetchFor(type);
        switch (column.fetch) {
        case Fetch::Integer:
        case Fetch::Real:
            column.width = 8;
            break;
        case Fetch::Text:
            // A slot for the declared length and the terminating null; an unknown or long
            // length gets a slot of the widest size, and longer values are completed.
            column.width = SQLLEN((size == 0 || size > widestTextSlot ? widestTextSlot : size) + 1)
                * SQLLEN(sizeof(SQLWCHAR));
            break;
        case Fetch::Binary:
            column.width = SQLLEN(size == 0 || size > widestBinarySlot ? widestBinarySlot : size);
            break;
        }
        rowBytes += column.width + SQLLEN(sizeof(SQLLEN));
        rows.columns.push_back(std::move(column));
    }
    rows.cells.resize(rows.columns.size());

    // A long value inside a block is completed by positioning on its row: drivers that
    // cannot do that read one row at a time.
    SQLUINTEGER extensions = 0;
    const bool canComplete = SQL_SUCCEEDED(SQLGetInfoW(m_handles->dbc, SQL_GETDATA_EXTENSIONS, &extensions,
                                                       sizeof extensions, nullptr))
        && (extensions & SQL_GD_BLOCK) && (extensions & SQL_GD_BOUND);
    if (!canComplete || rows.columns.empty())
        return true;
    SQLULEN wanted
        = std::clamp<SQLULEN>(SQLULEN(blockBytes / std::max<SQLLEN>(rowBytes, 1)), 1, mostRowsPerBlock);
    bool bound = SQL_SUCCEEDED(SQLSetStmtAttrW(m_statement, SQL_ATTR_ROW_BIND_TYPE,
                                               reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0))
        && SQL_SUCCEEDED(SQLSetStmtAttrW(m_statement, SQL_ATTR_ROW_ARRAY_SIZE,
                                         reinterpret_cast<SQLPOINTER>(wanted), 0))
        && SQL_SUCCEEDED(SQLGetStmtAttrW(m_statement, SQL_ATTR_ROW_ARRAY_SIZE, &wanted, 0, nullptr))
        && wanted >= 1;
    if (bound) {
        rows.status.resize(wanted);
        bound = SQL_SUCCEEDED(SQLSetStmtAttrW(m_statement, SQL_ATTR_ROW_STATUS_PTR, rows.status.data(), 0))
            && SQL_SUCCEEDED(SQLSetStmtAttrW(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, &rows.fetched, 0));
    }
    for (std::size_t i = 0; bound && i < rows.columns.size(); ++i) {
        ColumnArray &column = rows.columns[i];
        column.data.resize(std::size_t(column.width) * wanted);
        column.lengths.resize(wanted);
        const SQLSMALLINT type = column.fetch == Fetch::Integer ? SQL_C_SBIGINT
            : column.fetch == Fetch::Real                       ? SQL_C_DOUBLE
            : column.fetch == Fetch::Binary                     ? SQL_C_BINARY
                                                                : SQL_C_WCHAR;
        bound = SQL_SUCCEEDED(SQLBindCol(m_statement, SQLUSMALLINT(i + 1), type, column.data.data(),
                                         column.width, column.lengths.data()));
    }
    if (bound) {
        rows.block = true;
        return true;
    }
    // The driver refused the arrays: back to one row per fetch, values read one by one.
    SQLFreeStmt(m_statement, SQL_UNBIND);
    SQLSetStmtAttrW(m_statement, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    SQLSetStmtAttrW(m_statement, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttrW(m_statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
    for (ColumnArray &column : rows.columns) {
        column.data = {};
        column.lengths = {};
    }
    return true;
}

int OdbcCursor::rowsPerFetch() const
{
    return m_rows->block ? int(m_rows->status.size()) : 1;
}

int OdbcCursor::columnCount() const
{
    return int(m_rows->columns.size());
}

QString OdbcCursor::columnName(int column) const
{
    return m_names.value(column);
}

void OdbcCursor::fail(const CallThread::Result &result, const QString &context)
{
    m_finished = true;
    if (auto stopped = interruption(result, m_handles->limitSeconds)) {
        m_error = *stopped;
    } else {
        m_error = diagnostics(SQL_HANDLE_STMT, m_statement, context);
        // The server's own limit: said as the client's would be.
        if (isCancelledState(m_error->state)) {
            const QString state = m_error->state;
            m_error = timeLimitError(m_handles->limitSeconds);
            m_error->state = state;
        }
    }
    m_handles->noteFailure(*m_error);
}

bool OdbcCursor::fetch()
{
    Rows &rows = *m_rows;
    rows.fetched = 0;
    rows.nextRow = 0;
    const SQLHSTMT statement = m_statement;
    const auto result = m_handles->wait(
        [statement, keep = m_rows] { return SQLFetchScroll(statement, SQL_FETCH_NEXT, 0); }, statement);
    if (result.outcome == CallThread::Outcome::Done && result.code == SQL_NO_DATA) {
        m_finished = true;
        return false;
    }
    if (result.outcome != CallThread::Outcome::Done || !SQL_SUCCEEDED(result.code)) {
        fail(result, QStringLiteral("Error al leer una fila."));
        return false;
    }
    if (rows.fetched == 0) {
        m_finished = true;
        return false;
    }
    return true;
}

bool OdbcCursor::next()
{
    if (m_finished)
        return false;
    Rows &rows = *m_rows;
    if (!rows.block) {
        const SQLHSTMT statement = m_statement;
        const auto result = m_handles->wait(
            [statement, keep = m_rows]() -> SQLRETURN {
                const SQLRETURN rc = SQLFetch(statement);
                if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
                    return rc;
                // Columns are read in order, as every driver allows with SQLGetData.
                for (std::size_t i = 0; i < keep->columns.size(); ++i) {
                    if (!readCell(statement, SQLUSMALLINT(i + 1), keep->columns[i].fetch, keep->cells[i]))
                        return valueUnreadable;
                }
                return rc;
            },
            statement);
        if (result.outcome == CallThread::Outcome::Done && result.code == SQL_NO_DATA) {
            m_finished = true;
            return false;
        }
        if (result.outcome != CallThread::Outcome::Done || !SQL_SUCCEEDED(result.code)) {
            fail(result,
                 result.code == valueUnreadable ? QStringLiteral("Error al leer un valor.")
                                                : QStringLiteral("Error al leer una fila."));
            return false;
        }
        return true;
    }

    if (rows.nextRow >= rows.fetched && !fetch())
        return false;
    const SQLULEN row = rows.nextRow++;
    if (rows.status[row] == SQL_ROW_ERROR) {
        fail({}, QStringLiteral("Error al leer una fila."));
        return false;
    }
    bool positioned = false;
    for (std::size_t i = 0; i < rows.columns.size(); ++i) {
        const ColumnArray &column = rows.columns[i];
        Cell &cell = rows.cells[i];
        const SQLLEN length = column.lengths[row];
        const char *slot = column.data.data() + std::size_t(column.width) * row;
        cell.text.clear();
        if (length == SQL_NULL_DATA) {
            cell.kind = CellKind::Null;
            continue;
        }
        switch (column.fetch) {
        case Fetch::Integer:
            cell.kind = CellKind::Integer;
            std::memcpy(&cell.integer, slot, sizeof cell.integer);
            continue;
        case Fetch::Real:
            cell.kind = CellKind::Real;
            std::memcpy(&cell.real, slot, sizeof cell.real);
            continue;
        case Fetch::Text:
            if (length != SQL_NO_TOTAL && length <= column.width - SQLLEN(sizeof(SQLWCHAR))) {
                cell.kind = CellKind::Text;
                appendUtf8(cell.text, reinterpret_cast<const char16_t *>(slot),
                           std::size_t(length) / sizeof(SQLWCHAR));
                continue;
            }
            break;
        case Fetch::Binary:
            if (length != SQL_NO_TOTAL && length <= column.width) {
                cell.kind = CellKind::Text;
                cell.text.assign(slot, std::size_t(length));
                continue;
            }
            break;
        }
        // Longer than its slot: read whole from the row itself.
        if (!positioned
            && !SQL_SUCCEEDED(
                SQLSetPos(m_statement, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
            fail({}, QStringLiteral("Error al leer un valor."));
            return false;
        }
        positioned = true;
        if (!readCell(m_statement, SQLUSMALLINT(i + 1), column.fetch, cell)) {
            fail({}, QStringLiteral("Error al leer un valor."));
            return false;
        }
    }
    return true;
}

CellKind OdbcCursor::kind(int column) const
{
    return m_rows->cells.at(std::size_t(column)).kind;
}

std::string_view OdbcCursor::utf8(int column) const
{
    const Cell &cell = m_rows->cells.at(std::size_t(column));
    if (cell.kind == CellKind::Text || cell.kind == CellKind::Null)
        return cell.text;
    // Numbers as text, for callers that want every cell as text.
    m_scratch = cell.kind == CellKind::Integer ? std::to_string(cell.integer)
                                               : QByteArray::number(cell.real, 'g', 17).toStdString();
    return m_scratch;
}

qint64 OdbcCursor::integer(int column) const
{
    const Cell &cell = m_rows->cells.at(std::size_t(column));
    return cell.kind == CellKind::Real ? clampedInteger(cell.real) : cell.integer;
}

double OdbcCursor::real(int column) const
{
    const Cell &cell = m_rows->cells.at(std::size_t(column));
    return cell.kind == CellKind::Integer ? double(cell.integer) : cell.real;
}

} // namespace dw
