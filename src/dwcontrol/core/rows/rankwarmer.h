#pragma once

#include <thread>
#include <vector>

namespace dw {

class ColumnStore;
class RankCache;

// Ranks the columns of freshly retrieved rows on a second thread while the user looks at
// them, so the first click on a heading finds its ranks made. The store and the cache
// must outlive the warming and the store must not change during it: stop() (or the
// destructor) before changing either.
class RankWarmer
{
public:
    RankWarmer() = default;
    ~RankWarmer() { stop(); }
    RankWarmer(const RankWarmer &) = delete;
    RankWarmer &operator=(const RankWarmer &) = delete;

    // Ranks the stored values of `columns` (1-based), in that order, into `cache`.
    void start(const ColumnStore &store, RankCache &cache, std::vector<int> columns);
    // Asks the thread to give up and waits for it; ranks it finished stay in the cache.
    void stop();
    // Waits until every column is ranked.
    void finish();

private:
    std::jthread m_thread;
};

} // namespace dw
