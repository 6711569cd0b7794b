#include "expr/node.h"
#include "rows/sortfilter.h"

#include <QStringList>

namespace dw {

namespace {

// Splits at the commas that are outside parentheses and quotes.
QStringList splitKeys(const QString &criteria)
{
    QStringList keys;
    int depth = 0;
    QChar quote;
    qsizetype start = 0;
    for (qsizetype i = 0; i < criteria.size(); ++i) {
        const QChar c = criteria[i];
        if (!quote.isNull()) {
            if (c == u'~')
                ++i;
            else if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (c == u',' && depth == 0) {
            keys.append(criteria.mid(start, i - start));
            start = i + 1;
        }
    }
    keys.append(criteria.mid(start));
    return keys;
}

} // namespace

std::optional<std::vector<SortKey>> parseSortCriteria(const QString &criteria, const EvalContext &context,
                                                      QString *error)
{
    std::vector<SortKey> keys;
    if (criteria.trimmed().isEmpty())
        return keys;
    const auto fail = [&](const QString &what) -> std::optional<std::vector<SortKey>> {
        if (error)
            *error = what;
        return std::nullopt;
    };

    for (const QString &part : splitKeys(criteria)) {
        QString body = part.trimmed();
        if (body.isEmpty())
            return fail(QStringLiteral("Criterio de orden no válido: clave vacía en '%1'").arg(criteria));
        SortKey key;
        // The direction is a last word "A" or "D" after a blank; without one, ascending.
        qsizetype blank = body.size() - 1;
        while (blank > 0 && !body[blank].isSpace())
            --blank;
        if (blank > 0) {
            const QString direction = body.mid(blank + 1);
            if (direction.compare(u"A", Qt::CaseInsensitive) == 0
                || direction.compare(u"D", Qt::CaseInsensitive) == 0) {
                key.ascending = direction.compare(u"A", Qt::CaseInsensitive) == 0;
                body = body.left(blank).trimmed();
            }
        }
        QString why;
        std::optional<Expression> expression = Expression::parse(body, context, &why);
        if (!expression)
            return fail(QStringLiteral("Criterio de orden no válido en '%1': %2").arg(body, why));
        const ExpressionNode &root = expression->root();
        if (root.kind == ExpressionNode::Kind::Column) {
            key.column = root.column;
        } else if (root.kind == ExpressionNode::Kind::Call
                   && root.function == ExpressionNode::Function::LookUpDisplay) {
            key.column = root.operands.front().column;
            key.lookupDisplay = true;
        } else {
            key.expression = std::move(expression);
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

} // namespace dw
