#pragma once

// A small directory for the grid tests: an SQLite file with the members table, rows
// with known values, a transaction connected to it through the program's driver, and the
// listing grid showing them.

#include "datawindowcontrol.h"
#include "db/transaction.h"

#include <QDir>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>

namespace gridtest {

// The value of a text column at a row (1-based), as the fixture stores it.
inline QString cell(const QString &column, int row)
{
    return QStringLiteral("%1 %2").arg(column).arg(row);
}

inline const QStringList &listingColumns()
{
    static const QStringList columns{QStringLiteral("nombre"),          QStringLiteral("tipo_miembro_red"),
                                     QStringLiteral("grado_academico"), QStringLiteral("especialidad"),
                                     QStringLiteral("nivel_sni"),       QStringLiteral("institucion"),
                                     QStringLiteral("entidad_fed"),     QStringLiteral("email"),
                                     QStringLiteral("cargo"),           QStringLiteral("linea_investigacion"),
                                     QStringLiteral("area_aplicacion"), QStringLiteral("subprograma_red"),
                                     QStringLiteral("proyectos"),       QStringLiteral("enzimas")};
    return columns;
}

class Directory
{
public:
    // Creates the file with `rows` members; `ok()` tells whether it worked. `special`
    // replaces the value of one column at one row ({column, row} to text).
    explicit Directory(int rows, const QMap<std::pair<QString, int>, QString> &special = {})
    {
        if (!m_folder.isValid())
            return;
        m_file = m_folder.filePath(QStringLiteral("directorio.db"));
        sqlite3 *db = nullptr;
        if (sqlite3_open(QFile::encodeName(m_file).constData(), &db) != SQLITE_OK) {
            sqlite3_close(db);
            return;
        }
        QStringList definitions;
        for (const QString &column : listingColumns())
            definitions.append(column + QStringLiteral(" TEXT"));
        const QString create = QStringLiteral("CREATE TABLE directorio (%1, todo TEXT, id INTEGER)")
                                   .arg(definitions.join(QStringLiteral(", ")));
        bool good = sqlite3_exec(db, create.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        good = good && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
        for (int row = 1; good && row <= rows; ++row) {
            QStringList values;
            for (const QString &column : listingColumns()) {
                QString value = special.value({column, row}, cell(column, row));
                values.append(QLatin1Char('\'') + value.replace(QLatin1Char('\''), QStringLiteral("''"))
                              + QLatin1Char('\''));
            }
            const QString insert = QStringLiteral("INSERT INTO directorio VALUES (%1, 'todo', %2)")
                                       .arg(values.join(QStringLiteral(", ")))
                                       .arg(row);
            good = sqlite3_exec(db, insert.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        good = good && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        if (!good)
            return;
        m_transaction.DBMS = QStringLiteral("ODBC");
        m_transaction.DBParm
            = QStringLiteral("ConnectString='Driver={Microsoft Access Driver (*.mdb)};DBQ=%1'")
                  .arg(QDir::toNativeSeparators(m_file));
        m_transaction.connect();
    }

    [[nodiscard]] bool ok() const { return m_transaction.isConnected(); }
    [[nodiscard]] dw::Transaction *transaction() { return &m_transaction; }
    [[nodiscard]] QString why() const { return m_transaction.SQLErrText; }

private:
    QTemporaryDir m_folder;
    QString m_file;
    dw::Transaction m_transaction;
};

// Builds a directory of `rows` members and shows the listing grid retrieving them on an
// offscreen window of 800 x 300. A failed check is recorded on the running test.
inline void showListing(int rows, std::unique_ptr<Directory> &directory,
                        std::unique_ptr<dw::DataWindowControl> &control)
{
    directory = std::make_unique<Directory>(rows);
    QVERIFY2(directory->ok(), qPrintable(directory->why()));
    control = std::make_unique<dw::DataWindowControl>();
    control->setDataObject(QStringLiteral("dw_listado_grid"));
    control->QWidget::resize(800, 300);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control.get()));
    control->SetTransObject(directory->transaction());
    QCOMPARE(control->Retrieve(), long(rows));
}

} // namespace gridtest
