// The heading under the pointer is highlighted: a warm off-white text background, a dark
// caption and orange header lines. The highlight follows the pointer and goes when it
// leaves.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "m_svc_dwgridstyle_popup.h"
#include "units.h"

using namespace Qt::StringLiterals;

void n_svc_dw_gridstyle::restoreHeading(const QString &as_col)
{
    idw_client->Modify(as_col + u"_t.background.color="_s + is_prevcolor);
    for (int i = 1; i <= 3; ++i)
        idw_client->Modify(as_col + hline_suffix + QString::number(i) + u".background.color="_s
                           + is_graycolor[i - 1]);
    idw_client->Modify(as_col + u"_t.color="_s + is_prevtextcolor);
    // A sort made while the heading was highlighted made its arrow for the highlight.
    idw_client->Modify(as_col + arrow_suffix + u".color="_s + arrowColour(as_col));
}

void n_svc_dw_gridstyle::highlightHeading(const QString &as_col)
{
    is_prevcolumn = as_col;
    // Kept as reported, so a conditional colour comes back exactly as it was.
    is_prevcolor = idw_client->Describe(as_col + u"_t.background.color"_s);
    idw_client->Modify(as_col + u"_t.background.color="_s + highlite_color);
    for (int i = 1; i <= 3; ++i)
        idw_client->Modify(as_col + hline_suffix + QString::number(i) + u".background.color="_s
                           + is_orangecolor[i - 1]);
    // The headings' own caption colour (white on teal) would vanish on the highlight:
    // the caption and the arrow turn dark while the pointer is there.
    is_prevtextcolor = idw_client->Describe(as_col + u"_t.color"_s);
    idw_client->Modify(as_col + u"_t.color="_s + highlite_textcolor);
    idw_client->Modify(as_col + arrow_suffix + u".color="_s + arrowColour(as_col));
}

long n_svc_dw_gridstyle::mousemove(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    Q_UNUSED(xpos);
    Q_UNUSED(ypos);
    Q_UNUSED(row);
    if (!ib_mouseover)
        of_trackmouseevent(true);
    if (!ib_highlite || !idw_client)
        return 0;

    // Anything but a header text takes the highlight away.
    if (dwo.type != u"text"_s || dwo.band != u"header"_s) {
        if (!is_prevcolumn.isEmpty())
            restoreHeading(is_prevcolumn);
        is_prevcolumn = QStringLiteral("");
        return 0;
    }

    const QString name = dwo.name;
    // The header lines of any column keep the highlight where it is.
    const QString tail = name.right(7);
    if (tail == u"_hline1"_s || tail == u"_hline2"_s || tail == u"_hline3"_s)
        return 0;

    QString col = QStringLiteral("");
    if (name.endsWith(arrow_suffix))
        col = name.chopped(arrow_suffix.length());
    if (name.endsWith(u"_t"_s))
        col = name.chopped(2);

    // Still on the same heading or its arrow: no data window work at all.
    if (col == is_prevcolumn)
        return 0;
    if (!is_prevcolumn.isEmpty())
        restoreHeading(is_prevcolumn);
    if (col.isEmpty()) {
        is_prevcolumn = QStringLiteral("");
        return 0;
    }
    highlightHeading(col);
    return 0;
}

long n_svc_dw_gridstyle::other(quint32 wparam, qint64 lparam)
{
    Q_UNUSED(wparam);
    Q_UNUSED(lparam);
    // The message being handled decides, not the arguments.
    if (idw_client && idw_client->currentMessage() == wm_mouseleave)
        return mouseleave();
    return 0;
}

long n_svc_dw_gridstyle::mouseleave()
{
    if (ib_mouseover)
        of_trackmouseevent(false);
    if (!ib_highlite || !idw_client)
        return 0;
    if (!is_prevcolumn.isEmpty())
        restoreHeading(is_prevcolumn);
    is_prevcolumn = QStringLiteral("");
    return 0;
}

void n_svc_dw_gridstyle::of_trackmouseevent(bool ab_mousetracking)
{
    // The control reports the pointer leaving without being asked (Qt's leave event
    // arrives as message 675), so there is no request to send: only whether one is
    // wanted is kept, so that the next movement after a leave or a right click asks again.
    ib_mouseover = ab_mousetracking;
}

long n_svc_dw_gridstyle::rbuttondown(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    // The menu takes the pointer away from the grid; the highlight stays until the
    // next movement or leave.
    if (ib_mouseover)
        of_trackmouseevent(false);
    if (!ib_popupmenu || !idw_client)
        return 0;

    {
        m_svc_dwgridstyle_popup menu;
        menu.mf_register(this, row, dwo.name);
        // At the pointer: the event's position within the control, on the screen.
        const QPoint pixel(qRound(dw::units::toPixelsX(xpos, idw_client->logicalDpiX())),
                           qRound(dw::units::toPixelsY(ypos, idw_client->logicalDpiY())));
        menu.popAt(idw_client->mapToGlobal(pixel));
    } // the chosen command has run; the menu goes now
    // Whatever the command left, the grid paints again once its menu is gone.
    idw_client->SetRedraw(true);
    return 0;
}
