#pragma once

#include "db/pglink.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dw {

// The rows of a statement sent through a PgLink, as text straight from libpq's buffers:
// either one result per row (libpq's single-row mode, for statements with arguments), or
// the rows of `COPY (statement) TO STDOUT` (for the listing: the server's fastest way out).
class PgCursor final : public Cursor
{
public:
    enum class Source { RowByRow, Copy };
    PgCursor(std::shared_ptr<PgLink> link, Source source);
    // A statement still under way is cancelled and its results left unread.
    ~PgCursor() override;
    PgCursor(const PgCursor &) = delete;
    PgCursor &operator=(const PgCursor &) = delete;

    // Starts the statement sent (RowByRow) or `sql` (Copy), and waits for its columns;
    // false with `error` set when the server refused it.
    [[nodiscard]] bool start(const QByteArray &sql, DbError &error);

    int columnCount() const override { return int(m_kinds.size()); }
    QString columnName(int column) const override;
    bool next() override;
    CellKind kind(int column) const override;
    std::string_view utf8(int column) const override;
    qint64 integer(int column) const override;
    double real(int column) const override;
    const DbError *error() const override { return m_error ? &*m_error : nullptr; }

private:
    [[nodiscard]] bool describe(PGresult *described);
    [[nodiscard]] bool nextCopyRow();
    [[nodiscard]] bool splitCopyRow(const char *row, int length);
    void finish();

    std::shared_ptr<PgLink> m_link;
    Source m_source;
    PGresult *m_described = nullptr; // the columns
    PGresult *m_row = nullptr; // the current row, row by row
    PGresult *m_ahead = nullptr; // a row read before it was asked for
    char *m_copyRow = nullptr; // the current row of a COPY
    std::vector<CellKind> m_kinds;
    std::vector<bool> m_binary; // bytea: handed over as its bytes
    // The current row's values: views into libpq's buffer, or into `m_decoded` for a COPY
    // value that had escapes.
    std::vector<std::string_view> m_values;
    std::vector<bool> m_null;
    std::vector<std::string> m_decoded;
    mutable std::string m_scratch;
    bool m_finished = false;
    std::optional<DbError> m_error;
};

} // namespace dw
