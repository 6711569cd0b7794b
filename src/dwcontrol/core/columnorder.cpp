#include "columnorder.h"

#include "datawindow.h"

#include <algorithm>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

// The gap after the last column, as the grid leaves between columns.
constexpr int kTrailingGap = 9;
// Columns pass through here on their way to their new places, so that no column ever
// lands exactly on another one's heading (the heading decorations follow a column by
// sharing its heading's place).
constexpr int kParking = 1'000'000;

} // namespace

std::vector<GridColumn> visibleColumns(const DataWindow &dw)
{
    std::vector<GridColumn> columns;
    for (const LayoutObject &object : dw.objects()) {
        if (object.kind != u"column" || dw.bandOf(object) != Band::Detail)
            continue;
        if (dw.Describe(object.name + u".visible"_s) != u"1"_s)
            continue;
        const int width = dw.Describe(object.name + u".width"_s).toInt();
        if (width <= 0)
            continue;
        columns.push_back({object.name, dw.Describe(object.name + u".x"_s).toInt(), width});
    }
    std::stable_sort(columns.begin(), columns.end(),
                     [](const GridColumn &a, const GridColumn &b) { return a.x < b.x; });
    return columns;
}

QString arrangeCommands(const DataWindow &dw, const QStringList &order)
{
    const std::vector<GridColumn> current = visibleColumns(dw);
    if (current.empty())
        return {};

    // Each column carries the gap that follows it now.
    std::vector<int> gapAfter(current.size(), kTrailingGap);
    for (std::size_t i = 0; i + 1 < current.size(); ++i)
        gapAfter[i] = std::max(0, current[i + 1].x - current[i].x - current[i].width);

    const auto indexOf = [&current](const QString &name) {
        for (std::size_t i = 0; i < current.size(); ++i) {
            if (current[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        return -1;
    };
    std::vector<int> wanted;
    for (const QString &name : order) {
        const int i = indexOf(name);
        if (i >= 0 && std::find(wanted.begin(), wanted.end(), i) == wanted.end())
            wanted.push_back(i);
    }
    for (int i = 0; i < int(current.size()); ++i) {
        if (std::find(wanted.begin(), wanted.end(), i) == wanted.end())
            wanted.push_back(i);
    }

    std::vector<GridColumn> places;
    int x = current.front().x;
    for (const int i : wanted) {
        const GridColumn &column = current[std::size_t(i)];
        places.push_back({column.name, x, column.width});
        x += column.width + gapAfter[std::size_t(i)];
    }
    return placeCommands(dw, places);
}

QString placeCommands(const DataWindow &dw, const std::vector<GridColumn> &places)
{
    QString park;
    QString place;
    for (const GridColumn &column : places) {
        const int now = dw.Describe(column.name + u".x"_s).toInt();
        if (now != column.x) {
            park += u"%1.X=%2 "_s.arg(column.name).arg(kParking + now);
            place += u"%1.X=%2 "_s.arg(column.name).arg(column.x);
        }
    }
    return (park + place).trimmed();
}

QStringList movedOrder(const std::vector<GridColumn> &columns, const QString &moving, int index)
{
    QStringList names;
    for (const GridColumn &column : columns) {
        if (column.name.compare(moving, Qt::CaseInsensitive) != 0)
            names.append(column.name);
    }
    if (names.size() == qsizetype(columns.size()))
        return names; // not a visible column: nothing moves
    names.insert(std::clamp<qsizetype>(index, 0, names.size()), moving);
    return names;
}

} // namespace dw
