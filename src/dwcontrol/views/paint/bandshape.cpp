#include "bandshape.h"

#include "objectgeometry.h"

#include <algorithm>

namespace dw {
namespace {

// The values are measured at a resolution of their own (see wrapText); the styles read
// here only give fonts, frames and alignment.
constexpr double kStyleDpi = 96.0;
constexpr double kTouching = 1e-6;

bool marksGrowth(const ObjectAttributes &attributes)
{
    return objectType(attributes.object()) == u"column" && attributes.flag(QStringLiteral("grow"));
}

} // namespace

bool bandGrows(const DataWindow &dw, Band band)
{
    return std::any_of(dw.objects().cbegin(), dw.objects().cend(), [&](const LayoutObject &object) {
        return dw.bandOf(object) == band && marksGrowth(ObjectAttributes(dw, object, 0));
    });
}

BandShape::BandShape(const DataWindow &dw, Band band, long row) : m_height(std::max(0, dw.bandHeight(band)))
{
    struct Item
    {
        const LayoutObject *object;
        QRectF frame;
        double growth = 0;
        bool grows = false;
    };
    std::vector<Item> items;
    for (const LayoutObject &object : dw.objects()) {
        if (!isDrawable(object) || dw.bandOf(object) != band)
            continue;
        const ObjectAttributes attributes(dw, object, row);
        const ObjectStyle style = resolveStyle(attributes, kStyleDpi, kStyleDpi);
        if (!style.visible)
            continue;
        Item item{&object, style.frame};
        if (row > 0 && style.grows && !style.bitmap && style.column > 0) {
            const QString value = dw.displayText(row, style.column);
            if (!value.isEmpty() && !fitsOneLine(value, style)) {
                WrappedText wrapped = wrapText(value, style);
                item.growth = std::max(0.0, wrapped.height - style.frame.height());
                item.grows = true;
                m_wrapped.emplace(&object, std::move(wrapped));
            }
        }
        items.push_back(item);
    }
    m_contentBottom = m_height;
    if (m_wrapped.empty())
        return;

    // Top to bottom: an object moves down by what every grown value above it pushed.
    std::stable_sort(items.begin(), items.end(),
                     [](const Item &a, const Item &b) { return a.frame.top() < b.frame.top(); });
    double pushed = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        double shift = 0;
        for (std::size_t j = 0; j < i; ++j) {
            const Item &above = items[j];
            if (above.grows && above.frame.bottom() <= items[i].frame.top() + kTouching)
                shift = std::max(shift, m_shift[above.object] + above.growth);
        }
        m_shift[items[i].object] = shift;
        if (items[i].grows)
            pushed = std::max(pushed, shift + items[i].growth);
    }
    m_height += pushed;
    m_contentBottom = 0;

    for (const Item &item : items) {
        const double top = item.frame.top() + m_shift[item.object];
        if (const WrappedText *text = wrapped(item.object)) {
            for (const WrappedText::Line &line : text->lines)
                m_whole.emplace_back(top + line.top, top + line.top + text->lineHeight);
            m_contentBottom = std::max(m_contentBottom, top + std::max(item.frame.height(), text->height));
        } else {
            m_whole.emplace_back(top, item.frame.bottom() + m_shift[item.object]);
            m_contentBottom = std::max(m_contentBottom, m_whole.back().second);
        }
    }
}

double BandShape::shift(const LayoutObject *object) const
{
    const auto found = m_shift.find(object);
    return found == m_shift.end() ? 0.0 : found->second;
}

const WrappedText *BandShape::wrapped(const LayoutObject *object) const
{
    const auto found = m_wrapped.find(object);
    return found == m_wrapped.end() ? nullptr : &found->second;
}

double BandShape::cutBefore(double from, double limit) const
{
    const auto cuts = [&](double at) {
        return std::any_of(m_whole.cbegin(), m_whole.cend(), [&](const auto &whole) {
            return whole.first < at - kTouching && whole.second > at + kTouching;
        });
    };
    if (!cuts(limit))
        return limit;
    // The highest top of something that would be cut, above which nothing is cut.
    std::vector<double> tops;
    for (const auto &[top, bottom] : m_whole)
        if (top > from + kTouching && top < limit)
            tops.push_back(top);
    std::sort(tops.begin(), tops.end(), std::greater<>());
    for (const double top : tops)
        if (!cuts(top))
            return top;
    return from;
}

} // namespace dw
