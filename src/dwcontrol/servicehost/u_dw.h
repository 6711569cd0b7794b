#pragma once

#include "datawindowcontrol.h"
#include "n_svc_base.h"

class n_svc_dw_gridstyle;
class n_svc_dw_selectrow;

// The data window control that hosts services. Its constructor event binds it to the
// program's transaction (SQLCA); of_startservice creates a service by name and from
// then on the control forwards its events to it.
class u_dw : public dw::DataWindowControl
{
    Q_OBJECT
public:
    explicit u_dw(QWidget *parent = nullptr);
    ~u_dw() override;

    // The services started, null before; the control owns them.
    [[nodiscard]] n_svc_dw_gridstyle *isrv_gridstyle() const { return m_gridstyle.get(); }
    [[nodiscard]] n_svc_dw_selectrow *isrv_select() const { return m_select.get(); }

    // "gridstyle" or "select", in any letter case; false (nothing started) otherwise.
    // A repeated start replaces the service; only the new one receives events.
    virtual bool of_startservice(const QString &as_servicename);

    void constructor() override;
    long clicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long doubleclicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long rbuttondown(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long mousemove(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long rowfocuschanged(long currentrow) override;
    long retrieveend(long rowcount) override;
    using dw::DataWindowControl::resize;
    long resize(quint32 sizetype, int newwidth, int newheight) override;
    long other(quint32 wparam, qint64 lparam) override;
    long columnlayoutchanged() override;
    long columnautofit(const QString &column) override;
    long selectall() override;
    long zoomchanged() override;

protected:
    // What of_startservice creates for each name; a descendant may hand out a service
    // derived from it.
    [[nodiscard]] virtual n_svc_base::Ptr<n_svc_dw_gridstyle> createGridstyle();
    [[nodiscard]] virtual n_svc_base::Ptr<n_svc_dw_selectrow> createSelect();

private:
    n_svc_base::Ptr<n_svc_dw_gridstyle> m_gridstyle;
    n_svc_base::Ptr<n_svc_dw_selectrow> m_select;
};
