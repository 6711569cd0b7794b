#include "rows/fastfilter.h"
#include "rows/sortfilter.h"

#include <algorithm>
#include <iterator>

namespace dw {

void filterRows(RowSet &rows, const ColumnStore &store, const Expression *filter, const EvalContext &context)
{
    std::vector<std::uint32_t> &primary = rows.primary();
    std::vector<std::uint32_t> &filtered = rows.filtered();

    const std::unique_ptr<CompiledFilter> compiled = filter ? CompiledFilter::compile(filter->root(), store) : nullptr;
    const auto passes = [&](std::uint32_t index) {
        if (!filter)
            return true;
        if (compiled)
            return compiled->test(index) == CompiledFilter::Truth::True;
        return filter->evaluate(context, index).toBool();
    };

    const bool retrievalOrder = std::is_sorted(primary.begin(), primary.end());
    std::vector<std::uint32_t> kept;
    std::vector<std::uint32_t> out;
    kept.reserve(primary.size());
    for (const std::uint32_t index : primary)
        (passes(index) ? kept : out).push_back(index);

    std::vector<std::uint32_t> back; // the filtered buffer is kept in retrieval order
    for (const std::uint32_t index : filtered)
        (passes(index) ? back : out).push_back(index);
    std::sort(out.begin(), out.end());

    if (retrievalOrder) {
        // A grid that was never sorted stays in retrieval order as rows come and go.
        primary.clear();
        primary.reserve(kept.size() + back.size());
        std::merge(kept.begin(), kept.end(), back.begin(), back.end(), std::back_inserter(primary));
    } else {
        kept.insert(kept.end(), back.begin(), back.end());
        primary.swap(kept);
    }
    filtered.swap(out);
}

} // namespace dw
