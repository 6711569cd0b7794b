#include "db/odbcconnection.h"

#include "db/connectstring.h"
#include "db/errors.h"
#include "db/odbccursor.h"
#include "db/sqlstate.h"
#include "db/statementlimits.h"

#include <algorithm>
#include <array>
#include <vector>

namespace dw {

namespace {

// Parameter values, kept alive until the statement has run (also when it outlives the
// cursor that started it).
struct BoundParameter
{
    SQLBIGINT integer = 0;
    double real = 0;
    std::u16string text;
    SQLLEN indicator = 0;
};

bool bind(SQLHSTMT statement, SQLUSMALLINT index, const Value &value, BoundParameter &slot)
{
    if (value.isNull()) {
        slot.indicator = SQL_NULL_DATA;
        return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1,
                                              0, nullptr, 0, &slot.indicator));
    }
    if (value.isInteger()) {
        slot.integer = value.toInteger();
        return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0,
                                              0, &slot.integer, 0, nullptr));
    }
    if (value.isReal()) {
        slot.real = value.toNumber();
        return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0,
                                              0, &slot.real, 0, nullptr));
    }
    slot.text = utf16(value.toText());
    slot.indicator = SQLLEN(slot.text.size() * sizeof(char16_t));
    return SQL_SUCCEEDED(SQLBindParameter(statement, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                          std::max<SQLULEN>(1, slot.text.size()), 0, wide(slot.text),
                                          slot.indicator, &slot.indicator));
}

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
        if (m_handles->calls.abandoned()) {
            // Still busy with a statement the server never answered: only a new connection helps.
            m_handles->lost = true;
            error = makeError(dberror::StatementStopped,
                              QStringLiteral("El servidor no respondió a la consulta anterior."));
            return nullptr;
        }
        auto cursor = start(sql, params, error);
        if (!cursor) {
            m_handles->noteFailure(error);
            m_handles->endRead();
        }
        return cursor;
    }

    bool lost() const override { return m_handles->lost; }
    void setHeartbeat(std::function<void()> heartbeat) override
    {
        m_handles->heartbeat = std::move(heartbeat);
    }

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
        auto bound = std::make_shared<std::vector<BoundParameter>>(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            if (!bind(statement, SQLUSMALLINT(i + 1), params[i], (*bound)[i])) {
                error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("Argumento rechazado."));
                return nullptr;
            }
        }
        const auto result = m_handles->wait([statement, bound] { return SQLExecute(statement); }, statement);
        if (auto stopped = interruption(result, m_handles->limitSeconds)) {
            error = *stopped;
            return nullptr;
        }
        if (!SQL_SUCCEEDED(result.code) && result.code != SQL_NO_DATA) {
            error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("Instrucción rechazada."));
            if (isCancelledState(error.state)) {
                const QString state = error.state;
                error = timeLimitError(m_handles->limitSeconds);
                error.state = state;
            }
            return nullptr;
        }
        if (!cursor->describe(error))
            return nullptr;
        return cursor;
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

// Settings of a PostgreSQL session, made while every statement still commits by itself
// (a setting made inside a transaction that is rolled back would not last): each
// statement stops on the server at the time limit, and each transaction only reads, so
// even a role that may write cannot change the directory through the program.
bool setUpPostgresSession(OdbcHandles &handles, DbError &error)
{
    const std::array settings{
        QStringLiteral("SET statement_timeout = %1").arg(qint64(handles.limitSeconds) * 1000),
        QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")};
    for (const QString &setting : settings) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, handles.dbc, &statement))) {
            error
                = diagnostics(SQL_HANDLE_DBC, handles.dbc, QStringLiteral("No se pudo preparar la sesión."));
            return false;
        }
        const auto result = handles.wait(
            [statement, text = utf16(setting)] { return SQLExecDirectW(statement, wide(text), SQL_NTS); },
            statement);
        bool ok = true;
        if (auto stopped = interruption(result, handles.limitSeconds)) {
            error = *stopped;
            ok = false;
        } else if (!SQL_SUCCEEDED(result.code)) {
            error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("No se pudo preparar la sesión."));
            ok = false;
        }
        handles.calls.whenIdle([statement] { SQLFreeHandle(SQL_HANDLE_STMT, statement); });
        if (!ok)
            return false;
    }
    return true;
}

// psqlODBC holds a whole result in memory unless told to read it through a server cursor,
// a block of rows at a time: a listing of a large directory would then take twice the
// memory of the rows it shows. The cursor is the default here; a connect string that says
// UseDeclareFetch keeps its own choice.
QString withServerCursor(const QString &connectString)
{
    const ConnectString parts(connectString);
    const QString driver = parts.value(QStringLiteral("Driver")).value_or(QString());
    if (!driver.contains(u"PostgreSQL", Qt::CaseInsensitive)
        && !driver.contains(u"psqlodbc", Qt::CaseInsensitive))
        return connectString;
    if (parts.value(QStringLiteral("UseDeclareFetch")))
        return connectString;
    QString text = connectString.trimmed();
    if (!text.endsWith(u';'))
        text += u';';
    return text + QStringLiteral("UseDeclareFetch=1;Fetch=2000");
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
    handles->limitSeconds = statementLimits().seconds;
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
    // A server that never answers gives up connecting at the limit, as on the client
    // library's own path (drivers that know no such limit ignore it).
    SQLSetConnectAttrW(handles->dbc, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(SQLULEN(statementLimits().connectSeconds())), 0);
    const std::u16string text = utf16(withServerCursor(connectString));
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
    const Dialect dialect = dialectOf(handles->dbc);
    if (dialect == Dialect::PostgreSQL && !setUpPostgresSession(*handles, error))
        return nullptr;
    if (!autoCommit)
        SQLSetConnectAttrW(handles->dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    return std::make_unique<OdbcConnection>(std::move(handles), dialect);
}

} // namespace dw
