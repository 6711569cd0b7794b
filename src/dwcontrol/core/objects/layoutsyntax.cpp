#include "objects/layoutsyntax.h"

namespace dw::syntax {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'#' || c == u'$';
}

QChar escaped(QChar c)
{
    switch (c.unicode()) {
    case 't':
        return u'\t';
    case 'n':
        return u'\n';
    case 'r':
        return u'\r';
    default:
        return c; // ~" ~' ~~ and any other character stand for themselves
    }
}

} // namespace

QString unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'~' && i + 1 < text.size())
            out += escaped(text[++i]);
        else
            out += text[i];
    }
    return out;
}

QString quote(const QString &value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += u'"';
    for (const QChar c : value) {
        if (c == u'"' || c == u'~')
            out += u'~';
        out += c;
    }
    out += u'"';
    return out;
}

bool Scanner::atEnd()
{
    skipSpace();
    return m_pos >= m_text.size();
}

void Scanner::skipSpace()
{
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c.isSpace()) {
            ++m_pos;
        } else if (c == u'/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'/') {
            while (m_pos < m_text.size() && m_text[m_pos] != u'\n')
                ++m_pos;
        } else {
            break;
        }
    }
}

QString Scanner::word()
{
    if (failed())
        return {};
    skipSpace();
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && isWordChar(m_text[m_pos]))
        ++m_pos;
    return m_text.mid(start, m_pos - start).toString();
}

bool Scanner::accept(QChar c)
{
    if (failed())
        return false;
    skipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == c) {
        ++m_pos;
        return true;
    }
    return false;
}

QString Scanner::token()
{
    skipSpace();
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && !m_text[m_pos].isSpace())
        ++m_pos;
    return m_text.mid(start, m_pos - start).toString();
}

int Scanner::line() const
{
    return int(m_text.left(m_pos).count(u'\n')) + 1;
}

void Scanner::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
}

QString Scanner::quoted(QChar quoteChar)
{
    ++m_pos; // opening quote
    QString out;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos++];
        if (c == quoteChar)
            return out;
        if (c == u'~' && m_pos < m_text.size())
            out += escaped(m_text[m_pos++]);
        else
            out += c;
    }
    fail(QStringLiteral("unterminated quoted value"));
    return {};
}

std::optional<QString> Scanner::parenthesised()
{
    const qsizetype start = ++m_pos; // after the opening parenthesis
    int depth = 1;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c == u'"' || c == u'\'') {
            // Quotes inside a structured value are kept as written; skip over them.
            ++m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != c)
                m_pos += (m_text[m_pos] == u'~') ? 2 : 1;
            if (m_pos >= m_text.size())
                break;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')' && --depth == 0) {
            const QString inner = m_text.mid(start, m_pos - start).toString();
            ++m_pos;
            return inner;
        }
        ++m_pos;
    }
    fail(QStringLiteral("unbalanced parentheses in a value"));
    return std::nullopt;
}

QString Scanner::bare()
{
    const qsizetype start = m_pos;
    int depth = 0;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c.isSpace())
            break;
        if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (depth == 0)
                break;
            --depth;
        }
        ++m_pos;
    }
    return m_text.mid(start, m_pos - start).toString();
}

std::optional<QString> Scanner::value()
{
    if (failed())
        return std::nullopt;
    skipSpace();
    if (m_pos >= m_text.size()) {
        fail(QStringLiteral("a value is missing"));
        return std::nullopt;
    }
    const QChar c = m_text[m_pos];
    if (c == u'"' || c == u'\'') {
        QString text = quoted(c);
        if (failed())
            return std::nullopt;
        return text;
    }
    if (c == u'(')
        return parenthesised();
    if (c == u')') {
        fail(QStringLiteral("a value is missing"));
        return std::nullopt;
    }
    return bare();
}

std::optional<Item> Scanner::item()
{
    Item result;
    skipSpace();
    result.line = line();
    result.kind = word().toLower();
    if (result.kind.isEmpty()) {
        fail(QStringLiteral("an object kind is expected at '%1'").arg(token().left(20)));
        return std::nullopt;
    }
    if (!accept(u'(')) {
        fail(QStringLiteral("'(' is expected after '%1'").arg(result.kind));
        return std::nullopt;
    }
    while (!failed()) {
        if (accept(u')'))
            return result;
        if (atEnd()) {
            fail(QStringLiteral("')' is missing at the end of '%1'").arg(result.kind));
            break;
        }
        const QString name = word().toLower();
        if (name.isEmpty()) {
            fail(QStringLiteral("an attribute name is expected at '%1'").arg(token().left(20)));
            break;
        }
        if (!accept(u'=')) {
            fail(QStringLiteral("'=' is expected after '%1'").arg(name));
            break;
        }
        auto text = value();
        if (!text)
            break;
        result.attributes.emplace_back(name, *text);
    }
    return std::nullopt;
}

std::optional<std::vector<Item>> parseLayout(QStringView text, QString *error)
{
    Scanner scanner(text);
    std::vector<Item> items;
    while (!scanner.atEnd()) {
        auto item = scanner.item();
        if (!item) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(scanner.line()).arg(scanner.error());
            return std::nullopt;
        }
        items.push_back(std::move(*item));
    }
    return items;
}

} // namespace dw::syntax
