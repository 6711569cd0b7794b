#include "objects/layoutpaths.h"

#include <algorithm>
#include <climits>

namespace dw::grid {

using namespace Qt::StringLiterals;

namespace {

// The grid lines between columns are this wide; a column shown again lands this far
// right of the last visible one.
constexpr int kGap = 9;

int number(const LayoutObject &object, QStringView path)
{
    const QString *value = findAttribute(object, path);
    return value ? defaultPart(*value).toInt() : 0;
}

void setNumber(LayoutObject &object, const QString &path, int value)
{
    setAttribute(object, path, QString::number(value));
}

bool isVisible(const LayoutObject &object)
{
    const QString *value = findAttribute(object, u"visible");
    return !value || isTrue(*value);
}

bool inHeader(const LayoutObject &object)
{
    const QString *band = findAttribute(object, u"band");
    return band && band->compare(u"header", Qt::CaseInsensitive) == 0;
}

// The heading of a column object and the header objects laid exactly over it (sort
// arrows, heading lines), which move and resize with it.
std::vector<int> followers(const Layout &layout, int column)
{
    std::vector<int> result;
    const int heading = layout.objectIndex(QString(layout.objects[std::size_t(column)].name + u"_t"_s));
    if (heading < 0 || !inHeader(layout.objects[std::size_t(heading)]))
        return result;
    result.push_back(heading);
    const LayoutObject &h = layout.objects[std::size_t(heading)];
    const int x = number(h, u"x");
    const int width = number(h, u"width");
    for (std::size_t i = 0; i < layout.objects.size(); ++i) {
        const LayoutObject &object = layout.objects[i];
        if (int(i) == heading || object.kind == u"column" || !inHeader(object))
            continue;
        if (object.name.endsWith(u"_t"_s, Qt::CaseInsensitive)
            && layout.columnNumber(QStringView(object.name).chopped(2)) != 0)
            continue; // another column's heading
        if (number(object, u"x") == x && number(object, u"width") == width)
            result.push_back(int(i));
    }
    return result;
}

void moveBy(Layout &layout, int column, int dx)
{
    if (dx == 0)
        return;
    const std::vector<int> moving = followers(layout, column);
    LayoutObject &object = layout.objects[std::size_t(column)];
    setNumber(object, u"x"_s, number(object, u"x") + dx);
    for (const int i : moving) {
        LayoutObject &follower = layout.objects[std::size_t(i)];
        setNumber(follower, u"x"_s, number(follower, u"x") + dx);
    }
}

// Visible columns to the right of x, except `except`.
std::vector<int> columnsRightOf(const Layout &layout, int x, int except)
{
    std::vector<int> result;
    for (std::size_t i = 0; i < layout.objects.size(); ++i) {
        const LayoutObject &object = layout.objects[i];
        if (int(i) != except && object.kind == u"column" && isVisible(object) && number(object, u"x") > x)
            result.push_back(int(i));
    }
    return result;
}

} // namespace

void setColumnX(Layout &layout, int column, int x)
{
    moveBy(layout, column, x - number(layout.objects[std::size_t(column)], u"x"));
}

void setColumnWidth(Layout &layout, int column, const QString &width)
{
    LayoutObject &object = layout.objects[std::size_t(column)];
    const int oldWidth = number(object, u"width");
    const int newWidth = defaultPart(width).toInt();
    const std::vector<int> resizing = followers(layout, column);
    setAttribute(object, u"width"_s, width);
    for (const int i : resizing)
        setNumber(layout.objects[std::size_t(i)], u"width"_s, newWidth);
    if (!isVisible(object))
        return;
    for (const int i : columnsRightOf(layout, number(object, u"x"), column))
        moveBy(layout, i, newWidth - oldWidth);
}

void setColumnVisible(Layout &layout, int column, const QString &visible)
{
    LayoutObject &object = layout.objects[std::size_t(column)];
    const bool was = isVisible(object);
    const bool now = isTrue(visible);
    const std::vector<int> heading = followers(layout, column);
    setAttribute(object, u"visible"_s, visible);
    if (was == now)
        return;
    for (const int i : heading)
        setAttribute(layout.objects[std::size_t(i)], u"visible"_s, now ? u"1"_s : u"0"_s);
    const int x = number(object, u"x");
    if (!now) {
        // Close the gap: the next visible column takes this one's place.
        const std::vector<int> right = columnsRightOf(layout, x, column);
        int next = INT_MAX;
        for (const int i : right)
            next = std::min(next, number(layout.objects[std::size_t(i)], u"x"));
        for (const int i : right)
            moveBy(layout, i, x - next);
        return;
    }
    int end = INT_MIN;
    for (std::size_t i = 0; i < layout.objects.size(); ++i) {
        const LayoutObject &other = layout.objects[i];
        if (int(i) != column && other.kind == u"column" && isVisible(other))
            end = std::max(end, number(other, u"x") + number(other, u"width"));
    }
    moveBy(layout, column, (end == INT_MIN ? kGap : end + kGap) - x);
}

} // namespace dw::grid
