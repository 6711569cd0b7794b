#include "db/sqliteconnection.h"

#include "db/errors.h"
#include "text/accents.h"
#include "text/likepattern.h"
#include "text/upper.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QElapsedTimer>

#include <algorithm>
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

// The text of `arg` rewritten by `convert` (which writes at most upperUtf8Capacity() bytes
// per byte read): null stays null, numbers are rewritten as their text, like Access does.
void upperCasedResult(sqlite3_context *context, sqlite3_value *arg,
                      std::size_t (*convert)(std::string_view text, char *out))
{
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
    const std::size_t length = start + convert(text.substr(start), out + start);
    sqlite3_result_text64(context, out, length, sqlite3_free, SQLITE_UTF8);
}

// ucase(x): x upper-cased.
void ucaseFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    upperCasedResult(context, argv[0], [](std::string_view text, char *out) { return upperUtf8(text, out); });
}

// sinacentos(x): x upper-cased and without accents (see foldedUpperUtf8).
void foldedUpperFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    upperCasedResult(context, argv[0], &foldedUpperUtf8);
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

// What SQLite reports, in Spanish, followed by SQLite's own words.
QString explain(int code)
{
    if (code == SQLITE_IOERR_DATA)
        return QStringLiteral("El archivo de base de datos cambió mientras se leía (otro programa escribió "
                              "en él); vuelva a buscar para ver sus datos actuales");
    if (code == SQLITE_READONLY_ROLLBACK)
        return QStringLiteral("El archivo de base de datos tiene cambios a medias de un programa que se "
                              "interrumpió mientras lo escribía (queda su archivo -journal)");
    switch (code & 0xff) {
    case SQLITE_READONLY:
        return QStringLiteral("La base de datos es de sólo lectura y no admite cambios");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("El archivo de base de datos está dañado");
    case SQLITE_ERROR:
        return QStringLiteral("La instrucción SQL no es válida");
    case SQLITE_NOMEM:
        return QStringLiteral("No hay memoria suficiente para la consulta");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("La base de datos está ocupada por otro programa");
    case SQLITE_IOERR:
        return QStringLiteral("Error al leer el archivo de base de datos");
    case SQLITE_CANTOPEN:
        return QStringLiteral("No se puede abrir el archivo de base de datos");
    case SQLITE_FULL:
        return QStringLiteral("No queda espacio para los datos temporales de la consulta");
    case SQLITE_TOOBIG:
        return QStringLiteral("Un valor de la consulta es demasiado grande");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("La base de datos no permite esta operación");
    case SQLITE_RANGE:
    case SQLITE_MISMATCH:
        return QStringLiteral("Los argumentos de la instrucción no son válidos");
    default:
        return QStringLiteral("El motor de base de datos informó un error");
    }
}

// A statement's bounds while it runs: SQLite calls back every few thousand steps, and
// the statement stops once it has run too long or its temporary results take too much.
// The same call back gives the connection's heartbeat, when it has one.
class StatementWatch
{
public:
    StatementWatch(const StatementLimits &limits, std::shared_ptr<const std::function<void()>> heartbeat)
        : m_limits(limits)
        , m_memoryAtStart(sqlite3_memory_used())
        , m_heartbeat(std::move(heartbeat))
    {
        m_clock.start();
    }

    enum class Stop { None, Time, Memory, Result };

    static int check(void *self)
    {
        auto *watch = static_cast<StatementWatch *>(self);
        if (*watch->m_heartbeat)
            (*watch->m_heartbeat)();
        return watch->overLimit() ? 1 : 0;
    }

    bool overLimit()
    {
        if (m_clock.elapsed() > qint64(m_limits.seconds) * 1000)
            m_stop = Stop::Time;
        else if (sqlite3_memory_used() - m_memoryAtStart > m_limits.memoryBytes)
            m_stop = Stop::Memory;
        return m_stop != Stop::None;
    }

    // Counts the text and binary values of a row handed over; false past the limit.
    bool handOver(sqlite3_stmt *statement)
    {
        for (int column = 0, count = sqlite3_column_count(statement); column < count; ++column) {
            const int type = sqlite3_column_type(statement, column);
            if (type == SQLITE_TEXT || type == SQLITE_BLOB)
                m_resultBytes += sqlite3_column_bytes(statement, column);
        }
        if (m_resultBytes > m_limits.resultBytes)
            m_stop = Stop::Result;
        return m_stop == Stop::None;
    }

