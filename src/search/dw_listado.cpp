#include "dw_listado.h"

#include "n_svc_dw_gridstyle.h"
#include "n_svc_dw_selectrow.h"
#include "w_consulta.h"
#include "w_consulta_estudiante.h"
#include "w_consulta_externo.h"

using namespace Qt::StringLiterals;

namespace search {

dw_listado::dw_listado(ConditionSource condition, QWidget *parent)
    : u_dw(parent)
    , m_condition(std::move(condition))
{}

void dw_listado::constructor()
{
    u_dw::constructor();
    // Every feature of the grid style, extended selection; nothing is retrieved until
    // the first search.
    if (of_startservice(u"GridStyle"_s))
        isrv_gridstyle()->of_setstyle(true, true, true, true);
    if (of_startservice(u"Select"_s))
        isrv_select()->of_setselectstyle(u"extend"_s);
}

long dw_listado::sqlpreview(int request, int sqltype, const QString &sqlsyntax, int buffer, long row)
{
    const long result = u_dw::sqlpreview(request, sqltype, sqlsyntax, buffer, row);
    // The request type is not looked at: this grid only ever previews its SELECT.
    const QString ls_filtro = m_condition ? m_condition() : QString();
    SetSQLPreview(sqlsyntax + ls_filtro);
    return result;
}

long dw_listado::doubleclicked(int, int, long row, const dw::DwObjectRef &)
{
    if (row <= 0) // the header or empty space
        return 0;
    // The member type decides the card; the comparisons are exact, so a type that
    // differs in case or blanks, or a null one, opens nothing.
    const QString ls_tipomiembro = GetItemString(row, u"tipo_miembro_red"_s);
    const std::optional<double> id = GetItemNumber(row, u"id"_s);
    if ((ls_tipomiembro == u"Miembro Investigador"_s || ls_tipomiembro == u"Miembro del CTA"_s) && id)
        rt::OpenWithParm(g_w_consulta, *id);
    if (ls_tipomiembro == u"Miembro Estudiante"_s)
        rt::OpenWithParm(g_w_consulta_estudiante, GetItemString(row, u"grado_academico"_s));
    if (ls_tipomiembro == u"Miembro Externo"_s && id)
        rt::OpenWithParm(g_w_consulta_externo, *id);
    return 0;
}

long dw_listado::rowfocuschanged(long)
{
    return 0;
}

} // namespace search
