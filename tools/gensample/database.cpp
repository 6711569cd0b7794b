#include "database.h"

#include <QFile>
#include <QStringList>

DirectoryWriter::~DirectoryWriter()
{
    sqlite3_finalize(m_insert);
    sqlite3_close(m_db);
}

bool DirectoryWriter::fail()
{
    m_error = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no database");
    return false;
}

bool DirectoryWriter::exec(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK || fail();
}

bool DirectoryWriter::open(const QString &path)
{
    if (QFile::exists(path) && !QFile::remove(path)) {
        m_error = QStringLiteral("cannot replace %1").arg(path);
        return false;
    }
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return fail();

    QStringList definitions;
    QStringList markers;
    for (const QString &column : memberColumns()) {
        definitions.append(column == QLatin1String("id") ? QStringLiteral("id INTEGER PRIMARY KEY")
                                                         : column + QStringLiteral(" TEXT"));
        markers.append(QStringLiteral("?"));
    }
    const QByteArray create
        = QStringLiteral("CREATE TABLE directorio (%1)").arg(definitions.join(QStringLiteral(", "))).toUtf8();
    const QByteArray insert
        = QStringLiteral("INSERT INTO directorio (%1) VALUES (%2)")
              .arg(memberColumns().join(QStringLiteral(", ")), markers.join(QStringLiteral(", ")))
              .toUtf8();
    // A generated file needs no journal: a failed run is simply run again.
    return exec("PRAGMA journal_mode = OFF") && exec("PRAGMA synchronous = OFF") && exec(create.constData())
        && exec("BEGIN")
        && (sqlite3_prepare_v2(m_db, insert.constData(), -1, &m_insert, nullptr) == SQLITE_OK || fail());
}

bool DirectoryWriter::insert(const Member &member)
{
    sqlite3_reset(m_insert);
    sqlite3_bind_int64(m_insert, 1, member.id);
    // The texts stay alive until the row is written, so SQLite need not copy them.
    const std::vector<const QString *> values = memberValues(member);
    m_utf8.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = int(i) + 2;
        if (values[i]->isNull()) {
            sqlite3_bind_null(m_insert, index);
        } else {
            m_utf8[i] = values[i]->toUtf8();
            sqlite3_bind_text(m_insert, index, m_utf8[i].constData(), int(m_utf8[i].size()), SQLITE_STATIC);
        }
    }
    return sqlite3_step(m_insert) == SQLITE_DONE || fail();
}

bool DirectoryWriter::commit()
{
    return exec("COMMIT");
}
