#pragma once

#include <QString>

#include <vector>

namespace testsupport {

// A word of a PDF page as `pdftotext -bbox` reads it, its box in points from the page's
// top left corner.
struct PdfWord
{
    QString text;
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;

    [[nodiscard]] double height() const { return bottom - top; }
    [[nodiscard]] bool overlaps(const PdfWord &other) const
    {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

// One page: its size and its words in reading order.
struct PdfPage
{
    double width = 0;
    double height = 0;
    std::vector<PdfWord> words;

    // The words joined by blanks.
    [[nodiscard]] QString text() const;
    [[nodiscard]] bool contains(const QString &word) const;
};

// The pages of a PDF file; none when pdftotext cannot read it.
[[nodiscard]] std::vector<PdfPage> readPdfPages(const QString &pdf);

} // namespace testsupport
