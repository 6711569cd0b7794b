#include "rowscopy.h"

#include "cellbytes.h"
#include "celltexts.h"
#include "columnheading.h"
#include "columnorder.h"
#include "datawindow.h"

#include <QStringDecoder>

#include <algorithm>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

void appendTextCell(QString &out, const QString &value)
{
    const qsizetype start = out.size();
    out += value;
    QChar *appended = out.data() + start; // one check that the text is not shared, not one per letter
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = appended[i];
        if (c == u'\t' || c == u'\n' || c == u'\r')
            appended[i] = u' ';
    }
}

// Opening and closing tags of a cell, e.g. "<td>" and "</td>".
struct Tag
{
    QString open;
    QString close;
};

void appendHtmlCell(QString &out, const Tag &tag, const QString &value)
{
    out += tag.open;
    const bool plain = std::none_of(value.begin(), value.end(), [](QChar c) {
        return c == u'<' || c == u'>' || c == u'&' || c == u'"' || c == u'\n';
    });
    if (plain) {
        out += value;
    } else {
        QString escaped = value.toHtmlEscaped();
        escaped.replace(u"\r\n"_s, u"<br>"_s);
        escaped.replace(u'\n', u"<br>"_s);
        out += escaped;
    }
    out += tag.close;
}

} // namespace

CopiedRows copyRows(const DataWindow &dw, const std::vector<long> &rows)
{
    QStringList headings;
    std::vector<int> columns;
    for (const GridColumn &column : visibleColumns(dw)) {
        const int number = dw.columnNumber(column.name);
        if (number > 0) {
            headings.append(columnHeading(dw, column.name));
            columns.push_back(number);
        }
    }
    CellBytes bytes(dw);
    const CellTexts &cells = bytes.texts();

    // Sized once from a sample of the rows, so that a copy of a hundred thousand rows
    // does not move its text again and again while it grows.
    const std::size_t sampled = std::min<std::size_t>(rows.size(), 64);
    qsizetype sampleCharacters = 0;
    for (std::size_t r = 0; r < sampled; ++r) {
        for (const int column : columns)
            sampleCharacters += cells.text(rows[r], column).size() + 1;
    }
    const double perRow = sampled > 0 ? double(sampleCharacters) / double(sampled) : 0.0;
    const auto expected = qsizetype(perRow * 1.1 * double(rows.size()));
    CopiedRows copied;
    copied.text.reserve(expected + 4096);
    copied.html.reserve(expected + qsizetype(rows.size() * (columns.size() * 9 + 10)) + 4096);
    const Tag th{u"<th>"_s, u"</th>"_s};
    const Tag td{u"<td>"_s, u"</td>"_s};
    copied.html += u"<table>\n<tr>"_s;
    for (qsizetype i = 0; i < headings.size(); ++i) {
        if (i > 0)
            copied.text += u'\t';
        appendTextCell(copied.text, headings[i]);
        appendHtmlCell(copied.html, th, headings[i]);
    }
    copied.text += u'\n';
    copied.html += u"</tr>\n"_s;

    // A value the rows hold as its text is decoded into one string reused for every cell.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString value;
    for (const long row : rows) {
        copied.html += u"<tr>"_s;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (const std::optional<std::string_view> stored = bytes.stored(row, columns[c])) {
                value.resize(qsizetype(stored->size()));
                const QChar *end = decoder.appendToBuffer(
                    value.data(), QByteArrayView(stored->data(), qsizetype(stored->size())));
                value.resize(end - value.constData());
            } else {
                value = cells.text(row, columns[c]);
            }
            if (c > 0)
                copied.text += u'\t';
            appendTextCell(copied.text, value);
            appendHtmlCell(copied.html, td, value);
        }
        copied.text += u'\n';
        copied.html += u"</tr>\n"_s;
    }
    copied.html += u"</table>\n"_s;
    return copied;
}

} // namespace dw
