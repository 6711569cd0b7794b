#include "rows/rankcache.h"

namespace dw {

const Ranks &RankCache::ranksOf(int column, bool lookupDisplay, const std::function<Ranks()> &make)
{
    const Key key(column, lookupDisplay);
    std::unique_lock lock(m_mutex);
    auto found = m_ranks.find(key);
    // Ranks the helper is making: wait for them, or make them here if it gave up.
    while (found != m_ranks.end() && !found->second.ready) {
        m_made.wait(lock);
        found = m_ranks.find(key);
    }
    if (found != m_ranks.end())
        return found->second.ranks;
    Entry &entry = m_ranks[key];
    lock.unlock();
    Ranks made;
    try {
        made = make();
    } catch (...) {
        lock.lock();
        m_ranks.erase(key);
        m_made.notify_all();
        throw;
    }
    lock.lock();
    entry.ranks = std::move(made);
    entry.ready = true;
    m_made.notify_all();
    return entry.ranks;
}

void RankCache::warm(int column, const std::function<std::optional<Ranks>()> &make)
{
    const Key key(column, false);
    std::unique_lock lock(m_mutex);
    if (m_ranks.contains(key))
        return;
    Entry &entry = m_ranks[key];
    lock.unlock();
    std::optional<Ranks> made = make();
    lock.lock();
    if (made) {
        entry.ranks = std::move(*made);
        entry.ready = true;
    } else {
        m_ranks.erase(key);
    }
    m_made.notify_all();
}

bool RankCache::has(int column, bool lookupDisplay) const
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_ranks.find(Key(column, lookupDisplay));
    return found != m_ranks.end() && found->second.ready;
}

void RankCache::clear()
{
    const std::lock_guard lock(m_mutex);
    m_ranks.clear();
}

void RankCache::clearDisplayed()
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_ranks, [](const auto &entry) { return entry.first.second && entry.second.ready; });
}

bool RankCache::empty() const
{
    const std::lock_guard lock(m_mutex);
    return m_ranks.empty();
}

std::size_t RankCache::memoryBytes() const
{
    const std::lock_guard lock(m_mutex);
    std::size_t bytes = 0;
    for (const auto &[key, entry] : m_ranks)
        bytes += entry.ranks.byIndex.capacity() * sizeof(std::uint32_t);
    return bytes;
}

} // namespace dw
