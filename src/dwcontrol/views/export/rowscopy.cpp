#include "rowscopy.h"

#include "bytesink.h"
#include "cellbytes.h"
#include "columnheading.h"
#include "columnorder.h"
#include "datawindow.h"

#include <algorithm>
#include <string_view>

namespace dw {
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

struct TextFormat
{
    QByteArray out;
    void beginRow() {}
    void cell(std::size_t column, bool, std::string_view value)
    {
        if (column > 0)
            out.append('\t');
        appendTextCell(out, value);
    }
    void endRow() { out.append('\n'); }
};

struct HtmlFormat
{
    QByteArray out;
    void beginRow() { append(out, "<tr>"); }
    void cell(std::size_t, bool heading, std::string_view value)
    {
        append(out, heading ? "<th>" : "<td>");
        appendHtmlText(out, value);
        append(out, heading ? "</th>" : "</td>");
    }
    void endRow() { append(out, "</tr>\n"); }
};

// How many rows ahead the bytes of the cells are fetched: rows in an order other than the
// one they are stored in (a sort) then do not wait for memory one cell at a time.
constexpr std::size_t kAhead = 8;

} // namespace

CopiedRows::CopiedRows(const DataWindow &dw, const std::vector<long> &rows)
{
    for (const long row : rows) {
        const qint64 index = dw.storeIndex(row);
        if (index >= 0)
            m_indexes.push_back(std::uint32_t(index));
    }
    // A copy of a good part of the rows shares the stored rows, which costs nothing while
    // the listing holds them. A copy of a few keeps their texts instead: sharing, it would
    // hold every stored row for as long as it stays on the clipboard, after the listing
    // has let go of them (read again, closed).
    ColumnStore stored = dw.storedRows();
    const bool sharesRows = m_indexes.size() * 8 > std::size_t(stored.size());
    if (sharesRows)
        m_store = std::move(stored);
    CellBytes cells(dw);
    for (const GridColumn &visible : visibleColumns(dw)) {
        const int number = dw.columnNumber(visible.name);
        if (number <= 0)
            continue;
        std::string &heading = m_headings.emplace_back();
        appendUtf8(heading, columnHeading(dw, visible.name));
        Column &column = m_columns.emplace_back();
        if (sharesRows && dw.showsStoredText(number)) {
            column.stored = number - 1;
            continue;
        }
        column.ends.reserve(m_indexes.size());
        for (const long row : rows) {
            if (dw.storeIndex(row) >= 0) {
                column.texts.append(cells.utf8(row, number));
                column.ends.push_back(column.texts.size());
            }
        }
    }
    const std::size_t sampled = std::min<std::size_t>(m_indexes.size(), 64);
    std::string scratch;
    for (std::size_t r = 0; r < sampled; ++r) {
        for (const Column &column : m_columns)
            m_bytesPerRow += double(cell(r, column, scratch).size() + 1);
    }
    if (sampled > 0)
        m_bytesPerRow /= double(sampled);
}

std::string_view CopiedRows::cell(std::size_t position, const Column &column, std::string &scratch) const
{
    if (column.stored < 0) {
        const std::size_t begin = position > 0 ? column.ends[position - 1] : 0;
        return std::string_view(column.texts).substr(begin, column.ends[position] - begin);
    }
    const std::string_view bytes = m_store.utf8(m_indexes[position], column.stored);
    if (CellBytes::isOwnText(bytes))
        return bytes;
    // The grid shows such bytes decoded, invalid ones as replacement characters.
    scratch.clear();
    appendUtf8(scratch, QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    return scratch;
}

void CopiedRows::prefetch(std::size_t position) const
{
    if (position >= m_indexes.size())
        return;
    for (const Column &column : m_columns) {
        if (column.stored >= 0)
            __builtin_prefetch(m_store.utf8(m_indexes[position], column.stored).data());
    }
}

template <class Format> QByteArray CopiedRows::written(Format &format, double markupPerRow) const
{
    // Sized once, so that a copy of a hundred thousand rows does not move its bytes again
    // and again while it grows. Room reserved and never written costs address space only.
    const double perRow = m_bytesPerRow * 1.25 + markupPerRow;
    format.out.reserve(format.out.size() + qsizetype(perRow * double(m_indexes.size())) + 4096);
    format.beginRow();
    for (std::size_t c = 0; c < m_headings.size(); ++c)
        format.cell(c, true, m_headings[c]);
    format.endRow();
    std::string scratch;
    for (std::size_t r = 0; r < m_indexes.size(); ++r) {
        prefetch(r + kAhead);
        format.beginRow();
        for (std::size_t c = 0; c < m_columns.size(); ++c)
            format.cell(c, false, cell(r, m_columns[c], scratch));
        format.endRow();
    }
    return std::move(format.out);
}

QByteArray CopiedRows::text() const
{
    TextFormat format;
    return written(format, 0);
}

QByteArray CopiedRows::html() const
{
    HtmlFormat format;
    append(format.out, "<table>\n");
    QByteArray html = written(format, double(m_columns.size()) * 9 + 10); // the tags of a row and its cells
    append(html, "</table>\n");
    return html;
}

} // namespace dw
