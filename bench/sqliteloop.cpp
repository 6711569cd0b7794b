#include "sqliteloop.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace bench {

RawResult plainLoop(const QString &database, const QString &sql, OpenMode mode)
{
    RawResult result;
    sqlite3 *raw = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &raw, SQLITE_OPEN_READONLY | mode.flags,
                        nullptr)
        != SQLITE_OK) {
        sqlite3_close(raw);
        return result;
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (mode.mapped)
        sqlite3_exec(db.get(), "PRAGMA mmap_size=1099511627776", nullptr, nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db.get(), text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
        return result;
    char *buffer = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
    const auto append = [&](const void *bytes, std::size_t count) {
        if (size + count > capacity) {
            capacity = std::max(size + count, capacity + capacity / 2 + 4096);
            buffer = static_cast<char *>(std::realloc(buffer, capacity));
        }
        std::memcpy(buffer + size, bytes, count);
        size += count;
    };
    const int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(statement, c) == SQLITE_INTEGER) {
                const sqlite3_int64 number = sqlite3_column_int64(statement, c);
                append(&number, sizeof number);
            } else if (const unsigned char *bytes = sqlite3_column_text(statement, c)) {
                const auto count = std::size_t(sqlite3_column_bytes(statement, c));
                append(bytes, count);
                result.textBytes += count;
            }
        }
        ++result.rows;
    }
    sqlite3_finalize(statement);
    std::free(buffer);
    result.ms = double(timer.nsecsElapsed()) / 1e6;
    return result;
}

} // namespace bench
