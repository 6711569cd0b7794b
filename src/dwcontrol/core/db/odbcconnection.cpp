#include "db/odbcconnection.h"

#include "db/errors.h"
#include "types/integerrange.h"

#include <QtGlobal>
#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace dw {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide text");

SQLWCHAR *wide(const std::u16string &text)
{
    return reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(text.c_str()));
}

std::u16string utf16(const QString &text)
{
    return text.toStdU16String();
}

// The first diagnostic record of a handle: the native code, and the driver's message
// after `context`, the Spanish account of what failed (alone when the driver says nothing).
DbError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const QString &context)
{
    std::array<SQLWCHAR, 6> state{};
    std::array<SQLWCHAR, 2048> message{};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, 1, state.data(), &native, message.data(),
                                        SQLSMALLINT(message.size()), &length);
    if (!SQL_SUCCEEDED(rc))
        return makeError(dberror::OdbcUnavailable, context);
    const qsizetype size = std::min<qsizetype>(length, qsizetype(message.size()) - 1);
    QString lead = context;
    if (lead.endsWith(u'.'))
        lead.chop(1);
    DbError error
        = makeError(native,
                    lead + QStringLiteral(": ")
                        + QString::fromUtf16(reinterpret_cast<const char16_t *>(message.data()), size));
    error.state = QString::fromUtf16(reinterpret_cast<const char16_t *>(state.data()), 5);
    return error;
}

// The environment and connection handles, shared by the connection and its cursors so a
// cursor that outlives its connection still frees its statement first.
struct OdbcHandles
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    bool autoCommit = false;
    bool lost = false;

    // The program never writes: whatever a statement opened on the server (a transaction,
    // its locks, or a failed statement that would refuse every later one) is given up
    // as soon as the statement is done.
    void endRead()
    {
        if (connected && !autoCommit)
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
    }

    // After a failure: a communication error (SQLSTATE class 08) or a driver that calls
    // the connection dead means only a new connection can answer.
    void noteFailure(const DbError &error)
    {
        SQLUINTEGER dead = SQL_CD_FALSE;
        lost = lost || error.state.startsWith(u"08")
            || (SQL_SUCCEEDED(SQLGetConnectAttrW(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))
                && dead == SQL_CD_TRUE);
    }

    OdbcHandles() = default;
    OdbcHandles(const OdbcHandles &) = delete;
    OdbcHandles &operator=(const OdbcHandles &) = delete;
    ~OdbcHandles()
    {
        if (connected) {
            // Nothing is ever written; end the open transaction without keeping anything.
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
            SQLDisconnect(dbc);
        }
        if (dbc != SQL_NULL_HDBC)
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

struct Cell
{
    CellKind kind = CellKind::Null;
    qint64 integer = 0;
    double real = 0;
    std::string text;
};

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

class OdbcCursor final : public Cursor
{
public:
    OdbcCursor(std::shared_ptr<OdbcHandles> handles, SQLHSTMT statement)
        : m_handles(std::move(handles))
        , m_statement(statement)
    {}
    ~OdbcCursor() override
    {
        SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
        m_handles->endRead();
    }

    // Reads the result's columns; false with `error` set when the driver cannot describe them.
    [[nodiscard]] bool describe(DbError &error)
    {
        SQLSMALLINT count = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_statement, &count))) {
            error = diagnostics(SQL_HANDLE_STMT, m_statement, QStringLiteral("Resultado ilegible."));
            return false;
        }
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
            m_fetch.push_back(fetchFor(type));
        }
        m_cells.resize(m_fetch.size());
        return true;
    }

    int columnCount() const override { return int(m_fetch.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    bool next() override
    {
        if (m_finished)
            return false;
        const SQLRETURN rc = SQLFetch(m_statement);
        if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc)) {
            m_finished = true;
            if (rc != SQL_NO_DATA) {
                m_error
                    = diagnostics(SQL_HANDLE_STMT, m_statement, QStringLiteral("Error al leer una fila."));
                m_handles->noteFailure(*m_error);
            }
            return false;
        }
        // Columns are read in order, as every driver allows with SQLGetData.
        for (std::size_t i = 0; i < m_fetch.size(); ++i) {
            if (!readCell(SQLUSMALLINT(i + 1), m_fetch[i], m_cells[i])) {
                m_finished = true;
                m_error
                    = diagnostics(SQL_HANDLE_STMT, m_statement, QStringLiteral("Error al leer un valor."));
                m_handles->noteFailure(*m_error);
                return false;
            }
        }
        return true;
    }
    CellKind kind(int column) const override { return m_cells.at(std::size_t(column)).kind; }
    std::string_view utf8(int column) const override
    {
        const Cell &cell = m_cells.at(std::size_t(column));
        if (cell.kind == CellKind::Text || cell.kind == CellKind::Null)
            return cell.text;
        // Numbers as text, for callers that want every cell as text.
        m_scratch = cell.kind == CellKind::Integer ? std::to_string(cell.integer)
                                                   : QByteArray::number(cell.real, 'g', 17).toStdString();
        return m_scratch;
    }
    qint64 integer(int column) const override
    {
        const Cell &cell = m_cells.at(std::size_t(column));
        return cell.kind == CellKind::Real ? clampedInteger(cell.real) : cell.integer;
    }
    double real(int column) const override
    {
        const Cell &cell = m_cells.at(std::size_t(column));
        return cell.kind == CellKind::Integer ? double(cell.integer) : cell.real;
    }
    const DbError *error() const override { return m_error ? &*m_error : nullptr; }

