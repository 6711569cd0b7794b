#include "expr/expression.h"
#include "expr/literal.h"
#include "expr/node.h"
#include "text/upper.h"
#include "types/integerrange.h"

#include <limits>
#include <optional>

namespace dw {

namespace {

using Node = ExpressionNode;

// Describe() and Evaluate() hand text back to the data window, which may evaluate
// further expressions; a cycle among them ends here instead of in a stack overflow.
constexpr int maxNesting = 32;
thread_local int nesting = 0;

struct NestingGuard
{
    NestingGuard() { ++nesting; }
    ~NestingGuard() { --nesting; }
    NestingGuard(const NestingGuard &) = delete;
    NestingGuard &operator=(const NestingGuard &) = delete;
};

// Depth bounds the cycle, not the work: an expression that evaluates itself twice per
// level doubles at each level. One evaluation, with every evaluation it starts through
// Describe and Evaluate, has a budget of steps and of text it may build; past either it
// stops and every pending result is null.
struct Budget
{
    qint64 steps = 0;
    qint64 textChars = 0;
    bool exceeded = false;
};
thread_local Budget budget;
thread_local int evaluationDepth = 0;

bool spendSteps(qint64 steps)
{
    if (budget.exceeded)
        return false;
    budget.steps += steps;
    if (budget.steps > Expression::maxSteps)
        budget.exceeded = true;
    return !budget.exceeded;
}

// Describe and Evaluate go through the data window (paths taken apart, texts quoted and
// read back): each costs as much as this many nodes.
constexpr qint64 stepsPerDataWindowCall = 100;

enum class Truth { False, True, Unknown };

// A text result: never null, even when Qt hands back a null QString for an empty one.
Value textValue(QString text)
{
    budget.textChars += text.size();
    if (budget.textChars > Expression::maxTextChars) {
        budget.exceeded = true;
        return {};
    }
    if (text.isNull())
        text = QStringLiteral("");
    return Value(text);
}

Truth truthOf(const Value &value)
{
    if (value.isNull())
        return Truth::Unknown;
    return value.toBool() ? Truth::True : Truth::False;
}

Value valueOf(Truth truth)
{
    if (truth == Truth::Unknown)
        return {};
    return Value(truth == Truth::True);
}

// A text that is entirely a number, for comparing a text with a number.
std::optional<double> strictNumber(const QString &text)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// <0, 0, >0; nothing when a side is null or the types cannot be compared.
std::optional<int> compareValues(const Value &a, const Value &b)
{
    if (a.isNull() || b.isNull())
        return std::nullopt;
    if (a.isText() && b.isText())
        return QString::compare(a.toText(), b.toText(), Qt::CaseSensitive);
    if (a.isInteger() && b.isInteger()) {
        const qint64 x = a.toInteger();
        const qint64 y = b.toInteger();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    std::optional<double> x = a.isText() ? strictNumber(a.toText()) : a.toNumber();
    std::optional<double> y = b.isText() ? strictNumber(b.toText()) : b.toNumber();
    if (!x || !y)
        return std::nullopt;
    return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

Value arithmetic(Node::Operator op, const Value &a, const Value &b)
{
    if (a.isNull() || b.isNull())
        return {};
    if (op == Node::Operator::Plus && a.isText() && b.isText())
        return textValue(a.toText() + b.toText());
    if (!a.isNumber() || !b.isNumber())
        return {};
    const bool plus = op == Node::Operator::Plus;
    if (a.isInteger() && b.isInteger()) {
        const qint64 x = a.toInteger();
        const qint64 y = b.toInteger();
        constexpr qint64 max = std::numeric_limits<qint64>::max();
        constexpr qint64 min = std::numeric_limits<qint64>::min();
        const qint64 s = plus ? y : (y == min ? 0 : -y);
        const bool fits = (plus || y != min) && !(s > 0 && x > max - s) && !(s < 0 && x < min - s);
        if (fits)
            return Value(x + s);
    }
    return Value(plus ? a.toNumber() + b.toNumber() : a.toNumber() - b.toNumber());
}

Value integerOf(const Value &value)
{
    if (value.isNull())
        return {};
    if (value.isInteger())
        return value;
    if (value.isReal()) {
        const auto integer = integerInRange(value.toNumber());
        return integer ? Value(*integer) : Value();
    }
    const QString text = value.toText().trimmed();
    bool ok = false;
    const qint64 integer = text.toLongLong(&ok);
    if (ok)
        return Value(integer);
    const double real = text.toDouble(&ok);
    const auto inRange = ok ? integerInRange(real) : std::nullopt;
    return inRange ? Value(*inRange) : Value();
}

Value evaluateNode(const Node &node, const EvalContext &context, qint64 index);

Value evaluateBinary(const Node &node, const EvalContext &context, qint64 index)
{
    const Node::Operator op = node.op;
    if (op == Node::Operator::And || op == Node::Operator::Or) {
        // Three-valued logic: false AND unknown is false, true OR unknown is true.
        const Truth stop = op == Node::Operator::And ? Truth::False : Truth::True;
        const Truth lhs = truthOf(evaluateNode(node.operands[0], context, index));
        if (lhs == stop)
            return valueOf(stop);
        const Truth rhs = truthOf(evaluateNode(node.operands[1], context, index));
        if (rhs == stop)
            return valueOf(stop);
        if (lhs == Truth::Unknown || rhs == Truth::Unknown)
            return {};
        return valueOf(op == Node::Operator::And ? Truth::True : Truth::False);
    }

    const Value a = evaluateNode(node.operands[0], context, index);
    const Value b = evaluateNode(node.operands[1], context, index);
    switch (op) {
    case Node::Operator::Join:
        // Joining treats a null side as empty text; only two nulls give null.
        if (a.isNull() && b.isNull())
            return {};
        return textValue(a.toText() + b.toText());
    case Node::Operator::Plus:
    case Node::Operator::Minus:
        return arithmetic(op, a, b);
    default:
        break;
    }
    const std::optional<int> order = compareValues(a, b);
    if (!order)
        return {};
    switch (op) {
    case Node::Operator::Equal:
        return Value(*order == 0);
    case Node::Operator::NotEqual:
        return Value(*order != 0);
    case Node::Operator::Less:
        return Value(*order < 0);
    case Node::Operator::Greater:
        return Value(*order > 0);
    case Node::Operator::LessEqual:
        return Value(*order <= 0);
    case Node::Operator::GreaterEqual:
        return Value(*order >= 0);
    default:
        return {};
    }
}

Value evaluateCall(const Node &node, const EvalContext &context, qint64 index)
{
    if (node.function == Node::Function::LookUpDisplay)
        return Value(context.lookupDisplay(node.operands[0].column, index));

    const Value argument = evaluateNode(node.operands[0], context, index);
    switch (node.function) {
    case Node::Function::IsNull:
        return Value(argument.isNull());
    case Node::Function::Integer:
        return integerOf(argument);
    default:
        break;
    }
    if (argument.isNull())
        return {};
    switch (node.function) {
    case Node::Function::Ucase:
    case Node::Function::Upper:
        return textValue(upperText(argument.toText()));
    case Node::Function::String:
        return textValue(argument.toText());
    case Node::Function::Describe: {
        if (nesting >= maxNesting || !spendSteps(stepsPerDataWindowCall))
            return {};
        const NestingGuard guard;
        return textValue(context.describe(argument.toText()));
    }
    case Node::Function::Evaluate: {
        // Rows are numbered by the data window, which answers Evaluate through Describe.
        const Value row = evaluateNode(node.operands[1], context, index);
        if (row.isNull() || nesting >= maxNesting || !spendSteps(stepsPerDataWindowCall))
            return {};
        const NestingGuard guard;
        return textValue(context.describe(QStringLiteral("Evaluate(%1, %2)")
                                              .arg(quotedText(argument.toText(), u'\''))
                                              .arg(row.toInteger())));
    }
    default:
        return {};
    }
}

Value evaluateNode(const Node &node, const EvalContext &context, qint64 index)
{
    if (!spendSteps(1))
        return {};
    switch (node.kind) {
    case Node::Kind::Literal:
        return node.literal;
    case Node::Kind::Column:
        return context.columnValue(node.column, index);
    case Node::Kind::Not: {
        const Truth truth = truthOf(evaluateNode(node.operands[0], context, index));
        if (truth == Truth::Unknown)
            return {};
        return Value(truth == Truth::False);
    }
    case Node::Kind::Negate: {
        const Value operand = evaluateNode(node.operands[0], context, index);
        if (operand.isInteger() && operand.toInteger() != std::numeric_limits<qint64>::min())
            return Value(-operand.toInteger());
        if (operand.isNumber())
            return Value(-operand.toNumber());
        return {};
    }
    case Node::Kind::Binary:
        return evaluateBinary(node, context, index);
    case Node::Kind::Call:
        return evaluateCall(node, context, index);
    }
    return {};
}

} // namespace

Value Expression::evaluate(const EvalContext &context, qint64 index, bool *overBudget) const
{
    if (evaluationDepth == 0)
        budget = Budget();
    ++evaluationDepth;
    Value result = evaluateNode(*m_root, context, index);
    --evaluationDepth;
    const bool exceeded = budget.exceeded;
    if (overBudget)
        *overBudget = exceeded;
    return exceeded ? Value() : result;
}

} // namespace dw
