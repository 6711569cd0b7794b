// Where the control puts its children: the canvas or the page preview, the scroll bars
// and the split handle, kept in step with the view.

#include "datawindowcontrol_p.h"

#include "units.h"

#include <QScrollBar>
#include <QStyle>

#include <cmath>
#include <limits>

namespace dw {

QPoint DataWindowControl::Impl::toUnits(QPoint pixel) const
{
    // A position on the control, whatever the zoom: a menu opened there lands there.
    return {int(std::lround(units::toUnitsX(pixel.x(), q.logicalDpiX()))),
            int(std::lround(units::toUnitsY(pixel.y(), q.logicalDpiY())))};
}

void DataWindowControl::Impl::refresh(bool layout)
{
    layoutDirty = layoutDirty || layout;
    if (!redraw)
        return; // SetRedraw(true) catches up once
    syncPreview();
    if (preview) {
        preview->refresh();
        return;
    }
    relayout();
    canvas->update();
}

void DataWindowControl::Impl::syncPreview()
{
    const bool wanted = model.Describe(QStringLiteral("DataWindow.Print.Preview"))
                            .trimmed()
                            .compare(u"yes", Qt::CaseInsensitive)
        == 0;
    if (wanted && !preview) {
        preview = new PagePreview(model, &q);
        preview->setGeometry(q.rect());
        preview->show();
        canvas->hide();
        vbar->hide();
        for (auto *bar : hbars)
            bar->hide();
        handle->hide();
    } else if (!wanted && preview) {
        delete preview.data();
        canvas->show();
        layoutDirty = true;
    }
}

void DataWindowControl::Impl::relayout()
{
    if (preview) {
        preview->setGeometry(q.rect());
        return;
    }
    if (layoutDirty) {
        view.refreshMetrics(q.paintDpiX(), q.paintDpiY());
        layoutDirty = false;
    }
    const int extent = q.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &q);
    const QSize outer = q.size();
    bool showV = false;
    bool showH = false;
    // Each bar takes room from the other's direction: settle in two passes.
    for (int pass = 0; pass < 2; ++pass) {
        view.setViewportSize({std::max(0, outer.width() - (showV ? extent : 0)),
                              std::max(0, outer.height() - (showH ? extent : 0))});
        view.setSplit(view.split());
        showV = verticalBar && view.maxTopRow() > 0;
        showH = horizontalBar && (view.split() > 0 || view.maxHorizontalOffset(0) > 0);
    }
    // Whatever changed the rows, the view is placed over them here, before the bars.
    view.followRows();
    const QSize inner = view.viewportSize();
    canvas->setGeometry(0, 0, inner.width(), inner.height());

    vbar->setVisible(showV);
    if (showV)
        vbar->setGeometry(inner.width(), 0, extent, inner.height());

    const int grip = GridView::kSplitterWidth;
    const bool split = view.split() > 0;
    handle->setVisible(showH && splitScroll);
    hbars[0]->setVisible(showH);
    hbars[1]->setVisible(showH && split);
    if (showH) {
        const int y = inner.height();
        if (split) {
            hbars[0]->setGeometry(0, y, view.split(), extent);
            handle->setGeometry(view.split(), y, grip, extent);
            hbars[1]->setGeometry(view.split() + grip, y, std::max(0, inner.width() - view.split() - grip),
                                  extent);
        } else if (splitScroll) {
            handle->setGeometry(0, y, grip, extent);
            hbars[0]->setGeometry(grip, y, std::max(0, inner.width() - grip), extent);
        } else {
            hbars[0]->setGeometry(0, y, inner.width(), extent);
        }
    }
    syncScrollBars();
}

void DataWindowControl::Impl::syncScrollBars()
{
    syncing = true;
    vbar->setRange(0, int(std::min<long>(view.maxTopRow(), std::numeric_limits<int>::max())));
    vbar->setPageStep(int(view.visibleRows()));
    vbar->setSingleStep(1);
    vbar->setValue(int(view.topRow()));
    for (int pane = 0; pane < view.paneCount(); ++pane) {
        QScrollBar *bar = hbars[size_t(pane)];
        bar->setRange(0, view.maxHorizontalOffset(pane));
        bar->setPageStep(std::max(1, view.paneRect(pane).width()));
        bar->setSingleStep(20);
        bar->setValue(view.horizontalOffset(pane));
    }
    syncing = false;
}

} // namespace dw
