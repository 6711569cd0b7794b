#include "xlsxfile.h"

#include "atomicwrite.h"
#include "celltexts.h"
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

QByteArray cellText(const QString &text)
{
    return text.left(maxCellText).toUtf8();
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
        worksheet_write_string(sheet, 0, lxw_col_t(column - 1), cellText(columnHeading(dw, name)).constData(),
                               bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);

    const CellTexts texts(dw);
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
            const QString text = texts.text(row, column);
            if (!text.isEmpty())
                worksheet_write_string(sheet, lxw_row_t(row), cell, cellText(text).constData(), nullptr);
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
            const QByteArray bytes = built.readAll();
            return device.write(bytes) == bytes.size();
        },
        error);
}

} // namespace dw