private:
    bool readCell(SQLUSMALLINT column, Fetch fetch, Cell &cell)
    {
        SQLLEN indicator = 0;
        cell.text.clear();
        if (fetch == Fetch::Integer) {
            SQLBIGINT value = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_SBIGINT, &value, 0, &indicator)))
                return false;
            cell.kind = indicator == SQL_NULL_DATA ? CellKind::Null : CellKind::Integer;
            cell.integer = value;
            return true;
        }
        if (fetch == Fetch::Real) {
            double value = 0;
            if (!SQL_SUCCEEDED(SQLGetData(m_statement, column, SQL_C_DOUBLE, &value, 0, &indicator)))
                return false;
            cell.kind = indicator == SQL_NULL_DATA ? CellKind::Null : CellKind::Real;
            cell.real = value;
            return true;
        }
        // Text and binary values come in pieces until the whole value has arrived.
        const bool binary = fetch == Fetch::Binary;
        std::u16string wideText;
        std::array<SQLWCHAR, 8192> buffer{};
        const SQLLEN bufferBytes = SQLLEN(sizeof buffer);
        const SQLLEN usable = binary ? bufferBytes : bufferBytes - SQLLEN(sizeof(SQLWCHAR));
        for (;;) {
            const SQLRETURN rc = SQLGetData(m_statement, column, binary ? SQL_C_BINARY : SQL_C_WCHAR,
                                            buffer.data(), bufferBytes, &indicator);
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
        if (!binary)
            cell.text = QString::fromStdU16String(wideText).toStdString();
        return true;
    }

    std::shared_ptr<OdbcHandles> m_handles;
    SQLHSTMT m_statement;
    QStringList m_names;
    std::vector<Fetch> m_fetch;
    std::vector<Cell> m_cells;
    mutable std::string m_scratch;
    bool m_finished = false;
    std::optional<DbError> m_error;
};

// Parameter values, kept alive until the statement has run.
struct BoundParameter
{
    SQLBIGINT integer = 0;
    double real = 0;
    std::u16string text;
    SQLLEN indicator = 0;
};

class OdbcConnection final : public Connection
{
public:
    OdbcConnection(std::shared_ptr<OdbcHandles> handles, Dialect dialect)
        : m_handles(std::move(handles))
        , m_dialect(dialect)
    {}

    Dialect dialect() const override { return m_dialect; }

    std::unique_ptr<Cursor> query(const QString &sql, const std::vector<Value> &params,
                                  DbError &error) override
    {
        auto cursor = start(sql, params, error);
        if (!cursor) {
            m_handles->noteFailure(error);
            m_handles->endRead();
        }
        return cursor;
    }

