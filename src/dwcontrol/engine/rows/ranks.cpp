#include "rows/ranks.h"
#include "rows/collation.h"

#include <QCollatorSortKey>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>

namespace dw {

namespace {

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

std::uint64_t prefixOf(std::string_view key)
{
    std::uint64_t prefix = 0;
    const std::size_t n = std::min<std::size_t>(8, key.size());
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < n ? std::uint8_t(key[i]) : 0U);
    return prefix;
}

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

// Texts with a character outside the fast key table: QCollator's own keys.
std::vector<std::uint32_t> collatorRanks(const std::vector<std::string_view> &texts)
{
    const QCollator collator = SpanishCollation::collator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const std::string_view text : texts)
        keys.push_back(collator.sortKey(QString::fromUtf8(text.data(), qsizetype(text.size()))));
    std::vector<std::uint32_t> order(texts.size());
    std::iota(order.begin(), order.end(), 0U);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    return ranksFromOrder(order, [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) == 0; });
}

template<typename Number, typename Getter>
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
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.value < b.value; });
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

std::vector<std::uint32_t> collationRanks(const std::vector<std::string_view> &texts)
{
    const SpanishCollation &collation = SpanishCollation::instance();
    std::string arena;
    std::vector<std::size_t> offsets{0};
    offsets.reserve(texts.size() + 1);
    for (const std::string_view text : texts) {
        if (!collation.appendKey(text, arena))
            return collatorRanks(texts);
        offsets.push_back(arena.size());
    }
    const auto keyOf = [&](std::uint32_t id) {
        return std::string_view(arena).substr(offsets[id], offsets[id + 1] - offsets[id]);
    };

    // Most comparisons are settled by the first eight key bytes held inline.
    struct Entry
    {
        std::uint64_t prefix;
        std::uint32_t id;
    };
    std::vector<Entry> entries(texts.size());
    for (std::uint32_t id = 0; id < texts.size(); ++id)
        entries[id] = {prefixOf(keyOf(id)), id};
    std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const std::string_view ka = keyOf(a.id);
        const std::string_view kb = keyOf(b.id);
        return ka.substr(std::min<std::size_t>(8, ka.size())) < kb.substr(std::min<std::size_t>(8, kb.size()));
    });
    std::vector<std::uint32_t> order(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].id;
    return ranksFromOrder(order, [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) == keyOf(b); });
}

Ranks rankTexts(const std::vector<std::uint32_t> &indexes, std::size_t storeSize, const TextOf &text)
{
    Ranks ranks;
    ranks.byIndex.assign(storeSize, 0);
    DistinctTexts distinct(indexes.size());
    for (const std::uint32_t index : indexes) {
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
