#pragma once

#include "cardwindow.h"

#include <QPointer>

// The card of students; it lists every student of the level. Opened with
// rt::OpenWithParm(g_w_consulta_estudiante, ...); the academic level is the open parameter.
class w_consulta_estudiante : public CardWindow
{
    Q_OBJECT
public:
    explicit w_consulta_estudiante(QWidget *parent = nullptr);

protected:
    [[nodiscard]] dw::Value parameter() const override;
    // "Estudiantes: <nivel>", "ficha-estudiantes-<nivel>".
    [[nodiscard]] DocumentNames documentNames() const override;
};

// The one w_consulta_estudiante window (null when closed).
extern QPointer<w_consulta_estudiante> g_w_consulta_estudiante;
