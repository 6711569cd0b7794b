// Creation, set-up, the style switch, the header lines and the settings of the grid
// style service.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "definitetext.h"
#include "themequery.h"

#include <QDebug>

using namespace Qt::StringLiterals;

namespace {

// A colour as the data window takes it: the decimal text of red + 256 green + 65536 blue.
QString rgbText(int red, int green, int blue)
{
    return QString::number(red + 256 * green + 65536 * blue);
}

} // namespace

n_svc_dw_gridstyle::n_svc_dw_gridstyle(QObject *parent) : n_svc_dw_base(parent)
{
    // Without themes the resting lines are invisible and only the orange highlight shows.
    if (gridstyle::isThemeActive())
        is_graycolor = {rgbText(203, 199, 184), rgbText(214, 210, 194), rgbText(226, 222, 205)};
    else
        is_graycolor = {transparent, transparent, transparent};
    is_orangecolor = {rgbText(207, 114, 37), rgbText(227, 145, 79), rgbText(227, 150, 88)};
}

void n_svc_dw_gridstyle::of_initialize()
{
    iw_parent = of_getwindow(idw_client);
    if (!idw_client || idw_client->dataobject().length() < 1)
        return;

    is_original_sort = gridstyle::definite(idw_client->Describe(QStringLiteral("Datawindow.Table.Sort")));
    is_original_filter = idw_client->Describe(QStringLiteral("Datawindow.Table.Filter"));
    if (is_original_filter == u"?"_s)
        is_original_filter = QStringLiteral("");
    is_original_filter = gridstyle::definite(is_original_filter);

    // The remembered sort, or the designed one. It only takes effect at the next
    // retrieval or sort; a stored text the data window cannot read changes nothing.
    is_sort = gridstyle::definite(storedValue(QStringLiteral("sortorder"), is_original_sort));
    idw_client->SetSort(is_sort);

    const int count = idw_client->model().columnCount();
    ii_original.clear();
    for (int n = 1; n <= count; ++n)
        ii_original.append(idw_client->Describe(u"#%1.Width"_s.arg(n)).toInt());

    ic_designed = dw::visibleColumns(idw_client->model());

    // The user's own columns, widths and order, once the design is known.
    of_restorecolumns();
    of_restorezoom();
}

void n_svc_dw_gridstyle::of_setstyle(bool ab_popupmenu, bool ab_arrow, bool ab_shade, bool ab_highlite)
{
    ib_popupmenu = ab_popupmenu;
    ib_arrow = ab_arrow;
    ib_shade = ab_shade;
    ib_highlite = ab_highlite;
    if (!idw_client)
        return;

    const dw::RedrawSuspender redraw(*idw_client);
    of_delvisuals();
    of_addvisuals();

    // The lines are made once, for the columns visible now.
    if (ib_highlite && !ib_highlite_added) {
        ib_highlite_added = true;
        const int count = idw_client->model().columnCount();
        for (int n = 1; n <= count; ++n) {
            if (idw_client->Describe(u"#%1.Visible"_s.arg(n)) == u"1"_s)
                of_headerline(idw_client->Describe(u"#%1.Name"_s.arg(n)));
        }
    }
}

void n_svc_dw_gridstyle::of_headerline(const QString &as_colname)
{
    const QString x = idw_client->Describe(as_colname + u"_t.x"_s);
    const QString width = idw_client->Describe(as_colname + u"_t.width"_s);
    const int headerHeight = idw_client->Describe(QStringLiteral("DataWindow.Header.Height")).toInt();

    for (int i = 1; i <= 3; ++i) {
        const QString name = as_colname + hline_suffix + QString::number(i);
        const QString y = QString::number(headerHeight - 4 * i);
        idw_client->Modify(u"create text(band=header alignment=\"0\" text=\"\" border=\"0\" color=\"0\" "_s
                           + u" x=\""_s + x + u"\" y=\""_s + y + u"\" height=\"4\" width=\""_s + width
                           + u"\" "_s + u"html.valueishtml=\"0\" name="_s + name
                           + u" visible=\"1\" font.face=\"Tahoma\" "_s
                           + u"font.height=\"-10\" font.weight=\"400\" font.family=\"2\" font.pitch=\"2\" "_s
                           + u"font.charset=\"0\" background.mode=\"2\" background.color=\""_s
                           + is_graycolor[i - 1] + u"\")"_s);
    }
}

QString n_svc_dw_gridstyle::storedValue(const QString &as_entry, const QString &as_default)
{
    const QString value = of_getreg(as_entry, as_default);
    if (value.size() <= kLongestStoredValue)
        return value;
    qWarning().noquote() << u"Se ignora el valor guardado \"%1\" de %2: %3 caracteres, más de los %4 que "
                            u"puede tener."_s.arg(as_entry, idw_client->dataobject())
                                .arg(value.size())
                                .arg(kLongestStoredValue);
    return as_default;
}

// Each override calls the base version directly, so "GridStyle\" is added exactly once.
int n_svc_dw_gridstyle::of_setreg(const QString &as_entry, const QString &as_value)
{
    return n_svc_base::of_setreg(u"GridStyle\\"_s + idw_client->dataobject(), as_entry, as_value);
}

QString n_svc_dw_gridstyle::of_getreg(const QString &as_entry, const QString &as_default)
{
    return n_svc_base::of_getreg(u"GridStyle\\"_s + idw_client->dataobject(), as_entry, as_default);
}

int n_svc_dw_gridstyle::of_setreg(const QString &as_subkey, const QString &as_entry, const QString &as_value)
{
    return n_svc_base::of_setreg(u"GridStyle\\"_s + idw_client->dataobject() + u"\\"_s + as_subkey, as_entry,
                                 as_value);
}

QString n_svc_dw_gridstyle::of_getreg(const QString &as_subkey, const QString &as_entry,
                                      const QString &as_default)
{
    return n_svc_base::of_getreg(u"GridStyle\\"_s + idw_client->dataobject() + u"\\"_s + as_subkey, as_entry,
                                 as_default);
}
