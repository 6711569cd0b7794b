#pragma once

#include "expr/node.h"
#include "rows/rowstore.h"

#include <cstdint>
#include <memory>

namespace dw {

// A filter condition compiled to run straight on a ColumnStore: byte comparisons on
// the UTF-8 text, number comparisons and null flags, with no Value or QString per row.
// It covers the conditions the grid's commands build and their combinations:
//   string(col) = "text"   col = "text"   col = 15   isnull(col)   (and <> forms)
//   not ...   ... AND ...   ... OR ...
// and gives the same answer as evaluating the expression, nulls included.
class CompiledFilter
{
public:
    enum class Truth : std::uint8_t { False, True, Unknown };

    virtual ~CompiledFilter() = default;
    [[nodiscard]] virtual Truth test(std::uint32_t index) const = 0;

    // The compiled form, or null when the expression uses anything else (then the
    // caller evaluates it row by row). Column n of the expression is store column n - 1.
    [[nodiscard]] static std::unique_ptr<CompiledFilter> compile(const ExpressionNode &root,
                                                                 const ColumnStore &store);
};

} // namespace dw
