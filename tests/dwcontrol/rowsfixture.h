#pragma once

// A table of values behind the Cursor interface and an evaluation context over a
// ColumnStore: what the expression, sort and filter tests run on, without a database.

#include "db/connection.h"
#include "expr/expression.h"
#include "rows/rowstore.h"

#include <QHash>
#include <QStringList>

#include <vector>

class TableCursor : public dw::Cursor
{
public:
    TableCursor(QStringList names, std::vector<std::vector<dw::Value>> rows)
        : m_names(std::move(names))
        , m_rows(std::move(rows))
    {}

    // The cursor stops with an error after this many rows.
    void failAfter(std::size_t rows) { m_failAfter = rows; }

    int columnCount() const override { return int(m_names.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    bool next() override
    {
        if (m_next >= m_rows.size() || m_next >= m_failAfter)
            return false;
        m_current = m_next++;
        m_bytes.clear();
        for (const dw::Value &value : m_rows[m_current])
            m_bytes.push_back(value.isText() ? value.toText().toUtf8() : QByteArray());
        return true;
    }
    dw::CellKind kind(int column) const override
    {
        const dw::Value &value = cell(column);
        if (value.isNull())
            return dw::CellKind::Null;
        if (value.isInteger())
            return dw::CellKind::Integer;
        return value.isReal() ? dw::CellKind::Real : dw::CellKind::Text;
    }
    std::string_view utf8(int column) const override
    {
        const QByteArray &bytes = m_bytes[std::size_t(column)];
        return std::string_view(bytes.constData(), std::size_t(bytes.size()));
    }
    qint64 integer(int column) const override { return cell(column).toInteger(); }
    double real(int column) const override { return cell(column).toNumber(); }
    const dw::DbError *error() const override
    {
        return m_next >= m_failAfter && m_next < m_rows.size() ? &m_error : nullptr;
    }

private:
    const dw::Value &cell(int column) const { return m_rows[m_current][std::size_t(column)]; }

    QStringList m_names;
    std::vector<std::vector<dw::Value>> m_rows;
    std::size_t m_next = 0;
    std::size_t m_current = 0;
    std::size_t m_failAfter = std::size_t(-1);
    std::vector<QByteArray> m_bytes;
    dw::DbError m_error{-1, QStringLiteral("cursor failed"), {}};
};

// Column n of the context is column n - 1 of the store, as in the data window.
class StoreContext : public dw::EvalContext
{
public:
    StoreContext(QStringList names, const dw::ColumnStore &store) : m_names(std::move(names)), m_store(store)
    {}

    // Display texts of a column (a drop-down or code table), by stored value as text.
    QHash<int, QHash<QString, QString>> displays;
    // Answers of describe(); anything else is "!".
    QHash<QString, QString> described;
    mutable QStringList describeCalls;
    mutable int lookupCalls = 0;

    int columnNumber(const QString &name) const override
    {
        for (int i = 0; i < m_names.size(); ++i) {
            if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
                return i + 1;
        }
        return 0;
    }
    dw::Value columnValue(int column, qint64 index) const override
    {
        if (index < 0)
            return {};
        return m_store.value(index, column - 1);
    }
    QString lookupDisplay(int column, qint64 index) const override
    {
        ++lookupCalls;
        const QString stored = columnValue(column, index).toText();
        const auto table = displays.constFind(column);
        if (table == displays.cend())
            return stored;
        return table->value(stored, stored);
    }
    QString describe(const QString &path) const override
    {
        describeCalls.append(path);
        return described.value(path, QStringLiteral("!"));
    }

private:
    QStringList m_names;
    const dw::ColumnStore &m_store;
};

// A column store of the given rows, its evaluation context and its rows in retrieval
// order: what the sort and filter tests work on.
struct StoredRows
{
    StoredRows(const QStringList &names, const std::vector<dw::ColumnType> &types,
               std::vector<std::vector<dw::Value>> values)
        : store(types)
        , context(names, store)
    {
        TableCursor cursor(names, std::move(values));
        if (store.appendAll(cursor) < 0)
            qFatal("fixture rows not stored");
        rows.reset(store.size());
    }

    dw::ColumnStore store;
    StoreContext context;
    dw::RowSet rows;
};
