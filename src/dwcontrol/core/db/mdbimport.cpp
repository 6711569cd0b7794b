#include "db/mdbimport.h"

// libmdb's header wraps glib in extern "C"; glib must come first in C++.
#include <glib.h>
#include <mdbtools.h>

#include <sqlite3.h>

#include <QFile>
#include <QStringList>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace dw {

namespace {

// Every value starts with this much room; a table holding a longer memo is read again
// with more, so memos arrive whole without reserving megabytes per column up front.
// Every column gets the same room, so the ceiling (far above the 32,000 characters a
// data window takes) also bounds the memory a table with many columns can claim.
constexpr std::size_t InitialBindSize = 16 * 1024;
constexpr std::size_t MaximumBindSize = 16 * 1024 * 1024;

struct MdbCloser
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableFreer
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};
struct StatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

QString quoted(const char *identifier)
{
    QString name = QString::fromUtf8(identifier);
    name.replace(u'"', QStringLiteral("\"\""));
    return u'"' + name + u'"';
}

const char *affinity(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return "INTEGER";
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
    case MDB_NUMERIC:
        return "REAL";
    case MDB_BINARY:
    case MDB_OLE:
        return "BLOB";
    default:
        return "TEXT";
    }
}

bool knownType(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_BINARY:
    case MDB_TEXT:
    case MDB_OLE:
    case MDB_MEMO:
    case MDB_REPID:
    case MDB_NUMERIC:
    case MDB_COMPLEX:
        return true;
    default:
        return false;
    }
}

enum class TableResult { Done, NeedsMoreRoom, Failed };

// Row offsets on a data page carry flags in their top bits; the offset is the low 13.
constexpr int RowOffsetMask = 0x1fff;

// A memo or OLE value in its row: 4 bytes of length with two flags in the top bits, then
// a pointer (row number in the low byte, page above it) to the long-value page.
constexpr quint32 InlineValue = 0x80000000;
constexpr quint32 SinglePageValue = 0x40000000;
constexpr quint32 LengthMask = 0x3fffffff;

quint32 littleEndian32(const unsigned char *bytes)
{
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 | quint32(bytes[3]) << 24;
}

// Follows a long value's pointers and checks that every page is what the pointer promises:
// a data page (a long-value page in Jet 4) holding the row pointed at. libmdb reads
// whatever the page holds, so a zeroed or reused page would silently give an empty value.
//
// `checked` remembers the row count of every page already found sound, so each page is read
// once per import, not once per value.
bool longValueIntact(MdbHandle *mdb, const MdbField &field,
                     std::unordered_map<unsigned long, unsigned> &checked)
{
    if (field.is_null || field.siz < int(MDB_MEMO_OVERHEAD))
        return true;
    const auto *header = static_cast<const unsigned char *>(field.value);
    const quint32 lengthAndFlags = littleEndian32(header);
    if ((lengthAndFlags & InlineValue) || (lengthAndFlags & LengthMask) == 0)
        return true;
    const auto pageSize = std::size_t(mdb->fmt->pg_size);
    const std::size_t rowCountOffset = mdb->fmt->row_count_offset;
    const bool jet4 = mdb->f->jet_version != MDB_VER_JET3;
    quint32 pointer = littleEndian32(header + 4);
    // A chain longer than the value's own length in bytes can only be a loop.
    for (quint32 hops = 0; pointer != 0; ++hops) {
        if (hops > (lengthAndFlags & LengthMask))
            return false;
        const unsigned row = pointer & 0xff;
        const unsigned long page = pointer >> 8;
        if (lengthAndFlags & SinglePageValue) {
            if (const auto known = checked.find(page); known != checked.end())
                return row < known->second;
        }
        if (page == 0 || mdb_read_alt_pg(mdb, page) != ssize_t(pageSize))
            return false;
        const unsigned char *bytes = mdb->alt_pg_buf;
        if (bytes[0] != 0x01 || (jet4 && std::memcmp(bytes + 4, "LVAL", 4) != 0))
            return false;
        const unsigned rows = unsigned(bytes[rowCountOffset]) | unsigned(bytes[rowCountOffset + 1]) << 8;
        if (row >= rows || rowCountOffset + 2 + 2 * (row + 1) > pageSize)
            return false;
        const std::size_t at = rowCountOffset + 2 + 2 * row;
        const std::size_t start = (unsigned(bytes[at]) | unsigned(bytes[at + 1]) << 8) & RowOffsetMask;
        if (start + 4 > pageSize)
            return false;
        checked[page] = rows;
        if (lengthAndFlags & SinglePageValue)
            return true;
        pointer = littleEndian32(bytes + start);
    }
    return true;
}

