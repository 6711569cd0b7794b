#include "expr/expression.h"
#include "expr/functions.h"
#include "expr/lexer.h"
#include "expr/node.h"

#include <algorithm>
#include <array>
#include <limits>

namespace dw {

namespace {

using expr::Token;
using Node = ExpressionNode;

// Deep nesting and endless chains are refused rather than allowed to exhaust the
// stack (parsing, evaluating and destroying a tree all recurse over its depth).
constexpr int maxDepth = 500; // each level of parentheses takes two
constexpr std::size_t maxTokens = 10000;

// Recursive descent, from the loosest binding to the tightest:
//   or  →  and  →  not  →  comparison  →  & + -  →  unary minus  →  primary
class Parser
{
public:
    Parser(const std::vector<Token> &tokens, const EvalContext &names) : m_tokens(tokens), m_names(names) {}

    std::optional<Node> parse()
    {
        auto root = orExpression();
        if (root && peek().type != Token::Type::End)
            return fail(peek(), QStringLiteral("sobra '%1'").arg(peek().text));
        return root;
    }

    QString error;

private:
    const Token &peek() const { return m_tokens[m_pos]; }
    const Token &take() { return m_tokens[m_pos++]; }

    bool isKeyword(QStringView keyword) const
    {
        return peek().type == Token::Type::Name && peek().text.compare(keyword, Qt::CaseInsensitive) == 0;
    }
    bool isOperator(QStringView spelling) const
    {
        return peek().type == Token::Type::Operator && peek().text == spelling;
    }

    std::nullopt_t fail(const Token &at, const QString &what)
    {
        if (error.isEmpty())
            error = expr::errorAt(at.position, what);
        return std::nullopt;
    }

    std::optional<Node> unexpected(const Token &at)
    {
        if (at.type == Token::Type::End)
            return fail(at, QStringLiteral("la expresión termina antes de tiempo"));
        return fail(at, QStringLiteral("no se esperaba '%1'").arg(at.text));
    }

    static Node binary(Node::Operator op, Node lhs, Node rhs)
    {
        Node node;
        node.kind = Node::Kind::Binary;
        node.op = op;
        node.operands.push_back(std::move(lhs));
        node.operands.push_back(std::move(rhs));
        return node;
    }

    static Node unary(Node::Kind kind, Node operand)
    {
        Node node;
        node.kind = kind;
        node.operands.push_back(std::move(operand));
        return node;
    }

    // Guards every rule that can recurse, so "((((..." fails cleanly.
    struct DepthGuard
    {
        explicit DepthGuard(int &depth) : m_depth(++depth) {}
        ~DepthGuard() { --m_depth; }
        DepthGuard(const DepthGuard &) = delete;
        DepthGuard &operator=(const DepthGuard &) = delete;
        int &m_depth;
    };
    bool tooDeep()
    {
        if (m_depth <= maxDepth)
            return false;
        fail(peek(), QStringLiteral("anidamiento demasiado profundo"));
        return true;
    }

    std::optional<Node> orExpression()
    {
        auto lhs = andExpression();
        while (lhs && isKeyword(u"or")) {
            take();
            auto rhs = andExpression();
            if (!rhs)
                return std::nullopt;
            lhs = binary(Node::Operator::Or, std::move(*lhs), std::move(*rhs));
        }
        return lhs;
    }

    std::optional<Node> andExpression()
    {
        auto lhs = notExpression();
        while (lhs && isKeyword(u"and")) {
            take();
            auto rhs = notExpression();
            if (!rhs)
                return std::nullopt;
            lhs = binary(Node::Operator::And, std::move(*lhs), std::move(*rhs));
        }
        return lhs;
    }

    std::optional<Node> notExpression()
    {
        const DepthGuard guard(m_depth);
        if (tooDeep())
            return std::nullopt;
        if (isKeyword(u"not")) {
            take();
            auto operand = notExpression();
            if (!operand)
                return std::nullopt;
            return unary(Node::Kind::Not, std::move(*operand));
        }
        return comparison();
    }

    std::optional<Node> comparison()
    {
        static constexpr std::array<std::pair<QStringView, Node::Operator>, 6> operators{{
            {u"=", Node::Operator::Equal},
            {u"<>", Node::Operator::NotEqual},
            {u"<", Node::Operator::Less},
            {u">", Node::Operator::Greater},
            {u"<=", Node::Operator::LessEqual},
            {u">=", Node::Operator::GreaterEqual},
        }};
        auto lhs = additive();
        while (lhs) {
            const auto found = std::find_if(operators.begin(), operators.end(),
                                            [this](const auto &entry) { return isOperator(entry.first); });
            if (found == operators.end())
                break;
            take();
            auto rhs = additive();
            if (!rhs)
                return std::nullopt;
            lhs = binary(found->second, std::move(*lhs), std::move(*rhs));
        }
        return lhs;
    }

