#include "w_busqueda.h"

QPointer<w_busqueda> g_w_busqueda;

w_busqueda::w_busqueda(QWidget *parent)
    : rt::Window(parent)
{
    setTitle(QStringLiteral("Consulta de Directorio"));
    setUnitsSize(5001, 2128, true);
    setBackColor(67108864); // the system's button-face colour
    setIconName(QStringLiteral("AppIcon!"));
    createControls();
}
