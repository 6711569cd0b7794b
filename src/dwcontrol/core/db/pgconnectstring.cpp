#include "db/pgconnectstring.h"

#include <QByteArray>
#include <QStringList>

#include <utility>
#include <vector>

namespace dw {

namespace {

bool isUri(const QString &text)
{
    return text.startsWith(u"postgresql://", Qt::CaseInsensitive)
        || text.startsWith(u"postgres://", Qt::CaseInsensitive);
}

QString percentDecoded(QStringView text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

// The keyword pairs of a keyword string, values unquoted; stops at the first thing that is
// not a pair. `whole` says whether there was none and no bare value held a ';'.
std::vector<std::pair<QString, QString>> keywordPairs(const QString &text, bool *whole = nullptr)
{
    if (whole)
        *whole = false;
    bool semicolon = false;
    std::vector<std::pair<QString, QString>> pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    for (;;) {
        skipBlanks();
        if (i >= n) {
            if (whole)
                *whole = !semicolon;
            break;
        }
        const qsizetype keyStart = i;
        while (i < n && (text.at(i).isLetterOrNumber() || text.at(i) == u'_'))
            ++i;
        const QString key = text.mid(keyStart, i - keyStart);
        skipBlanks();
        if (key.isEmpty() || i >= n || text.at(i) != u'=')
            break;
        ++i;
        skipBlanks();
        QString value;
        const bool quoted = i < n && text.at(i) == u'\'';
        if (quoted)
            ++i;
        while (i < n) {
            const QChar c = text.at(i);
            if (quoted ? c == u'\'' : c.isSpace())
                break;
            if (c == u'\\' && i + 1 < n)
                ++i;
            else if (c == u';' && !quoted)
                semicolon = true;
            value += text.at(i++);
        }
        if (quoted)
            ++i;
        pairs.emplace_back(key, value);
    }
    return pairs;
}

} // namespace

bool isPostgresConnectString(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (isUri(trimmed))
        return true;
    // Blanks between pairs, and only libpq's own keys: an ODBC string ends its pairs in ';'
    // (which a bare value of a keyword string never holds) and names a driver or a data
    // source.
    bool whole = false;
    const auto pairs = keywordPairs(trimmed, &whole);
    bool named = false;
    for (const auto &[key, value] : pairs) {
        for (const char16_t *odbc : {u"driver", u"dsn", u"filedsn"}) {
            if (key.compare(QStringView(odbc), Qt::CaseInsensitive) == 0)
                return false;
        }
        for (const char16_t *known : {u"host", u"hostaddr", u"dbname", u"port", u"service"})
            named = named || key == QStringView(known);
    }
    return whole && named;
}

QString postgresPassword(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!isUri(trimmed)) {
        for (const auto &[key, value] : keywordPairs(trimmed)) {
            if (key == u"password")
                return value;
        }
        return {};
    }
    const qsizetype start = trimmed.indexOf(u"://") + 3;
    qsizetype end = start;
    while (end < trimmed.size() && trimmed.at(end) != u'/' && trimmed.at(end) != u'?')
        ++end;
    const QStringView authority = QStringView(trimmed).sliced(start, end - start);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QStringView user = authority.first(at);
        const qsizetype colon = user.indexOf(u':');
        if (colon >= 0)
            return percentDecoded(user.sliced(colon + 1));
    }
    const qsizetype query = trimmed.indexOf(u'?', end);
    if (query >= 0) {
        for (const QString &pair : trimmed.mid(query + 1).split(u'&')) {
            if (pair.startsWith(u"password="))
                return percentDecoded(QStringView(pair).sliced(9));
        }
    }
    return {};
}

} // namespace dw
