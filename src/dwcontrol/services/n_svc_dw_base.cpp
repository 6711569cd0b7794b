#include "n_svc_dw_base.h"

void n_svc_dw_base::of_register(dw::DataWindowControl *adw_client)
{
    idw_client = adw_client;
    of_initialize();
}

// A service handles only the events it overrides; every other one ends here.
long n_svc_dw_base::clicked(int, int, long, const dw::DwObjectRef &)
{
    return 0;
}
long n_svc_dw_base::doubleclicked(int, int, long, const dw::DwObjectRef &)
{
    return 0;
}
long n_svc_dw_base::rbuttondown(int, int, long, const dw::DwObjectRef &)
{
    return 0;
}
long n_svc_dw_base::mousemove(int, int, long, const dw::DwObjectRef &)
{
    return 0;
}
long n_svc_dw_base::rowfocuschanged(long)
{
    return 0;
}
long n_svc_dw_base::retrieveend(long)
{
    return 0;
}
long n_svc_dw_base::resize(quint32, int, int)
{
    return 0;
}
long n_svc_dw_base::other(quint32, qint64)
{
    return 0;
}
long n_svc_dw_base::columnlayoutchanged()
{
    return 0;
}
long n_svc_dw_base::columnautofit(const QString &)
{
    return 0;
}

long n_svc_dw_base::selectall()
{
    return 0;
}

long n_svc_dw_base::zoomchanged()
{
    return 0;
}
