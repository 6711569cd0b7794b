#include "w_consulta_estudiante.h"

#include "documentfolder.h"
#include "message.h"

QPointer<w_consulta_estudiante> g_w_consulta_estudiante;

w_consulta_estudiante::w_consulta_estudiante(QWidget *parent)
    : CardWindow(QStringLiteral("dw_miembro_estudiante"), parent)
{}

dw::Value w_consulta_estudiante::parameter() const
{
    return dw::Value(rt::Message().StringParm);
}

CardWindow::DocumentNames w_consulta_estudiante::documentNames() const
{
    const QString level = parameter().toText().simplified();
    return {QStringLiteral("Estudiantes: ") + level,
            QStringLiteral("ficha-estudiantes-") + dw::safeFileBaseName(level, QStringLiteral("nivel"))};
}
