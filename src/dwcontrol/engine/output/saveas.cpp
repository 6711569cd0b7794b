#include "output/saveas.h"

#include "datawindow.h"
#include "interaction.h"
#include "output/columnheading.h"
#include "views/pagepreview.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace dw {
namespace {

const QString lineEnd = QStringLiteral("\r\n");

// The grid to write: headings, then the rows of the primary buffer as they show.
struct Table
{
    QStringList headings;
    std::vector<QStringList> rows;
};

Table collect(const DataWindow &dw)
{
    Table table;
    const int columns = dw.columnCount();
    for (int column = 1; column <= columns; ++column)
        table.headings.append(columnHeading(dw, dw.columnName(column)));
    const long rowCount = dw.RowCount();
    table.rows.reserve(std::size_t(rowCount));
    for (long row = 1; row <= rowCount; ++row) {
        QStringList cells;
        cells.reserve(columns);
        for (int column = 1; column <= columns; ++column)
            cells.append(dw.displayText(row, column));
        table.rows.push_back(std::move(cells));
    }
    return table;
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, quotes doubled.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Tab-separated text keeps one record per line: a backslash, tab or line break inside
// a value is written as \\, \t, \n or \r.
QString txtField(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QString htmlField(const QString &text)
{
    QString escaped = text.toHtmlEscaped();
    escaped.remove(QLatin1Char('\r'));
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return escaped;
}

QString joined(const QStringList &cells, QString (*field)(const QString &), QChar separator)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += separator;
        line += field(cells.at(i));
    }
    return line;
}

QByteArray delimited(const Table &table, QString (*field)(const QString &), QChar separator,
                     bool byteOrderMark)
{
    QString text;
    if (byteOrderMark)
        text += QChar(0xFEFF); // spreadsheet programs read the file as UTF-8 only with it
    text += joined(table.headings, field, separator) + lineEnd;
    for (const QStringList &row : table.rows)
        text += joined(row, field, separator) + lineEnd;
    return text.toUtf8();
}

QByteArray html(const Table &table, const QString &title)
{
    QString text = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>")
        + htmlField(title) + QStringLiteral("</title>\n</head>\n<body>\n<table border=\"1\">\n<thead>\n<tr>");
    for (const QString &h : table.headings)
        text += QStringLiteral("<th>") + htmlField(h) + QStringLiteral("</th>");
    text += QStringLiteral("</tr>\n</thead>\n<tbody>\n");
    for (const QStringList &row : table.rows) {
        text += QStringLiteral("<tr>");
        for (const QString &cell : row)
            text += QStringLiteral("<td>") + htmlField(cell) + QStringLiteral("</td>");
        text += QStringLiteral("</tr>\n");
    }
    text += QStringLiteral("</tbody>\n</table>\n</body>\n</html>\n");
    return text.toUtf8();
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

SaveTarget saveTargetFor(const QString &fileName, const QString &chosenFormat)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"csv" || suffix == u"txt" || suffix == u"html" || suffix == u"pdf")
        return {fileName, suffix};
    if (suffix == u"htm")
        return {fileName, QStringLiteral("html")};
    const QString format = chosenFormat.toLower();
    return {fileName + QLatin1Char('.') + format, format};
}

bool saveRows(const DataWindow &dw, const SaveTarget &target, QString *error)
{
    const QString format = target.format.toLower();
    if (format != u"csv" && format != u"txt" && format != u"html" && format != u"pdf")
        return fail(error, QStringLiteral("Formato de archivo desconocido: %1").arg(target.format));
    if (target.fileName.isEmpty())
        return fail(error, QStringLiteral("No se indicó el nombre del archivo"));

    // Written beside the target and renamed over it once complete, so a failure leaves
    // no partial file (and an earlier file of that name stays as it was).
    QSaveFile file(target.fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error,
                    QStringLiteral("No se puede escribir %1: %2").arg(target.fileName, file.errorString()));

    if (format == u"pdf") {
        QPdfWriter writer(&file);
        writer.setPageLayout(selectedPrinter().pageLayout());
        writer.setTitle(dw.dataObject());
        writer.setCreator(QStringLiteral("zemparol"));
        if (paintPages(dw, writer) != 1) {
            file.cancelWriting();
            return fail(error, QStringLiteral("No se pudo generar el PDF"));
        }
    } else {
        const Table table = collect(dw);
        QByteArray bytes;
        if (format == u"csv")
            bytes = delimited(table, csvField, QLatin1Char(','), true);
        else if (format == u"txt")
            bytes = delimited(table, txtField, QLatin1Char('\t'), false);
        else
            bytes = html(table, dw.dataObject());
        if (file.write(bytes) != bytes.size()) {
            file.cancelWriting();
            return fail(
                error,
                QStringLiteral("No se puede escribir %1: %2").arg(target.fileName, file.errorString()));
        }
    }
    if (!file.commit())
        return fail(error,
                    QStringLiteral("No se puede escribir %1: %2").arg(target.fileName, file.errorString()));
    return true;
}

} // namespace dw
