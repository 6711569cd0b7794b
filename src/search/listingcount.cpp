#include "listingcount.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace search {

namespace {

QString number(long n)
{
    return QLocale(QLocale::Spanish, QLocale::Mexico).toString(qlonglong(n));
}

QString members(long n)
{
    return n == 1 ? u"miembro"_s : u"miembros"_s;
}

} // namespace

QString countText(bool searched, long listed, long hidden)
{
    if (!searched)
        return {};
    if (listed == 0 && hidden == 0)
        return u"Ningún miembro coincide con la búsqueda"_s;
    if (hidden > 0) {
        const long total = listed + hidden;
        return u"%1 de %2 %3 (filtro activo)"_s.arg(number(listed), number(total), members(total));
    }
    return number(listed) + u' ' + members(listed);
}

QString readingText(long read)
{
    if (read <= 0)
        return u"Leyendo…"_s;
    return u"Leyendo… %1 %2"_s.arg(number(read), members(read));
}

QString stoppedText(long listed, long hidden)
{
    const long read = listed + hidden;
    const QString leidos = read == 1 ? u"leído"_s : u"leídos"_s;
    if (hidden == 0)
        return u"Lectura detenida: %1 %2 %3"_s.arg(number(read), members(read), leidos);
    return u"Lectura detenida: %1 de %2 %3 %4 (filtro activo)"_s.arg(number(listed), number(read),
                                                                     members(read), leidos);
}

} // namespace search
