#pragma once

#include "members.h"

#include <QByteArray>
#include <QString>

#include <vector>

#include <sqlite3.h>

// Writes the table `directorio` into a new SQLite file, all rows in one transaction
// through one prepared statement. The destructor closes the file; commit() makes the
// rows stay.
class DirectoryWriter
{
public:
    DirectoryWriter() = default;
    ~DirectoryWriter();
    DirectoryWriter(const DirectoryWriter &) = delete;
    DirectoryWriter &operator=(const DirectoryWriter &) = delete;

    // Replaces any file at `path`; false with error() set on failure.
    [[nodiscard]] bool open(const QString &path);
    [[nodiscard]] bool insert(const Member &member);
    [[nodiscard]] bool commit();
    [[nodiscard]] QString error() const { return m_error; }

private:
    bool exec(const char *sql);
    bool fail();

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    std::vector<QByteArray> m_utf8; // the bound texts of the row being written
    QString m_error;
};
