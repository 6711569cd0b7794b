#include "rows/rankcache.h"
#include "rows/ranks.h"
#include "rows/sortfilter.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_map>

namespace dw {

namespace {

std::string utf8Of(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// Ranks of values that come through the context (expression keys, columns the store
// does not hold): numeric when every value is a number, else by text.
Ranks rankValues(const std::vector<std::uint32_t> &indexes, std::size_t storeSize,
                 const std::function<Value(std::uint32_t)> &valueOf)
{
    std::vector<Value> values(storeSize);
    bool numeric = true;
    for (const std::uint32_t index : indexes) {
        values[index] = valueOf(index);
        numeric = numeric && (values[index].isNull() || values[index].isNumber());
    }
    if (numeric) {
        return rankNumbers(indexes, storeSize, [&](std::uint32_t index) -> std::optional<double> {
            if (values[index].isNull())
                return std::nullopt;
            return values[index].toNumber();
        });
    }
    std::vector<std::string> texts(storeSize);
    for (const std::uint32_t index : indexes) {
        if (!values[index].isNull())
            texts[index] = utf8Of(values[index].toText());
    }
    return rankTexts(indexes, storeSize, [&](std::uint32_t index) -> std::optional<std::string_view> {
        if (values[index].isNull())
            return std::nullopt;
        return std::string_view(texts[index]);
    });
}

// LookUpDisplay: the displayed text depends only on the stored value, so the
// context is asked once per distinct value, not once per row.
Ranks rankDisplays(const std::vector<std::uint32_t> &indexes, const ColumnStore &store, int column,
                   const EvalContext &context)
{
    const int stored = column - 1;
    const std::size_t storeSize = std::size_t(store.size());
    std::vector<std::string> displays;
    std::vector<std::uint32_t> displayOf(storeSize, 0); // 1-based into displays; 0 for null
    const auto display = [&](std::uint32_t index) {
        displays.push_back(utf8Of(context.lookupDisplay(column, index)));
        return std::uint32_t(displays.size());
    };
    // Rows whose stored value (`keyOf`) is the same share the display of the first one.
    const auto shareDisplays = [&](auto keyOf) {
        std::unordered_map<decltype(keyOf(std::uint32_t())), std::uint32_t> seen;
        for (const std::uint32_t index : indexes) {
            if (store.isNull(index, stored))
                continue;
            auto [it, added] = seen.try_emplace(keyOf(index), 0);
            if (added)
                it->second = display(index);
            displayOf[index] = it->second;
        }
    };
    if (store.isText(stored))
        shareDisplays([&](std::uint32_t index) { return store.utf8(index, stored); });
    else
        shareDisplays([&](std::uint32_t index) { return store.number(index, stored); });
    return rankTexts(indexes, storeSize, [&](std::uint32_t index) -> std::optional<std::string_view> {
        if (displayOf[index] == 0)
            return std::nullopt;
        return std::string_view(displays[displayOf[index] - 1]);
    });
}

// Ranks of a column's stored values (0-based in the store).
Ranks storedRanks(const std::vector<std::uint32_t> &indexes, const ColumnStore &store, int stored)
{
    const std::size_t storeSize = std::size_t(store.size());
    if (store.isText(stored)) {
        return rankTexts(indexes, storeSize, [&](std::uint32_t index) -> std::optional<std::string_view> {
            if (store.isNull(index, stored))
                return std::nullopt;
            return store.utf8(index, stored);
        });
    }
    if (store.isInteger(stored)) {
        return rankIntegers(indexes, storeSize, [&](std::uint32_t index) -> std::optional<std::int64_t> {
            if (store.isNull(index, stored))
                return std::nullopt;
            return store.integer(index, stored);
        });
    }
    return rankNumbers(indexes, storeSize, [&](std::uint32_t index) -> std::optional<double> {
        if (store.isNull(index, stored))
            return std::nullopt;
        return store.number(index, stored);
    });
}

Ranks ranksOf(const SortKey &key, const std::vector<std::uint32_t> &indexes, const ColumnStore &store,
              const EvalContext &context)
{
    const std::size_t storeSize = std::size_t(store.size());
    if (key.expression) {
        return rankValues(indexes, storeSize,
                          [&](std::uint32_t index) { return key.expression->evaluate(context, index); });
    }
    const int stored = key.column - 1;
    if (stored < 0 || stored >= store.columnCount()) {
        return rankValues(indexes, storeSize,
                          [&](std::uint32_t index) { return context.columnValue(key.column, index); });
    }
    if (key.lookupDisplay)
        return rankDisplays(indexes, store, key.column, context);
    return storedRanks(indexes, store, stored);
}

// Stable sort of the rows by rank; descending reverses the ranks, so nulls (rank 0)
// come first ascending and last descending. A counting sort, unless the rows are few
// next to the ranks (cached ranks cover every stored row, and a narrow filter may
// leave a handful of them).
void sortByRank(std::vector<std::uint32_t> &rows, std::vector<std::uint32_t> &scratch, const Ranks &ranks,
                bool ascending)
{
    const std::uint32_t highest = ranks.highest;
    const auto bucketOf = [&](std::uint32_t index) {
        const std::uint32_t rank = ranks.byIndex[index];
        return ascending ? rank : highest - rank;
    };
    if (rows.size() * 8 < highest) {
        std::stable_sort(rows.begin(), rows.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return bucketOf(a) < bucketOf(b); });
        return;
    }
    std::vector<std::uint32_t> starts(std::size_t(highest) + 2, 0);
    for (const std::uint32_t index : rows)
        ++starts[bucketOf(index) + 1];
    for (std::size_t i = 1; i < starts.size(); ++i)
        starts[i] += starts[i - 1];
    scratch.resize(rows.size());
    for (const std::uint32_t index : rows)
        scratch[starts[bucketOf(index)]++] = index;
    rows.swap(scratch);
}

// A key whose ranks depend only on the stored rows, so they can be kept.
bool isStoredKey(const SortKey &key, const ColumnStore &store)
{
    return !key.expression && key.column >= 1 && key.column <= store.columnCount();
}

} // namespace

Ranks columnRanks(const ColumnStore &store, int column)
{
    std::vector<std::uint32_t> every(std::size_t(store.size()));
    std::iota(every.begin(), every.end(), 0U);
    return storedRanks(every, store, column - 1);
}

void sortRows(RowSet &rows, const ColumnStore &store, const std::vector<SortKey> &keys,
              const EvalContext &context, RankCache *cache)
{
    std::vector<std::uint32_t> &primary = rows.primary();
    if (keys.empty()) {
        std::sort(primary.begin(), primary.end());
        return;
    }
    // Least significant key first: each pass is stable, so the earlier keys decide
    // and rows equal in every key keep the order they had.
    std::vector<std::uint32_t> scratch;
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        if (cache && isStoredKey(*key, store)) {
            const Ranks &ranks = cache->ranksOf(key->column, key->lookupDisplay, [&] {
                std::vector<std::uint32_t> every(std::size_t(store.size()));
                std::iota(every.begin(), every.end(), 0U);
                return ranksOf(*key, every, store, context);
            });
            sortByRank(primary, scratch, ranks, key->ascending);
        } else {
            sortByRank(primary, scratch, ranksOf(*key, primary, store, context), key->ascending);
        }
    }
}

} // namespace dw