bool execute(sqlite3 *db, const QString &sql, QString &problem)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    problem = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

int bindValue(sqlite3_stmt *insert, int index, const MdbColumn &column, const char *text, std::size_t length)
{
    const char *end = text + length;
    switch (column.col_type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT: {
        sqlite3_int64 number = 0;
        const auto [at, ec] = std::from_chars(text, end, number);
        if (ec == std::errc() && at == end)
            return sqlite3_bind_int64(insert, index, number);
        break;
    }
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
    case MDB_NUMERIC: {
        double number = 0;
        const auto [at, ec] = std::from_chars(text, end, number);
        if (ec == std::errc() && at == end)
            return sqlite3_bind_double(insert, index, number);
        break;
    }
    case MDB_BINARY:
    case MDB_OLE:
        return sqlite3_bind_blob64(insert, index, text, length, SQLITE_TRANSIENT);
    default:
        break;
    }
    return sqlite3_bind_text64(insert, index, text, length, SQLITE_TRANSIENT, SQLITE_UTF8);
}

TableResult importTable(MdbHandle *mdb, MdbCatalogEntry *entry, sqlite3 *db, std::size_t bindSize,
                        unsigned &unreadable, QString &problem)
{
    const QString tableName = QString::fromUtf8(entry->object_name);
    const std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()) || table->num_cols > MDB_MAX_COLS
        || table->columns->len != table->num_cols) {
        problem = QStringLiteral("no se puede leer la definición de la tabla %1").arg(tableName);
        return TableResult::Failed;
    }
    const unsigned columnCount = table->num_cols;
    mdb_set_bind_size(mdb, bindSize);
    mdb_rewind_table(table.get());

    std::vector<std::vector<char>> buffers(columnCount, std::vector<char>(bindSize + 1));
    std::vector<int> lengths(columnCount);
    QStringList definitions;
    for (unsigned i = 0; i < columnCount; ++i) {
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        if (!knownType(column->col_type)) {
            problem = QStringLiteral("la columna %1 de la tabla %2 tiene un tipo desconocido")
                          .arg(QString::fromUtf8(column->name), tableName);
            return TableResult::Failed;
        }
        mdb_bind_column(table.get(), int(i + 1), buffers[i].data(), &lengths[i]);
        definitions << quoted(column->name) + u' ' + QLatin1StringView(affinity(column->col_type));
    }
    const QString create
        = QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(entry->object_name), definitions.join(u", "));
    if (!execute(db, create, problem))
        return TableResult::Failed;

    QStringList markers;
    for (unsigned i = 0; i < columnCount; ++i)
        markers << QStringLiteral("?");
    const QByteArray insertSql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                     .arg(quoted(entry->object_name), markers.join(u','))
                                     .toUtf8();
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, insertSql.constData(), -1, &raw, nullptr) != SQLITE_OK) {
        problem = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(raw);
        return TableResult::Failed;
    }
    const Statement insert(raw);

    std::vector<MdbField> fields(MDB_MAX_COLS);
    std::unordered_map<unsigned long, unsigned> checkedPages;
    unsigned rows = 0;
    while (mdb_fetch_row(table.get())) {
        // A damaged page map can make libmdb wander; the declared count bounds the walk.
        if (++rows > table->num_rows) {
            problem = QStringLiteral("la tabla %1 tiene más filas de las que declara").arg(tableName);
            return TableResult::Failed;
        }
        // The row just read is still on the page buffer: crack it again to tell NULL
        // from empty text, which the bound buffers cannot.
        int start = 0;
        size_t size = 0;
        // A row moved here from another page has a flag in its offset's top bits.
        if (table->cur_row == 0 || mdb_find_row(mdb, int(table->cur_row - 1), &start, &size) != 0
            || mdb_crack_row(table.get(), start & RowOffsetMask, size, fields.data()) <= 0) {
            problem = QStringLiteral("una fila de la tabla %1 está dañada").arg(tableName);
            return TableResult::Failed;
        }
        for (unsigned i = 0; i < columnCount; ++i) {
            const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            const int index = int(i + 1);
            // A boolean lives in the null mask itself and is never null.
            if (fields[i].is_null && column->col_type != MDB_BOOL) {
                sqlite3_bind_null(insert.get(), index);
                continue;
            }
            const bool longValue = column->col_type == MDB_MEMO || column->col_type == MDB_OLE;
            if (longValue && !longValueIntact(mdb, fields[i], checkedPages)) {
                ++unreadable;
                sqlite3_bind_null(insert.get(), index);
                continue;
            }
            if (column->col_type == MDB_OLE) {
                // The bound buffer holds only the value's header; the bytes come apart.
                std::size_t oleSize = 0;
                const std::unique_ptr<void, decltype(&std::free)> bytes(
                    mdb_ole_read_full(mdb, const_cast<MdbColumn *>(column), &oleSize), &std::free);
                sqlite3_bind_blob64(insert.get(), index, bytes ? bytes.get() : "", bytes ? oleSize : 0,
                                    SQLITE_TRANSIENT);
                continue;
            }
            const int length = lengths[i];
            if (length < 0 || std::size_t(length) > bindSize) {
                problem = QStringLiteral("un valor de la tabla %1 está dañado").arg(tableName);
                return TableResult::Failed;
            }
            // libmdb cuts a value silently one byte short of the bind size.
            if (std::size_t(length) + 1 >= bindSize)
                return TableResult::NeedsMoreRoom;
            bindValue(insert.get(), index, *column, buffers[i].data(), std::size_t(length));
        }
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            problem = QString::fromUtf8(sqlite3_errmsg(db));
            return TableResult::Failed;
        }
        sqlite3_reset(insert.get());
        sqlite3_clear_bindings(insert.get());
    }
    // Pages missing from a cut file do not stop libmdb; the count the table keeps does.
    if (rows != table->num_rows) {
        problem = QStringLiteral("la tabla %1 declara %2 filas y se leyeron %3")
                      .arg(tableName)
                      .arg(table->num_rows)
                      .arg(rows);
        return TableResult::Failed;
    }
    return TableResult::Done;
}

