// Column layout: widths fitted to the values after each retrieval, the visible columns
// and their order, and a column's readable description.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "runtime.h"
#include "units.h"

#include <QFontMetrics>
#include <QLabel>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The font of a column as its Describe'd properties give it. Qt fonts are Unicode, so
// the character set has nothing to select; face, size, weight, slant, family and pitch
// decide the measure.
QFont columnFont(const dw::DataWindowControl &control, const QString &col)
{
    const auto describe = [&](const QString &property) { return control.Describe(col + property); };

    QFont font(describe(u".Font.Face"_s));
    const double points = dw::units::fontPoints(describe(u".Font.Height"_s).toInt());
    if (points > 0)
        font.setPointSizeF(points);
    const int weight = describe(u".Font.Weight"_s).toInt();
    font.setWeight(QFont::Weight(weight >= 1 && weight <= 1000 ? weight : 400));
    font.setItalic(describe(u".Font.Italic"_s) == u"1"_s);

    static const QFont::StyleHint families[] = {QFont::AnyStyle,   QFont::Serif,   QFont::SansSerif,
                                                QFont::TypeWriter, QFont::Cursive, QFont::Decorative};
    const int family = describe(u".Font.Family"_s).toInt();
    font.setStyleHint(family >= 1 && family <= 5 ? families[family] : QFont::AnyStyle);
    font.setFixedPitch(describe(u".Font.Pitch"_s) == u"1"_s);
    return font;
}

} // namespace

void n_svc_dw_gridstyle::of_addautowidth(const QString &as_colname)
{
    is_colname.append(as_colname);
}

long n_svc_dw_gridstyle::retrieveend(long rowcount)
{
    Q_UNUSED(rowcount);
    for (const QString &col : std::as_const(is_colname))
        of_resizewidth(col);
    return 0;
}

long n_svc_dw_gridstyle::of_resizewidth(const QString &as_colname)
{
    if (!idw_client)
        return -1;
    // A name that is not a column has no cells to measure; it is left alone.
    const int column = idw_client->Describe(as_colname + u".ID"_s).toInt();
    if (column < 1)
        return 0;

    // A static text on the window carries the column's font for the measurement; it
    // exists only during this call. Without a window there is nothing to measure with.
    std::unique_ptr<QLabel> carrier;
    if (iw_parent) {
        carrier = std::make_unique<QLabel>(iw_parent.data());
        carrier->setFont(columnFont(*idw_client, as_colname));
    }

    int widest = 0;
    long widestRow = 0;
    const long rows = idw_client->RowCount();
    for (long row = 1; row <= rows; ++row) {
        QString text;
        if (idw_client->Describe(as_colname + u".Edit.Style"_s) == u"dddw"_s
            || idw_client->Describe(as_colname + u".Edit.CodeTable"_s) == u"yes"_s) {
            text = idw_client->Describe(u"Evaluate('LookupDisplay("_s + as_colname + u")', "_s
                                        + QString::number(row) + u")"_s);
        } else {
            // The display format applied; a null value measures as empty text.
            text = idw_client->model().displayText(row, column);
            while (text.endsWith(u' '))
                text.chop(1);
        }

        if (!carrier)
            return -1;
        const QFontMetrics metrics(carrier->font(), carrier.get());
        size extent;
        extent.cx = metrics.horizontalAdvance(text);
        extent.cy = metrics.height();
        const int units = qRound(dw::units::toUnitsX(extent.cx, carrier->logicalDpiX()));
        // On equal widths the earlier row stays.
        if (units > widest) {
            widest = units;
            widestRow = row;
        }
    }

    // Never narrower than designed; the margin only when the values are wider.
    const int designed = column <= ii_original.size() ? ii_original[column - 1] : 0;
    const int width = designed < widest ? widest + 8 : designed;
    idw_client->Modify(as_colname + u".Width = "_s + QString::number(width));
    return widestRow;
}

void n_svc_dw_gridstyle::of_reordercolumns(const QStringList &as_colname)
{
    if (as_colname.isEmpty() || !idw_client)
        return;
    const dw::RedrawSuspender redraw(*idw_client);

    // Hide every column in one Modify; the grid then places each column that turns
    // visible after the ones already visible, which gives the order.
    const int count = idw_client->model().columnCount();
    QString hideAll;
    for (int n = 1; n <= count; ++n)
        hideAll += idw_client->Describe(u"#%1.Name"_s.arg(n)) + u".Visible='0' "_s;
    idw_client->Modify(hideAll);

    const QString header = u"header"_s;
    for (const QString &name : as_colname) {
        idw_client->Modify(name + u".Visible='1'"_s);
        idw_client->SetPosition(name + u"_t"_s, header, true);
        for (int i = 1; i <= 3; ++i)
            idw_client->SetPosition(name + hline_suffix + QString::number(i), header, true);
    }
}

QString n_svc_dw_gridstyle::of_getcoldesc(const QString &as_colname, bool ab_usecolname)
{
    QString description = idw_client->Describe(as_colname + u"_t.Text"_s);
    if (description == u"!"_s && ab_usecolname)
        description = rt::WordCap(of_replaceall(as_colname, u"_"_s, u" "_s));
    return description.trimmed();
}
