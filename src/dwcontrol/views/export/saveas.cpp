#include "saveas.h"

#include "atomicwrite.h"
#include "celltexts.h"
#include "columnheading.h"
#include "datawindow.h"
#include "documentfolder.h"
#include "interaction.h"
#include "pdffile.h"
#include "printjob.h"
#include "xlsxfile.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace dw {
namespace {

const QString lineEnd = QStringLiteral("\r\n");
// The kind of document saved files are (their own last folder) and the setting that
// keeps the format chosen last.
const QString saveKind = QStringLiteral("guardar");
const QString saveFormatKey = QStringLiteral("Archivos/Formato_guardar");

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
    const CellTexts texts(dw);
    const long rowCount = dw.RowCount();
    table.rows.reserve(std::size_t(rowCount));
    for (long row = 1; row <= rowCount; ++row) {
        QStringList cells;
        cells.reserve(columns);
        for (int column = 1; column <= columns; ++column)
            cells.append(texts.text(row, column));
        table.rows.push_back(std::move(cells));
    }
    return table;
}

// RFC 4180: a field holding the separator, a quote or a line break is quoted, quotes
// doubled. A ';' is quoted whatever the separator: spreadsheets set to a Spanish locale
// read CSV files with ';' between fields. A value a spreadsheet would take for a formula
// is written as text (see csvSafeText).
QString csvField(const QString &value, QChar separator)
{
    const QString text = csvSafeText(value);
    const bool guarded = text.size() != value.size();
    if (!guarded && !text.contains(separator) && !text.contains(QLatin1Char(';'))
        && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Tab-separated text keeps one record per line: a backslash, tab or line break inside
// a value is written as \\, \t, \n or \r. Spreadsheets open such files as readily as
// CSV, so a value they would compute is guarded the same way.
QString txtField(const QString &value, QChar)
{
    const QString safe = csvSafeText(value);
    QString escaped;
    escaped.reserve(safe.size());
    for (const QChar c : safe) {
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

using FieldText = QString (*)(const QString &, QChar separator);

QString joined(const QStringList &cells, FieldText field, QChar separator)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += separator;
        line += field(cells.at(i), separator);
    }
    return line;
}

QByteArray delimited(const Table &table, FieldText field, QChar separator, bool byteOrderMark)
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

bool isKnownFormat(const QString &format)
{
    return format == u"csv" || format == u"txt" || format == u"html" || format == u"xlsx" || format == u"pdf";
}

} // namespace

QString csvSafeText(const QString &value)
{
    if (value.isEmpty())
        return value;
    const char16_t first = value.front().unicode();
    if (first != u'=' && first != u'+' && first != u'-' && first != u'@' && first != u'\t' && first != u'\r')
        return value;
    // A plain number ("-3", "+2.5", "-1e3") stays a number: it computes nothing.
    static const QRegularExpression number(
        QStringLiteral("^[+-](?:[0-9]+(?:[.,][0-9]*)?|[.,][0-9]+)(?:[eE][+-]?[0-9]+)?$"));
    if (number.match(value).hasMatch())
        return value;
    return QLatin1Char('\'') + value;
}

SaveTarget proposedSaveTarget(const QString &baseName)
{
    SaveTarget target;
    const QString remembered = userSetting(saveFormatKey);
    const QString format = remembered.section(QLatin1Char(';'), 0, 0);
    target.format = isKnownFormat(format) ? format : QStringLiteral("csv");
    if (target.format == u"csv" && remembered == u"csv;")
        target.separator = QLatin1Char(';');
    target.fileName = proposedFilePath(baseName, target.format, saveKind);
    return target;
}

void rememberSaveTarget(const SaveTarget &target)
{
    rememberFolderOf(target.fileName, saveKind);
    const QString format = target.format.toLower();
    if (isKnownFormat(format))
        setUserSetting(saveFormatKey,
                       format == u"csv" && target.separator == u';' ? QStringLiteral("csv;") : format);
}

SaveTarget saveTargetFor(const QString &fileName, const QString &chosenFormat)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (isKnownFormat(suffix))
        return {fileName, suffix};
    if (suffix == u"htm")
        return {fileName, QStringLiteral("html")};
    const QString format = chosenFormat.toLower();
    return {fileName + QLatin1Char('.') + format, format};
}

bool saveRows(const DataWindow &dw, const SaveTarget &target, QString *error)
{
    const QString format = target.format.toLower();
    if (!isKnownFormat(format)) {
        if (error)
            *error = QStringLiteral("Formato de archivo desconocido: %1").arg(target.format);
        return false;
    }
    if (format == u"pdf")
        return writePdf(dw, target.fileName, chosenPageLayout(), error);
    if (format == u"xlsx")
        return writeXlsx(dw, target.fileName, error);

    const Table table = collect(dw);
    QByteArray bytes;
    if (format == u"csv")
        bytes = delimited(table, csvField, target.separator, true);
    else if (format == u"txt")
        bytes = delimited(table, txtField, QLatin1Char('\t'), false);
    else
        bytes = html(table, documentTitle(dw));
    return writeAtomically(
        target.fileName,
        [&bytes](QIODevice &device, QString *) { return device.write(bytes) == bytes.size(); }, error);
}

} // namespace dw
