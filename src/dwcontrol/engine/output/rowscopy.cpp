#include "output/rowscopy.h"

#include "datawindow.h"
#include "objects/columnorder.h"
#include "objects/displayformat.h"
#include "objects/layout.h"
#include "output/columnheading.h"

namespace dw {

using namespace Qt::StringLiterals;

namespace {

void appendTextCell(QString &out, const QString &value)
{
    const qsizetype start = out.size();
    out += value;
    for (qsizetype i = start; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (c == u'\t' || c == u'\n' || c == u'\r')
            out[i] = u' ';
    }
}

void appendHtmlCell(QString &out, const QString &tag, const QString &value)
{
    out += u'<' + tag + u'>';
    QString escaped = value.toHtmlEscaped();
    if (escaped.contains(u'\n')) {
        escaped.replace(u"\r\n"_s, u"<br>"_s);
        escaped.replace(u'\n', u"<br>"_s);
    }
    out += escaped;
    out += u"</"_s + tag + u'>';
}

// What a column shows at the rows: DataWindow::displayText, with the column's object and
// format looked up once rather than once per cell (a copy may take a million cells).
QStringList displayTexts(const DataWindow &dw, const QString &column, int number,
                         const std::vector<long> &rows)
{
    QStringList texts;
    texts.reserve(qsizetype(rows.size()));
    const LayoutObject *object = nullptr;
    for (const LayoutObject &candidate : dw.objects()) {
        if (candidate.kind == u"column" && candidate.name.compare(column, Qt::CaseInsensitive) == 0)
            object = &candidate;
    }
    const QString *format = object ? findAttribute(*object, u"format") : nullptr;
    // Looked-up values and a format given by an expression depend on the row.
    const bool perRow = dw.Describe(column + u".Edit.Style"_s) == u"dddw"_s
        || dw.Describe(column + u".Edit.CodeTable"_s) == u"yes"_s || !object
        || (format && !expressionPart(*format).isEmpty());
    if (perRow) {
        for (const long row : rows)
            texts.append(dw.displayText(row, number));
        return texts;
    }
    const QString fixed = dw.attribute(*object, u"format"_s, 0);
    for (const long row : rows)
        texts.append(formatValue(dw.GetItem(row, number), fixed));
    return texts;
}

} // namespace

CopiedRows copyRows(const DataWindow &dw, const std::vector<long> &rows)
{
    QStringList headings;
    std::vector<QStringList> values; // column by column
    for (const GridColumn &column : visibleColumns(dw)) {
        const int number = dw.columnNumber(column.name);
        if (number > 0) {
            headings.append(columnHeading(dw, column.name));
            values.push_back(displayTexts(dw, column.name, number, rows));
        }
    }

    CopiedRows copied;
    copied.html = u"<table>\n<tr>"_s;
    for (qsizetype i = 0; i < headings.size(); ++i) {
        if (i > 0)
            copied.text += u'\t';
        appendTextCell(copied.text, headings[i]);
        appendHtmlCell(copied.html, u"th"_s, headings[i]);
    }
    copied.text += u'\n';
    copied.html += u"</tr>\n"_s;

    for (std::size_t r = 0; r < rows.size(); ++r) {
        copied.html += u"<tr>"_s;
        for (std::size_t c = 0; c < values.size(); ++c) {
            const QString &value = values[c][qsizetype(r)];
            if (c > 0)
                copied.text += u'\t';
            appendTextCell(copied.text, value);
            appendHtmlCell(copied.html, u"td"_s, value);
        }
        copied.text += u'\n';
        copied.html += u"</tr>\n"_s;
    }
    copied.html += u"</table>\n"_s;
    return copied;
}

} // namespace dw
