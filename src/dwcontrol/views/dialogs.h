#pragma once

#include <QString>

class QWidget;

namespace dw {

class DataWindow;

// The engine's own sort and filter dialogs, in Spanish (the Qt implementation of the
// interaction shows them; tests replace the interaction instead).
// Sort: choose columns, ascending or descending, several keys. 1 on confirm with the
// criteria ("col A, col2 D") in `criteria`; 0 on cancel.
int runSortDialog(QWidget *parent, const DataWindow &dw, QString &criteria);
// Filter: edit an expression with the columns and functions at hand; it is checked
// before it is accepted. 1 on confirm with the expression; 0 on cancel.
int runFilterDialog(QWidget *parent, const DataWindow &dw, QString &expression);

} // namespace dw
