#pragma once

#include "datawindowcontrol.h"

#include <QString>

namespace gridstyle {

// Turns a control's redraw off for a scope and back on however the scope ends, so
// the many Modify calls of one change repaint the grid once.
class RedrawOff
{
public:
    explicit RedrawOff(dw::DataWindowControl &control) : m_control(control) { m_control.SetRedraw(false); }
    ~RedrawOff() { m_control.SetRedraw(true); }
    RedrawOff(const RedrawOff &) = delete;
    RedrawOff &operator=(const RedrawOff &) = delete;

private:
    dw::DataWindowControl &m_control;
};

// SetSort and SetFilter treat a null text as "ask the user"; criteria read from the
// service's state must never reach them as null by accident.
[[nodiscard]] inline QString definite(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace gridstyle
