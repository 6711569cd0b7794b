// The columns the user chooses to see, through the column chooser of the context menu,
// and the way back to the designed columns.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "interaction.h"

using namespace Qt::StringLiterals;

void n_svc_dw_gridstyle::of_choosecolumns()
{
    if (!idw_client)
        return;
    // Listed in the order the grid will show them: the visible columns as they stand, then
    // the hidden ones, which join at the right end when they show again.
    QList<dw::ColumnChoice> choices;
    for (const dw::GridColumn &column : dw::visibleColumns(idw_client->model())) {
        const QString name = designedName(column.name);
        if (!name.isEmpty())
            choices.append({name, of_getcoldesc(name, true), true});
    }
    for (const dw::GridColumn &column : ic_designed) {
        if (idw_client->Describe(column.name + u".Visible"_s) != u"1"_s)
            choices.append({column.name, of_getcoldesc(column.name, true), false});
    }

    // The dialog paints over a live grid.
    idw_client->SetRedraw(true);
    switch (dw::interaction().chooseColumns(idw_client, choices)) {
    case dw::ColumnsAnswer::Confirmed: {
        QStringList visible;
        for (const dw::ColumnChoice &choice : std::as_const(choices)) {
            if (choice.visible)
                visible.append(choice.name);
        }
        of_showcolumns(visible);
        break;
    }
    case dw::ColumnsAnswer::Reset:
        of_resetcolumns();
        break;
    case dw::ColumnsAnswer::Cancelled:
        break;
    }
}

void n_svc_dw_gridstyle::of_showcolumns(const QStringList &as_visible)
{
    if (!idw_client)
        return;
    QStringList shown;
    for (const QString &name : as_visible) {
        const QString designed = designedName(name);
        if (!designed.isEmpty() && !shown.contains(designed))
            shown.append(designed);
    }
    if (shown.isEmpty())
        return;
    const dw::RedrawSuspender redraw(*idw_client);
    // The sort indicators are made again for the columns that show now.
    of_delvisuals();
    showOnly(shown);
    of_addvisuals();
    columnlayoutchanged();
}

void n_svc_dw_gridstyle::of_resetcolumns()
{
    if (!idw_client || ic_designed.empty())
        return;
    {
        const dw::RedrawSuspender redraw(*idw_client);
        of_delvisuals();
        showOnly(designedNames());
        for (const dw::GridColumn &column : ic_designed)
            idw_client->Modify(column.name + u".Width="_s + QString::number(column.width));
        // With the designed widths, each column goes back to its designed place.
        const QString places = dw::placeCommands(idw_client->model(), ic_designed);
        if (!places.isEmpty())
            idw_client->Modify(places);
        of_addvisuals();
    }
    for (const QString &entry : {widths_entry, order_entry, hidden_entry})
        of_setreg(entry, QString());
}
