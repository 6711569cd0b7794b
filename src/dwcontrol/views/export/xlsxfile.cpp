#include "xlsxfile.h"

#include "atomicwrite.h"
#include "bytesink.h"
#include "cellbytes.h"
#include "columnheading.h"
#include "datawindow.h"
#include "printjob.h"
#include "units.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <vector>

namespace dw {
namespace {

constexpr qsizetype maxCellText = 32767; // what a spreadsheet cell holds

bool isNumericType(const QString &colType)
{
    const QString prefix = colType.left(5).toLower();
    return prefix == u"decim" || prefix == u"numbe" || prefix == u"long" || prefix == u"ulong"
        || prefix == u"real" || prefix == u"int";
}

// A sheet name may not hold []:*?/\ and has at most 31 characters.
QByteArray sheetName(const QString &title)
{
    QString name = title;
    for (const QChar c : QStringLiteral("[]:*?/\\"))
        name.replace(c, QLatin1Char(' '));
    name = name.simplified().left(31);
    return (name.isEmpty() ? QStringLiteral("Hoja1") : name).toUtf8();
}

// A text cell as the library takes it (NUL-terminated), in a buffer reused for every
// cell: at most the characters a cell holds (UTF-16 units, as spreadsheets count them).
const char *cellText(std::string_view utf8, std::string &buffer)
{
    // Each unit takes at least one byte: only a longer text can hold too many.
    if (utf8.size() > std::size_t(maxCellText)) {
        const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        if (text.size() > maxCellText) {
            buffer.clear();
            appendUtf8(buffer, QStringView(text).left(maxCellText));
            return buffer.c_str();
        }
    }
    buffer.assign(utf8);
    return buffer.c_str();
}

// Builds the workbook in `path`; the library's own error text on failure.
bool buildWorkbook(const DataWindow &dw, const QString &path, const QString &tempFolder, QString *why)
{
    QByteArray folder = tempFolder.toLocal8Bit();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to disk as written: flat memory for any count
    options.tmpdir = folder.data();
    lxw_workbook *book = workbook_new_opt(path.toLocal8Bit().constData(), &options);
    if (!book) {
        *why = QStringLiteral("No se pudo crear el libro de cálculo.");
        return false;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, sheetName(documentTitle(dw)).constData());
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);

    const int columns = dw.columnCount();
    std::vector<bool> numeric(std::size_t(columns) + 1, false);
    for (int column = 1; column <= columns; ++column) {
        const QString name = dw.columnName(column);
        numeric[std::size_t(column)] = isNumericType(dw.Describe(name + QStringLiteral(".ColType")));
        const QString width = dw.Describe(name + QStringLiteral(".Width"));
        bool ok = false;
        const double units = width.toDouble(&ok);
        if (ok && units > 0)
            worksheet_set_column_pixels(sheet, lxw_col_t(column - 1), lxw_col_t(column - 1),
                                        uint32_t(units::toPixelsX(units) + 0.5), nullptr);
        const QByteArray heading = columnHeading(dw, name).left(maxCellText).toUtf8();
        worksheet_write_string(sheet, 0, lxw_col_t(column - 1), heading.constData(), bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);

    CellBytes cells(dw);
    std::string buffer;
    const long rows = dw.RowCount();
    for (long row = 1; row <= rows; ++row) {
        for (int column = 1; column <= columns; ++column) {
            const auto cell = lxw_col_t(column - 1);
            if (numeric[std::size_t(column)]) {
                const Value value = dw.GetItem(row, column);
                if (value.isNull())
                    continue;
                if (value.isNumber()) {
                    worksheet_write_number(sheet, lxw_row_t(row), cell, value.toNumber(), nullptr);
                    continue;
                }
            }
            const std::string_view text = cells.utf8(row, column);
            if (!text.empty())
                worksheet_write_string(sheet, lxw_row_t(row), cell, cellText(text, buffer), nullptr);
        }
    }
    const lxw_error result = workbook_close(book);
    if (result != LXW_NO_ERROR) {
        *why = QStringLiteral("No se pudo crear el libro de cálculo: el disco está lleno o la carpeta "
                              "temporal no admite escritura (%1).")
                   .arg(QString::fromUtf8(lxw_strerror(result)));
        return false;
    }
    return true;
}

} // namespace

bool writeXlsx(const DataWindow &dw, const QString &fileName, QString *error)
{
    // The library writes to a file name of its own choosing: it builds the book in a
    // private folder, and the finished bytes reach the target through the atomic write.
    return writeAtomically(
        fileName,
        [&](QIODevice &device, QString *why) {
            const QTemporaryDir scratch;
            if (!scratch.isValid()) {
                *why = QStringLiteral("No se pudo crear una carpeta temporal para el libro de cálculo.");
                return false;
            }
            const QString path = scratch.filePath(QStringLiteral("libro.xlsx"));
            if (!buildWorkbook(dw, path, scratch.path(), why))
                return false;
            QFile built(path);
            if (!built.open(QIODevice::ReadOnly)) {
                *why = QStringLiteral("No se pudo leer el libro de cálculo generado.");
                return false;
            }
            // In pieces, so the book never sits in memory whole.
            std::vector<char> piece(256 * 1024);
            for (;;) {
                const qint64 read = built.read(piece.data(), qint64(piece.size()));
                if (read == 0)
                    return true;
                if (read < 0 || device.write(piece.data(), read) != read)
                    return false;
            }
        },
        error);
}

} // namespace dw
