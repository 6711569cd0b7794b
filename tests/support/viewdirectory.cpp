#include "viewdirectory.h"

#include "sample.h"

#include <sqlite3.h>

#include <QFile>
#include <QStringList>

namespace testsupport {

QString directoryWithView(const QString &file, const QString &makeView, const QString &except)
{
    QFile::remove(file);
    if (!QFile::copy(sampleDirectory() + QStringLiteral("/zemparol.mdb"), file))
        return {};
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return {};
    }
    QStringList others;
    sqlite3_stmt *columns = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('directorio') WHERE name <> ?", -1, &columns,
                       nullptr);
    const QByteArray skipped = except.toUtf8();
    sqlite3_bind_text(columns, 1, skipped.constData(), int(skipped.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(columns) == SQLITE_ROW)
        others << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(columns, 0)));
    sqlite3_finalize(columns);
    const QString sql = QStringLiteral("ALTER TABLE directorio RENAME TO miembros; ")
        + QString(makeView).replace(QStringLiteral("{others}"), others.join(QStringLiteral(", ")));
    const bool made = !others.isEmpty()
        && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return made ? file : QString();
}

} // namespace testsupport
