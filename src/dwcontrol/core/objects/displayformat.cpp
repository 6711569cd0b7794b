#include "objects/displayformat.h"

#include <QRegularExpression>

#include <cmath>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

bool isMaskChar(QChar c)
{
    return c == u'0' || c == u'#' || c == u',' || c == u'.';
}

QString numberMask(double number, const QString &format)
{
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'0' || format[i] == u'#') {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    const QString mask = format.mid(first, last - first + 1);
    const qsizetype point = mask.indexOf(u'.');
    const int decimals = point < 0 ? 0 : int(mask.size() - point - 1);
    const bool grouped = mask.left(point < 0 ? mask.size() : point).contains(u',');

    QString digits = QString::number(std::fabs(number), 'f', decimals);
    if (grouped) {
        const qsizetype dot = digits.indexOf(u'.');
        for (qsizetype i = (dot < 0 ? digits.size() : dot) - 3; i > 0; i -= 3)
            digits.insert(i, u',');
    }
    const bool negative = number < 0 && digits.contains(QRegularExpression(u"[1-9]"_s));
    return format.left(first) + (negative ? u"-"_s : QString()) + digits + format.mid(last + 1);
}

QString textMask(const QString &text, const QString &format)
{
    QString out;
    qsizetype next = 0;
    for (const QChar c : format) {
        if (c == u'@')
            out += next < text.size() ? text[next++] : u' ';
        else
            out += c;
    }
    return out;
}

} // namespace

QString formatValue(const Value &value, const QString &format)
{
    if (value.isNull())
        return u""_s;
    const QString f = format.trimmed();
    if (f.isEmpty() || f == u"?" || f.compare(u"[general]", Qt::CaseInsensitive) == 0)
        return value.toText();
    if (value.isNumber()) {
        bool mask = false;
        for (const QChar c : f) {
            if (c == u'0' || c == u'#')
                mask = true;
            else if (!isMaskChar(c) && c.isLetter())
                return value.toText(); // dates and other formats: the default text
        }
        return mask ? numberMask(value.toNumber(), f) : value.toText();
    }
    if (f.contains(u'@'))
        return textMask(value.toText(), f);
    return value.toText();
}

} // namespace dw
