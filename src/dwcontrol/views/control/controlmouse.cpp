// The mouse on the grid: presses, releases and double clicks become the control's
// events, a heading press waits to tell a click from a column drag, the wheel scrolls (and
// zooms with Ctrl held).

#include "datawindowcontrol_p.h"

#include "zoomsteps.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace dw {

void DataWindowControl::Impl::raiseClicked(QPoint at, const HitResult &hit)
{
    // The click is raised first; the clicked row becomes current after it.
    q.clicked(at.x(), at.y(), hit.row, hit.dwo);
    if (hit.row > 0 && hit.dwo.type == u"column")
        currentColumn = hit.dwo.name;
    if (hit.row > 0 && hit.row <= model.RowCount() && hit.row != model.GetRow()) {
        model.SetRow(hit.row);
        view.scrollToRow(hit.row);
        syncScrollBars();
        canvas->update();
        q.rowfocuschanged(hit.row);
    }
}

void DataWindowControl::Impl::canvasMouseEvent(QMouseEvent *event)
{
    const QPoint pixel = event->position().toPoint();
    const HitResult hit = view.hitTest(pixel);
    const QPoint at = toUnits(canvas->mapTo(&q, pixel));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        q.setFocus(Qt::MouseFocusReason);
        if (event->button() == Qt::LeftButton) {
            pendingClick.reset();
            if (drag->press(pixel))
                pendingClick = PendingClick{at, hit};
            else
                raiseClicked(at, hit);
        } else if (event->button() == Qt::RightButton) {
            drag->cancel();
            q.rbuttondown(at.x(), at.y(), hit.row, hit.dwo);
        }
        break;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton) {
            const bool dragged = drag->release(pixel);
            const std::optional<PendingClick> click = std::exchange(pendingClick, std::nullopt);
            if (click && !dragged)
                raiseClicked(click->at, click->hit);
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (event->button() != Qt::LeftButton)
            break;
        if (drag->doubleClick(pixel))
            pendingClick.reset(); // a double click on a border fits, it never sorts
        else
            q.doubleclicked(at.x(), at.y(), hit.row, hit.dwo);
        break;
    case QEvent::MouseMove:
        if (!drag->move(pixel))
            q.mousemove(at.x(), at.y(), hit.row, hit.dwo);
        break;
    default:
        break;
    }
}

void DataWindowControl::Impl::canvasPaintOver(QPainter &painter)
{
    const int marker = drag->dropMarker();
    if (marker < 0)
        return;
    painter.fillRect(QRect(marker - 1, 0, 3, view.viewportSize().height()),
                     canvas->palette().color(QPalette::Highlight));
}

void DataWindowControl::Impl::canvasWheelEvent(QWheelEvent *event)
{
    event->accept();
    if (const auto next = dw::zoom::afterWheel(*event, zoom)) {
        q.setZoom(*next);
        return;
    }
    const QPoint steps = event->angleDelta() / 120;
    if (steps.y() != 0 && vbar->isVisible())
        vbar->setValue(vbar->value() - steps.y() * 3);
    else if (steps.x() != 0 && hbars[0]->isVisible())
        hbars[0]->setValue(hbars[0]->value() - steps.x() * hbars[0]->singleStep());
}

} // namespace dw
