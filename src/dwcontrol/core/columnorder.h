#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace dw {

class DataWindow;

// A column of a grid as it stands on screen, in layout units.
struct GridColumn
{
    QString name;
    int x = 0;
    int width = 0;
};

// The visible columns of a grid, left to right.
[[nodiscard]] std::vector<GridColumn> visibleColumns(const DataWindow &dw);

// The Modify text that shows the visible columns in `order`, left to right from where
// the leftmost one begins, each keeping its width and the gap that follows it. Names that
// are not visible columns are skipped; visible columns the order leaves out follow in
// their present order. Empty when nothing moves.
[[nodiscard]] QString arrangeCommands(const DataWindow &dw, const QStringList &order);

// The Modify text that puts each column of `places` at its x; its width is not touched.
// Empty when nothing moves.
[[nodiscard]] QString placeCommands(const DataWindow &dw, const std::vector<GridColumn> &places);

// The visible columns' names with `moving` taken out and put back at `index` (0 is first).
[[nodiscard]] QStringList movedOrder(const std::vector<GridColumn> &columns, const QString &moving,
                                     int index);

} // namespace dw
