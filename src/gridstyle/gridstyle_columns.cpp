// The column widths and order the user gives the grid with the mouse, and the columns
// the user hides, remembered per user and per data window object and given back at the
// next start.
#include "n_svc_dw_gridstyle.h"

#include "columnorder.h"
#include "datawindowcontrol.h"

using namespace Qt::StringLiterals;

namespace {

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
    QStringList hidden;
    for (const dw::GridColumn &column : ic_designed) {
        if (!order.contains(column.name, Qt::CaseInsensitive))
            hidden.append(column.name);
    }
    of_setreg(widths_entry, widths.join(u';'));
    of_setreg(order_entry, order.join(u','));
    of_setreg(hidden_entry, hidden.join(u','));
    return 0;
}

QString n_svc_dw_gridstyle::designedName(const QString &as_colname) const
{
    for (const dw::GridColumn &column : ic_designed) {
        if (column.name.compare(as_colname.trimmed(), Qt::CaseInsensitive) == 0)
            return column.name;
    }
    return {};
}

QStringList n_svc_dw_gridstyle::designedNames() const
{
    QStringList names;
    for (const dw::GridColumn &column : ic_designed)
        names.append(column.name);
    return names;
}

void n_svc_dw_gridstyle::showOnly(const QStringList &as_shown)
{
    for (const dw::GridColumn &column : ic_designed) {
        if (!as_shown.contains(column.name, Qt::CaseInsensitive))
            idw_client->Modify(column.name + u".Visible='0'"_s);
    }
    for (const QString &name : as_shown) {
        if (idw_client->Describe(name + u".Visible"_s) == u"1"_s)
            continue;
        idw_client->Modify(name + u".Visible='1'"_s);
        // Header lines are made for the columns that show when the style is set; one hidden
        // then gets its own when it shows, in its new place.
        if (ib_highlite_added && idw_client->Describe(name + hline_suffix + u"1.Name"_s) == u"!"_s)
            of_headerline(name);
    }
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
    const QString widths = storedValue(widths_entry, QString());
    const QString order = storedValue(order_entry, QString());
    const QString hidden = storedValue(hidden_entry, QString());
    if (widths.isEmpty() && order.isEmpty() && hidden.isEmpty())
        return;
    const dw::RedrawSuspender redraw(*idw_client);

    // Hidden first: the widths and the order are those of the columns that show. A list
    // that would hide every column is not the user's (the chooser keeps one).
    QStringList shown = designedNames();
    for (const QString &name : hidden.split(u',', Qt::SkipEmptyParts))
        shown.removeAll(designedName(name));
    if (!shown.isEmpty())
        showOnly(shown);

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
