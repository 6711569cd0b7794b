#include "rows/rowstore.h"
#include "rows/bytearena.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace dw {

namespace {

enum class Storage { Text, Integer, Real };

Storage storageOf(ColumnType type)
{
    switch (type) {
    case ColumnType::Long:
    case ColumnType::ULong:
    case ColumnType::Int:
        return Storage::Integer;
    case ColumnType::Number:
    case ColumnType::Decimal:
    case ColumnType::Real:
        return Storage::Real;
    default:
        return Storage::Text;
    }
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

template <typename Number> std::optional<Number> parseNumber(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    Number number{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(number))
            return std::nullopt; // "nan" and "inf" are not numbers a directory holds
    }
    return number;
}

} // namespace

struct ColumnStore::Column
{
    ColumnType type = ColumnType::Char;
    Storage storage = Storage::Text;
    ByteArena text;
    std::vector<std::uint32_t> offsets{0}; // text of row i: offsets[i] .. offsets[i + 1]
    std::vector<qint64> integers;
    std::vector<double> reals;
    std::vector<std::uint64_t> nulls; // one bit per row

    explicit Column(ColumnType columnType) : type(columnType), storage(storageOf(columnType)) {}

    [[nodiscard]] bool isNull(qint64 index) const
    {
        return (nulls[std::size_t(index) >> 6] >> (index & 63)) & 1U;
    }

    void appendNull(qint64 index)
    {
        if ((index & 63) == 0)
            nulls.push_back(0);
        nulls.back() |= std::uint64_t(1) << (index & 63);
        appendEmpty();
    }

    void appendEmpty()
    {
        switch (storage) {
        case Storage::Text:
            offsets.push_back(std::uint32_t(text.size()));
            break;
        case Storage::Integer:
            integers.push_back(0);
            break;
        case Storage::Real:
            reals.push_back(0);
            break;
        }
    }

    // False when the text does not fit the 32-bit offsets (a column of 4 GiB).
    [[nodiscard]] bool appendText(std::string_view bytes)
    {
        if (text.size() + bytes.size() > std::numeric_limits<std::uint32_t>::max())
            return false;
        text.append(bytes);
        offsets.push_back(std::uint32_t(text.size()));
        return true;
    }

    // Takes back the last row, after a later column of the same row could not take its cell.
    void removeLast(qint64 index)
    {
        if ((index & 63) == 0)
            nulls.pop_back();
        else
            nulls.back() &= ~(std::uint64_t(1) << (index & 63));
        switch (storage) {
        case Storage::Text:
            offsets.pop_back();
            text.truncate(offsets.back());
            break;
        case Storage::Integer:
            integers.pop_back();
            break;
        case Storage::Real:
            reals.pop_back();
            break;
        }
    }

    // A non-null cell as a number of the column's storage; none when its text is no number.
    template <class Number>
    [[nodiscard]] static std::optional<Number> cellNumber(const Cursor &cursor, int source, CellKind kind)
    {
        if (kind == CellKind::Integer)
            return Number(cursor.integer(source));
        if (kind == CellKind::Real)
            return Number(cursor.real(source));
        return parseNumber<Number>(cursor.utf8(source));
    }

    // Stores a number of the row `index`; a missing one is stored as 0 and marked null.
    template <class Number>
    void appendNumber(std::vector<Number> &values, std::optional<Number> number, qint64 index)
    {
        if (!number)
            nulls.back() |= std::uint64_t(1) << (index & 63);
        values.push_back(number.value_or(0));
    }

    // Copies one cell of the cursor's current row, converted to the column's storage;
    // false (and nothing appended) when the column's text is full.
    [[nodiscard]] bool append(const Cursor &cursor, int source, qint64 index)
    {
        const CellKind kind = cursor.kind(source);
        if (kind == CellKind::Null) {
            appendNull(index);
            return true;
        }
        if (storage == Storage::Text) {
            std::string_view bytes;
            char buffer[32];
            if (kind == CellKind::Text) {
                bytes = cursor.utf8(source);
            } else {
                const auto result = kind == CellKind::Integer
                    ? std::to_chars(buffer, buffer + sizeof buffer, cursor.integer(source))
                    : std::to_chars(buffer, buffer + sizeof buffer, cursor.real(source));
                bytes = std::string_view(buffer, std::size_t(result.ptr - buffer));
            }
            if (!appendText(bytes))
                return false;
            if ((index & 63) == 0)
                nulls.push_back(0);
            return true;
        }
        if ((index & 63) == 0)
            nulls.push_back(0);
        switch (storage) {
        case Storage::Text:
            break;
        case Storage::Integer:
            appendNumber(integers, cellNumber<qint64>(cursor, source, kind), index);
            return true;
        case Storage::Real:
            appendNumber(reals, cellNumber<double>(cursor, source, kind), index);
            return true;
        }
        return true;
    }

