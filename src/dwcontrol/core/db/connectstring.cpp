#include "db/connectstring.h"

#include "db/pgconnectstring.h"

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

// Where a bare value quoted inside a message ends: at the pair's ';', a quote or a blank.
bool endsBareValue(QChar c)
{
    return c == u';' || c == u'\'' || c == u'"' || c.isSpace();
}

bool isPasswordKey(QStringView key)
{
    return key.compare(u"PWD", Qt::CaseInsensitive) == 0
        || key.compare(u"PASSWORD", Qt::CaseInsensitive) == 0;
}

bool isKeyCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
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

QString withoutPassword(QString text, const QString &connectString)
{
    const QString mask = QStringLiteral("****");
    // Every password pair the message quotes, read the way a connect string is read.
    for (qsizetype equals = text.indexOf(u'='); equals >= 0; equals = text.indexOf(u'=', equals + 1)) {
        qsizetype keyEnd = equals;
        while (keyEnd > 0 && text.at(keyEnd - 1).isSpace())
            --keyEnd;
        qsizetype keyStart = keyEnd;
        while (keyStart > 0 && isKeyCharacter(text.at(keyStart - 1)))
            --keyStart;
        if (!isPasswordKey(QStringView(text).sliced(keyStart, keyEnd - keyStart)))
            continue;
        qsizetype start = equals + 1;
        skipBlanks(text, start);
        qsizetype end = start;
        if (end < text.size() && text.at(end) == u'{') {
            ++end;
            readEnclosed(text, end, u'}');
        } else {
            while (end < text.size() && !endsBareValue(text.at(end)))
                ++end;
        }
        text.replace(start, end - start, mask);
        equals = start + mask.size() - 1;
    }
    // The password itself wherever the driver repeats it.
    const ConnectString parts(connectString);
    for (const QString &key : {QStringLiteral("PWD"), QStringLiteral("PASSWORD")}) {
        const QString password = parts.value(key).value_or(QString()).trimmed();
        if (!password.isEmpty())
            text.replace(password, mask);
    }
    if (isPostgresConnectString(connectString)) {
        const QString password = postgresPassword(connectString);
        if (!password.isEmpty())
            text.replace(password, mask);
    }
    return text;
}

} // namespace dw
