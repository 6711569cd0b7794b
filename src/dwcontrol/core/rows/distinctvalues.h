#pragma once

#include "rows/rowstore.h"

#include <cstdint>
#include <vector>

namespace dw {

// Positions in `rows` (store indexes in listing order) of the first row holding each
// distinct stored value of a column (0-based); a null counts as one value. Rows with the
// same stored value show the same text, so measuring these rows measures every text.
[[nodiscard]] std::vector<long> firstOfEachValue(const ColumnStore &store, int column,
                                                 const std::vector<std::uint32_t> &rows);

} // namespace dw
