#include "rows/rankcache.h"

namespace dw {

const Ranks &RankCache::ranksOf(int column, bool lookupDisplay, const std::function<Ranks()> &make)
{
    const auto key = std::make_pair(column, lookupDisplay);
    auto found = m_ranks.find(key);
    if (found == m_ranks.end())
        found = m_ranks.emplace(key, make()).first;
    return found->second;
}

} // namespace dw
