#include "db/sqliteconnection.h"

#include "db/errors.h"
#include "text/upper.h"

#include <sqlite3.h>

#include <QByteArray>

#include <array>
#include <cstring>
#include <optional>

namespace dw {

void SqliteCloser::operator()(sqlite3 *db) const
{
    // close_v2 waits for cursors still open, so a cursor may outlive its connection.
    sqlite3_close_v2(db);
}

namespace {

// ucase(x): null stays null, numbers are upper-cased as their text, like Access does.
void ucaseFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    sqlite3_value *arg = argv[0];
    if (sqlite3_value_type(arg) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(arg));
    const int size = sqlite3_value_bytes(arg);
    if (!bytes) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const std::string_view text(bytes, std::size_t(size));
    const std::size_t start = firstUpperCandidate(text);
    if (start == text.size()) {
        // Nothing to change: hand the argument back without copying it.
        sqlite3_result_value(context, arg);
        return;
    }
    const std::size_t capacity = start + upperUtf8Capacity(text.size() - start);
    auto *out = static_cast<char *>(sqlite3_malloc64(capacity + 1));
    if (!out) {
        sqlite3_result_error_nomem(context);
        return;
    }
    std::memcpy(out, bytes, start);
    const std::size_t length = start + upperUtf8(text.substr(start), out + start);
    sqlite3_result_text64(context, out, length, sqlite3_free, SQLITE_UTF8);
}

// Pragmas that only report; every other pragma (and any pragma given a value) is refused.
bool isReportingPragma(const char *name)
{
    static constexpr std::array names{"table_info",  "table_xinfo",   "index_list",       "index_info",
                                      "index_xinfo", "database_list", "foreign_key_list", "collation_list"};
    for (const char *candidate : names) {
        if (sqlite3_stricmp(name, candidate) == 0)
            return true;
    }
    return false;
}

int readOnlyAuthorizer(void *, int action, const char *arg1, const char *arg2, const char *, const char *)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_PRAGMA:
        return arg1 && !arg2 && isReportingPragma(arg1) ? SQLITE_OK : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

class SqliteCursor final : public Cursor
{
public:
    explicit SqliteCursor(sqlite3_stmt *statement) : m_statement(statement) {}
    ~SqliteCursor() override { sqlite3_finalize(m_statement); }

    int columnCount() const override { return sqlite3_column_count(m_statement); }
    QString columnName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_statement, column));
    }
    bool next() override
    {
        if (m_finished)
            return false;
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        m_finished = true;
        if (rc != SQLITE_DONE) {
            sqlite3 *db = sqlite3_db_handle(m_statement);
            m_error = DbError{sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))};
        }
        return false;
    }
    CellKind kind(int column) const override
    {
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_NULL:
            return CellKind::Null;
        case SQLITE_INTEGER:
            return CellKind::Integer;
        case SQLITE_FLOAT:
            return CellKind::Real;
        default:
            return CellKind::Text;
        }
    }
    std::string_view utf8(int column) const override
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        if (!text)
            return {};
        return {text, std::size_t(sqlite3_column_bytes(m_statement, column))};
    }
    qint64 integer(int column) const override { return sqlite3_column_int64(m_statement, column); }
    double real(int column) const override { return sqlite3_column_double(m_statement, column); }
    const DbError *error() const override { return m_error ? &*m_error : nullptr; }

private:
    sqlite3_stmt *m_statement;
    bool m_finished = false;
    std::optional<DbError> m_error;
};

DbError statementError(sqlite3 *db, const QString &sql)
{
    const int code = sqlite3_extended_errcode(db);
    if (code == SQLITE_AUTH) {
        return makeError(dberror::ReadOnly,
                         QStringLiteral("La base de datos está abierta sólo para lectura; "
                                        "no se admite la instrucción: %1")
                             .arg(sql.simplified().left(200)));
    }
    return makeError(code, QString::fromUtf8(sqlite3_errmsg(db)));
}

} // namespace

void registerAccessFunctions(sqlite3 *db)
{
    sqlite3_create_function_v2(db, "ucase", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               ucaseFunction, nullptr, nullptr, nullptr);
}

void installReadOnlyGuard(sqlite3 *db)
{
    sqlite3_set_authorizer(db, readOnlyAuthorizer, nullptr);
}

SqliteConnection::SqliteConnection(SqliteHandle db) : m_db(std::move(db))
{
    registerAccessFunctions(m_db.get());
    installReadOnlyGuard(m_db.get());
}

SqliteConnection::~SqliteConnection() = default;

std::unique_ptr<Cursor> SqliteConnection::query(const QString &sql, const std::vector<Value> &params,
                                                DbError &error)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(m_db.get(), text.constData(), int(text.size()), 0, &statement, nullptr)
        != SQLITE_OK) {
        error = statementError(m_db.get(), sql);
        sqlite3_finalize(statement);
        return nullptr;
    }
    auto cursor = std::make_unique<SqliteCursor>(statement);
    if (!statement) {
        // Only blanks or a comment: a statement without rows.
        error = makeError(SQLITE_ERROR, QStringLiteral("La instrucción está vacía."));
        return nullptr;
    }
    const int expected = sqlite3_bind_parameter_count(statement);
    if (expected != int(params.size())) {
        error = makeError(SQLITE_RANGE,
                          QStringLiteral("La instrucción espera %1 argumentos y recibió %2.")
                              .arg(expected)
                              .arg(params.size()));
        return nullptr;
    }
    for (int i = 0; i < expected; ++i) {
        const Value &value = params[std::size_t(i)];
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(statement, i + 1);
        } else if (value.isInteger()) {
            rc = sqlite3_bind_int64(statement, i + 1, value.toInteger());
        } else if (value.isReal()) {
            rc = sqlite3_bind_double(statement, i + 1, value.toNumber());
        } else {
            const QByteArray utf8 = value.toText().toUtf8();
            rc = sqlite3_bind_text64(statement, i + 1, utf8.constData(), sqlite3_uint64(utf8.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        if (rc != SQLITE_OK) {
            error = statementError(m_db.get(), sql);
            return nullptr;
        }
    }
    return cursor;
}

} // namespace dw
