#pragma once

#include "expr/node.h"

#include <QStringView>

#include <span>

namespace dw::expr {

// A function of the expression language: its name as the user writes it (any letter case
// reads), how many arguments it takes, and what it does in the user's words. Functions
// without a hint serve layouts only, and the filter dialog does not offer them.
struct FunctionSpec
{
    QStringView name;
    ExpressionNode::Function function;
    int arity;
    QStringView hint;
};

// Every function the parser knows.
[[nodiscard]] std::span<const FunctionSpec> functions();

} // namespace dw::expr
