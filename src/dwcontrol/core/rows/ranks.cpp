#include "rows/ranks.h"
#include "rows/collation.h"

#include <QCollatorSortKey>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

namespace dw {

namespace {

thread_local const std::stop_token *rankingStop = nullptr;
thread_local std::uint32_t stopPoints = 0;

// Called for each item of the long loops of a ranking; looks at the stop now and then.
void stopPoint()
{
    constexpr std::uint32_t Every = 16384;
    if (rankingStop && ++stopPoints % Every == 0 && rankingStop->stop_requested())
        throw RankingStopped{};
}

// Distinct texts of the ranked rows, found with an open-addressing table: far fewer
// texts than rows need keys, and a million rows pass through it in a few tens of ms.
class DistinctTexts
{
public:
    explicit DistinctTexts(std::size_t rows)
    {
        std::size_t capacity = 64;
        while (capacity < rows * 2)
            capacity *= 2;
        m_slots.assign(capacity, 0);
        m_mask = capacity - 1;
    }

    // The 0-based id of the text, added when new.
    std::uint32_t idOf(std::string_view text)
    {
        const std::uint64_t hash = std::hash<std::string_view>{}(text);
        const auto tag = std::uint32_t(hash >> 32) | 1U; // never 0, which marks an empty slot
        for (std::size_t slot = hash & m_mask;; slot = (slot + 1) & m_mask) {
            const std::uint64_t entry = m_slots[slot];
            if (entry == 0) {
                const auto id = std::uint32_t(values.size());
                values.push_back(text);
                m_slots[slot] = (std::uint64_t(tag) << 32) | (id + 1);
                return id;
            }
            if (std::uint32_t(entry >> 32) == tag) {
                const std::uint32_t id = std::uint32_t(entry) - 1;
                if (values[id] == text)
                    return id;
            }
        }
    }

    std::vector<std::string_view> values;

private:
    std::vector<std::uint64_t> m_slots; // tag << 32 | (id + 1)
    std::size_t m_mask = 0;
};

std::vector<std::uint32_t> ranksFromOrder(const std::vector<std::uint32_t> &order,
                                          const std::function<bool(std::uint32_t, std::uint32_t)> &same)
{
    std::vector<std::uint32_t> ranks(order.size());
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || !same(order[i - 1], order[i]))
            ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

QString qtText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

template <typename Number, typename Getter>
Ranks rankBy(const std::vector<std::uint32_t> &indexes, std::size_t storeSize, const Getter &numberOf)
{
    struct Entry
    {
        Number value;
        std::uint32_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(indexes.size());
    for (const std::uint32_t index : indexes) {
        const std::optional<Number> value = numberOf(index);
        if (!value)
            continue;
        if constexpr (std::is_floating_point_v<Number>) {
            if (std::isnan(*value))
                continue;
        }
        entries.push_back({*value, index});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.value < b.value; });
    Ranks ranks;
    ranks.byIndex.assign(storeSize, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i == 0 || entries[i - 1].value < entries[i].value)
            ++ranks.highest;
        ranks.byIndex[entries[i].index] = ranks.highest;
    }
    return ranks;
}

} // namespace

namespace {

// Collation ranks (from 1) of the texts that have keys, and those texts in order.
// They are sorted by the first eight key bytes; full keys are built only for texts
// that share a prefix, so long texts (memos) never hold a key of their whole length
// for every row.
std::vector<std::uint32_t> keyedRanks(const std::vector<std::string_view> &texts,
                                      std::vector<std::uint32_t> &order, std::vector<std::uint32_t> &others)
{
    const SpanishCollation &collation = SpanishCollation::instance();
    struct Entry
    {
        std::uint64_t prefix;
        std::uint32_t id;
    };
    std::vector<Entry> entries;
    entries.reserve(texts.size());
    for (std::uint32_t id = 0; id < texts.size(); ++id) {
        stopPoint();
        if (const std::optional<std::uint64_t> prefix = collation.keyPrefix(texts[id]))
            entries.push_back({*prefix, id});
        else
            others.push_back(id);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.prefix < b.prefix; });

