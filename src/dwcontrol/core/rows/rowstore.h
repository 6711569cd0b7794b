#pragma once

#include "db/connection.h"
#include "types/columntype.h"
#include "types/value.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace dw {

// The retrieved rows, column by column: texts as UTF-8 in one arena per column with
// offsets, numbers in plain vectors, a null flag per cell. Rows are appended by a
// retrieval and never change afterwards; sorting and filtering work on indexes. So a copy
// shares the columns instead of copying them: it costs a few pointers, holds the rows
// stored when it was made for as long as it lives, and is unaffected by what the original
// stores or clears afterwards.
class ColumnStore
{
public:
    ColumnStore();
    explicit ColumnStore(std::vector<ColumnType> types);
    ~ColumnStore();
    ColumnStore(const ColumnStore &other);
    ColumnStore &operator=(const ColumnStore &other);
    ColumnStore(ColumnStore &&other) noexcept;
    ColumnStore &operator=(ColumnStore &&other) noexcept;

    void clear();
    // Appends every remaining row of the cursor (cursor column i → store column i);
    // returns the number appended, or -1 when the cursor stopped on an error (the rows
    // read before the error stay). A store made without types takes one column per
    // cursor column, typed by the first row's cells (integer, real, else text).
    // Cells are converted to the column's type: numbers written as text into text
    // columns, texts parsed into number columns (null when they are not numbers).
    // `progress`, when given, is called every few hundred rows; when it answers false the
    // reading stops there and the rows read so far stay, counted in the result.
    qint64 appendAll(Cursor &cursor, const std::function<bool()> &progress = {});

    [[nodiscard]] qint64 size() const;
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] ColumnType type(int column) const; // 0-based column
    [[nodiscard]] bool isNull(qint64 index, int column) const;
    // Char, date and time columns hold UTF-8 text; the others numbers.
    [[nodiscard]] bool isText(int column) const;
    [[nodiscard]] bool isInteger(int column) const; // long, ulong, int
    [[nodiscard]] std::string_view utf8(qint64 index, int column) const; // text columns; empty otherwise
    [[nodiscard]] qint64 integer(qint64 index, int column) const; // integer columns; 0 otherwise
    [[nodiscard]] double number(qint64 index, int column) const; // number columns; 0 otherwise
    [[nodiscard]] Value value(qint64 index, int column) const;
    [[nodiscard]] std::size_t memoryBytes() const;

private:
    struct Column;
    std::vector<std::shared_ptr<Column>> m_columns;
    qint64 m_size = 0;
    friend class RowSet;
};

// The primary and filtered buffers: ordered indexes into a ColumnStore, and a
// selection flag per stored row (so flags follow rows through sorts and filters).
// Row numbers are 1-based and refer to the primary buffer.
class RowSet
{
public:
    void reset(qint64 storedRows); // every row primary, in retrieval order, none selected
    // Adds the stored rows from rowCount() up to `storedRows` at the end of the primary
    // buffer, unselected: rows arriving while nothing sorts or filters them.
    void extendTo(qint64 storedRows);

    [[nodiscard]] long rowCount() const { return long(m_primary.size()); }
    [[nodiscard]] long filteredCount() const { return long(m_filtered.size()); }
    [[nodiscard]] qint64 storeIndex(long row) const { return m_primary[std::size_t(row - 1)]; }

    [[nodiscard]] bool isSelected(long row) const;
    void select(long row, bool flag); // rows outside 1..rowCount are ignored
    void selectAll(bool flag); // every row of the primary buffer

    [[nodiscard]] std::vector<std::uint32_t> &primary() { return m_primary; }
    [[nodiscard]] std::vector<std::uint32_t> &filtered() { return m_filtered; }
    [[nodiscard]] const std::vector<std::uint32_t> &primary() const { return m_primary; }
    [[nodiscard]] const std::vector<std::uint32_t> &filtered() const { return m_filtered; }
    [[nodiscard]] std::size_t memoryBytes() const
    {
        return (m_primary.capacity() + m_filtered.capacity()) * sizeof(std::uint32_t) + m_selected.capacity();
    }

private:
    std::vector<std::uint32_t> m_primary;
    std::vector<std::uint32_t> m_filtered;
    std::vector<std::uint8_t> m_selected; // by store index
};

} // namespace dw
