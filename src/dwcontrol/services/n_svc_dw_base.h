#pragma once

#include "n_svc_base.h"

#include "datawindow.h"

namespace dw {
class DataWindowControl;
}

// The base of services that serve one data window control. The control owns the
// service; the service keeps a non-owning reference to it. Every event a control may
// forward has an empty default here, so a service handles only its own.
class n_svc_dw_base : public n_svc_base
{
    Q_OBJECT
public:
    using n_svc_base::n_svc_base;

    dw::DataWindowControl *idw_client = nullptr;

    // Stores the control and runs the (dispatched) set-up.
    virtual void of_register(dw::DataWindowControl *adw_client);

    virtual long clicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo);
    virtual long doubleclicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo);
    virtual long rbuttondown(int xpos, int ypos, long row, const dw::DwObjectRef &dwo);
    virtual long mousemove(int xpos, int ypos, long row, const dw::DwObjectRef &dwo);
    virtual long rowfocuschanged(long currentrow);
    virtual long retrieveend(long rowcount);
    virtual long resize(quint32 sizetype, int newwidth, int newheight);
    virtual long other(quint32 wparam, qint64 lparam);
    virtual long columnlayoutchanged();
    virtual long columnautofit(const QString &as_column);
    // The user asked for every row to be selected (Ctrl+A).
    virtual long selectall();
    // The control's zoom changed.
    virtual long zoomchanged();
};
