#pragma once

#include "n_svc_dw_base.h"

// Selects rows of the served control following clicks, double clicks and row focus
// changes: "single" keeps one row selected; "extend" adds Ctrl (toggle one row) and
// Shift (add the range from the anchor) to plain clicks. Any other style selects
// nothing on clicks and focus changes.
class n_svc_dw_selectrow : public n_svc_dw_base
{
    Q_OBJECT
public:
    using n_svc_dw_base::n_svc_dw_base;

    // Always lower case; empty until of_setselectstyle.
    QString is_style;
    // Anchor of Shift ranges: the last plain click, or the row last given focus where
    // focus changes are forwarded; 0 before either.
    long il_start = 0;

    virtual void of_setselectstyle(const QString &as_style);
    virtual void of_select_single(long al_row);
    virtual void of_select_extend(long al_row, bool ab_ctrl, bool ab_shift);

    long clicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long doubleclicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long rowfocuschanged(long currentrow) override;
    // "extend" selects every row, as Shift+click from the first row to the last would;
    // "single" keeps its one row, and any other style selects nothing.
    long selectall() override;
};
