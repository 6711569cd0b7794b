#include "zoomsteps.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>

namespace dw::zoom {

double clamped(double zoom)
{
    return std::clamp(zoom, kSmallest, kLargest);
}

std::optional<double> afterKey(const QKeyEvent &event, double current)
{
    // Shift and the keypad may come with the plus sign, depending on the keyboard.
    if (!event.modifiers().testFlag(Qt::ControlModifier)
        || (event.modifiers() & ~(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier)))
        return std::nullopt;
    switch (event.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return clamped(current * kStep);
    case Qt::Key_Minus:
        return clamped(current / kStep);
    case Qt::Key_0:
        return 1.0;
    default:
        return std::nullopt;
    }
}

std::optional<double> afterWheel(const QWheelEvent &event, double current)
{
    if (!event.modifiers().testFlag(Qt::ControlModifier))
        return std::nullopt;
    const int turn = event.angleDelta().y();
    if (turn == 0)
        return current;
    return clamped(turn > 0 ? current * kStep : current / kStep);
}

} // namespace dw::zoom
