#pragma once

#include "datawindow.h"

#include <QPageLayout>
#include <QWidget>

#include <vector>

class QPainter;
class QPrinter;

namespace dw {

// Lays a data window out on pages: the header band at the top of each page, detail
// rows flowing across pages (a row never split), the footer at the bottom, the summary
// after the last row. The page size and margins come from the printer's page layout.
class PageRenderer
{
public:
    PageRenderer(const DataWindow &dw, const QPageLayout &pageLayout);
    [[nodiscard]] int pageCount() const;
    // Paints one page (0-based) at the device's resolution; (0, 0) is the paper's corner.
    void paintPage(QPainter &painter, int page, double dpiX, double dpiY) const;
    [[nodiscard]] QSizeF paperSizeUnits() const;

private:
    const DataWindow &m_dw;
    QPageLayout m_layout;
    std::vector<std::pair<long, long>> m_pages; // first and last row of each page
};

// Prints every page of a data window on a printer (a PDF file when the printer's output
// file is set); 1 ok, -1 on failure.
int printDataWindow(const DataWindow &dw, QPrinter &printer);

// The preview shown while "DataWindow.Print.Preview" is "yes": the pages, read-only,
// scrollable, zoomed to fit the width.
class PagePreview : public QWidget
{
    Q_OBJECT
public:
    explicit PagePreview(const DataWindow &dw, QWidget *parent = nullptr);
    ~PagePreview() override;
    // Lays the pages out again (after a retrieval or a change of layout).
    void refresh();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace dw