    bool lost() const override { return m_handles->lost; }

private:
    std::unique_ptr<Cursor> start(const QString &sql, const std::vector<Value> &params, DbError &error)
    {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_handles->dbc, &statement))) {
            error = diagnostics(SQL_HANDLE_DBC, m_handles->dbc,
                                QStringLiteral("No se puede preparar la instrucción."));
            return nullptr;
        }
        auto cursor = std::make_unique<OdbcCursor>(m_handles, statement);
        const std::u16string text = utf16(sql);
        if (!SQL_SUCCEEDED(SQLPrepareW(statement, wide(text), SQL_NTS))) {
            error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("Instrucción rechazada."));
            return nullptr;
        }
        std::vector<BoundParameter> bound(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            if (!bind(statement, SQLUSMALLINT(i + 1), params[i], bound[i])) {
                error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("Argumento rechazado."));
                return nullptr;
            }
        }
        const SQLRETURN rc = SQLExecute(statement);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("Instrucción rechazada."));
            return nullptr;
        }
        if (!cursor->describe(error))
            return nullptr;
        return cursor;
    }

    static bool bind(SQLHSTMT statement, SQLUSMALLINT index, const Value &value, BoundParameter &slot)
    {
        if (value.isNull()) {
            slot.indicator = SQL_NULL_DATA;
            return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                                  SQL_WVARCHAR, 1, 0, nullptr, 0, &slot.indicator));
        }
        if (value.isInteger()) {
            slot.integer = value.toInteger();
            return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_SBIGINT,
                                                  SQL_BIGINT, 0, 0, &slot.integer, 0, nullptr));
        }
        if (value.isReal()) {
            slot.real = value.toNumber();
            return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE,
                                                  0, 0, &slot.real, 0, nullptr));
        }
        slot.text = utf16(value.toText());
        slot.indicator = SQLLEN(slot.text.size() * sizeof(char16_t));
        return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                              std::max<SQLULEN>(1, slot.text.size()), 0, wide(slot.text),
                                              slot.indicator, &slot.indicator));
    }

    std::shared_ptr<OdbcHandles> m_handles;
    Dialect m_dialect;
};

Dialect dialectOf(SQLHDBC dbc)
{
    std::array<SQLWCHAR, 256> name{};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name.data(), SQLSMALLINT(sizeof name), &length)))
        return Dialect::Generic;
    return dialectOfDbms(QString::fromUtf16(
        reinterpret_cast<const char16_t *>(name.data()),
        std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), qsizetype(name.size()) - 1)));
}

} // namespace

Dialect dialectOfDbms(const QString &dbmsName)
{
    const QString name = dbmsName.trimmed();
    if (name.compare(u"ACCESS", Qt::CaseInsensitive) == 0)
        return Dialect::Access;
    if (name.contains(u"SQLite", Qt::CaseInsensitive))
        return Dialect::SQLite;
    if (name.contains(u"PostgreSQL", Qt::CaseInsensitive))
        return Dialect::PostgreSQL;
    return Dialect::Generic;
}

std::unique_ptr<Connection> openOdbc(const QString &connectString, bool autoCommit, DbError &error)
{
    auto handles = std::make_shared<OdbcHandles>();
    const QString unavailable = QStringLiteral("No se puede iniciar el administrador de controladores ODBC.");
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handles->env))
        || !SQL_SUCCEEDED(
            SQLSetEnvAttr(handles->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))
        || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, handles->env, &handles->dbc))) {
        error = makeError(dberror::OdbcUnavailable, unavailable);
        return nullptr;
    }
    // The program only reads: ask the driver for a read-only connection where it can.
    SQLSetConnectAttrW(handles->dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY),
                       0);
    const std::u16string text = utf16(connectString);
    std::array<SQLWCHAR, 1024> completed{};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc
        = SQLDriverConnectW(handles->dbc, nullptr, wide(text), SQL_NTS, completed.data(),
                            SQLSMALLINT(completed.size()), &completedLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        error = diagnostics(SQL_HANDLE_DBC, handles->dbc,
                            QStringLiteral("No se pudo conectar con el controlador ODBC."));
        return nullptr;
    }
    handles->connected = true;
    handles->autoCommit = autoCommit;
    if (!autoCommit) {
        SQLSetConnectAttrW(handles->dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    }
    const Dialect dialect = dialectOf(handles->dbc);
    return std::make_unique<OdbcConnection>(std::move(handles), dialect);
}

} // namespace dw
