#include "rowscopy.h"

#include "bytesink.h"
#include "cellbytes.h"
#include "columnheading.h"
#include "columnorder.h"
#include "datawindow.h"

#include <QMimeData>

#include <algorithm>
#include <string>
#include <string_view>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

void append(QByteArray &out, std::string_view bytes)
{
    out.append(bytes.data(), qsizetype(bytes.size()));
}

// A tab or line break inside a value becomes a blank, so every row stays one line.
void appendTextCell(QByteArray &out, std::string_view value)
{
    const qsizetype start = out.size();
    append(out, value);
    char *appended = out.data() + start; // one check that the bytes are not shared, not one per byte
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = appended[i];
        if (c == '\t' || c == '\n' || c == '\r')
            appended[i] = ' ';
    }
}

// What a byte becomes in HTML: markup escaped as QString::toHtmlEscaped() does, a line
// feed a line break; empty for a byte that stays as it is.
std::string_view htmlEntity(char c)
{
    switch (c) {
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '&':
        return "&amp;";
    case '"':
        return "&quot;";
    case '\n':
        return "<br>";
    default:
        return {};
    }
}

// "\r\n" is one line break; a carriage return alone stays as it is.
void appendHtmlText(QByteArray &out, std::string_view value)
{
    std::size_t run = 0; // start of the bytes not yet written
    for (std::size_t i = 0; i < value.size(); ++i) {
        std::string_view replacement = htmlEntity(value[i]);
        std::size_t taken = 1;
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
            replacement = "<br>";
            taken = 2;
        }
        if (replacement.empty())
            continue;
        append(out, value.substr(run, i - run));
        append(out, replacement);
        i += taken - 1;
        run = i + 1;
    }
    append(out, value.substr(run));
}

void appendCell(CopiedRows &copied, bool first, bool heading, std::string_view value)
{
    if (!first)
        copied.text.append('\t');
    appendTextCell(copied.text, value);
    append(copied.html, heading ? "<th>" : "<td>");
    appendHtmlText(copied.html, value);
    append(copied.html, heading ? "</th>" : "</td>");
}

// How many rows ahead the bytes of the cells are fetched.
constexpr std::size_t kAhead = 8;

} // namespace

CopiedRows copyRows(const DataWindow &dw, const std::vector<long> &rows)
{
    std::vector<QString> headings;
    std::vector<int> columns;
    for (const GridColumn &column : visibleColumns(dw)) {
        const int number = dw.columnNumber(column.name);
        if (number > 0) {
            headings.push_back(columnHeading(dw, column.name));
            columns.push_back(number);
        }
    }
    CellBytes cells(dw);

    // Sized once from a sample of the rows, so that a copy of a hundred thousand rows does
    // not move its bytes again and again while it grows. Room reserved and never written
    // costs address space only.
    const std::size_t sampled = std::min<std::size_t>(rows.size(), 64);
    double sampleBytes = 0;
    for (std::size_t r = 0; r < sampled; ++r) {
        for (const int column : columns)
            sampleBytes += double(cells.utf8(rows[r], column).size() + 1);
    }
    const double perRow = sampled > 0 ? sampleBytes / double(sampled) : 0.0;
    const auto expected = qsizetype(perRow * 1.25 * double(rows.size())) + 4096;
    CopiedRows copied;
    copied.text.reserve(expected);
    copied.html.reserve(expected + qsizetype(rows.size() * (columns.size() * 9 + 10)));

    append(copied.html, "<table>\n<tr>");
    std::string heading;
    for (std::size_t c = 0; c < headings.size(); ++c) {
        heading.clear();
        appendUtf8(heading, headings[c]);
        appendCell(copied, c == 0, true, heading);
    }
    copied.text.append('\n');
    append(copied.html, "</tr>\n");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r + kAhead < rows.size()) {
            for (const int column : columns)
                cells.prefetch(rows[r + kAhead], column);
        }
        append(copied.html, "<tr>");
        for (std::size_t c = 0; c < columns.size(); ++c)
            appendCell(copied, c == 0, false, cells.utf8(rows[r], columns[c]));
        copied.text.append('\n');
        append(copied.html, "</tr>\n");
    }
    append(copied.html, "</table>\n");
    return copied;
}

std::unique_ptr<QMimeData> clipboardData(const CopiedRows &copied)
{
    // The bytes go as they are: a reader in this program asking for text or HTML has them
    // decoded as UTF-8, and another program asking for "text/plain" or "text/html" receives
    // them unchanged.
    auto mime = std::make_unique<QMimeData>();
    mime->setData(u"text/plain"_s, copied.text);
    mime->setData(u"text/html"_s, copied.html);
    return mime;
}

} // namespace dw
