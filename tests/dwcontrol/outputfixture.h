#pragma once

// A small member table in an SQLite file, opened through the built-in Access driver,
// and layouts over it, for the tests of pages, printing and saving.

#include "datawindow.h"
#include "db/transaction.h"

#include <QPageLayout>
#include <QPageSize>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <vector>

namespace outputtest {

using namespace Qt::StringLiterals;

struct Member
{
    qint64 id = 0;
    QString nombre;
    QString institucion; // a null QString is stored as NULL
    QString nota;
};

// Layout colours for finding bands on a painted page.
constexpr int headerColour = 255; // red
constexpr int detailColour = 65280; // green
constexpr int footerColour = 16711680; // blue
constexpr int summaryColour = 65535; // yellow

struct Bands
{
    QString processing = u"tabular"_s;
    int header = 256;
    int detail = 100;
    int footer = 200;
    int summary = 0;
    int width = 2000; // of the detail columns together
};

// A layout of the four columns: headings in a red header, cells on green, a blue
// footer text and a yellow summary text, each filling its band. `nota` has no
// heading text, so it is known by its name.
inline QString layoutSyntax(const Bands &b)
{
    const int quarter = b.width / 4;
    QString s;
    s += u"datawindow(processing=%1 units=0 color=16777215)\n"_s.arg(b.processing);
    s += u"header(height=%1)\ndetail(height=%2)\nfooter(height=%3)\nsummary(height=%4)\n"_s.arg(b.header)
             .arg(b.detail)
             .arg(b.footer)
             .arg(b.summary);
    s += u"table(name=directorio)\n"_s;
    s += u"tablecolumn(name=id type=long dbname=\"directorio.id\")\n"_s;
    s += u"tablecolumn(name=nombre type=char(255) dbname=\"directorio.nombre\")\n"_s;
    s += u"tablecolumn(name=institucion type=char(255) dbname=\"directorio.institucion\")\n"_s;
    s += u"tablecolumn(name=nota type=char(255) dbname=\"directorio.nota\")\n"_s;
    const auto text = [&](const QString &band, const QString &name, const QString &value, int x, int width,
                          int height, int colour) {
        s += u"text(band=%1 name=%2 text=\"%3\" x=\"%4\" y=\"0\" width=\"%5\" height=\"%6\" alignment=\"0\" border=\"0\" color=\"0\" background.mode=\"0\" background.color=\"%7\" font.face=\"Arial\" font.height=\"-8\" font.weight=\"400\")\n"_s
                 .arg(band, name, value)
                 .arg(x)
                 .arg(width)
                 .arg(height)
                 .arg(colour);
    };
    text(u"header"_s, u"id_t"_s, u"Número"_s, 0, quarter, b.header, headerColour);
    text(u"header"_s, u"nombre_t"_s, u"Nombre"_s, quarter, quarter, b.header, headerColour);
    text(u"header"_s, u"institucion_t"_s, u"Institución"_s, 2 * quarter, 2 * quarter, b.header, headerColour);
    const QStringList columns{u"id"_s, u"nombre"_s, u"institucion"_s, u"nota"_s};
    for (int i = 0; i < 4; ++i) {
        s += u"column(band=detail name=%1 id=%2 x=\"%3\" y=\"0\" width=\"%4\" height=\"%5\" alignment=\"0\" border=\"0\" color=\"0\" background.mode=\"0\" background.color=\"%6\" font.face=\"Arial\" font.height=\"-8\" font.weight=\"400\" format=\"[general]\" edit.style=\"edit\")\n"_s
                 .arg(columns.at(i))
                 .arg(i + 1)
                 .arg(i * quarter)
                 .arg(quarter - 8)
                 .arg(b.detail)
                 .arg(detailColour);
    }
    if (b.footer > 0)
        text(u"footer"_s, u"pie_t"_s, u"Pie"_s, 0, b.width, b.footer, footerColour);
    if (b.summary > 0)
        text(u"summary"_s, u"resumen_t"_s, u"Resumen"_s, 0, b.width, b.summary, summaryColour);
    return s;
}

inline bool writeDatabase(const QString &file, const std::vector<Member> &members)
{
    sqlite3 *raw = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &raw) != SQLITE_OK) {
        sqlite3_close(raw);
        return false;
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (sqlite3_exec(db.get(),
                     "CREATE TABLE directorio (id INTEGER, nombre TEXT, institucion TEXT, nota TEXT); BEGIN",
                     nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return false;
    sqlite3_stmt *insert = nullptr;
    if (sqlite3_prepare_v2(db.get(), "INSERT INTO directorio VALUES (?, ?, ?, ?)", -1, &insert, nullptr)
        != SQLITE_OK)
        return false;
    const auto bindText = [insert](int index, const QString &text) {
        if (text.isNull())
            return sqlite3_bind_null(insert, index);
        const QByteArray utf8 = text.toUtf8();
        return sqlite3_bind_text(insert, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    };
    bool ok = true;
    for (const Member &m : members) {
        sqlite3_reset(insert);
        sqlite3_bind_int64(insert, 1, m.id);
        bindText(2, m.nombre);
        bindText(3, m.institucion);
        bindText(4, m.nota);
        ok = ok && sqlite3_step(insert) == SQLITE_DONE;
    }
    sqlite3_finalize(insert);
    return ok && sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

inline std::vector<Member> numberedMembers(long count)
{
    std::vector<Member> members;
    for (long i = 1; i <= count; ++i)
        members.push_back({i, u"Miembro %1"_s.arg(i), u"Instituto %1"_s.arg(i % 7), u"nota"_s});
    return members;
}

// A data window with `members` retrieved through the built-in driver.
struct Table
{
    QTemporaryDir folder;
    dw::Transaction transaction;
    dw::DataWindow dw;

    [[nodiscard]] bool open(const std::vector<Member> &members, const Bands &bands = {})
    {
        const QString file = folder.filePath(u"directorio.mdb"_s);
        if (!folder.isValid() || !writeDatabase(file, members))
            return false;
        transaction.DBMS = u"ODBC"_s;
        transaction.DBParm = u"ConnectString='Driver={Microsoft Access Driver (*.mdb)};DBQ=%1'"_s.arg(file);
        transaction.connect();
        if (transaction.SQLCode != 0) {
            qWarning("connect: %s", qPrintable(transaction.SQLErrText));
            return false;
        }
        QString error;
        if (!dw.setSyntax(layoutSyntax(bands), &error)) {
            qWarning("layout: %s", qPrintable(error));
            return false;
        }
        dw.SetTransObject(&transaction);
        return dw.Retrieve() == long(members.size());
    }
};

// A page of 8 x 10 inches with half-inch margins: 3072 x 3456 layout units inside.
inline QPageLayout testPage()
{
    return QPageLayout(QPageSize(QSizeF(576, 720), QPageSize::Point, u"prueba"_s, QPageSize::ExactMatch),
                       QPageLayout::Portrait, QMarginsF(36, 36, 36, 36), QPageLayout::Point);
}

// The pages of a PDF file, counted from its page objects.
inline int pdfPageCount(const QByteArray &pdf)
{
    static const QRegularExpression page(u"/Type\\s*/Page(?![a-zA-Z])"_s);
    return int(QString::fromLatin1(pdf).count(page));
}

} // namespace outputtest
