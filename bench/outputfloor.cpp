#include "outputfloor.h"

#include "columnheading.h"
#include "columnorder.h"
#include "datawindow.h"
#include "pagepreview.h"
#include "units.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace bench {
namespace {

bool isNumeric(const dw::DataWindow &dw, const QString &column)
{
    const QString type = dw.Describe(column + u".ColType"_s).left(5).toLower();
    return type == u"decim" || type == u"numbe" || type == u"long" || type == u"ulong" || type == u"real"
        || type == u"int";
}

QString withoutBreaks(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

} // namespace

PreparedLines prepareLines(const QString &file)
{
    QFile in(file);
    PreparedLines lines;
    if (!in.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray bytes = in.readAll();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        lines.emplace_back(bytes.constData() + start, std::size_t(end - start));
        start = end;
    }
    return lines;
}

void linesFloor(const PreparedLines &lines, const QString &file)
{
    std::FILE *out = std::fopen(QFile::encodeName(file).constData(), "wb");
    if (!out)
        return;
    std::vector<char> buffer(256 * 1024);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    for (const std::string &line : lines)
        std::fwrite(line.data(), 1, line.size(), out);
    std::fclose(out);
}

PreparedCells prepareCells(const dw::DataWindow &dw)
{
    PreparedCells cells;
    cells.columns = dw.columnCount();
    std::vector<bool> numeric;
    for (int column = 1; column <= cells.columns; ++column) {
        const QString name = dw.columnName(column);
        cells.headings.push_back(dw::columnHeading(dw, name).toStdString());
        numeric.push_back(isNumeric(dw, name));
    }
    for (long row = 1; row <= dw.RowCount(); ++row) {
        for (int column = 1; column <= cells.columns; ++column) {
            const dw::Value value = dw.GetItem(row, column);
            if (numeric[std::size_t(column - 1)] && value.isNumber()) {
                cells.numbers.emplace_back(value.toNumber());
                cells.texts.emplace_back();
            } else {
                cells.numbers.emplace_back();
                cells.texts.push_back(dw.displayText(row, column).toStdString());
            }
        }
    }
    return cells;
}

void xlsxFloor(const PreparedCells &cells, const QString &file)
{
    const QTemporaryDir scratch;
    QByteArray folder = scratch.path().toLocal8Bit();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder.data();
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    if (!book)
        return;
    lxw_worksheet *sheet = workbook_add_worksheet(book, "directorio");
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    for (int column = 0; column < cells.columns; ++column)
        worksheet_write_string(sheet, 0, lxw_col_t(column), cells.headings[std::size_t(column)].c_str(),
                               bold);
    worksheet_freeze_panes(sheet, 1, 0);
    const std::size_t count = cells.texts.size();
    const auto columns = std::size_t(std::max(1, cells.columns));
    for (std::size_t i = 0; i < count; ++i) {
        const auto row = lxw_row_t(i / columns + 1);
        const auto column = lxw_col_t(i % columns);
        if (cells.numbers[i])
            worksheet_write_number(sheet, row, column, *cells.numbers[i], nullptr);
        else if (!cells.texts[i].empty())
            worksheet_write_string(sheet, row, column, cells.texts[i].c_str(), nullptr);
    }
    workbook_close(book);
}

PreparedCopy prepareCopy(const dw::DataWindow &dw, const std::vector<long> &rows)
{
    PreparedCopy prepared;
    std::vector<int> columns;
    const auto add = [&](const QString &value, const QString &tag) {
        prepared.textCells.push_back(withoutBreaks(value).toStdString());
        QString html = value.toHtmlEscaped();
        html.replace(u"\r\n"_s, u"<br>"_s);
        html.replace(u'\n', u"<br>"_s);
        prepared.htmlCells.push_back((u'<' + tag + u'>' + html + u"</"_s + tag + u'>').toStdString());
    };
    for (const dw::GridColumn &column : dw::visibleColumns(dw)) {
        const int number = dw.columnNumber(column.name);
        if (number > 0) {
            columns.push_back(number);
            add(dw::columnHeading(dw, column.name), u"th"_s);
        }
    }
    prepared.columns = int(columns.size());
    for (const long row : rows) {
        for (const int column : columns)
            add(dw.displayText(row, column), u"td"_s);
    }
    return prepared;
}

void copyFloor(const PreparedCopy &prepared)
{
    qsizetype textSize = 0;
    qsizetype htmlSize = 0;
    for (const std::string &cell : prepared.textCells)
        textSize += qsizetype(cell.size()) + 1;
    for (const std::string &cell : prepared.htmlCells)
        htmlSize += qsizetype(cell.size());
    QByteArray text;
    QByteArray html;
    text.reserve(textSize);
    const auto columns = std::size_t(std::max(1, prepared.columns));
    html.reserve(htmlSize + qsizetype(prepared.textCells.size() / columns) * 10 + 32);
    html += "<table>\n";
    for (std::size_t i = 0; i < prepared.textCells.size(); ++i) {
        const bool first = i % columns == 0;
        if (first)
            html += "<tr>";
        else
            text += '\t';
        text.append(prepared.textCells[i].data(), qsizetype(prepared.textCells[i].size()));
        html.append(prepared.htmlCells[i].data(), qsizetype(prepared.htmlCells[i].size()));
        if (i % columns == columns - 1) {
            text += '\n';
            html += "</tr>\n";
        }
    }
    html += "</table>\n";
    auto mime = std::make_unique<QMimeData>();
    mime->setData(u"text/plain"_s, text);
    mime->setData(u"text/html"_s, html);
    QApplication::clipboard()->setMimeData(mime.release());
}

PreparedSheets prepareSheets(const dw::DataWindow &dw, const dw::PageRenderer &renderer)
{
    PreparedSheets prepared;
    const double scale = renderer.scale();
    prepared.points = 8 * scale;
    const auto points = [](double unitsX) { return dw::units::toPixelsX(unitsX) * 72.0 / 96.0; };
    const std::vector<dw::GridColumn> columns = dw::visibleColumns(dw);
    const dw::SheetsAcross &across = renderer.sheetsAcross();
    const double rowPoints = dw::units::toPixelsY(dw.bandHeight(dw::Band::Detail)) * 72.0 / 96.0 * scale;
    const double headerPoints = dw::units::toPixelsY(dw.bandHeight(dw::Band::Header)) * 72.0 / 96.0 * scale;
    for (int page = 0; page < renderer.pageCount(); ++page) {
        const auto [first, last] = renderer.rowsOnPage(page);
        const std::size_t slice = std::size_t(page % renderer.pagesAcross());
        const auto [left, right] = across.slices.at(slice);
        std::vector<PlacedText> sheet;
        for (const dw::GridColumn &column : columns) {
            const bool repeated = slice > 0 && column.x < across.repeated;
            const bool own = renderer.pagesAcross() == 1 || (column.x >= left && column.x < right);
            if (!repeated && !own)
                continue;
            const double x
                = points(repeated ? column.x : column.x - left + (slice > 0 ? across.repeated : 0)) * scale;
            const int number = dw.columnNumber(column.name);
            sheet.push_back({QPointF(x, headerPoints), dw::columnHeading(dw, column.name)});
            for (long row = first; row <= last; ++row)
                sheet.push_back({QPointF(x, headerPoints + double(row - first + 1) * rowPoints),
                                 dw.displayText(row, number)});
        }
        sheet.push_back({QPointF(0, 1000), u"Página %1 de %2"_s.arg(page + 1).arg(renderer.pageCount())});
        prepared.sheets.push_back(std::move(sheet));
    }
    return prepared;
}

void printFloor(const PreparedSheets &sheets, const QPageLayout &paper, const QString &file)
{
    QPdfWriter writer(file);
    writer.setPageLayout(paper);
    QPainter painter(&writer);
    QFont font(u"Arial"_s);
    const double perPoint = writer.resolution() / 72.0;
    font.setPixelSize(std::max(1, int(sheets.points * perPoint)));
    painter.setFont(font);
    const double bottom = paper.paintRect(QPageLayout::Point).height() - 4;
    for (std::size_t i = 0; i < sheets.sheets.size(); ++i) {
        if (i > 0)
            writer.newPage();
        for (const PlacedText &placed : sheets.sheets[i]) {
            const QPointF at(placed.at.x(), std::min(placed.at.y(), bottom));
            painter.drawText(at * perPoint, placed.text);
        }
    }
}

} // namespace bench
