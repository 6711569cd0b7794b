#pragma once

// Floors for the output measurements: each makes the same output as an export from
// everything prepared in memory beforehand, in a plain loop, so it costs what the format
// itself costs on this machine at this moment.
//   text files   the export's own bytes, read back and split into lines, written line by
//                line: the disk's part alone;
//   XLSX         the same cells, texts as UTF-8 and numbers as numbers, handed to the same
//                library in the same constant-memory mode: the library's part alone;
//   clipboard    the same cell texts in UTF-8, already cleaned and escaped, joined into the
//                plain text and the HTML table and put on the clipboard as they are;
//   printing     the same cell texts drawn at their places on as many PDF sheets, in one
//                font, with the same footer.

#include <QPageLayout>
#include <QPointF>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace dw {
class DataWindow;
class PageRenderer;
} // namespace dw

namespace bench {

using PreparedLines = std::vector<std::string>;
[[nodiscard]] PreparedLines prepareLines(const QString &file);
void linesFloor(const PreparedLines &lines, const QString &file);

struct PreparedCells
{
    std::vector<std::string> headings;
    // Row by row, column by column: a number, a text, or nothing for an empty cell.
    std::vector<std::optional<double>> numbers;
    std::vector<std::string> texts;
    int columns = 0;
};
[[nodiscard]] PreparedCells prepareCells(const dw::DataWindow &dw);
void xlsxFloor(const PreparedCells &cells, const QString &file);

struct PreparedCopy
{
    std::vector<std::string> textCells; // UTF-8, headings first, then row by row
    std::vector<std::string> htmlCells; // each with its tags
    int columns = 0;
};
[[nodiscard]] PreparedCopy prepareCopy(const dw::DataWindow &dw, const std::vector<long> &rows);
void copyFloor(const PreparedCopy &prepared);

struct PlacedText
{
    QPointF at; // points from the printable corner
    QString text;
};
struct PreparedSheets
{
    std::vector<std::vector<PlacedText>> sheets;
    double points = 7; // the type size
};
[[nodiscard]] PreparedSheets prepareSheets(const dw::DataWindow &dw, const dw::PageRenderer &renderer);
void printFloor(const PreparedSheets &sheets, const QPageLayout &paper, const QString &file);

} // namespace bench
