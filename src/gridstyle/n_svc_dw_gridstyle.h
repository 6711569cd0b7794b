#pragma once

#include "n_svc_dw_base.h"

// The grid style service (styled headings, heading sort with indicators, heading
// highlight, remembered sort, context menu commands, column widths).
class n_svc_dw_gridstyle : public n_svc_dw_base
{
    Q_OBJECT
public:
    using n_svc_dw_base::n_svc_dw_base;

    virtual void of_setstyle(bool ab_popupmenu, bool ab_arrow, bool ab_shade, bool ab_highlite)
    {
        Q_UNUSED(ab_popupmenu); Q_UNUSED(ab_arrow); Q_UNUSED(ab_shade); Q_UNUSED(ab_highlite);
    }
};
