#pragma once

#include "rows/ranks.h"

#include <functional>
#include <map>
#include <utility>

namespace dw {

// Ranks of the keys that depend only on the stored rows (a column, or the displayed
// text of a column), ranked over every stored row, primary or filtered. A later sort
// on the same key, after a filter or a sort on another column, is then a pass over
// the visible rows instead of a new ranking. The owner clears it whenever the rows
// or what a column displays change.
class RankCache
{
public:
    // The ranks of a column (1-based; `lookupDisplay` for its displayed text), made
    // by `make` the first time they are asked for.
    const Ranks &ranksOf(int column, bool lookupDisplay, const std::function<Ranks()> &make);
    void clear() { m_ranks.clear(); }
    [[nodiscard]] bool empty() const { return m_ranks.empty(); }
    [[nodiscard]] std::size_t memoryBytes() const
    {
        std::size_t bytes = 0;
        for (const auto &[key, ranks] : m_ranks)
            bytes += ranks.byIndex.capacity() * sizeof(std::uint32_t);
        return bytes;
    }

private:
    std::map<std::pair<int, bool>, Ranks> m_ranks;
};

} // namespace dw