// The catalog is itself a table (MSysObjects): every row it declares must have been read,
// or a cut file would silently lose tables.
bool catalogComplete(MdbHandle *mdb)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || qstrcmp(entry->object_name, "MSysObjects") != 0)
            continue;
        const std::unique_ptr<MdbTableDef, TableFreer> objects(mdb_read_table(entry));
        return objects && objects->num_rows == mdb->num_catalog;
    }
    return false;
}

} // namespace

bool importJet(const QString &path, sqlite3 *db, QString &problem)
{
    // libmdb opens the file read-only and reads it a page at a time.
    const std::unique_ptr<MdbHandle, MdbCloser> mdb(
        mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!mdb) {
        problem = QStringLiteral("libmdb no reconoce el formato");
        return false;
    }
    mdb_set_boolean_fmt_numbers(mdb.get());
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb.get(), "%Y-%m-%d");
    if (!mdb_read_catalog(mdb.get(), MDB_ANY) || !catalogComplete(mdb.get())) {
        problem = QStringLiteral("no se puede leer el catálogo de tablas");
        return false;
    }
    if (!execute(db, QStringLiteral("BEGIN"), problem))
        return false;
    unsigned unreadable = 0;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (!mdb_is_user_table(entry))
            continue;
        std::size_t bindSize = InitialBindSize;
        for (;;) {
            unsigned lostInTable = 0;
            const TableResult result = importTable(mdb.get(), entry, db, bindSize, lostInTable, problem);
            if (result == TableResult::Done) {
                unreadable += lostInTable;
                break;
            }
            if (result == TableResult::Failed || bindSize >= MaximumBindSize) {
                if (result == TableResult::NeedsMoreRoom)
                    problem = QStringLiteral("un valor de la tabla %1 es demasiado largo")
                                  .arg(QString::fromUtf8(entry->object_name));
                execute(db, QStringLiteral("ROLLBACK"), problem);
                return false;
            }
            bindSize *= 4;
            if (!execute(db, QStringLiteral("DROP TABLE %1").arg(quoted(entry->object_name)), problem))
                return false;
        }
    }
    // A long value whose pages are gone is never shown as empty: the file is refused.
    if (unreadable > 0) {
        problem = unreadable == 1 ? QStringLiteral("1 texto largo u objeto OLE no se pudo leer (sus páginas "
                                                   "no son las que indica la fila)")
                                  : QStringLiteral("%1 textos largos u objetos OLE no se pudieron leer (sus "
                                                   "páginas no son las que indican las filas)")
                                        .arg(unreadable);
        execute(db, QStringLiteral("ROLLBACK"), problem);
        return false;
    }
    return execute(db, QStringLiteral("COMMIT"), problem);
}

} // namespace dw
