#include "textfiles.h"

#include "bytesink.h"
#include "cellbytes.h"
#include "columnheading.h"
#include "datawindow.h"
#include "formulaguard.h"

#include <array>
#include <string>

namespace dw {
namespace {

constexpr std::string_view lineEnd = "\r\n";

// The bytes a format treats apart; every other byte is copied as it is.
using ByteSet = std::array<bool, 256>;

ByteSet byteSet(std::string_view bytes)
{
    ByteSet set{};
    for (const char c : bytes)
        set[static_cast<unsigned char>(c)] = true;
    return set;
}

bool containsAny(std::string_view text, const ByteSet &set)
{
    for (const char c : text) {
        if (set[static_cast<unsigned char>(c)])
            return true;
    }
    return false;
}

// Copies `text`, giving each byte of `set` to `special` instead.
template <class Special>
void copyEscaped(ByteSink &out, std::string_view text, const ByteSet &set, Special special)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!set[static_cast<unsigned char>(c)])
            continue;
        out.append(text.substr(run, i - run));
        special(c);
        run = i + 1;
    }
    out.append(text.substr(run));
}

// RFC 4180: a field holding the separator, a quote or a line break is quoted, quotes
// doubled. A ';' is quoted whatever the separator: spreadsheets set to a Spanish locale
// read CSV files with ';' between fields. A value a spreadsheet would compute is quoted
// behind an apostrophe.
class CsvFields
{
public:
    explicit CsvFields(char separator) : m_quoted(byteSet(std::string{separator, ';', '"', '\n', '\r'})) {}

    void write(ByteSink &out, std::string_view value) const
    {
        const bool guarded = spreadsheetWouldCompute(value);
        if (!guarded && !containsAny(value, m_quoted)) {
            out.append(value);
            return;
        }
        out.append('"');
        if (guarded)
            out.append('\'');
        copyEscaped(out, value, m_quote, [&](char) { out.append("\"\""); });
        out.append('"');
    }

private:
    ByteSet m_quoted;
    ByteSet m_quote = byteSet("\"");
};

// Tab-separated text keeps one record per line: a backslash, tab or line break inside a
// value is written as \\, \t, \n or \r. Spreadsheets open such files as readily as CSV,
// so a value they would compute is guarded the same way.
void writeTxtField(ByteSink &out, std::string_view value)
{
    static const ByteSet escaped = byteSet("\\\t\n\r");
    if (spreadsheetWouldCompute(value))
        out.append('\'');
    copyEscaped(out, value, escaped, [&](char c) {
        out.append(c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r");
    });
}

// Markup escaped as QString::toHtmlEscaped() does, line feeds as <br>, carriage returns
// left out.
void writeHtmlText(ByteSink &out, std::string_view value)
{
    static const ByteSet escaped = byteSet("<>&\"\r\n");
    copyEscaped(out, value, escaped, [&](char c) {
        out.append(c == '<'        ? "&lt;"
                       : c == '>'  ? "&gt;"
                       : c == '&'  ? "&amp;"
                       : c == '"'  ? "&quot;"
                       : c == '\n' ? "<br>"
                                   : "");
    });
}

// Every column in column-number order: its heading on the first line, then the rows of
// the primary buffer as they show. The format says how a line begins and ends, what goes
// between two cells and how a cell is written.
template <class Format> void writeTable(const DataWindow &dw, Format &format)
{
    const int columns = dw.columnCount();
    std::string heading;
    format.beginLine(true);
    for (int column = 1; column <= columns; ++column) {
        if (column > 1)
            format.between();
        heading.clear();
        appendUtf8(heading, columnHeading(dw, dw.columnName(column)));
        format.cell(heading, true);
    }
    format.endLine(true);
    CellBytes cells(dw);
    const long rows = dw.RowCount();
    for (long row = 1; row <= rows; ++row) {
        format.beginLine(false);
        for (int column = 1; column <= columns; ++column) {
            if (column > 1)
                format.between();
            format.cell(cells.utf8(row, column), false);
        }
        format.endLine(false);
    }
}

} // namespace

bool writeCsv(const DataWindow &dw, QIODevice &device, char separator)
{
    struct Csv
    {
        ByteSink &out;
        const CsvFields fields;
        const char separator;
        void beginLine(bool) {}
        void between() { out.append(separator); }
        void cell(std::string_view value, bool) { fields.write(out, value); }
        void endLine(bool) { out.append(lineEnd); }
    };
    ByteSink out(device);
    out.append("\xEF\xBB\xBF"); // spreadsheet programs read the file as UTF-8 only with it
    Csv csv{out, CsvFields(separator), separator};
    writeTable(dw, csv);
    return out.finish();
}

bool writeTabSeparated(const DataWindow &dw, QIODevice &device)
{
    struct Txt
    {
        ByteSink &out;
        void beginLine(bool) {}
        void between() { out.append('\t'); }
        void cell(std::string_view value, bool) { writeTxtField(out, value); }
        void endLine(bool) { out.append(lineEnd); }
    };
    ByteSink out(device);
    Txt txt{out};
    writeTable(dw, txt);
    return out.finish();
}

bool writeHtmlPage(const DataWindow &dw, QIODevice &device, const QString &title)
{
    struct Html
    {
        ByteSink &out;
        void beginLine(bool heading) { out.append(heading ? "<table border=\"1\">\n<thead>\n<tr>" : "<tr>"); }
        void between() {}
        void cell(std::string_view value, bool heading)
        {
            out.append(heading ? "<th>" : "<td>");
            writeHtmlText(out, value);
            out.append(heading ? "</th>" : "</td>");
        }
        void endLine(bool heading) { out.append(heading ? "</tr>\n</thead>\n<tbody>\n" : "</tr>\n"); }
    };
    ByteSink out(device);
    std::string text;
    appendUtf8(text, title);
    out.append("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
    writeHtmlText(out, text);
    out.append("</title>\n</head>\n<body>\n");
    Html html{out};
    writeTable(dw, html);
    out.append("</tbody>\n</table>\n</body>\n</html>\n");
    return out.finish();
}

} // namespace dw
