#include "db/connectstring.h"

namespace dw {

namespace {

void skipBlanks(const QString &text, qsizetype &i)
{
    while (i < text.size() && text.at(i).isSpace())
        ++i;
}

// Reads an enclosed value from just after its opening character up to `close`, where a
// doubled `close` stands for itself; `i` ends after the closing character (or at the end).
QString readEnclosed(const QString &text, qsizetype &i, QChar close)
{
    QString value;
    while (i < text.size()) {
        if (text.at(i) == close) {
            if (i + 1 < text.size() && text.at(i + 1) == close) {
                value += close;
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        value += text.at(i++);
    }
    return value;
}

} // namespace

ConnectString::ConnectString(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype equals = text.indexOf(u'=', i);
        const qsizetype semicolon = text.indexOf(u';', i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // A fragment without '=' carries nothing; skip it.
            if (semicolon < 0)
                break;
            i = semicolon + 1;
            continue;
        }
        const QString key = text.mid(i, equals - i).trimmed();
        i = equals + 1;
        QString value;
        qsizetype probe = i;
        skipBlanks(text, probe);
        if (probe < n && text.at(probe) == u'{') {
            i = probe + 1;
            value = readEnclosed(text, i, u'}');
            const qsizetype next = text.indexOf(u';', i);
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = text.indexOf(u';', i);
            value = text.mid(i, next < 0 ? -1 : next - i);
            i = next < 0 ? n : next + 1;
        }
        if (!key.isEmpty())
            m_pairs.emplace_back(key, value);
    }
}

std::optional<QString> ConnectString::value(const QString &key) const
{
    // The first occurrence wins, as with the ODBC driver manager.
    for (const auto &[name, value] : m_pairs) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

QString dbParmValue(const QString &dbParm, const QString &name)
{
    qsizetype i = 0;
    const qsizetype n = dbParm.size();
    while (i < n) {
        skipBlanks(dbParm, i);
        const qsizetype equals = dbParm.indexOf(u'=', i);
        if (equals < 0)
            break;
        const QString key = dbParm.mid(i, equals - i).trimmed();
        i = equals + 1;
        skipBlanks(dbParm, i);
        QString value;
        if (i < n && (dbParm.at(i) == u'\'' || dbParm.at(i) == u'"')) {
            const QChar quote = dbParm.at(i++);
            value = readEnclosed(dbParm, i, quote);
            const qsizetype comma = dbParm.indexOf(u',', i);
            i = comma < 0 ? n : comma + 1;
        } else {
            const qsizetype comma = dbParm.indexOf(u',', i);
            value = dbParm.mid(i, comma < 0 ? -1 : comma - i).trimmed();
            i = comma < 0 ? n : comma + 1;
        }
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value.isNull() ? QStringLiteral("") : value;
    }
    return {};
}

} // namespace dw
