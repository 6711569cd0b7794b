#include "rows/fastfilter.h"
#include "rows/sortfilter.h"

#include <algorithm>
#include <iterator>

namespace dw {

bool filterRows(RowSet &rows, const ColumnStore &store, const Expression *filter, const EvalContext &context)
{
    std::vector<std::uint32_t> &primary = rows.primary();
    std::vector<std::uint32_t> &filtered = rows.filtered();

    const std::unique_ptr<CompiledFilter> compiled
        = filter ? CompiledFilter::compile(filter->root(), store) : nullptr;
    bool overBudget = false;
    const auto passes = [&](std::uint32_t index) {
        if (!filter)
            return true;
        if (compiled)
            return compiled->test(index) == CompiledFilter::Truth::True;
        return filter->evaluate(context, index, &overBudget).toBool();
    };

    // Every stored row (primary and filtered together are all of them) is tested once,
    // in store order: the columns are read front to back instead of in the order of a
    // sort, which would jump around them. Rows that fail are gathered by store index, so
    // the filtered buffer comes out in retrieval order without a sort. An expression
    // over its budget leaves the rows as they were.
    std::vector<std::uint8_t> passed(std::size_t(store.size()));
    for (std::uint32_t index = 0; index < passed.size(); ++index) {
        passed[index] = passes(index) ? 1 : 0;
        if (overBudget)
            return false;
    }
    const bool retrievalOrder = std::is_sorted(primary.begin(), primary.end());
    std::vector<std::uint32_t> kept;
    kept.reserve(primary.size());
    std::copy_if(primary.begin(), primary.end(), std::back_inserter(kept),
                 [&](std::uint32_t index) { return passed[index] != 0; });
    std::vector<std::uint32_t> back; // the filtered buffer is already in retrieval order
    std::copy_if(filtered.begin(), filtered.end(), std::back_inserter(back),
                 [&](std::uint32_t index) { return passed[index] != 0; });
    std::vector<std::uint32_t> out;
    for (std::uint32_t index = 0; index < passed.size(); ++index) {
        if (passed[index] == 0)
            out.push_back(index);
    }

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
    return true;
}

} // namespace dw
