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

    // Rows that fail are gathered by store index, so the filtered buffer comes out in
    // retrieval order without a sort.
    enum : std::uint8_t { Absent, Kept, Out };
    std::vector<std::uint8_t> state(std::size_t(store.size()), Absent);
    const bool retrievalOrder = std::is_sorted(primary.begin(), primary.end());
    std::vector<std::uint32_t> kept;
    kept.reserve(primary.size());
    for (const std::uint32_t index : primary) {
        const bool pass = passes(index);
        if (overBudget)
            return false;
        state[index] = pass ? Kept : Out;
        if (pass)
            kept.push_back(index);
    }
    std::vector<std::uint32_t> back; // the filtered buffer is already in retrieval order
    for (const std::uint32_t index : filtered) {
        const bool pass = passes(index);
        if (overBudget)
            return false;
        state[index] = pass ? Kept : Out;
        if (pass)
            back.push_back(index);
    }
    std::vector<std::uint32_t> out;
    for (std::uint32_t index = 0; index < state.size(); ++index) {
        if (state[index] == Out)
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