    std::vector<std::uint32_t> ranks(texts.size(), 0);
    order.resize(entries.size());
    std::uint32_t rank = 0;
    std::string arena;
    std::vector<std::size_t> offsets;
    std::vector<std::uint32_t> run;
    for (std::size_t begin = 0; begin < entries.size();) {
        stopPoint();
        std::size_t end = begin + 1;
        while (end < entries.size() && entries[end].prefix == entries[begin].prefix)
            ++end;
        if (end - begin == 1) {
            order[begin] = entries[begin].id;
            ranks[entries[begin].id] = ++rank;
            begin = end;
            continue;
        }
        arena.clear();
        offsets.assign(1, 0);
        run.clear();
        for (std::size_t i = begin; i < end; ++i) {
            (void)collation.appendKey(texts[entries[i].id], arena); // covered: it has a prefix
            offsets.push_back(arena.size());
            run.push_back(std::uint32_t(i - begin));
        }
        const auto keyOf = [&](std::uint32_t at) {
            return std::string_view(arena).substr(offsets[at], offsets[at + 1] - offsets[at]);
        };
        std::sort(run.begin(), run.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) < keyOf(b); });
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (i == 0 || keyOf(run[i - 1]) != keyOf(run[i]))
                ++rank;
            const std::uint32_t id = entries[begin + run[i]].id;
            order[begin + i] = id;
            ranks[id] = rank;
        }
        begin = end;
    }
    return ranks;
}

} // namespace

RankingStopScope::RankingStopScope(std::stop_token stop) : m_stop(std::move(stop))
{
    rankingStop = &m_stop;
}

RankingStopScope::~RankingStopScope()
{
    rankingStop = nullptr;
}

std::vector<std::uint32_t> collationRanks(const std::vector<std::string_view> &texts)
{
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> others;
    std::vector<std::uint32_t> ranks = keyedRanks(texts, order, others);
    if (others.empty())
        return ranks;

    // The few texts with a character the key table lacks are sorted by QCollator and
    // merged in, each placed by a binary search with QCollator, so one odd name does
    // not send a whole column to the slow path.
    const QCollator collator = SpanishCollation::collator();
    std::vector<QCollatorSortKey> sortKeys;
    sortKeys.reserve(others.size());
    for (const std::uint32_t id : others)
        sortKeys.push_back(collator.sortKey(qtText(texts[id])));
    std::vector<std::uint32_t> slow(others.size());
    std::iota(slow.begin(), slow.end(), 0U);
    std::stable_sort(slow.begin(), slow.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return sortKeys[a].compare(sortKeys[b]) < 0; });

    std::vector<std::uint32_t> merged;
    merged.reserve(texts.size());
    auto from = order.begin();
    for (const std::uint32_t position : slow) {
        const std::uint32_t id = others[position];
        const QString text = qtText(texts[id]);
        const auto at = std::partition_point(from, order.end(), [&](std::uint32_t other) {
            return collator.compare(qtText(texts[other]), text) < 0;
        });
        merged.insert(merged.end(), from, at);
        merged.push_back(id);
        from = at;
    }
    merged.insert(merged.end(), from, order.end());
    // Keyed texts keep their ranks' equalities; others compare through the collator.
    const std::vector<std::uint32_t> keyed = std::move(ranks);
    return ranksFromOrder(merged, [&](std::uint32_t a, std::uint32_t b) {
        if (keyed[a] != 0 && keyed[b] != 0)
            return keyed[a] == keyed[b];
        return collator.compare(qtText(texts[a]), qtText(texts[b])) == 0;
    });
}

Ranks rankTexts(const std::vector<std::uint32_t> &indexes, std::size_t storeSize, const TextOf &text)
{
    Ranks ranks;
    ranks.byIndex.assign(storeSize, 0);
    DistinctTexts distinct(indexes.size());
    for (const std::uint32_t index : indexes) {
        stopPoint();
        if (const std::optional<std::string_view> value = text(index))
            ranks.byIndex[index] = distinct.idOf(*value) + 1; // the id for now, the rank below
    }
    const std::vector<std::uint32_t> distinctRanks = collationRanks(distinct.values);
    for (const std::uint32_t index : indexes) {
        std::uint32_t &rank = ranks.byIndex[index];
        if (rank != 0) {
            rank = distinctRanks[rank - 1];
            ranks.highest = std::max(ranks.highest, rank);
        }
    }
    return ranks;
}

Ranks rankNumbers(const std::vector<std::uint32_t> &indexes, std::size_t storeSize, const NumberOf &number)
{
    return rankBy<double>(indexes, storeSize, number);
}

Ranks rankIntegers(const std::vector<std::uint32_t> &indexes, std::size_t storeSize, const IntegerOf &number)
{
    return rankBy<std::int64_t>(indexes, storeSize, number);
}

} // namespace dw
