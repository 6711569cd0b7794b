#include "w_consulta_estudiante.h"

#include "message.h"

QPointer<w_consulta_estudiante> g_w_consulta_estudiante;

w_consulta_estudiante::w_consulta_estudiante(QWidget *parent)
    : CardWindow(QStringLiteral("dw_miembro_estudiante"), parent)
{}

dw::Value w_consulta_estudiante::parameter() const
{
    return dw::Value(rt::Message().StringParm);
}
