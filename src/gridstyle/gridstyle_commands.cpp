// The commands of the grid's context menu: filters by the clicked cell, held per
// column and combined with the set-up filter; sorts; the sort and filter dialogs;
// print and save as; the column chooser.
#include "n_svc_dw_gridstyle.h"

#include "datawindowcontrol.h"
#include "definitetext.h"
#include "expr/literal.h"

using namespace Qt::StringLiterals;

namespace {

bool isNumericType(const QString &colType)
{
    const QString head = colType.left(5).toLower();
    return head == u"decim"_s || head == u"numbe"_s || head == u"long"_s || head == u"ulong"_s
        || head == u"real"_s;
}

} // namespace

void n_svc_dw_gridstyle::of_process_popup(const QString &as_process, long al_row, const QString &as_colname)
{
    if (!idw_client)
        return;
    {
        const dw::RedrawSuspender redraw(*idw_client);
        if (!runCommand(as_process, al_row, as_colname))
            return;
    }
    // The row selection sees the current row again after rows were filtered or moved.
    idw_client->rowfocuschanged(idw_client->GetRow());
}

bool n_svc_dw_gridstyle::runCommand(const QString &as_process, long al_row, const QString &as_colname)
{
    if (as_process == u"m_filterbyselection"_s)
        return filterBySelection(false, al_row, as_colname);
    if (as_process == u"m_filterexcludingselection"_s)
        return filterBySelection(true, al_row, as_colname);
    if (as_process == u"m_removeselectionfilter"_s)
        return removeSelectionFilter(as_colname);
    if (as_process == u"m_originalfilter"_s) {
        is_colfilter.clear();
        applyFilter(is_original_filter);
    } else if (as_process == u"m_sortascending"_s) {
        sortBy(as_colname + u" A"_s);
    } else if (as_process == u"m_sortdescending"_s) {
        sortBy(as_colname + u" D"_s);
    } else if (as_process == u"m_originalsort"_s) {
        sortBy(is_original_sort);
    } else if (as_process == u"m_specifysort"_s) {
        specifySort();
    } else if (as_process == u"m_specifyfilter"_s) {
        specifyFilter();
    } else if (as_process == u"m_print"_s) {
        idw_client->Print();
    } else if (as_process == u"m_saveas"_s) {
        idw_client->SetRedraw(true);
        idw_client->SaveAs();
    } else if (as_process == u"m_columns"_s) {
        of_choosecolumns();
    }
    return true;
}

bool n_svc_dw_gridstyle::filterBySelection(bool ab_exclude, long al_row, const QString &as_colname)
{
    const int column = idw_client->Describe(as_colname + u".ID"_s).toInt();
    if (column < 1)
        return false;

    const QString value = idw_client->GetItem(al_row, column).toText();
    QString condition;
    if (value.isNull()) {
        condition = (ab_exclude ? u"not isnull("_s : u"isnull("_s) + as_colname + u")"_s;
    } else if (isNumericType(idw_client->Describe(as_colname + u".ColType"_s))) {
        condition = as_colname + (ab_exclude ? u" <> "_s : u" = "_s) + value;
    } else {
        condition = u"string("_s + as_colname + (ab_exclude ? u") <> "_s : u") = "_s) + dw::quotedText(value);
    }

    // One condition per column; a later one on the same column replaces it.
    while (is_colfilter.size() < column)
        is_colfilter.append(QString());
    is_colfilter[column - 1] = condition;
    applyFilter(of_combinefilter());
    return true;
}

bool n_svc_dw_gridstyle::removeSelectionFilter(const QString &as_colname)
{
    const int column = idw_client->Describe(as_colname + u".ID"_s).toInt();
    if (column < 1)
        return false;
    if (column <= is_colfilter.size())
        is_colfilter[column - 1] = QString();
    applyFilter(of_combinefilter());
    return true;
}

void n_svc_dw_gridstyle::applyFilter(const QString &as_filter)
{
    // A filter the expression language cannot read is refused by SetFilter, and Filter
    // then re-applies the one in force: the grid stays as it was.
    idw_client->SetFilter(gridstyle::definite(as_filter));
    idw_client->Filter();
    idw_client->Sort();
}

QString n_svc_dw_gridstyle::of_combinefilter()
{
    QString result = QStringLiteral("");
    if (is_original_filter.length() > 0)
        result = u"( "_s + is_original_filter + u" )"_s;
    // Column-number order, whatever order the selections were made in.
    for (const QString &condition : std::as_const(is_colfilter)) {
        if (condition.isEmpty())
            continue;
        if (!result.isEmpty())
            result += u" AND "_s;
        result += u"( "_s + condition + u" )"_s;
    }
    return result;
}

void n_svc_dw_gridstyle::sortBy(const QString &as_criteria)
{
    of_delvisuals();
    is_sort = gridstyle::definite(as_criteria);
    idw_client->SetSort(is_sort);
    idw_client->Sort();
    of_addvisuals();
    of_setreg(u"sortorder"_s, is_sort);
}

void n_svc_dw_gridstyle::specifySort()
{
    // The dialog paints over a live grid.
    idw_client->SetRedraw(true);
    of_delvisuals();
    if (idw_client->SetSort(QString()) == 1) {
        is_sort = gridstyle::definite(idw_client->Describe(u"Datawindow.Table.Sort"_s));
        idw_client->Sort();
        of_setreg(u"sortorder"_s, is_sort);
    }
    // Confirmed or cancelled, the indicators match the sort in force.
    of_addvisuals();
}

void n_svc_dw_gridstyle::specifyFilter()
{
    idw_client->SetRedraw(true);
    if (idw_client->SetFilter(QString()) == 1) {
        idw_client->Filter();
        idw_client->Sort();
    }
}
