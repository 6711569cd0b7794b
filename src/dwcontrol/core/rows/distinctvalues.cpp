#include "rows/distinctvalues.h"

#include <bit>
#include <string_view>
#include <unordered_set>

namespace dw {

std::vector<long> firstOfEachValue(const ColumnStore &store, int column,
                                   const std::vector<std::uint32_t> &rows)
{
    std::vector<long> first;
    bool nullSeen = false;
    std::unordered_set<std::string_view> texts;
    std::unordered_set<std::uint64_t> numbers; // integers, or the bits of reals
    const bool text = store.isText(column);
    const bool integer = store.isInteger(column);
    for (std::size_t at = 0; at < rows.size(); ++at) {
        const qint64 index = rows[at];
        bool isNew = false;
        if (store.isNull(index, column))
            isNew = !std::exchange(nullSeen, true);
        else if (text)
            isNew = texts.insert(store.utf8(index, column)).second;
        else
            isNew = numbers
                        .insert(integer ? std::uint64_t(store.integer(index, column))
                                        : std::bit_cast<std::uint64_t>(store.number(index, column)))
                        .second;
        if (isNew)
            first.push_back(long(at));
    }
    return first;
}

} // namespace dw
