#pragma once

#include "columnorder.h"

#include <QPoint>
#include <QString>

#include <optional>
#include <vector>

class QWidget;

namespace dw {

class DataWindowControl;
class GridView;

// The mouse on a grid's header band: dragging the right border of a heading resizes
// its column, dragging a heading moves its column among the others, a double click on
// a border asks for the width to be fitted. Columns change through the control's
// Modify, as a program's own Modify would change them, so everything placed by
// expression on a column's X or Width follows.
class ColumnDrag
{
public:
    ColumnDrag(DataWindowControl &control, const GridView &view, QWidget &canvas);

    // A left press; false when it is not on a heading or a border (the caller then
    // handles it as a click at once).
    bool press(QPoint pixel);
    // True while a drag takes the pointer's movements.
    bool move(QPoint pixel);
    // Ends a press; true when it became a drag, so no click is raised for it.
    bool release(QPoint pixel);
    // True when the double click was on a border: the column's width was fitted.
    bool doubleClick(QPoint pixel);
    // The pixel x where a moved column would land, while a heading is dragged; -1 otherwise.
    [[nodiscard]] int dropMarker() const { return m_mode == Mode::Moving ? m_marker : -1; }
    // Forgets a press whose release will not come (the grid lost the pointer).
    void cancel();

    // Narrowest a column can be dragged, in pixels.
    static constexpr int kMinimumPixels = 12;

private:
    enum class Mode { Idle, Resizing, Pressed, Moving };
    struct Border
    {
        QString column;
        int width = 0;
    };
    [[nodiscard]] bool onHeader(QPoint pixel) const;
    [[nodiscard]] std::optional<Border> borderAt(QPoint pixel) const;
    [[nodiscard]] int insertionIndex(int pane, int pixelX) const;
    void updateCursor(QPoint pixel);

    DataWindowControl &m_control;
    const GridView &m_view;
    QWidget &m_canvas;
    Mode m_mode = Mode::Idle;
    QString m_column;
    QPoint m_start;
    int m_pane = 0;
    int m_startWidth = 0;
    int m_width = 0;
    bool m_changed = false;
    std::vector<GridColumn> m_columns; // as they stood at the press
    int m_marker = -1;
    bool m_borderCursor = false;
};

} // namespace dw
