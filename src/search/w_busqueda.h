#pragma once

#include "window.h"

#include <QPointer>

// The main window: searches the member directory and opens members' cards.
class w_busqueda : public rt::Window
{
    Q_OBJECT
public:
    explicit w_busqueda(QWidget *parent = nullptr);
};

// The one open search window (null when closed).
extern QPointer<w_busqueda> g_w_busqueda;