    std::optional<Node> additive()
    {
        auto lhs = signedTerm();
        while (lhs) {
            Node::Operator op;
            if (isOperator(u"&"))
                op = Node::Operator::Join;
            else if (isOperator(u"+"))
                op = Node::Operator::Plus;
            else if (isOperator(u"-"))
                op = Node::Operator::Minus;
            else
                break;
            take();
            auto rhs = signedTerm();
            if (!rhs)
                return std::nullopt;
            lhs = binary(op, std::move(*lhs), std::move(*rhs));
        }
        return lhs;
    }

    std::optional<Node> signedTerm()
    {
        const DepthGuard guard(m_depth);
        if (tooDeep())
            return std::nullopt;
        if (isOperator(u"-")) {
            take();
            auto operand = signedTerm();
            if (!operand)
                return std::nullopt;
            // "-8" is a number, not an operation, so it reads as a literal where one is expected.
            if (operand->kind == Node::Kind::Literal && operand->literal.isInteger()
                && operand->literal.toInteger() != std::numeric_limits<qint64>::min()) {
                operand->literal = Value(-operand->literal.toInteger());
                return operand;
            }
            if (operand->kind == Node::Kind::Literal && operand->literal.isReal()) {
                operand->literal = Value(-operand->literal.toNumber());
                return operand;
            }
            return unary(Node::Kind::Negate, std::move(*operand));
        }
        if (isOperator(u"+")) {
            take();
            return signedTerm();
        }
        return primary();
    }

    std::optional<Node> primary()
    {
        const Token &token = take();
        switch (token.type) {
        case Token::Type::Number: {
            Node node;
            node.literal = token.number;
            return node;
        }
        case Token::Type::Text: {
            Node node;
            node.literal = Value(token.text);
            return node;
        }
        case Token::Type::LeftParen: {
            auto inner = orExpression();
            if (!inner)
                return std::nullopt;
            if (peek().type != Token::Type::RightParen)
                return fail(peek(), QStringLiteral("falta ')'"));
            take();
            return inner;
        }
        case Token::Type::Name:
            return name(token);
        default:
            --m_pos; // report the token where it stands
            return unexpected(peek());
        }
    }

    std::optional<Node> name(const Token &token)
    {
        if (peek().type == Token::Type::LeftParen)
            return call(token);
        if (token.text.compare(u"null", Qt::CaseInsensitive) == 0)
            return Node{};
        for (QStringView keyword : {u"and", u"or", u"not"}) {
            if (token.text.compare(keyword, Qt::CaseInsensitive) == 0)
                return unexpected(token);
        }
        const int column = m_names.columnNumber(token.text);
        if (column <= 0)
            return fail(token, QStringLiteral("no hay columna '%1'").arg(token.text));
        Node node;
        node.kind = Node::Kind::Column;
        node.column = column;
        return node;
    }

    std::optional<Node> call(const Token &nameToken)
    {
        const auto known = expr::functions();
        const auto found = std::find_if(known.begin(), known.end(), [&](const expr::FunctionSpec &info) {
            return nameToken.text.compare(info.name, Qt::CaseInsensitive) == 0;
        });
        if (found == known.end())
            return fail(nameToken, QStringLiteral("función desconocida '%1'").arg(nameToken.text));
        take(); // (
        Node node;
        node.kind = Node::Kind::Call;
        node.function = found->function;
        if (peek().type != Token::Type::RightParen) {
            for (;;) {
                auto argument = orExpression();
                if (!argument)
                    return std::nullopt;
                node.operands.push_back(std::move(*argument));
                if (peek().type != Token::Type::Comma)
                    break;
                take();
            }
        }
        if (peek().type != Token::Type::RightParen)
            return fail(peek(), QStringLiteral("falta ')' tras los argumentos de %1").arg(nameToken.text));
        take();
        if (int(node.operands.size()) != found->arity) {
            return fail(nameToken,
                        QStringLiteral("%1 espera %2 argumento(s)").arg(nameToken.text).arg(found->arity));
        }
        if (node.function == Node::Function::LookUpDisplay
            && node.operands.front().kind != Node::Kind::Column)
            return fail(nameToken, QStringLiteral("LookUpDisplay espera el nombre de una columna"));
        return node;
    }

    const std::vector<Token> &m_tokens;
    const EvalContext &m_names;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

} // namespace

std::optional<Expression> Expression::parse(const QString &text, const EvalContext &names, QString *error)
{
    auto tokens = expr::tokenize(text, error);
    if (!tokens)
        return std::nullopt;
    if (tokens->size() > maxTokens) {
        if (error)
            *error = expr::errorAt(0, QStringLiteral("la expresión es demasiado larga"));
        return std::nullopt;
    }
    if (tokens->size() == 1) {
        if (error)
            *error = expr::errorAt(0, QStringLiteral("la expresión está vacía"));
        return std::nullopt;
    }
    Parser parser(*tokens, names);
    auto root = parser.parse();
    if (!root) {
        if (error)
            *error = parser.error;
        return std::nullopt;
    }
    return Expression(text, std::make_shared<const ExpressionNode>(std::move(*root)));
}

} // namespace dw
