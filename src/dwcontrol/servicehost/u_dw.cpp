#include "u_dw.h"

#include "globals.h"
#include "n_svc_dw_gridstyle.h"
#include "n_svc_dw_selectrow.h"

using namespace Qt::StringLiterals;

u_dw::u_dw(QWidget *parent) : dw::DataWindowControl(parent)
{
    Resize(686, 400);
    setLiveScroll(true);
}

// The services go before the control they serve.
u_dw::~u_dw()
{
    m_gridstyle.reset();
    m_select.reset();
}

bool u_dw::of_startservice(const QString &as_servicename)
{
    const QString name = as_servicename.toLower();
    // No test for a service already running: the new one replaces it, and the old one
    // is released here, so it can receive no further event.
    if (name == u"gridstyle"_s) {
        m_gridstyle = createGridstyle();
        m_gridstyle->of_register(this);
        return true;
    }
    if (name == u"select"_s) {
        m_select = createSelect();
        m_select->of_register(this);
        return true;
    }
    return false;
}

n_svc_base::Ptr<n_svc_dw_gridstyle> u_dw::createGridstyle()
{
    return n_svc_base::create<n_svc_dw_gridstyle>();
}

n_svc_base::Ptr<n_svc_dw_selectrow> u_dw::createSelect()
{
    return n_svc_base::create<n_svc_dw_selectrow>();
}

void u_dw::constructor()
{
    dw::DataWindowControl::constructor();
    SetTransObject(rt::SQLCA());
}

long u_dw::clicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    const long result = dw::DataWindowControl::clicked(xpos, ypos, row, dwo);
    // The grid style sorts on a heading click before the selection sees the click.
    if (m_gridstyle)
        m_gridstyle->clicked(xpos, ypos, row, dwo);
    if (m_select)
        m_select->clicked(xpos, ypos, row, dwo);
    return result;
}

long u_dw::doubleclicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    const long result = dw::DataWindowControl::doubleclicked(xpos, ypos, row, dwo);
    if (m_select)
        m_select->doubleclicked(xpos, ypos, row, dwo);
    return result;
}

long u_dw::rbuttondown(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    const long result = dw::DataWindowControl::rbuttondown(xpos, ypos, row, dwo);
    if (m_gridstyle)
        m_gridstyle->rbuttondown(xpos, ypos, row, dwo);
    return result;
}

long u_dw::mousemove(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    const long result = dw::DataWindowControl::mousemove(xpos, ypos, row, dwo);
    if (m_gridstyle)
        m_gridstyle->mousemove(xpos, ypos, row, dwo);
    return result;
}

long u_dw::rowfocuschanged(long currentrow)
{
    const long result = dw::DataWindowControl::rowfocuschanged(currentrow);
    if (m_select)
        m_select->rowfocuschanged(currentrow);
    return result;
}

long u_dw::retrieveend(long rowcount)
{
    const long result = dw::DataWindowControl::retrieveend(rowcount);
    if (m_gridstyle)
        m_gridstyle->retrieveend(rowcount);
    return result;
}

long u_dw::resize(quint32 sizetype, int newwidth, int newheight)
{
    const long result = dw::DataWindowControl::resize(sizetype, newwidth, newheight);
    if (m_gridstyle)
        m_gridstyle->resize(sizetype, newwidth, newheight);
    return result;
}

long u_dw::other(quint32 wparam, qint64 lparam)
{
    const long result = dw::DataWindowControl::other(wparam, lparam);
    if (m_gridstyle)
        m_gridstyle->other(wparam, lparam);
    return result;
}

long u_dw::columnlayoutchanged()
{
    const long result = dw::DataWindowControl::columnlayoutchanged();
    if (m_gridstyle)
        m_gridstyle->columnlayoutchanged();
    return result;
}

long u_dw::columnautofit(const QString &column)
{
    const long result = dw::DataWindowControl::columnautofit(column);
    if (m_gridstyle)
        m_gridstyle->columnautofit(column);
    return result;
}

long u_dw::selectall()
{
    const long result = dw::DataWindowControl::selectall();
    // Every row through the row selection, so its style decides and Ctrl+C copies them.
    if (m_select)
        m_select->selectall();
    return result;
}

long u_dw::zoomchanged()
{
    const long result = dw::DataWindowControl::zoomchanged();
    if (m_gridstyle)
        m_gridstyle->zoomchanged();
    return result;
}
