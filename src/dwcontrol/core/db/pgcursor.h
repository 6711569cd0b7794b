#pragma once

#include "db/pglink.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dw {

// The rows of a statement sent through a PgLink, one result per row (libpq's single-row
// mode), read as text straight from libpq's buffers.
class PgCursor final : public Cursor
{
public:
    explicit PgCursor(std::shared_ptr<PgLink> link);
    // A statement still under way is cancelled and its results left unread.
    ~PgCursor() override;
    PgCursor(const PgCursor &) = delete;
    PgCursor &operator=(const PgCursor &) = delete;

    // Waits for the statement's first result (its columns, and its first row when it has
    // one); false with `error` set when the server refused it.
    [[nodiscard]] bool start(DbError &error);

    int columnCount() const override { return int(m_kinds.size()); }
    QString columnName(int column) const override;
    bool next() override;
    CellKind kind(int column) const override;
    std::string_view utf8(int column) const override;
    qint64 integer(int column) const override;
    double real(int column) const override;
    const DbError *error() const override { return m_error ? &*m_error : nullptr; }

private:
    void finish();

    std::shared_ptr<PgLink> m_link;
    PGresult *m_described = nullptr; // the first result: the columns
    PGresult *m_row = nullptr; // the current row
    PGresult *m_ahead = nullptr; // a row read before it was asked for
    std::vector<CellKind> m_kinds;
    std::vector<bool> m_binary; // bytea: handed over as its bytes
    mutable std::string m_scratch;
    bool m_finished = false;
    std::optional<DbError> m_error;
};

} // namespace dw
