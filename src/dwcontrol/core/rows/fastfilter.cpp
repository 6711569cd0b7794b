#include "rows/fastfilter.h"
#include "text/upper.h"

#include <string>

namespace dw {

namespace {

using Node = ExpressionNode;
using Truth = CompiledFilter::Truth;
using Filter = std::unique_ptr<CompiledFilter>;

Truth truthOf(bool flag)
{
    return flag ? Truth::True : Truth::False;
}

class IsNull final : public CompiledFilter
{
public:
    IsNull(const ColumnStore &store, int column) : m_store(store), m_column(column) {}
    Truth test(std::uint32_t index) const override { return truthOf(m_store.isNull(index, m_column)); }

private:
    const ColumnStore &m_store;
    int m_column;
};

class TextEquals final : public CompiledFilter
{
public:
    TextEquals(const ColumnStore &store, int column, const QString &text, bool equal)
        : m_store(store)
        , m_column(column)
        , m_text(text.toUtf8().toStdString())
        , m_equal(equal)
    {}
    Truth test(std::uint32_t index) const override
    {
        if (m_store.isNull(index, m_column))
            return Truth::Unknown;
        return truthOf((m_store.utf8(index, m_column) == m_text) == m_equal);
    }

private:
    const ColumnStore &m_store;
    int m_column;
    std::string m_text;
    bool m_equal;
};

// ucase(col) = "TEXT": the cell is upper-cased on its UTF-8 bytes into a buffer reused
// from row to row.
class UpperTextEquals final : public CompiledFilter
{
public:
    UpperTextEquals(const ColumnStore &store, int column, const QString &text, bool equal)
        : m_store(store)
        , m_column(column)
        , m_text(text.toUtf8().toStdString())
        , m_equal(equal)
    {}
    Truth test(std::uint32_t index) const override
    {
        if (m_store.isNull(index, m_column))
            return Truth::Unknown;
        const std::string_view cell = m_store.utf8(index, m_column);
        m_buffer.resize(upperUtf8Capacity(cell.size()));
        const std::size_t size = upperUtf8(cell, m_buffer.data());
        return truthOf((std::string_view(m_buffer.data(), size) == m_text) == m_equal);
    }

private:
    const ColumnStore &m_store;
    int m_column;
    std::string m_text;
    bool m_equal;
    mutable std::string m_buffer;
};

template <typename Number> class NumberCompare final : public CompiledFilter
{
public:
    NumberCompare(const ColumnStore &store, int column, Node::Operator op, Number value)
        : m_store(store)
        , m_column(column)
        , m_op(op)
        , m_value(value)
    {}
    Truth test(std::uint32_t index) const override
    {
        if (m_store.isNull(index, m_column))
            return Truth::Unknown;
        Number cell;
        if constexpr (std::is_integral_v<Number>)
            cell = m_store.integer(index, m_column);
        else
            cell = m_store.number(index, m_column);
        switch (m_op) {
        case Node::Operator::Equal:
            return truthOf(cell == m_value);
        case Node::Operator::NotEqual:
            return truthOf(cell != m_value);
        case Node::Operator::Less:
            return truthOf(cell < m_value);
        case Node::Operator::Greater:
            return truthOf(cell > m_value);
        case Node::Operator::LessEqual:
            return truthOf(cell <= m_value);
        case Node::Operator::GreaterEqual:
            return truthOf(cell >= m_value);
        default:
            return Truth::Unknown;
        }
    }

private:
    const ColumnStore &m_store;
    int m_column;
    Node::Operator m_op;
    Number m_value;
};

class Not final : public CompiledFilter
{
public:
    explicit Not(Filter operand) : m_operand(std::move(operand)) {}
    Truth test(std::uint32_t index) const override
    {
        switch (m_operand->test(index)) {
        case Truth::False:
            return Truth::True;
        case Truth::True:
            return Truth::False;
        default:
            return Truth::Unknown;
        }
    }

private:
    Filter m_operand;
};

// AND and OR in three-valued logic: `stop` (false for AND, true for OR) settles it.
class Junction final : public CompiledFilter
{
public:
    Junction(Filter lhs, Filter rhs, Truth stop) : m_lhs(std::move(lhs)), m_rhs(std::move(rhs)), m_stop(stop)
    {}
    Truth test(std::uint32_t index) const override
    {
        const Truth lhs = m_lhs->test(index);
        if (lhs == m_stop)
            return m_stop;
        const Truth rhs = m_rhs->test(index);
        if (rhs == m_stop)
            return m_stop;
        if (lhs == Truth::Unknown || rhs == Truth::Unknown)
            return Truth::Unknown;
        return m_stop == Truth::False ? Truth::True : Truth::False;
    }

private:
    Filter m_lhs;
    Filter m_rhs;
    Truth m_stop;
};

Node::Operator mirrored(Node::Operator op)
{
    switch (op) {
    case Node::Operator::Less:
        return Node::Operator::Greater;
    case Node::Operator::Greater:
        return Node::Operator::Less;
    case Node::Operator::LessEqual:
        return Node::Operator::GreaterEqual;
    case Node::Operator::GreaterEqual:
        return Node::Operator::LessEqual;
    default:
        return op;
    }
}

bool isComparison(Node::Operator op)
{
    return op != Node::Operator::Join && op != Node::Operator::Plus && op != Node::Operator::Minus
        && op != Node::Operator::And && op != Node::Operator::Or;
}

// The store column a node reads, -1 when it is not a column the store holds.
int storeColumn(const Node &node, const ColumnStore &store)
{
    if (node.kind != Node::Kind::Column || node.column < 1 || node.column > store.columnCount())
        return -1;
    return node.column - 1;
}

// column OP literal, with the column on the left.
Filter compileComparison(const Node &columnSide, Node::Operator op, const Value &literal,
                         const ColumnStore &store)
{
    // string(col) reads a text column unchanged; ucase(col) and upper(col) upper-case it.
    const bool isCall = columnSide.kind == Node::Kind::Call;
    const bool converted = isCall && columnSide.function == Node::Function::String;
    const bool upper = isCall
        && (columnSide.function == Node::Function::Ucase || columnSide.function == Node::Function::Upper);
    const int column = storeColumn(converted || upper ? columnSide.operands.front() : columnSide, store);
    if (column < 0 || literal.isNull())
        return nullptr;
    if (store.isText(column)) {
        const bool equality = op == Node::Operator::Equal || op == Node::Operator::NotEqual;
        if (!literal.isText() || !equality)
            return nullptr;
        if (upper)
            return std::make_unique<UpperTextEquals>(store, column, literal.toText(),
                                                     op == Node::Operator::Equal);
        return std::make_unique<TextEquals>(store, column, literal.toText(), op == Node::Operator::Equal);
    }
    if (upper)
        return nullptr;
    if (converted || !literal.isNumber())
        return nullptr;
    if (store.isInteger(column) && literal.isInteger())
        return std::make_unique<NumberCompare<qint64>>(store, column, op, literal.toInteger());
    return std::make_unique<NumberCompare<double>>(store, column, op, literal.toNumber());
}

Filter compileNode(const Node &node, const ColumnStore &store)
{
    switch (node.kind) {
    case Node::Kind::Not: {
        Filter operand = compileNode(node.operands.front(), store);
        return operand ? std::make_unique<Not>(std::move(operand)) : nullptr;
    }
    case Node::Kind::Call: {
        if (node.function != Node::Function::IsNull)
            return nullptr;
        const int column = storeColumn(node.operands.front(), store);
        return column < 0 ? nullptr : std::make_unique<IsNull>(store, column);
    }
    case Node::Kind::Binary: {
        if (node.op == Node::Operator::And || node.op == Node::Operator::Or) {
            Filter lhs = compileNode(node.operands[0], store);
            Filter rhs = lhs ? compileNode(node.operands[1], store) : nullptr;
            if (!rhs)
                return nullptr;
            return std::make_unique<Junction>(std::move(lhs), std::move(rhs),
                                              node.op == Node::Operator::And ? Truth::False : Truth::True);
        }
        if (!isComparison(node.op))
            return nullptr;
        const Node &lhs = node.operands[0];
        const Node &rhs = node.operands[1];
        if (rhs.kind == Node::Kind::Literal)
            return compileComparison(lhs, node.op, rhs.literal, store);
        if (lhs.kind == Node::Kind::Literal)
            return compileComparison(rhs, mirrored(node.op), lhs.literal, store);
        return nullptr;
    }
    default:
        return nullptr;
    }
}

} // namespace

std::unique_ptr<CompiledFilter> CompiledFilter::compile(const ExpressionNode &root, const ColumnStore &store)
{
    return compileNode(root, store);
}

} // namespace dw
