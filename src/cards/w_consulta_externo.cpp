#include "w_consulta_externo.h"

#include "message.h"

QPointer<w_consulta_externo> g_w_consulta_externo;

w_consulta_externo::w_consulta_externo(QWidget *parent)
    : CardWindow(QStringLiteral("dw_miembro_externo"), parent)
{}

dw::Value w_consulta_externo::parameter() const
{
    return dw::Value(rt::Message().DoubleParm);
}
