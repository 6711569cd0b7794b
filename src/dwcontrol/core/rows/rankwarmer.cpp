#include "rows/rankwarmer.h"

#include "rows/rankcache.h"
#include "rows/ranks.h"
#include "rows/sortfilter.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace dw {

void RankWarmer::start(const ColumnStore &store, RankCache &cache, std::vector<int> columns)
{
    stop();
    m_thread = std::jthread([&store, &cache, columns = std::move(columns)](std::stop_token stop) {
        const RankingStopScope stoppable(stop);
        for (const int column : columns) {
            if (stop.stop_requested())
                break;
            cache.warm(column, [&]() -> std::optional<Ranks> {
                try {
                    return columnRanks(store, column);
                } catch (...) {
                    return std::nullopt; // stopped, or out of memory: a sort makes them later
                }
            });
        }
#ifdef __GLIBC__
        // The ranking's scratch memory was taken on this thread, in a heap of its own
        // that the allocator keeps unless told to give it back.
        malloc_trim(0);
#endif
    });
}

void RankWarmer::stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void RankWarmer::finish()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace dw
