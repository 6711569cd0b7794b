#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string_view>
#include <vector>

namespace dw {

// Sorting works on ranks: each row gets a small number that orders like its value
// (equal values share a rank, null ranks 0), so a key of any type sorts with one
// integer comparison, or with a counting sort.
struct Ranks
{
    std::vector<std::uint32_t> byIndex; // rank of each store index; 0 for rows not ranked
    std::uint32_t highest = 0;
};

using TextOf = std::function<std::optional<std::string_view>(std::uint32_t index)>;
using NumberOf = std::function<std::optional<double>(std::uint32_t index)>;
using IntegerOf = std::function<std::optional<std::int64_t>(std::uint32_t index)>;

// Ranks of the rows at `indexes` (into a store of `storeSize` rows), by their text in
// Spanish collation order, or by number. A null value (nullopt, or a NaN) ranks 0.
[[nodiscard]] Ranks rankTexts(const std::vector<std::uint32_t> &indexes, std::size_t storeSize,
                              const TextOf &text);
[[nodiscard]] Ranks rankNumbers(const std::vector<std::uint32_t> &indexes, std::size_t storeSize,
                                const NumberOf &number);
[[nodiscard]] Ranks rankIntegers(const std::vector<std::uint32_t> &indexes, std::size_t storeSize,
                                 const IntegerOf &number);

// The collation rank (from 1) of each of several texts; equal texts share a rank.
[[nodiscard]] std::vector<std::uint32_t> collationRanks(const std::vector<std::string_view> &texts);

// Ranking on a helper thread can be given up half-way: while a scope holds a stop token on
// a thread, the ranking functions called there throw RankingStopped soon after a stop is
// requested. Elsewhere they always run to the end.
struct RankingStopped
{
};
class RankingStopScope
{
public:
    explicit RankingStopScope(std::stop_token stop);
    ~RankingStopScope();
    RankingStopScope(const RankingStopScope &) = delete;
    RankingStopScope &operator=(const RankingStopScope &) = delete;

private:
    std::stop_token m_stop;
};

} // namespace dw
