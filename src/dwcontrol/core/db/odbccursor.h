#pragma once

#include "db/odbchandles.h"

#include <QStringList>

#include <memory>
#include <optional>

namespace dw {

// The rows of an executed ODBC statement. Where the driver can complete a value of a row
// inside a block (SQL_GD_BLOCK), rows come in blocks into column arrays, text as UTF-16
// converted once to UTF-8, a value longer than its array slot read whole with SQLGetData;
// otherwise one row per fetch, every value with SQLGetData. Each fetch waits through the
// connection's handles, so it is bounded in time and keeps the heartbeat going.
class OdbcCursor final : public Cursor
{
public:
    // Takes over `statement`, freed when the cursor goes (or, when a call on it was
    // abandoned, once that call returns).
    OdbcCursor(std::shared_ptr<OdbcHandles> handles, SQLHSTMT statement);
    ~OdbcCursor() override;
    OdbcCursor(const OdbcCursor &) = delete;
    OdbcCursor &operator=(const OdbcCursor &) = delete;

    // Reads the result's columns and sets up the fetching; false with `error` set when the
    // driver cannot describe them.
    [[nodiscard]] bool describe(DbError &error);
    // Rows per fetch: 1 when values are read one row at a time.
    [[nodiscard]] int rowsPerFetch() const;

    int columnCount() const override;
    QString columnName(int column) const override;
    bool next() override;
    CellKind kind(int column) const override;
    std::string_view utf8(int column) const override;
    qint64 integer(int column) const override;
    double real(int column) const override;
    const DbError *error() const override { return m_error ? &*m_error : nullptr; }

    // What the fetching shares with a call that may outlive the cursor.
    struct Rows;

private:
    [[nodiscard]] bool fetch();
    void fail(const CallThread::Result &result, const QString &context);

    std::shared_ptr<OdbcHandles> m_handles;
    SQLHSTMT m_statement;
    QStringList m_names;
    std::shared_ptr<Rows> m_rows;
    mutable std::string m_scratch;
    bool m_finished = false;
    std::optional<DbError> m_error;
};

} // namespace dw
