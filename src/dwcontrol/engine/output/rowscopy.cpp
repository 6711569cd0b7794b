#include "output/rowscopy.h"

#include "datawindow.h"
#include "objects/columnorder.h"
#include "output/columnheading.h"

namespace dw {

using namespace Qt::StringLiterals;

namespace {

void appendTextCell(QString &out, const QString &value)
{
    for (const QChar c : value)
        out += (c == u'\t' || c == u'\n' || c == u'\r') ? QChar(u' ') : c;
}

void appendHtmlCell(QString &out, const QString &tag, const QString &value)
{
    out += u'<' + tag + u'>';
    QString escaped = value.toHtmlEscaped();
    escaped.replace(u"\r\n"_s, u"<br>"_s);
    escaped.replace(u'\n', u"<br>"_s);
    out += escaped;
    out += u"</"_s + tag + u'>';
}

} // namespace

CopiedRows copyRows(const DataWindow &dw, const std::vector<long> &rows)
{
    struct Column
    {
        int number;
        QString heading;
    };
    std::vector<Column> columns;
    for (const GridColumn &column : visibleColumns(dw)) {
        const int number = dw.columnNumber(column.name);
        if (number > 0)
            columns.push_back({number, columnHeading(dw, column.name)});
    }

    CopiedRows copied;
    copied.html = u"<table>\n<tr>"_s;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            copied.text += u'\t';
        appendTextCell(copied.text, columns[i].heading);
        appendHtmlCell(copied.html, u"th"_s, columns[i].heading);
    }
    copied.text += u'\n';
    copied.html += u"</tr>\n"_s;

    for (const long row : rows) {
        copied.html += u"<tr>"_s;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const QString value = dw.displayText(row, columns[i].number);
            if (i > 0)
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
