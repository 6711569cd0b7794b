#pragma once

// views/grid: the grid on screen. The view lays out the header, detail and background
// bands over the rows, hit-tests a point to the object under it and paints only what is
// visible; the canvas is the widget it paints on, with tool tip texts and the busy
// feedback of a long read beside it. The grid uses the model and the painters; it never
// includes printing, saving or dialogs.

#include "datawindow.h"

#include <QRect>
#include <QSize>

#include <array>
#include <vector>

class QPainter;

namespace dw {

class BandPainter;

// What lies under a point of the view.
struct HitResult
{
    DwObjectRef dwo;
    long row = 0; // 0 outside the rows
    const LayoutObject *object = nullptr; // null on empty space
};

// The screen presentation of a data window, free of widgets: the header band fixed at
// the top, detail rows scrolling by whole rows below it, the summary after the last
// row, the footer fixed at the bottom, the background band behind everything (in
// document coordinates, so it scrolls with the rows) and the foreground band on top.
// The width may be split into two panes that scroll horizontally on their own.
// Only the rows that show are painted, so a paint costs the same for any row count.
class GridView
{
public:
    explicit GridView(const DataWindow &dw) : m_dw(dw) {}

    // Band heights and the layout's width, re-read after the layout changed.
    void refreshMetrics(double dpiX, double dpiY);
    [[nodiscard]] double dpiX() const { return m_dpiX; }
    [[nodiscard]] double dpiY() const { return m_dpiY; }

    void setViewportSize(QSize size) { m_viewport = size; }
    [[nodiscard]] QSize viewportSize() const { return m_viewport; }
    [[nodiscard]] int contentWidth() const { return m_contentWidth; }

    // Vertical scrolling: the first row shown, 0-based.
    [[nodiscard]] long topRow() const { return m_topRow; }
    void setTopRow(long top);
    [[nodiscard]] long maxTopRow() const;
    // Rows that fit whole between the header and the footer (at least 1).
    [[nodiscard]] long visibleRows() const;
    // Scrolls the least needed so that a row (1-based) shows whole.
    void scrollToRow(long row);
    // Keeps the scroll position true after the rows changed, whatever changed them: the
    // first row shown is a real row and, once rows were retrieved, sorted or filtered, the
    // current row shows whole: the row the user chose, where it is still listed, else the
    // first row.
    void followRows();

    // Horizontal panes: a split position of 0 shows one pane.
    static constexpr int kSplitterWidth = 6;
    void setSplit(int pixels);
    [[nodiscard]] int split() const { return m_split; }
    [[nodiscard]] int paneCount() const { return m_split > 0 ? 2 : 1; }
    [[nodiscard]] QRect paneRect(int pane) const;
    [[nodiscard]] int horizontalOffset(int pane) const { return m_hOffset[size_t(pane)]; }
    void setHorizontalOffset(int pane, int pixels);
    [[nodiscard]] int maxHorizontalOffset(int pane) const;

    // The current row is framed while the grid has the keyboard focus (never on paper:
    // only the screen paints through here).
    void setFocusFrame(bool on) { m_focusFrame = on; }

    void paint(QPainter &painter) const;
    [[nodiscard]] HitResult hitTest(QPoint pixel) const;

    [[nodiscard]] int headerHeight() const { return m_header; }
    // The pane under a pixel (-1 on the splitter or outside) and the layout x there.
    [[nodiscard]] int paneAt(QPoint pixel) const;
    [[nodiscard]] double unitsXAt(int pane, int pixelX) const;
    // The pixel x in a pane of a layout x.
    [[nodiscard]] int pixelXOf(int pane, double unitsX) const;
    // The pixel rectangle of a row (1-based) across the content, or empty when not shown.
    [[nodiscard]] QRect rowRect(int pane, long row) const;

private:
    struct RowSpan
    {
        long first;
        long last;
    };
    struct Painters;
    void paintPane(QPainter &painter, const Painters &bands, const QRect &pane, int offset) const;
    void paintGridLines(QPainter &painter, const QRect &pane, int originX, const RowSpan &rows) const;
    [[nodiscard]] RowSpan rowsShown() const;
    [[nodiscard]] int rowsTop() const { return m_header; }
    [[nodiscard]] int rowsBottom() const { return std::max(m_header, m_viewport.height() - m_footer); }
    [[nodiscard]] int rowTop(long row) const;
    [[nodiscard]] const LayoutObject *topmostAt(Band band, long row, QPointF units) const;
    [[nodiscard]] std::vector<double> columnSeparators(long row) const;

    const DataWindow &m_dw;
    double m_dpiX = 96.0;
    double m_dpiY = 96.0;
    int m_header = 0;
    int m_detail = 1;
    int m_footer = 0;
    int m_summary = 0;
    int m_contentWidth = 0;
    bool m_gridLines = false;
    bool m_focusFrame = false;
    QSize m_viewport;
    long m_topRow = 0;
    quint64 m_rowsSeen = 0; // the data window's rows generation the view last placed
    int m_split = 0;
    std::array<int, 2> m_hOffset{0, 0};
};

} // namespace dw
