// The keyboard on the grid: arrows and page keys move the current row, Ctrl+C copies,
// Ctrl+A asks for every row, Ctrl+Enter double-clicks the current row, Shift+F10 and the
// menu key open the context menu, Ctrl++, Ctrl+- and Ctrl+0 zoom.

#include "datawindowcontrol_p.h"

#include "zoomsteps.h"

#include <QKeyEvent>

namespace dw {

void DataWindowControl::Impl::moveToRow(long row)
{
    const long count = model.RowCount();
    if (count <= 0)
        return;
    row = std::clamp(row, 1L, count);
    if (row == model.GetRow()) {
        q.ScrollToRow(row);
        return;
    }
    model.SetRow(row);
    q.ScrollToRow(row);
    canvas->update();
    q.rowfocuschanged(row);
}

void DataWindowControl::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_C || event->key() == Qt::Key_Insert) && modifiers == Qt::ControlModifier) {
        copyRowsToClipboard();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_A && modifiers == Qt::ControlModifier) {
        selectall();
        event->accept();
        return;
    }
    // Plain Enter is the window's (it searches); with Ctrl it opens the current row.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && modifiers == Qt::ControlModifier) {
        doubleClickCurrentRow();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)
        || (event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)) {
        popupAtCurrentRow();
        event->accept();
        return;
    }
    if (const auto next = dw::zoom::afterKey(*event, d->zoom); next && !d->preview) {
        setZoom(*next);
        event->accept();
        return;
    }
    const long current = d->model.GetRow();
    const long page = d->view.visibleRows();
    switch (event->key()) {
    case Qt::Key_Up:
        d->moveToRow(current - 1);
        break;
    case Qt::Key_Down:
        d->moveToRow(current + 1);
        break;
    case Qt::Key_PageUp:
        d->moveToRow(current - page);
        break;
    case Qt::Key_PageDown:
        d->moveToRow(current + page);
        break;
    case Qt::Key_Home:
        d->moveToRow(1);
        break;
    case Qt::Key_End:
        d->moveToRow(d->model.RowCount());
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace dw
