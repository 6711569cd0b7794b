// The column widths and order the user gives the grid with the mouse, remembered per
// user and per data window object and given back at the next start.
#include "n_svc_dw_gridstyle.h"

#include "columnorder.h"
#include "datawindowcontrol.h"

using namespace Qt::StringLiterals;

namespace {

const QString widthsEntry = u"columnwidths"_s;
const QString orderEntry = u"columnorder"_s;
// Narrower or wider than this a remembered width is not the user's but garbage.
constexpr int kNarrowest = 20;
constexpr int kWidest = 100000;

} // namespace

long n_svc_dw_gridstyle::columnlayoutchanged()
{
    if (!idw_client || idw_client->dataobject().isEmpty())
        return 0;
    QStringList widths;
    QStringList order;
    for (const dw::GridColumn &column : dw::visibleColumns(idw_client->model())) {
        widths.append(column.name + u'=' + QString::number(column.width));
        order.append(column.name);
    }
    of_setreg(widthsEntry, widths.join(u';'));
    of_setreg(orderEntry, order.join(u','));
    return 0;
}

long n_svc_dw_gridstyle::columnautofit(const QString &as_column)
{
    if (!idw_client)
        return 0;
    // Exactly what the heading and the widest value need, narrower than the design too.
    const Fit fit = measureWidth(as_column);
    if (fit.measured && fit.units > 0)
        idw_client->Modify(as_column + u".Width="_s + QString::number(fit.units));
    return 0;
}

void n_svc_dw_gridstyle::of_restorecolumns()
{
    const QString widths = storedValue(widthsEntry, QString());
    const QString order = storedValue(orderEntry, QString());
    if (widths.isEmpty() && order.isEmpty())
        return;
    const dw::RedrawSuspender redraw(*idw_client);

    const auto isVisibleColumn = [this](const QString &name) {
        return !name.isEmpty() && idw_client->model().columnNumber(name) > 0
            && idw_client->Describe(name + u".Visible"_s) == u"1"_s;
    };
    for (const QString &entry : widths.split(u';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u'=', 0, 0).trimmed();
        bool ok = false;
        const int width = entry.section(u'=', 1).trimmed().toInt(&ok);
        if (ok && width >= kNarrowest && width <= kWidest && isVisibleColumn(name))
            idw_client->Modify(name + u".Width="_s + QString::number(width));
    }

    QStringList names;
    for (const QString &name : order.split(u',', Qt::SkipEmptyParts)) {
        if (isVisibleColumn(name.trimmed()))
            names.append(name.trimmed());
    }
    const QString commands = dw::arrangeCommands(idw_client->model(), names);
    if (!commands.isEmpty())
        idw_client->Modify(commands);
}
