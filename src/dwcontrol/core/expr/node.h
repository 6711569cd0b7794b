#pragma once

#include "types/value.h"

#include <vector>

namespace dw {

// One node of a parsed expression. Parentheses leave no node of their own, so
// "( a = 1 )" and "a = 1" give the same tree. Column names are already bound to
// column numbers, which lets evaluation and compiled fast paths skip name look-ups.
struct ExpressionNode
{
    enum class Kind {
        Literal, // `literal` (a number, a text or null)
        Column, // `column` (1-based)
        Not, // operands[0]
        Negate, // unary minus of operands[0]
        Binary, // operands[0] `op` operands[1]
        Call, // `function`(operands...)
    };
    enum class Operator {
        Join,
        Plus,
        Minus,
        Equal,
        NotEqual,
        Less,
        Greater,
        LessEqual,
        GreaterEqual,
        And,
        Or
    };
    enum class Function { Ucase, Upper, String, IsNull, LookUpDisplay, Describe, Integer, Evaluate };

    Kind kind = Kind::Literal;
    Value literal;
    int column = 0;
    Operator op = Operator::Equal;
    Function function = Function::String;
    std::vector<ExpressionNode> operands;
};

} // namespace dw
