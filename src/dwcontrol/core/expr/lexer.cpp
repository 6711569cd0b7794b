#include "expr/lexer.h"

namespace dw::expr {

using namespace Qt::StringLiterals;

namespace {

bool startsName(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool continuesName(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A text literal from its opening quote; `end` is left after the closing quote.
std::optional<QString> readText(const QString &source, qsizetype start, qsizetype &end)
{
    const QChar quote = source[start];
    QString text(u""_s); // "" is an empty text, never null
    qsizetype i = start + 1;
    while (i < source.size()) {
        const QChar c = source[i];
        if (c == quote) {
            end = i + 1;
            return text;
        }
        if (c == u'~' && i + 1 < source.size()) {
            const QChar next = source[i + 1];
            switch (next.unicode()) {
            case u't':
                text += u'\t';
                break;
            case u'n':
                text += u'\n';
                break;
            case u'r':
                text += u'\r';
                break;
            default:
                text += next;
                break; // ~" ~' ~~ and any other character stands for itself
            }
            i += 2;
            continue;
        }
        text += c;
        ++i;
    }
    return std::nullopt;
}

// A number: digits, an optional fraction and an optional exponent.
std::optional<Value> readNumber(const QString &source, qsizetype start, qsizetype &end)
{
    qsizetype i = start;
    bool real = false;
    while (i < source.size() && isDigit(source[i]))
        ++i;
    if (i < source.size() && source[i] == u'.') {
        real = true;
        ++i;
        while (i < source.size() && isDigit(source[i]))
            ++i;
    }
    if (i < source.size() && (source[i] == u'e' || source[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < source.size() && (source[j] == u'+' || source[j] == u'-'))
            ++j;
        if (j < source.size() && isDigit(source[j])) {
            real = true;
            i = j;
            while (i < source.size() && isDigit(source[i]))
                ++i;
        }
    }
    if (i < source.size() && continuesName(source[i]))
        return std::nullopt; // "12abc" is neither a number nor a name
    end = i;
    const QStringView digits = QStringView(source).mid(start, i - start);
    bool ok = false;
    if (!real) {
        const qint64 integer = digits.toLongLong(&ok);
        if (ok)
            return Value(integer);
    }
    const double number = digits.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return Value(number);
}

} // namespace

QString errorAt(qsizetype position, const QString &what)
{
    return QStringLiteral("Expresión no válida (posición %1): %2").arg(position + 1).arg(what);
}

std::optional<std::vector<Token>> tokenize(const QString &source, QString *error)
{
    std::vector<Token> tokens;
    const auto fail = [&](qsizetype position, const QString &what) -> std::optional<std::vector<Token>> {
        if (error)
            *error = errorAt(position, what);
        return std::nullopt;
    };

    qsizetype i = 0;
    while (i < source.size()) {
        const QChar c = source[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token token;
        token.position = i;
        if (c == u'"' || c == u'\'') {
            qsizetype end = i;
            auto text = readText(source, i, end);
            if (!text)
                return fail(i, QStringLiteral("texto sin cerrar"));
            token.type = Token::Type::Text;
            token.text = std::move(*text);
            i = end;
        } else if (isDigit(c) || (c == u'.' && i + 1 < source.size() && isDigit(source[i + 1]))) {
            qsizetype end = i;
            auto number = readNumber(source, i, end);
            if (!number)
                return fail(i, QStringLiteral("número mal formado"));
            token.type = Token::Type::Number;
            token.number = *number;
            token.text = source.mid(i, end - i);
            i = end;
        } else if (startsName(c)) {
            qsizetype end = i + 1;
            while (end < source.size() && continuesName(source[end]))
                ++end;
            token.type = Token::Type::Name;
            token.text = source.mid(i, end - i);
            i = end;
        } else if (c == u'(' || c == u')' || c == u',') {
            token.type = c == u'(' ? Token::Type::LeftParen
                : c == u')'        ? Token::Type::RightParen
                                   : Token::Type::Comma;
            token.text = QString(c);
            ++i;
        } else if (c == u'<' || c == u'>') {
            const QChar next = i + 1 < source.size() ? source[i + 1] : QChar();
            const bool pair = next == u'=' || (c == u'<' && next == u'>');
            token.type = Token::Type::Operator;
            token.text = source.mid(i, pair ? 2 : 1);
            i += pair ? 2 : 1;
        } else if (c == u'=' || c == u'+' || c == u'-' || c == u'&') {
            token.type = Token::Type::Operator;
            token.text = QString(c);
            ++i;
        } else {
            return fail(i, QStringLiteral("carácter inesperado '%1'").arg(c));
        }
        tokens.push_back(std::move(token));
    }
    Token end;
    end.position = source.size();
    tokens.push_back(std::move(end));
    return tokens;
}

} // namespace dw::expr