    [[nodiscard]] DbError stopped(const DbError &reported) const
    {
        if (m_stop == Stop::Time)
            return timeLimitError(m_limits.seconds);
        if (m_stop == Stop::Memory || (reported.code & 0xff) == SQLITE_TOOBIG
            || (reported.code & 0xff) == SQLITE_NOMEM) {
            return makeError(dberror::StatementStopped,
                             QStringLiteral("La consulta se detuvo: sus datos temporales pasaron del "
                                            "límite de %1 MB de las consultas (%2).")
                                 .arg(m_limits.memoryBytes / (1024 * 1024))
                                 .arg(reported.text));
        }
        if (m_stop == Stop::Result) {
            return makeError(dberror::StatementStopped,
                             QStringLiteral("La consulta se detuvo: sus filas pasaron del límite de %1 MB "
                                            "de las consultas.")
                                 .arg(m_limits.resultBytes / (1024 * 1024)));
        }
        return reported;
    }

private:
    StatementLimits m_limits;
    sqlite3_int64 m_memoryAtStart;
    std::shared_ptr<const std::function<void()>> m_heartbeat;
    qint64 m_resultBytes = 0;
    QElapsedTimer m_clock;
    Stop m_stop = Stop::None;
};

// SQLite calls the watch back after this many virtual machine steps.
constexpr int stepsBetweenChecks = 10000;

// How much of the database file SQLite maps right now (without changing it).
sqlite3_int64 mapLimitOf(sqlite3 *db)
{
    sqlite3_int64 limit = -1; // a negative value only asks
    return sqlite3_file_control(db, "main", SQLITE_FCNTL_MMAP_SIZE, &limit) == SQLITE_OK ? limit : 0;
}

void setMapLimit(sqlite3 *db, sqlite3_int64 limit)
{
    (void)sqlite3_file_control(db, "main", SQLITE_FCNTL_MMAP_SIZE, &limit);
}

} // namespace

// Every page of a mapped file that a statement touches stays in the program's resident
// memory for as long as the map exists, so a retrieval of a large file would leave the
// file's whole size there beside the rows it copied. The map is put in place when a
// statement starts and taken down when the last running one ends; the pages stay in
// the system's file cache, so the next statement maps them again without reading.
// SQLite takes the map down only while no mapped page is in use, and reads through its
// own cache when the map is not there.
class SqliteConnection::MapWhileReading
{
public:
    explicit MapWhileReading(sqlite3 *db) : m_db(db), m_limit(mapLimitOf(db))
    {
        if (m_limit > 0)
            setMapLimit(m_db, 0);
    }

    void started()
    {
        if (m_running++ == 0 && m_limit > 0)
            setMapLimit(m_db, m_limit);
    }

    void ended()
    {
        if (--m_running == 0 && m_limit > 0)
            setMapLimit(m_db, 0);
    }

private:
    sqlite3 *m_db;
    sqlite3_int64 m_limit;
    int m_running = 0;
};

namespace {

// One running statement of a connection, counted while it runs.
class RunningStatement
{
public:
    explicit RunningStatement(std::shared_ptr<SqliteConnection::MapWhileReading> map) : m_map(std::move(map))
    {
        m_map->started();
    }
    ~RunningStatement() { end(); }
    RunningStatement(const RunningStatement &) = delete;
    RunningStatement &operator=(const RunningStatement &) = delete;

    void end()
    {
        if (m_map)
            m_map->ended();
        m_map.reset();
    }

private:
    std::shared_ptr<SqliteConnection::MapWhileReading> m_map;
};

class SqliteCursor final : public Cursor
{
public:
    SqliteCursor(sqlite3_stmt *statement, const StatementLimits &limits,
                 std::shared_ptr<const std::function<void()>> heartbeat,
                 std::unique_ptr<RunningStatement> running)
        : m_statement(statement)
        , m_watch(limits, std::move(heartbeat))
        , m_running(std::move(running))
    {}
    ~SqliteCursor() override
    {
        // The map goes while the connection surely exists: finalizing the last statement
        // of a connection already closed frees it.
        sqlite3_reset(m_statement);
        m_running->end();
        sqlite3_finalize(m_statement);
    }

