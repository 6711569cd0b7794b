#pragma once

#include "rows/ranks.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace dw {

// Ranks of the keys that depend only on the stored rows (a column, or the displayed
// text of a column), ranked over every stored row, primary or filtered. A later sort
// on the same key, after a filter or a sort on another column, is then a pass over
// the visible rows instead of a new ranking. The owner clears it whenever the rows
// change, and drops the displayed-text ranks whenever what a column displays changes.
//
// A helper thread may fill it beside the thread that sorts (warm()); a sort that needs
// ranks the helper is making waits for them instead of making them twice. Entries are
// never removed while the helper runs, so the references handed out stay valid.
class RankCache
{
public:
    // The ranks of a column (1-based; `lookupDisplay` for its displayed text), made
    // by `make` the first time they are asked for.
    const Ranks &ranksOf(int column, bool lookupDisplay, const std::function<Ranks()> &make);
    // Makes the ranks of a column's stored values unless they are there or being made;
    // `make` gives nothing when it was stopped, and then nothing is kept.
    void warm(int column, const std::function<std::optional<Ranks>()> &make);
    [[nodiscard]] bool has(int column, bool lookupDisplay) const;
    // Only while no helper fills the cache.
    void clear();
    // The ranks of displayed texts only; those of stored values stay.
    void clearDisplayed();
    [[nodiscard]] bool empty() const;
    [[nodiscard]] std::size_t memoryBytes() const;

private:
    struct Entry
    {
        Ranks ranks;
        bool ready = false;
    };
    using Key = std::pair<int, bool>;
    mutable std::mutex m_mutex;
    std::condition_variable m_made;
    std::map<Key, Entry> m_ranks;
};

} // namespace dw
