#include "w_consulta.h"

#include "message.h"

QPointer<w_consulta> g_w_consulta;

w_consulta::w_consulta(QWidget *parent) : CardWindow(QStringLiteral("dw_miembro"), parent) {}

dw::Value w_consulta::parameter() const
{
    return dw::Value(rt::Message().DoubleParm);
}