    int columnCount() const override { return sqlite3_column_count(m_statement); }
    QString columnName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_statement, column));
    }
    bool next() override
    {
        if (m_finished)
            return false;
        sqlite3 *db = sqlite3_db_handle(m_statement);
        // The watch of the statement that steps: cursors of one connection may interleave.
        sqlite3_progress_handler(db, stepsBetweenChecks, &StatementWatch::check, &m_watch);
        const int rc = sqlite3_step(m_statement);
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
        if (rc == SQLITE_ROW && !m_watch.overLimit() && m_watch.handOver(m_statement))
            return true;
        m_finished = true;
        if (rc != SQLITE_DONE)
            m_error = m_watch.stopped(rc == SQLITE_ROW ? DbError{} : sqliteError(db));
        // The statement lets go of its pages now, not when the cursor goes.
        sqlite3_reset(m_statement);
        m_running->end();
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
    StatementWatch m_watch;
    std::unique_ptr<RunningStatement> m_running;
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
    return sqliteError(db);
}

} // namespace

DbError sqliteError(sqlite3 *db)
{
    const int code = sqlite3_extended_errcode(db);
    return makeError(code, explain(code) + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db)));
}

int readOnlyOpenFlags()
{
    return SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
}

SqliteHandle readyOrNull(int rc, SqliteHandle db, const char *statement, QString &problem)
{
    char *message = nullptr;
    if (rc == SQLITE_OK && sqlite3_exec(db.get(), statement, nullptr, nullptr, &message) == SQLITE_OK)
        return db;
    problem = QString::fromUtf8(message ? message : (db ? sqlite3_errmsg(db.get()) : "out of memory"));
    sqlite3_free(message);
    return nullptr;
}

void enableMappedReads(sqlite3 *db)
{
    // SQLite lowers the size to the most its build allows (nothing where it has no
    // mmap); only address space is reserved, pages are read as a cursor reaches them.
    // Called before the read-only guard, which refuses pragmas that set a value.
    const char *pragma
        = sizeof(void *) >= 8 ? "PRAGMA mmap_size=1099511627776" : "PRAGMA mmap_size=268435456";
    sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
}

namespace {

// pattern_match(value, pattern): like for patterns of any length (see likeMatches).
void patternMatchFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    const auto *value = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    const int valueBytes = sqlite3_value_bytes(arguments[0]);
    const auto *pattern = reinterpret_cast<const char *>(sqlite3_value_text(arguments[1]));
    const int patternBytes = sqlite3_value_bytes(arguments[1]);
    sqlite3_result_int(context,
                       likeMatches({value ? value : "", std::size_t(valueBytes)},
                                   {pattern ? pattern : "", std::size_t(patternBytes)}));
}

} // namespace

void registerAccessFunctions(sqlite3 *db)
{
    sqlite3_create_function_v2(db, "pattern_match", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                               nullptr, patternMatchFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "sinacentos", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                               nullptr, foldedUpperFunction, nullptr, nullptr, nullptr);
    // upper() too: SQLite's own knows only ASCII letters, and the SQL the engine sends
    // for SQLite upper-cases with it.
    for (const char *name : {"ucase", "upper"})
        sqlite3_create_function_v2(db, name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                   nullptr, ucaseFunction, nullptr, nullptr, nullptr);
}

void installReadOnlyGuard(sqlite3 *db)
{
    sqlite3_set_authorizer(db, readOnlyAuthorizer, nullptr);
}

SqliteConnection::SqliteConnection(SqliteHandle db)
    : m_db(std::move(db))
    , m_limits(statementLimits())
    , m_map(std::make_shared<MapWhileReading>(m_db.get()))
{
    registerAccessFunctions(m_db.get());
    // Temporary results stay in memory, where the statement watch sees them, instead of
    // in a file that could fill the disk; no single value may pass the memory limit.
    sqlite3_exec(m_db.get(), "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
    sqlite3_limit(m_db.get(), SQLITE_LIMIT_LENGTH,
                  int(std::min<qint64>(m_limits.memoryBytes, 1'000'000'000)));
    installReadOnlyGuard(m_db.get());
}

SqliteConnection::~SqliteConnection() = default;

void SqliteConnection::setHeartbeat(std::function<void()> heartbeat)
{
    *m_heartbeat = std::move(heartbeat);
}

std::unique_ptr<Cursor> SqliteConnection::query(const QString &sql, const std::vector<Value> &params,
                                                DbError &error)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    auto running = std::make_unique<RunningStatement>(m_map); // preparing reads the schema
    if (sqlite3_prepare_v3(m_db.get(), text.constData(), int(text.size()), 0, &statement, nullptr)
        != SQLITE_OK) {
        error = statementError(m_db.get(), sql);
        sqlite3_finalize(statement);
        return nullptr;
    }
    auto cursor = std::make_unique<SqliteCursor>(statement, m_limits, m_heartbeat, std::move(running));
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
