#pragma once

#include <QStringList>

#include <cstdint>

// A small deterministic generator (splitmix64): the same seed gives the same directory
// on every platform, which the standard distributions do not promise.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < bound
    int below(int bound) { return bound <= 0 ? 0 : int(next() % std::uint64_t(bound)); }
    bool chance(int percent) { return below(100) < percent; }
    const QString &pick(const QStringList &list) { return list.at(below(int(list.size()))); }

    // A generator of its own for item `index` of a stream, so items can be made in any
    // order and still come out the same.
    static Random forItem(std::uint64_t seed, std::uint64_t index)
    {
        Random mix(seed ^ (index * 0xD1B54A32D192ED03ULL));
        return Random(mix.next());
    }

private:
    std::uint64_t m_state;
};
