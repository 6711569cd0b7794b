#include "expr/literal.h"

namespace dw {

QString quotedText(const QString &text, QChar quote)
{
    QString out;
    out.reserve(text.size() + 2);
    out += quote;
    for (const QChar c : text) {
        if (c == u'~' || c == u'"' || c == u'\'')
            out += u'~';
        out += c;
    }
    out += quote;
    return out;
}

} // namespace dw