    [[nodiscard]] qint64 rows() const
    {
        switch (storage) {
        case Storage::Text:
            return qint64(offsets.size()) - 1;
        case Storage::Integer:
            return qint64(integers.size());
        case Storage::Real:
            return qint64(reals.size());
        }
        return 0;
    }

    // A column of its own holding the first `count` rows.
    [[nodiscard]] Column firstRows(qint64 count) const
    {
        Column copy(type);
        const auto n = std::size_t(count);
        switch (storage) {
        case Storage::Text:
            copy.text.append(std::string_view(text.data(), offsets[n]));
            copy.offsets.assign(offsets.begin(), offsets.begin() + std::ptrdiff_t(n) + 1);
            break;
        case Storage::Integer:
            copy.integers.assign(integers.begin(), integers.begin() + std::ptrdiff_t(n));
            break;
        case Storage::Real:
            copy.reals.assign(reals.begin(), reals.begin() + std::ptrdiff_t(n));
            break;
        }
        copy.nulls.assign(nulls.begin(), nulls.begin() + std::ptrdiff_t((n + 63) / 64));
        if ((n & 63) != 0)
            copy.nulls.back() &= (std::uint64_t(1) << (n & 63)) - 1; // rows past the end are not null
        return copy;
    }

    void shrink()
    {
        text.shrink();
        offsets.shrink_to_fit();
        integers.shrink_to_fit();
        reals.shrink_to_fit();
        nulls.shrink_to_fit();
    }

    [[nodiscard]] std::size_t memoryBytes() const
    {
        return text.capacity() + offsets.capacity() * sizeof(std::uint32_t)
            + integers.capacity() * sizeof(qint64) + reals.capacity() * sizeof(double)
            + nulls.capacity() * sizeof(std::uint64_t);
    }
};

ColumnStore::ColumnStore() = default;
ColumnStore::~ColumnStore() = default;
ColumnStore::ColumnStore(const ColumnStore &other) = default;
ColumnStore &ColumnStore::operator=(const ColumnStore &other) = default;
ColumnStore::ColumnStore(ColumnStore &&other) noexcept = default;
ColumnStore &ColumnStore::operator=(ColumnStore &&other) noexcept = default;

ColumnStore::ColumnStore(std::vector<ColumnType> types)
{
    m_columns.reserve(types.size());
    for (const ColumnType type : types)
        m_columns.push_back(std::make_shared<Column>(type));
}

void ColumnStore::clear()
{
    std::vector<std::shared_ptr<Column>> empty;
    empty.reserve(m_columns.size());
    for (const auto &column : m_columns)
        empty.push_back(std::make_shared<Column>(column->type));
    m_columns = std::move(empty);
    m_size = 0;
}

qint64 ColumnStore::appendAll(Cursor &cursor, const std::function<bool()> &progress)
{
    // Often enough for the first screen of rows to be shown at once.
    constexpr qint64 RowsPerProgress = 256;
    bool typed = !m_columns.empty();
    // A column shared with a copy that appended rows of its own since is copied first, up
    // to this store's rows; rows the two hold in common stay shared.
    for (auto &column : m_columns) {
        if (column.use_count() > 1 && column->rows() > m_size)
            column = std::make_shared<Column>(column->firstRows(m_size));
    }
    qint64 appended = 0;
    while (cursor.next()) {
        if (!typed) {
            for (int c = 0; c < cursor.columnCount(); ++c) {
                const CellKind kind = cursor.kind(c);
                m_columns.push_back(std::make_shared<Column>(kind == CellKind::Integer ? ColumnType::Long
                                                                 : kind == CellKind::Real
                                                                 ? ColumnType::Real
                                                                 : ColumnType::Char));
            }
            typed = true;
        }
        const int shared = std::min(cursor.columnCount(), columnCount());
        for (int c = 0; c < columnCount(); ++c) {
            Column &column = *m_columns[std::size_t(c)];
            if (c >= shared) {
                column.appendNull(m_size);
            } else if (!column.append(cursor, c, m_size)) {
                // A column's text is full: the row is taken back so every column keeps the same rows.
                for (int done = 0; done < c; ++done)
                    m_columns[std::size_t(done)]->removeLast(m_size);
                for (const auto &each : m_columns)
                    each->shrink();
                return -1;
            }
        }
        ++m_size;
        ++appended;
        if (progress && appended % RowsPerProgress == 0 && !progress())
            break;
    }
    for (const auto &column : m_columns)
        column->shrink();
    return cursor.error() ? -1 : appended;
}

