#include "db/mdbimport.h"

// libmdb's header wraps glib in extern "C"; glib must come first in C++.
#include <glib.h>
#include <mdbtools.h>

#include <sqlite3.h>

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace dw {

namespace {

// Values other than memos and OLE objects (which are read apart) start with this much room,
// far more than a text column's 255 characters; a damaged row that claims more makes the
// table be read again with more, up to the ceiling.
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
// Jet allows long values up to a gigabyte; one past this many stored bytes is not read (the
// import refuses the file, as for a value it cannot read whole).
constexpr quint32 MaximumLongValue = 256 * 1024 * 1024;

quint32 littleEndian32(const unsigned char *bytes)
{
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 | quint32(bytes[3]) << 24;
}

// The bytes of one row of the page in `bytes`: rows are stored from the page's end down, so a
// row ends where the one before it starts. Empty when the row or its bounds do not exist.
std::pair<std::size_t, std::size_t> rowBounds(const unsigned char *bytes, std::size_t pageSize,
                                              std::size_t rowCountOffset, unsigned row)
{
    const unsigned rows = unsigned(bytes[rowCountOffset]) | unsigned(bytes[rowCountOffset + 1]) << 8;
    if (row >= rows || rowCountOffset + 2 + 2 * (std::size_t(row) + 1) > pageSize)
        return {0, 0};
    const auto offset = [&](unsigned at) {
        const std::size_t where = rowCountOffset + 2 + 2 * std::size_t(at);
        return std::size_t((unsigned(bytes[where]) | unsigned(bytes[where + 1]) << 8) & RowOffsetMask);
    };
    const std::size_t start = offset(row);
    const std::size_t end = row == 0 ? pageSize : offset(row - 1);
    if (start < rowCountOffset + 2 + 2 * std::size_t(rows) || end > pageSize || start >= end)
        return {0, 0};
    return {start, end};
}

// Reads a memo or OLE value whole from its row header and its long-value pages into `bytes`,
// as stored (a memo's text still in the file's encoding). Every page must be what the
// pointer promises, a data page (a long-value page in Jet 4) holding the row pointed at, and
// the pieces must add up to exactly the length the row declares: libmdb reads whatever a
// page holds, cuts what does not fit its buffer and skips length flags it does not know,
// and each of those would show a damaged or long value as a shorter one without a word.
bool readLongValue(MdbHandle *mdb, const MdbField &field, QByteArray &bytes)
{
    bytes.clear();
    if (field.siz < int(MDB_MEMO_OVERHEAD))
        return false;
    const auto *header = static_cast<const unsigned char *>(field.value);
    const quint32 lengthAndFlags = littleEndian32(header);
    const quint32 length = lengthAndFlags & LengthMask;
    const quint32 flags = lengthAndFlags & ~LengthMask;
    if (length > MaximumLongValue)
        return false;
    if (flags == InlineValue) {
        if (std::size_t(field.siz) - MDB_MEMO_OVERHEAD < length)
            return false;
        bytes = QByteArray(reinterpret_cast<const char *>(header) + MDB_MEMO_OVERHEAD, qsizetype(length));
        return true;
    }
    if (flags != SinglePageValue && flags != 0)
        return false;
    const auto pageSize = std::size_t(mdb->fmt->pg_size);
    const std::size_t rowCountOffset = mdb->fmt->row_count_offset;
    const bool jet4 = mdb->f->jet_version != MDB_VER_JET3;
    bytes.reserve(qsizetype(length));
    quint32 pointer = littleEndian32(header + 4);
    // Each piece holds at least one byte, so a chain longer than the value can only be a loop.
    for (quint32 hops = 0; bytes.size() < qsizetype(length); ++hops) {
        if (pointer == 0 || hops > length)
            return false;
        const unsigned row = pointer & 0xff;
        const unsigned long page = pointer >> 8;
        if (page == 0 || mdb_read_alt_pg(mdb, page) != ssize_t(pageSize))
            return false;
        const unsigned char *data = mdb->alt_pg_buf;
        if (data[0] != 0x01 || (jet4 && std::memcmp(data + 4, "LVAL", 4) != 0))
            return false;
        auto [start, end] = rowBounds(data, pageSize, rowCountOffset, row);
        if (start == end)
            return false;
        if (flags == SinglePageValue) {
            if (end - start < length)
                return false;
            bytes.append(reinterpret_cast<const char *>(data) + start, qsizetype(length));
            return true;
        }
        // A piece of a chain: the pointer to the next piece, then the bytes.
        if (end - start <= 4)
            return false;
        pointer = littleEndian32(data + start);
        const std::size_t piece = std::min(end - start - 4, std::size_t(length) - std::size_t(bytes.size()));
        bytes.append(reinterpret_cast<const char *>(data) + start + 4, qsizetype(piece));
    }
    return true;
}

// A memo's stored text as UTF-8, all of it: Jet 4 keeps UCS-2 (or its compressed form), Jet 3
// a code page; no character needs more than three bytes of UTF-8 per stored byte.
QByteArray memoText(MdbHandle *mdb, const QByteArray &stored)
{
    if (stored.isEmpty())
        return QByteArray("");
    // Zeroed, and the text ends at its terminator: past 16,777,216 characters the count the
    // converter returns runs beyond what it wrote.
    QByteArray text(3 * stored.size() + 16, '\0');
    const int length = mdb_unicode2ascii(mdb, stored.constData(), std::size_t(stored.size()), text.data(),
                                         std::size_t(text.size()));
    const auto counted = std::size_t(std::clamp<qsizetype>(length, 0, text.size()));
    text.truncate(qsizetype(qstrnlen(text.constData(), counted)));
    return text;
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
        // Long values are read apart, whole; a bound buffer would only cut them.
        if (column->col_type != MDB_MEMO && column->col_type != MDB_OLE)
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
    QByteArray longValue;
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
            if (column->col_type == MDB_MEMO || column->col_type == MDB_OLE) {
                if (!readLongValue(mdb, fields[i], longValue)) {
                    ++unreadable;
                    sqlite3_bind_null(insert.get(), index);
                } else if (column->col_type == MDB_OLE) {
                    sqlite3_bind_blob64(insert.get(), index, longValue.constData(),
                                        sqlite3_uint64(longValue.size()), SQLITE_TRANSIENT);
                } else {
                    const QByteArray text = memoText(mdb, longValue);
                    sqlite3_bind_text64(insert.get(), index, text.constData(), sqlite3_uint64(text.size()),
                                        SQLITE_TRANSIENT, SQLITE_UTF8);
                }
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
    // A long value whose pages are gone is never shown empty or cut: the file is refused.
    if (unreadable > 0) {
        problem = unreadable == 1
            ? QStringLiteral("1 texto largo u objeto OLE no se pudo leer completo (sus "
                             "páginas no son las que indica la fila)")
            : QStringLiteral("%1 textos largos u objetos OLE no se pudieron leer completos "
                             "(sus páginas no son las que indican las filas)")
                  .arg(unreadable);
        execute(db, QStringLiteral("ROLLBACK"), problem);
        return false;
    }
    return execute(db, QStringLiteral("COMMIT"), problem);
}

} // namespace dw
