#pragma once

#include "cardwindow.h"

#include <QPointer>

// The card of researchers and committee members. Opened with
// rt::OpenWithParm(g_w_consulta, ...); the member's id is the open parameter.
class w_consulta : public CardWindow
{
    Q_OBJECT
public:
    explicit w_consulta(QWidget *parent = nullptr);

protected:
    [[nodiscard]] dw::Value parameter() const override;
};

// The one w_consulta window (null when closed).
extern QPointer<w_consulta> g_w_consulta;