qint64 ColumnStore::size() const
{
    return m_size;
}

int ColumnStore::columnCount() const
{
    return int(m_columns.size());
}

ColumnType ColumnStore::type(int column) const
{
    return m_columns[std::size_t(column)]->type;
}

bool ColumnStore::isText(int column) const
{
    return m_columns[std::size_t(column)]->storage == Storage::Text;
}

bool ColumnStore::isInteger(int column) const
{
    return m_columns[std::size_t(column)]->storage == Storage::Integer;
}

bool ColumnStore::isNull(qint64 index, int column) const
{
    return m_columns[std::size_t(column)]->isNull(index);
}

std::string_view ColumnStore::utf8(qint64 index, int column) const
{
    const Column &c = *m_columns[std::size_t(column)];
    if (c.storage != Storage::Text)
        return {};
    const std::uint32_t begin = c.offsets[std::size_t(index)];
    const std::uint32_t end = c.offsets[std::size_t(index) + 1];
    return std::string_view(c.text.data() + begin, end - begin);
}

qint64 ColumnStore::integer(qint64 index, int column) const
{
    const Column &c = *m_columns[std::size_t(column)];
    return c.storage == Storage::Integer ? c.integers[std::size_t(index)] : 0;
}

double ColumnStore::number(qint64 index, int column) const
{
    const Column &c = *m_columns[std::size_t(column)];
    switch (c.storage) {
    case Storage::Integer:
        return double(c.integers[std::size_t(index)]);
    case Storage::Real:
        return c.reals[std::size_t(index)];
    default:
        return 0;
    }
}

Value ColumnStore::value(qint64 index, int column) const
{
    const Column &c = *m_columns[std::size_t(column)];
    if (c.isNull(index))
        return {};
    switch (c.storage) {
    case Storage::Text: {
        const std::string_view bytes = utf8(index, column);
        QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        if (text.isNull())
            text = QLatin1String(""); // an empty text is not null
        return Value(text);
    }
    case Storage::Integer:
        return Value(c.integers[std::size_t(index)]);
    case Storage::Real:
        return Value(c.reals[std::size_t(index)]);
    }
    return {};
}

std::size_t ColumnStore::memoryBytes() const
{
    std::size_t bytes
        = sizeof(*this) + m_columns.capacity() * (sizeof(std::shared_ptr<Column>) + sizeof(Column));
    for (const auto &column : m_columns)
        bytes += column->memoryBytes();
    return bytes;
}

void RowSet::reset(qint64 storedRows)
{
    m_primary.resize(std::size_t(storedRows));
    for (std::size_t i = 0; i < m_primary.size(); ++i)
        m_primary[i] = std::uint32_t(i);
    m_filtered.clear();
    m_selected.assign(std::size_t(storedRows), 0);
}

void RowSet::extendTo(qint64 storedRows)
{
    for (auto index = std::uint32_t(m_primary.size()); index < std::uint64_t(storedRows); ++index)
        m_primary.push_back(index);
    m_selected.resize(std::size_t(storedRows), 0);
}

bool RowSet::isSelected(long row) const
{
    if (row < 1 || row > rowCount())
        return false;
    return m_selected[storeIndex(row)] != 0;
}

void RowSet::select(long row, bool flag)
{
    if (row < 1 || row > rowCount())
        return;
    m_selected[storeIndex(row)] = flag ? 1 : 0;
}

void RowSet::selectAll(bool flag)
{
    for (const std::uint32_t index : m_primary)
        m_selected[index] = flag ? 1 : 0;
}

} // namespace dw
