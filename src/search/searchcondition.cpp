#include "searchcondition.h"

#include "text/accents.h"
#include "text/upper.h"

#include <array>

using namespace Qt::StringLiterals;

namespace search {
namespace {

struct Field
{
    QString caption;
    QString column;
};

const std::array<Field, 17> &fields()
{
    static const std::array<Field, 17> table{{
        {u"Nombre"_s, u"nombre"_s},
        {u"Grado académico"_s, u"grado_academico"_s},
        {u"Especialidad"_s, u"especialidad"_s},
        {u"SNI"_s, u"nivel_sni"_s},
        {u"Institución"_s, u"institucion"_s},
        {u"Entidad Federativa"_s, u"entidad_fed"_s},
        {u"e-mail"_s, u"email"_s},
        {u"Área de aplicación"_s, u"area_aplicacion"_s},
        {u"Subprograma Red"_s, u"subprograma_red"_s},
        {u"Proyectos"_s, u"proyectos"_s},
        {u"Enzimas"_s, u"enzimas"_s},
        {u"Tipo de Miembro"_s, u"tipo_miembro_red"_s},
        {u"Título de Tesis"_s, u"nombre_tesis"_s},
        {u"Empresa"_s, u"empresa"_s},
        {u"Razón Social"_s, u"razon_social"_s},
        {u"Tipo de Vinculación"_s, u"tipo_vinculacion"_s},
        {u"Instituciones Vinculación"_s, u"instituciones_vinculacion"_s},
    }};
    return table;
}

// The typed text inside the quoted pattern: upper-cased as the driver's ucase does it,
// and a quote doubled so it stays part of the text instead of ending the literal. % and
// _ stay wildcards.
QString pattern(const QString &text)
{
    QString upper = dw::upperText(text);
    upper.replace(u"'"_s, u"''"_s);
    return upper;
}

} // namespace

const QStringList &fieldCaptions()
{
    static const QStringList captions = [] {
        QStringList list;
        for (const Field &field : fields())
            list.append(field.caption);
        return list;
    }();
    return captions;
}

QString condition(bool anyField, const QString &fieldCaption, const QString &typed)
{
    // A text box's text ends at a NUL character, as it does on Windows.
    const QString text = typed.left(typed.indexOf(QChar()));
    const QString suffix = u"%'"_s;
    // Typed without accents, the text finds the accented spellings too: both sides compared
    // without them. A typed accent or ñ means exactly what was typed.
    const QString compare = dw::hasAccents(text) ? u"ucase"_s : u"sinacentos"_s;
    if (anyField) {
        if (text.isEmpty())
            return {};
        return u" where "_s + compare + u"(todo) like '%"_s + pattern(text) + suffix;
    }
    for (const Field &field : fields()) {
        if (field.caption == fieldCaption)
            return u" where "_s + compare + u"( "_s + field.column + u" ) like '%"_s + pattern(text) + suffix;
    }
    return {};
}

} // namespace search
