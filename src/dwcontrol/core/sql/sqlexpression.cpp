#include "sql/sqlexpression.h"

#include "text/accents.h"

#include <algorithm>

namespace dw::sql {

using namespace Qt::StringLiterals;

namespace {

// Longer than this (in UTF-8 bytes) a like pattern is not sent to SQLite as one.
constexpr qsizetype kLongestLikePattern = 10000;

enum class Kind { Space, Word, Text, Number, Param, Operator, Open, Close, Comma, Join };

struct Token
{
    Kind kind;
    QStringView text;
    int marker = -1; // for `?`: its place among the statement's markers
};

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'$';
}

std::optional<std::vector<Token>> tokenize(QStringView text, QString *error)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    int markers = 0;
    auto push = [&](Kind kind, qsizetype start) { tokens.push_back({kind, text.mid(start, i - start)}); };
    while (i < n) {
        const qsizetype start = i;
        const QChar c = text[i];
        if (c.isSpace()) {
            while (i < n && text[i].isSpace())
                ++i;
            push(Kind::Space, start);
        } else if (c == u'\'' || c == u'"') {
            ++i;
            for (;;) {
                if (i >= n) {
                    if (error)
                        *error = QStringLiteral("unterminated text in '%1'").arg(text);
                    return std::nullopt;
                }
                if (text[i] == c) {
                    if (i + 1 < n && text[i + 1] == c) { // doubled quote inside the text
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(Kind::Text, start);
        } else if (c == u'[') {
            while (i < n && text[i] != u']')
                ++i;
            if (i < n)
                ++i;
            while (i < n && isWordChar(text[i]))
                ++i;
            push(Kind::Word, start);
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(text[i]))
                ++i;
            push(Kind::Word, start);
        } else if (c.isDigit()) {
            while (i < n && (text[i].isDigit() || text[i] == u'.'))
                ++i;
            push(Kind::Number, start);
        } else if (c == u':' && i + 1 < n && isWordStart(text[i + 1])) {
            ++i;
            while (i < n && (text[i].isLetterOrNumber() || text[i] == u'_'))
                ++i;
            push(Kind::Param, start);
        } else if (c == u'?') {
            ++i;
            push(Kind::Param, start);
            tokens.back().marker = markers++;
        } else {
            ++i;
            Kind kind = Kind::Operator;
            if (c == u'(')
                kind = Kind::Open;
            else if (c == u')')
                kind = Kind::Close;
            else if (c == u',')
                kind = Kind::Comma;
            else if (c == u'&')
                kind = Kind::Join;
            else if ((c == u'<' || c == u'>' || c == u'!') && i < n
                     && (text[i] == u'=' || (c == u'<' && text[i] == u'>')))
                ++i;
            push(kind, start);
        }
    }
    int depth = 0;
    for (const Token &token : tokens) {
        depth += token.kind == Kind::Open ? 1 : token.kind == Kind::Close ? -1 : 0;
        if (depth < 0)
            break;
    }
    if (depth != 0) {
        if (error)
            *error = QStringLiteral("unbalanced parentheses in '%1'").arg(text);
        return std::nullopt;
    }
    return tokens;
}

bool isWord(const Token &token, std::initializer_list<const char16_t *> words)
{
    if (token.kind != Kind::Word)
        return false;
    for (const char16_t *word : words) {
        if (token.text.compare(QStringView(word), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Where one operand of `&` ends: comparisons, logical words and the clauses of a
// statement bind more loosely than `&`; arithmetic binds more tightly and stays inside
// the operand.
bool isBoundary(const Token &token)
{
    if (token.kind == Kind::Comma)
        return true;
    if (token.kind == Kind::Operator) {
        const QStringView t = token.text;
        return t == u"=" || t == u"<" || t == u">" || t == u"<>" || t == u"<=" || t == u">=" || t == u"!=";
    }
    return isWord(token,
                  {u"and",  u"or",    u"not",   u"like",  u"is",  u"between", u"in", u"select", u"distinct",
                   u"from", u"where", u"order", u"group", u"by",  u"having",  u"as", u"union",  u"case",
                   u"when", u"then",  u"else",  u"end",   u"asc", u"desc",    u"on", u"join"});
}

// Words that are SQL itself, never names to quote.
bool isKeyword(const Token &token)
{
    return isBoundary(token)
        || isWord(token,
                  {u"null", u"true", u"false", u"all", u"exists", u"escape", u"inner", u"left", u"right",
                   u"outer", u"cross"});
}

class Renderer
{
public:
    Renderer(const std::vector<Token> &tokens, Dialect dialect, std::vector<int> &markers, bool foldsAccents)
        : m_tokens(tokens)
        , m_dialect(dialect)
        , m_markers(markers)
        , m_foldsAccents(foldsAccents)
    {}

    QString range(std::size_t begin, std::size_t end)
    {
        QString out;
        std::size_t runStart = begin;
        bool pattern = false;
        // Where each run and each boundary word starts in `out`, and which word it is.
        std::vector<qsizetype> runAt{0};
        std::vector<qsizetype> boundaryAt;
        std::vector<std::size_t> boundaries;
        const auto closeRun = [&](std::size_t runEnd) {
            if (!pattern || !rewriteLongPattern(out, runStart, runEnd, runAt, boundaryAt, boundaries))
                out += patternRun(runStart, runEnd, pattern);
        };
        for (std::size_t i = begin; i < end; i = next(i)) {
            if (isBoundary(m_tokens[i])) {
                closeRun(i);
                boundaryAt.push_back(out.size());
                boundaries.push_back(i);
                out += m_tokens[i].text;
                runAt.push_back(out.size());
                pattern = isWord(m_tokens[i], {u"like"});
                runStart = i + 1;
            }
        }
        closeRun(end);
        return out;
    }

private:
    // SQLite refuses a like pattern longer than 50,000 bytes ("pattern too complex"), and
    // its matcher takes time that grows with the pattern times the value. A long pattern
    // whose only wildcards are a % at either end (a pasted search text) becomes the same
    // test without like: SQLite's like ignores the case of ASCII letters only, and so does
    // its lower(). One with wildcards inside goes to the built-in driver's pattern_match(),
    // the same test by a matcher of its own. `out` holds the statement up to the pattern; the operand
    // before "like" (or "not like") is rewritten in place. False when the pattern is
    // short; it is then sent as written.
    bool rewriteLongPattern(QString &out, std::size_t begin, std::size_t end,
                            const std::vector<qsizetype> &runAt, const std::vector<qsizetype> &boundaryAt,
                            const std::vector<std::size_t> &boundaries)
    {
        if (m_dialect != Dialect::SQLite || boundaries.empty())
            return false;
        const Token *literal = nullptr;
        for (std::size_t i = begin; i < end; ++i) {
            if (m_tokens[i].kind == Kind::Space)
                continue;
            if (literal || m_tokens[i].kind != Kind::Text)
                return false;
            literal = &m_tokens[i];
        }
        if (!literal)
            return false;
        const QString quoted = text(literal->text);
        const QString content = quoted.mid(1, quoted.size() - 2).replace(u"''"_s, u"'"_s);
        if (content.toUtf8().size() <= kLongestLikePattern)
            return false;
        const bool anyBefore = content.startsWith(u'%');
        const bool anyAfter = content.size() > 1 && content.endsWith(u'%');
        const QString core = content.mid(anyBefore ? 1 : 0, content.size() - int(anyBefore) - int(anyAfter));
        const bool wildcardsInside = core.contains(u'%') || core.contains(u'_');

        // The operand: the run before "like", or before "not" when "not like" is written.
        std::size_t k = boundaries.size() - 1;
        bool negated = false;
        if (QStringView(out).mid(runAt[k], boundaryAt[k] - runAt[k]).trimmed().isEmpty() && k > 0
            && isWord(m_tokens[boundaries[k - 1]], {u"not"})) {
            --k;
            negated = true;
        }
        const QString operand = out.mid(runAt[k], boundaryAt[k] - runAt[k]);
        if (operand.trimmed().isEmpty())
            return false;
        const QString lead = operand.left(operand.indexOf(operand.trimmed()));
        if (wildcardsInside) {
            // The driver's own matcher, which takes any length in time linear in the value.
            out.truncate(runAt[k]);
            out += lead + (negated ? u"NOT "_s : QString()) + u"pattern_match("_s + operand.trimmed()
                + u", "_s + text(literal->text) + u')' + trailing(begin, end);
            return true;
        }
        const QString value = u"lower("_s + operand.trimmed() + u')';
        const QString coreText = u'\'' + QString(core).replace(u"'"_s, u"''"_s) + u'\'';
        const QString wanted = u"lower("_s + coreText + u')';
        QString test;
        if (anyBefore && anyAfter)
            test = u"instr("_s + value + u", "_s + wanted + u") > 0"_s;
        else if (anyBefore)
            test = u"substr("_s + value + u", -length("_s + coreText + u")) = "_s + wanted;
        else if (anyAfter)
            test = u"substr("_s + value + u", 1, length("_s + coreText + u")) = "_s + wanted;
        else
            test = value + u" = "_s + wanted;
        out.truncate(runAt[k]);
        out += lead + (negated ? u"NOT ("_s : u"("_s) + test + u')' + trailing(begin, end);
        return true;
    }

    // PostgreSQL reads a backslash in a like pattern as an escape; Access has no escape
    // character, so the pattern says it has none.
    QString patternRun(std::size_t begin, std::size_t end, bool pattern)
    {
        QString out = run(begin, end);
        if (!pattern || m_dialect != Dialect::PostgreSQL || out.trimmed().isEmpty())
            return out;
        qsizetype content = out.size();
        while (content > 0 && out.at(content - 1).isSpace())
            --content;
        out.insert(content, u" ESCAPE ''"_s);
        return out;
    }

    // Index after the token at i, skipping a whole parenthesised group.
    std::size_t next(std::size_t i) const
    {
        if (m_tokens[i].kind != Kind::Open)
            return i + 1;
        return closing(i) + 1;
    }

    std::size_t closing(std::size_t open) const
    {
        int depth = 0;
        for (std::size_t i = open; i < m_tokens.size(); ++i) {
            if (m_tokens[i].kind == Kind::Open)
                ++depth;
            else if (m_tokens[i].kind == Kind::Close && --depth == 0)
                return i;
        }
        return m_tokens.size() - 1; // balance was checked when tokenizing
    }

    struct Span
    {
        std::size_t begin, end;
    };

    QString run(std::size_t begin, std::size_t end)
    {
        std::vector<Span> operands;
        std::size_t start = begin;
        for (std::size_t i = begin; i < end; i = next(i)) {
            if (m_tokens[i].kind == Kind::Join) {
                operands.push_back({start, i});
                start = i + 1;
            }
        }
        operands.push_back({start, end});
        if (operands.size() == 1)
            return operand(begin, end);
        return join(operands, leading(begin, end), trailing(begin, end));
    }

    QString leading(std::size_t begin, std::size_t end) const
    {
        return begin < end && m_tokens[begin].kind == Kind::Space ? m_tokens[begin].text.toString()
                                                                  : QString();
    }

    QString trailing(std::size_t begin, std::size_t end) const
    {
        return begin < end && m_tokens[end - 1].kind == Kind::Space ? m_tokens[end - 1].text.toString()
                                                                    : QString();
    }

    bool isLiteral(Span span) const
    {
        int significant = 0;
        bool literal = false;
        for (std::size_t i = span.begin; i < span.end; ++i) {
            if (m_tokens[i].kind == Kind::Space)
                continue;
            ++significant;
            literal = m_tokens[i].kind == Kind::Text || m_tokens[i].kind == Kind::Number;
        }
        return significant == 1 && literal;
    }

    // `a & b & c` outside Access: null operands count as empty texts, and the result is
    // null only when every operand is null.
    QString join(const std::vector<Span> &operands, const QString &before, const QString &after)
    {
        bool anyLiteral = false;
        for (const Span &span : operands)
            anyLiteral = anyLiteral || isLiteral(span);
        QString out = before + u'(';
        if (!anyLiteral) {
            out += u"CASE WHEN COALESCE("_s;
            for (std::size_t k = 0; k < operands.size(); ++k) {
                if (k)
                    out += u", "_s;
                out += operand(operands[k].begin, operands[k].end).trimmed();
            }
            out += u") IS NULL THEN NULL ELSE "_s;
        }
        for (std::size_t k = 0; k < operands.size(); ++k) {
            if (k)
                out += u" || "_s;
            const QString rendered = operand(operands[k].begin, operands[k].end).trimmed();
            out += isLiteral(operands[k]) ? rendered : u"COALESCE("_s + rendered + u", '')"_s;
        }
        if (!anyLiteral)
            out += u" END"_s;
        out += u')';
        return out + after;
    }

    QString operand(std::size_t begin, std::size_t end)
    {
        QString out;
        for (std::size_t i = begin; i < end; ++i) {
            const Token &token = m_tokens[i];
            switch (token.kind) {
            case Kind::Open: {
                const std::size_t close = closing(i);
                if (m_dialect == Dialect::PostgreSQL && foldsAccents(i)) {
                    // The server's own translate(), which every PostgreSQL has.
                    out += u"(upper("_s + range(i + 1, close) + u"), '"_s + accentedCapitals() + u"', '"_s
                        + baseCapitals() + u"')"_s;
                } else {
                    out += u'(' + range(i + 1, close) + u')';
                }
                i = close;
                break;
            }
            case Kind::Param:
                if (token.marker >= 0)
                    m_markers.push_back(token.marker);
                out += token.text;
                break;
            case Kind::Text:
                out += text(token.text);
                break;
            case Kind::Word:
                out += word(i);
                break;
            default:
                out += token.text;
            }
        }
        return out;
    }

    // Access also quotes texts with "; the others read that as a name. PostgreSQL may
    // read a backslash in a plain literal as an escape (standard_conforming_strings off),
    // so a text with one is written in the escape form, where it always stands for itself.
    QString text(QStringView quoted) const
    {
        QString inner = quoted.mid(1, quoted.size() - 2).toString();
        if (quoted.front() == u'"') {
            inner.replace(u"\"\""_s, u"\""_s);
            inner.replace(u"'"_s, u"''"_s);
        }
        if (m_dialect == Dialect::PostgreSQL && inner.contains(u'\\'))
            return u"E'"_s + inner.replace(u"\\"_s, u"\\\\"_s) + u'\'';
        return u'\'' + inner + u'\'';
    }

    QString word(std::size_t i) const
    {
        const QStringView name = m_tokens[i].text;
        std::size_t after = i + 1;
        while (after < m_tokens.size() && m_tokens[after].kind == Kind::Space)
            ++after;
        if (after < m_tokens.size() && m_tokens[after].kind == Kind::Open)
            return function(name);
        if (m_dialect == Dialect::PostgreSQL && !isKeyword(m_tokens[i]))
            return quotedName(name);
        return name.toString();
    }

    // Whether the group opening at `open` holds the argument of sinacentos(): the text
    // upper-cased and without accents, which the built-in driver knows by that name.
    bool foldsAccents(std::size_t open) const
    {
        std::size_t before = open;
        while (before > 0 && m_tokens[before - 1].kind == Kind::Space)
            --before;
        return before > 0 && m_tokens[before - 1].kind == Kind::Word
            && m_tokens[before - 1].text.compare(u"sinacentos", Qt::CaseInsensitive) == 0;
    }

    QString function(QStringView name) const
    {
        // PostgreSQL folds with translate(); drivers that cannot fold compare as typed.
        if (name.compare(u"sinacentos", Qt::CaseInsensitive) == 0) {
            if (m_dialect == Dialect::PostgreSQL)
                return u"translate"_s;
            if (m_dialect == Dialect::SQLite && m_foldsAccents)
                return u"sinacentos"_s;
            name = u"ucase";
        }
        // The built-in driver gives SQLite an upper() with Access's meaning (every letter,
        // accents included); SQLite's own, behind its ODBC driver, knows only ASCII.
        if (name.compare(u"ucase", Qt::CaseInsensitive) == 0)
            return u"upper"_s;
        if (name.compare(u"lcase", Qt::CaseInsensitive) == 0)
            return u"lower"_s;
        if (name.compare(u"len", Qt::CaseInsensitive) == 0)
            return m_dialect == Dialect::SQLite ? u"length"_s : u"char_length"_s;
        return name.toString();
    }

    // "directorio.nombre" as PostgreSQL names it: each part quoted, so names keep the case
    // they were loaded with and a name that is also a keyword stays a name. Access's
    // [bracketed] names lose their brackets.
    static QString quotedName(QStringView name)
    {
        QString out;
        qsizetype i = 0;
        while (i <= name.size()) {
            qsizetype end = i;
            QString part;
            if (i < name.size() && name[i] == u'[') {
                end = name.indexOf(u']', i);
                end = end < 0 ? name.size() : end;
                part = name.mid(i + 1, end - i - 1).toString();
                end = std::min(end + 1, name.size());
            } else {
                end = name.indexOf(u'.', i);
                end = end < 0 ? name.size() : end;
                part = name.mid(i, end - i).toString();
            }
            if (!part.isEmpty())
                out += u'"' + part.replace(u"\""_s, u"\"\""_s) + u'"';
            if (end >= name.size())
                break;
            out += u'.';
            i = end + 1;
        }
        return out;
    }

    const std::vector<Token> &m_tokens;
    Dialect m_dialect;
    std::vector<int> &m_markers;
    bool m_foldsAccents = false;
};

} // namespace

std::optional<QString> renderAccess(QStringView expression, std::vector<QString> &parameters, QString *error)
{
    auto tokens = tokenize(expression, error);
    if (!tokens)
        return std::nullopt;
    // Access reads the expression as written; only the argument markers change.
    QString out;
    for (const Token &token : *tokens) {
        if (token.kind == Kind::Param && token.marker < 0) {
            parameters.push_back(token.text.mid(1).toString());
            out += u'?';
        } else {
            out += token.text;
        }
    }
    return out;
}

std::optional<QString> translateStatement(QStringView statement, Dialect dialect, std::vector<int> &markers,
                                          QString *error, bool foldsAccents)
{
    auto tokens = tokenize(statement, error);
    if (!tokens)
        return std::nullopt;
    if (dialect == Dialect::Access) {
        // As written, but for sinacentos(), which Access compares as ucase().
        QString out;
        for (const Token &token : *tokens) {
            if (token.marker >= 0)
                markers.push_back(token.marker);
            out += token.kind == Kind::Word && token.text.compare(u"sinacentos", Qt::CaseInsensitive) == 0
                ? u"ucase"_s
                : token.text.toString();
        }
        return out;
    }
    return Renderer(*tokens, dialect, markers, foldsAccents).range(0, tokens->size());
}

} // namespace dw::sql
