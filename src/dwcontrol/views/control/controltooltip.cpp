// Tool tips of the grid's cells: shown for a column whose layout enables them, bounded
// to the screen, for as long as the layout says.

#include "datawindowcontrol_p.h"

#include "objectgeometry.h"
#include "tooltiptext.h"

#include <QHelpEvent>
#include <QScreen>
#include <QToolTip>

namespace dw {

namespace {

// How long a cell's tool tip stays when the layout does not say.
constexpr int kToolTipMilliseconds = 32000;

} // namespace

bool DataWindowControl::Impl::canvasToolTip(QHelpEvent *event)
{
    const HitResult hit = view.hitTest(event->pos());
    if (!hit.object || hit.row <= 0 || objectType(*hit.object) != u"column") {
        QToolTip::hideText();
        return false;
    }
    const ObjectAttributes attributes(model, *hit.object, hit.row);
    if (!attributes.flag(QStringLiteral("tooltip.enabled"))) {
        QToolTip::hideText();
        return false;
    }
    const QString tip = attributes.text(QStringLiteral("tooltip.tip"));
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return false;
    }
    const int shown = int(attributes.number(QStringLiteral("tooltip.delay.visible"), kToolTipMilliseconds));
    const QScreen *screen = canvas->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QToolTip::showText(event->globalPos(), boundedToolTip(tip, QToolTip::font(), available), canvas, QRect(),
                       shown > 0 ? shown : kToolTipMilliseconds);
    return true;
}

} // namespace dw
