#pragma once

// views/dialogs: the engine's own dialogs and the interaction that shows real ones. The
// sort and filter dialogs edit the model's criteria; the Qt interaction puts message
// boxes, printer selection, Save As and these dialogs on screen, and is the one thing
// tests replace so that no test waits on a modal window.

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
