#include "dialogs.h"

#include "datawindow.h"
#include "filterdialog.h"
#include "sortdialog.h"

namespace dw {

int runSortDialog(QWidget *parent, const DataWindow &dw, QString &criteria)
{
    const QString shown
        = criteria.isEmpty() ? dw.Describe(QStringLiteral("DataWindow.Table.Sort")) : criteria;
    SortDialog dialog(dw, shown == u"?" || shown == u"!" ? QString() : shown, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    // Never null: a null text would ask again instead of removing the sort.
    criteria = dialog.criteria();
    if (criteria.isNull())
        criteria = QStringLiteral("");
    return 1;
}

int runFilterDialog(QWidget *parent, const DataWindow &dw, QString &expression)
{
    const QString shown
        = expression.isEmpty() ? dw.Describe(QStringLiteral("DataWindow.Table.Filter")) : expression;
    FilterDialog dialog(dw, shown == u"?" || shown == u"!" ? QString() : shown, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    expression = dialog.expression();
    if (expression.isNull())
        expression = QStringLiteral("");
    return 1;
}

} // namespace dw
