#pragma once

// A styled listing grid on an offscreen window, and the pointer work the grid style
// tests share: finding an object on screen and sending real mouse events to it.

#include "columnorder.h"
#include "db/transaction.h"
#include "globals.h"
#include "n_svc_dw_gridstyle.h"
#include "support/sample.h"
#include "u_dw.h"
#include "window.h"

#include <QTest>

#include <memory>
#include <optional>

namespace gridtest {

using namespace Qt::StringLiterals;

// A window holding one u_dw that shows the listing layout with the grid style service
// started; `styled` switches every feature on as the search window does.
struct Grid
{
    std::unique_ptr<rt::Window> window;
    u_dw *control = nullptr;

    [[nodiscard]] n_svc_dw_gridstyle &service() const { return *control->isrv_gridstyle(); }
    [[nodiscard]] QString describe(const QString &path) const { return control->Describe(path); }
};

// `prepare` runs on the control before the service starts (layout changes a set-up
// must see). Null when the grid cannot be built, so the test fails loudly.
template <class Prepare>
[[nodiscard]] std::optional<Grid> makeGrid(bool styled, bool retrieve, Prepare prepare)
{
    Grid grid;
    grid.window = std::make_unique<rt::Window>();
    grid.window->QWidget::resize(1000, 560);
    grid.control = new u_dw(grid.window.get());
    grid.control->setDataObject(u"dw_listado_grid"_s);
    if (grid.control->dataobject() != u"dw_listado_grid"_s)
        return std::nullopt;
    grid.control->setGeometry(20, 20, 900, 480);
    grid.control->constructor();
    prepare(*grid.control);
    if (!grid.control->of_startservice(u"GridStyle"_s))
        return std::nullopt;
    if (styled)
        grid.service().of_setstyle(true, true, true, true);
    grid.window->show();
    if (!QTest::qWaitForWindowExposed(grid.window.get()))
        return std::nullopt;
    if (retrieve && grid.control->Retrieve() < 10)
        return std::nullopt;
    // The pointer starts beside the control, wherever an earlier grid left it.
    QTest::mouseMove(grid.window.get(), QPoint(5, 5));
    return grid;
}

[[nodiscard]] inline std::optional<Grid> makeGrid(bool styled = true, bool retrieve = true)
{
    return makeGrid(styled, retrieve, [](u_dw &) {});
}

// Mouse events go to the widget under the point, as the window system would send them.
inline std::pair<QWidget *, QPoint> target(u_dw &control, QPoint point)
{
    QWidget *child = control.childAt(point);
    return child ? std::pair{child, child->mapFrom(&control, point)} : std::pair{&control, point};
}

// A point (control pixels) over the object of that name; for a column, over its cell
// of `row`. (-1, -1) when none is on screen.
[[nodiscard]] inline QPoint pointOf(const u_dw &control, const QString &name, long row = 0)
{
    // Coarse first; thin objects (header lines) need the fine pass.
    for (const auto &[stepX, stepY] : {std::pair{12, 4}, std::pair{3, 1}}) {
        for (int y = 1; y < control.height() - 1; y += stepY) {
            for (int x = 1; x < control.width() - 1; x += stepX) {
                long found = 0;
                const QPoint point(x, y);
                if (control.objectAt(point, &found).name == name && found == row)
                    return point;
            }
        }
    }
    return {-1, -1};
}

inline void click(u_dw &control, QPoint point, Qt::MouseButton button = Qt::LeftButton)
{
    const auto [widget, local] = target(control, point);
    QTest::mouseClick(widget, button, {}, local);
}

inline void moveTo(u_dw &control, QPoint point)
{
    const auto [widget, local] = target(control, point);
    QTest::mouseMove(widget, local);
}

// Moves the pointer onto the window beside the control: the control sees it leave.
inline void leave(const Grid &grid)
{
    QTest::mouseMove(grid.window.get(), QPoint(5, 5));
}

// The rows' values of one column, in display order.
[[nodiscard]] inline QStringList columnValues(const u_dw &control, const QString &column)
{
    QStringList values;
    for (long row = 1; row <= control.RowCount(); ++row)
        values.append(control.GetItemString(row, column));
    return values;
}

// The names of the visible columns, left to right.
inline QStringList visibleOrder(const u_dw &control)
{
    QStringList names;
    for (const dw::GridColumn &column : dw::visibleColumns(control.model()))
        names.append(column.name);
    return names;
}

} // namespace gridtest
