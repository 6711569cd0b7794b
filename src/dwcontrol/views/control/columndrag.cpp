#include "columndrag.h"

#include "datawindowcontrol.h"
#include "gridview.h"
#include "units.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

// The pointer grabs a border over the last pixels of a heading and the gap after it,
// never over the next heading, which stays a place to click.
constexpr int kGripInside = 3;
constexpr int kGripOutside = 1;

} // namespace

ColumnDrag::ColumnDrag(DataWindowControl &control, const GridView &view, QWidget &canvas)
    : m_control(control)
    , m_view(view)
    , m_canvas(canvas)
{}

bool ColumnDrag::onHeader(QPoint pixel) const
{
    // Only a grid lays its columns side by side under headings.
    return pixel.y() >= 0 && pixel.y() < m_view.headerHeight() && m_control.model().presentation() == u"grid";
}

std::optional<ColumnDrag::Border> ColumnDrag::borderAt(QPoint pixel) const
{
    if (!onHeader(pixel))
        return std::nullopt;
    const int pane = m_view.paneAt(pixel);
    if (pane < 0)
        return std::nullopt;
    for (const GridColumn &column : visibleColumns(m_control.model())) {
        const int beyond = pixel.x() - m_view.pixelXOf(pane, column.x + column.width);
        if (beyond >= -kGripInside && beyond <= kGripOutside)
            return Border{column.name, column.width};
    }
    return std::nullopt;
}

int ColumnDrag::insertionIndex(int pane, int pixelX) const
{
    const double at = m_view.unitsXAt(pane, pixelX);
    int index = 0;
    for (const GridColumn &column : m_columns) {
        if (column.name == m_column)
            continue;
        if (column.x + column.width / 2.0 < at)
            ++index;
    }
    return index;
}

void ColumnDrag::updateCursor(QPoint pixel)
{
    const bool onBorder = borderAt(pixel).has_value();
    if (onBorder == m_borderCursor)
        return;
    m_borderCursor = onBorder;
    if (onBorder)
        m_canvas.setCursor(Qt::SplitHCursor);
    else
        m_canvas.unsetCursor();
}

bool ColumnDrag::press(QPoint pixel)
{
    cancel();
    if (const std::optional<Border> border = borderAt(pixel)) {
        m_mode = Mode::Resizing;
        m_column = border->column;
        m_start = pixel;
        m_startWidth = m_width = border->width;
        m_changed = false;
        return true;
    }
    if (!onHeader(pixel))
        return false;
    m_pane = m_view.paneAt(pixel);
    if (m_pane < 0)
        return false;
    const double at = m_view.unitsXAt(m_pane, pixel.x());
    m_columns = visibleColumns(m_control.model());
    for (const GridColumn &column : m_columns) {
        if (at >= column.x && at < column.x + column.width) {
            m_mode = Mode::Pressed;
            m_column = column.name;
            m_start = pixel;
            return true;
        }
    }
    m_columns.clear();
    return false;
}

bool ColumnDrag::move(QPoint pixel)
{
    switch (m_mode) {
    case Mode::Idle:
        updateCursor(pixel);
        return false;
    case Mode::Resizing: {
        const int minimum = int(std::ceil(units::toUnitsX(kMinimumPixels, m_view.dpiX())));
        const int width = std::max(
            minimum,
            m_startWidth + int(std::lround(units::toUnitsX(pixel.x() - m_start.x(), m_view.dpiX()))));
        if (width != m_width) {
            m_width = width;
            m_changed = true;
            m_control.Modify(m_column + u".Width="_s + QString::number(width));
        }
        return true;
    }
    case Mode::Pressed:
        if ((pixel - m_start).manhattanLength() < QApplication::startDragDistance())
            return true;
        m_mode = Mode::Moving;
        m_canvas.setCursor(Qt::ClosedHandCursor);
        [[fallthrough]];
    case Mode::Moving: {
        // The marker stands at the left edge of the column the moved one would precede.
        const int index = insertionIndex(m_pane, pixel.x());
        int seen = 0;
        int markerUnits = -1;
        for (const GridColumn &column : m_columns) {
            if (column.name == m_column)
                continue;
            if (seen++ == index) {
                markerUnits = column.x;
                break;
            }
            markerUnits = column.x + column.width;
        }
        m_marker = m_view.pixelXOf(m_pane, markerUnits);
        m_canvas.update();
        return true;
    }
    }
    return false;
}

bool ColumnDrag::release(QPoint pixel)
{
    const Mode mode = m_mode;
    m_mode = Mode::Idle;
    switch (mode) {
    case Mode::Idle:
        return false;
    case Mode::Pressed:
        m_columns.clear();
        return false; // a plain click
    case Mode::Resizing:
        if (m_changed)
            m_control.columnlayoutchanged();
        break;
    case Mode::Moving: {
        const QStringList order = movedOrder(m_columns, m_column, insertionIndex(m_pane, pixel.x()));
        m_columns.clear();
        m_marker = -1;
        m_canvas.update();
        const QString commands = arrangeCommands(m_control.model(), order);
        if (!commands.isEmpty()) {
            m_control.Modify(commands);
            m_control.columnlayoutchanged();
        }
        break;
    }
    }
    // The cursor is decided afresh for where the pointer now rests.
    m_canvas.unsetCursor();
    m_borderCursor = false;
    updateCursor(pixel);
    return true;
}

bool ColumnDrag::doubleClick(QPoint pixel)
{
    const std::optional<Border> border = borderAt(pixel);
    if (!border)
        return false;
    cancel();
    m_control.columnautofit(border->column);
    m_control.columnlayoutchanged();
    return true;
}

void ColumnDrag::cancel()
{
    if (m_mode == Mode::Moving)
        m_canvas.update();
    m_mode = Mode::Idle;
    m_columns.clear();
    m_marker = -1;
}

} // namespace dw
