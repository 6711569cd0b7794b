// Heading sorts and the sort indicators: the arrow glyph in the heading and the stripe
// behind the sorted column.
#include "n_svc_dw_gridstyle.h"

#include "contrast.h"
#include "datawindowcontrol.h"
#include "objectpainter.h"

#include <cmath>

using namespace Qt::StringLiterals;

long n_svc_dw_gridstyle::clicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo)
{
    Q_UNUSED(xpos);
    Q_UNUSED(ypos);
    const QString name = dwo.name;
    if (!idw_client || row > 0 || name == u"datawindow"_s)
        return 0;

    // Only a heading text or a sort arrow starts a sort.
    qsizetype suffix = 0;
    if (name.endsWith(u"_t"_s))
        suffix = 2;
    else if (name.endsWith(arrow_suffix))
        suffix = arrow_suffix.length();
    if (suffix < 1)
        return 0;

    QString col = name.left(name.length() - suffix);
    // Drop-down and code-table columns sort by the text the user sees.
    if (idw_client->Describe(col + u".Edit.Style"_s) == u"dddw"_s
        || idw_client->Describe(col + u".Edit.CodeTable"_s) == u"yes"_s)
        col = u"LookUpDisplay("_s + col + u")"_s;

    const QString candidate = col + u" A"_s;
    is_sort = candidate == is_sort ? col + u" D"_s : candidate;

    // The indicators are found from the criteria still in force, so they go first.
    of_delvisuals();
    idw_client->SetSort(is_sort);
    idw_client->Sort();
    of_addvisuals();
    of_setreg(u"sortorder"_s, is_sort);
    idw_client->rowfocuschanged(idw_client->GetRow());
    return 0;
}

QStringList n_svc_dw_gridstyle::sortedColumns()
{
    QStringList keys;
    of_parse(idw_client->Describe(u"Datawindow.Table.Sort"_s), u", "_s, keys);
    QStringList columns;
    for (const QString &key : keys) {
        // A key without a direction has no blank and names no column.
        const qsizetype blank = key.indexOf(u' ');
        QString col = blank < 0 ? QString() : key.left(blank);
        if (col.left(14) == u"LookUpDisplay("_s) {
            col = col.mid(14);
            col.chop(1); // the closing parenthesis
        }
        columns.append(col);
    }
    return columns;
}

void n_svc_dw_gridstyle::of_addvisuals()
{
    if (!idw_client)
        return;
    for (const QString &col : sortedColumns()) {
        if (idw_client->Describe(col + u".Visible"_s) != u"1"_s)
            continue;
        if (ib_arrow)
            of_sortarrow(col);
        if (ib_shade)
            of_sortshade(col);
    }
}

void n_svc_dw_gridstyle::of_delvisuals()
{
    if (!idw_client)
        return;
    // Destroying an object that is not there is harmless.
    for (const QString &col : sortedColumns()) {
        idw_client->Modify(u"destroy "_s + col + arrow_suffix);
        idw_client->Modify(u"destroy "_s + col + shade_suffix);
    }
}

QString n_svc_dw_gridstyle::arrowColour(const QString &as_col)
{
    const quint32 shadow = of_syscolor(16);
    const QColor preferred(int(shadow & 0xFF), int(shadow >> 8 & 0xFF), int(shadow >> 16 & 0xFF));
    bool known = false;
    const qint64 number = idw_client->Describe(as_col + u"_t.background.color"_s).toLongLong(&known);
    const QColor background = known ? dw::layoutColor(number) : QColor();
    const qint64 caption = highlite_textcolor.toLongLong();
    const QColor dark(int(caption & 0xFF), int(caption >> 8 & 0xFF), int(caption >> 16 & 0xFF));
    // A triangle needs less contrast than text to be seen: 3 to 1.
    const QColor colour = gridstyle::readableOn(background, preferred, 3.0, dark);
    return QString::number(colour.red() + 256 * colour.green() + 65536 * colour.blue());
}

void n_svc_dw_gridstyle::of_sortarrow(const QString &as_colname)
{
    const QString colour = arrowColour(as_colname);
    const QString name = as_colname + arrow_suffix;
    const QString x = idw_client->Describe(as_colname + u"_t.x"_s);
    const QString width = idw_client->Describe(as_colname + u"_t.width"_s);
    // Every arrow shows the direction of the last key.
    const QString glyph = is_sort.endsWith(u'A') ? u"t"_s : u"u"_s;
    const int headerHeight = idw_client->Describe(u"DataWindow.Header.Height"_s).toInt();
    const QString y = QString::number(headerHeight - 64);

    idw_client->Modify(
        u"create text(band=header alignment=\"1\" text=\""_s + glyph + u"\" border=\"0\" "_s + u"color=\""_s
        + colour + u"\" x=\""_s + x + u"\" y=\""_s + y + u"\" height=\"44\" width=\""_s + width + u"\" "_s
        + u"html.valueishtml=\"0\" name="_s + name + u" visible=\"1\" font.face=\"Marlett\" "_s
        + u"font.height=\""_s + QString::number(arrow_height)
        + u"\" font.weight=\"400\" font.family=\"0\" font.pitch=\"2\" "_s
        + u"font.charset=\"2\" background.mode=\"1\" background.color=\""_s + transparent + u"\")"_s);
}

void n_svc_dw_gridstyle::of_sortshade(const QString &as_colname)
{
    const QString name = as_colname + shade_suffix;
    const int x = idw_client->Describe(as_colname + u".x"_s).toInt();
    const int width = idw_client->Describe(as_colname + u".width"_s).toInt();

    // One row more than the data, and at least what the control shows of the layout at its
    // zoom; long grids outgrow 16 bits.
    const qint64 detailHeight = idw_client->Describe(u"Datawindow.Detail.height"_s).toInt();
    qint64 height = detailHeight * (qint64(idw_client->RowCount()) + 1);
    const auto shown = qint64(std::ceil(idw_client->Height() / idw_client->zoom()));
    if (height < shown)
        height = shown;

    // default<TAB>expression: the stripe follows the column when it moves or resizes.
    const QString xText = QString::number(x) + u"\tInteger(Describe('"_s + as_colname + u".X')) - 8"_s;
    const QString widthText
        = QString::number(width) + u"\tInteger(Describe('"_s + as_colname + u".Width')) + 14"_s;

    idw_client->Modify(u"create text(band=background alignment=\"0\" text=\"\" border=\"0\" color=\""_s
                       + transparent + u"\" "_s + u"x=\""_s + xText + u"\" y=\"0\" height=\""_s
                       + QString::number(height) + u"\" width=\""_s + widthText + u"\" "_s
                       + u"html.valueishtml=\"0\" name="_s + name + u" visible=\"1\" font.face=\"Marlett\" "_s
                       + u"font.height=\"-12\" font.weight=\"400\" font.family=\"0\" font.pitch=\"2\" "_s
                       + u"font.charset=\"2\" background.mode=\"0\" background.color=\""_s + shade_color
                       + u"\")"_s);
}

long n_svc_dw_gridstyle::resize(quint32 sizetype, int newwidth, int newheight)
{
    Q_UNUSED(sizetype);
    Q_UNUSED(newwidth);
    Q_UNUSED(newheight);
    // The stripe's height depends on the control's, so it is rebuilt with the arrows.
    if (!ib_shade || !idw_client)
        return 0;
    const dw::RedrawSuspender redraw(*idw_client);
    of_delvisuals();
    of_addvisuals();
    return 0;
}
