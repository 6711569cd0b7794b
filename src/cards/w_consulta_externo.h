#pragma once

#include "cardwindow.h"

#include <QPointer>

// The card of external members. Opened with
// rt::OpenWithParm(g_w_consulta_externo, ...); the member's id is the open parameter.
class w_consulta_externo : public CardWindow
{
    Q_OBJECT
public:
    explicit w_consulta_externo(QWidget *parent = nullptr);

protected:
    [[nodiscard]] dw::Value parameter() const override;
};

// The one w_consulta_externo window (null when closed).
extern QPointer<w_consulta_externo> g_w_consulta_externo;
